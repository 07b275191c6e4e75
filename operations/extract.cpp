// Taking members out: the member specification, extraction into a
// directory, and the commands built on them.
#include <functional>

#include "archive_lock.h"
#include "exception.h"
#include "member_list.h"
#include "profile.h"
#include "resource.h"
#include "strings.h"
#include "user_interaction.h"
#include "workspace.h"
#include "zip_exceptions.h"
#include "zip_file.h"
#include "zip_folder.h"
#include "zip_request.h"

namespace {

void AddReadOnly(const std::string& path, bool checked) {
  const std::wstring file = FileSystemPath(path);
  const DWORD attributes = GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (checked) throw CZipWinException();
    return;
  }
  if (!SetFileAttributesW(file.c_str(), attributes | FILE_ATTRIBUTE_READONLY) && checked) throw CZipWinException();
}

}  // namespace

std::string CZipFolder::BuildMemberSpec(const std::vector<std::string>& names) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  MemberList members;
  for (const std::string& name : names) {
    const MemberEntry& member = MemberOrSyncError(name);
    if (member.IsFolder()) members.AddFolderTree(m_strPath + member.name);
    else if (member.IsAside()) members.AddFile(m_strPath + member.name);
    else members.AddMember(m_strPath + member.name);
  }
  return members.Text();
}

void CZipFolder::ExtractToDirectory(const std::string& spec, const std::string& directory, HWND parent) {
  const ArchiveLock archiveLock(*m_pRoot);
  m_pRoot->RefreshListing();
  ZIPREQUEST request;
  request.nOperation = kRequestExtract;
  request.strSpec = spec;
  request.strBaseDir = directory + "\\";
  request.strFolderPath = m_strPath;
  request.renamed = AsideNames();
  m_pRoot->RunRequest(request, parent);
}

std::map<std::string, std::string> CZipFolder::AsideNames() const {
  // A file beside a folder of its name comes out under the name it is shown
  // under, so it and the folder both fit in one directory.
  std::map<std::string, std::string> renamed;
  const std::function<void(const CZipFolder&, const std::string&)> walk = [&](const CZipFolder& folder,
                                                                              const std::string& relative) {
    for (auto position = folder.m_mapEntries.First(); position != nullptr;
         position = folder.m_mapEntries.Next(position)) {
      const MemberEntry& member = CEntryMap::At(position);
      if (member.IsAside()) renamed[folder.m_strPath + member.name] = relative + member.Shown();
      if (member.IsFolder()) walk(*member.subFolder, relative + member.name + "\\");
    }
  };
  walk(*this, "");
  return renamed;
}

void CZipFolder::OpenMember(const std::string& name, HWND parent) {
  if (IsApplicationName(name.c_str()) && ReadSetting(settings::kNoWarnLaunchExe) == 0 &&
      UserInteraction().ConfirmLaunchApplication(parent) != IDOK)
    return;
  CriticalSectionLock lock(m_pRoot->RootLock());
  const MemberEntry member = MemberOrSyncError(name);
  ScopedWorkspace workspace;
  ExtractToDirectory(BuildMemberSpec({name}), workspace.Path(), parent);
  const std::string file = workspace.Path() + "\\" + member.Shown();
  // Changes to the copy never reach the archive: the marks say so.
  AddReadOnly(file, true);
  AddReadOnly(workspace.Path(), false);
  // The launched program keeps using the file: the clean-up waits.
  const std::string directory = workspace.Release();
  DeferWorkspaceDeletion(directory);
  UserInteraction().Launch(parent, file, directory);
}

bool CZipFolder::FindInstaller(std::string* name) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  for (const char* candidate : {"setup.exe", "install.exe"}) {
    const MemberEntry* member = m_mapEntries.Find(candidate);
    if (member == nullptr || member->IsFolder()) continue;
    if (name != nullptr) *name = member->Key();
    return true;
  }
  return false;
}

void CZipFolder::OpenInFolder(HWND parent, const std::string* name) {
  // Held across the wait: nothing else changes the archive meanwhile.
  CriticalSectionLock lock(m_pRoot->RootLock());
  std::string target;
  if (name != nullptr) {
    target = *name;
  } else if (!FindInstaller(&target)) {
    UserInteraction().Beep(0);
    return;
  }
  const std::string shown = MemberOrSyncError(target).Shown();
  ScopedWorkspace workspace;
  MemberList folder;
  folder.AddFolderTree(m_strPath);
  ExtractToDirectory(folder.Text(), workspace.Path(), parent);
  UserInteraction().Launch(parent, workspace.Path() + "\\" + shown, workspace.Path());
  UserInteraction().WaitForOpenInFolder(nullptr);
}

void CZipFolder::UnzipToNewFolder(HWND parent) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  const std::string folderName = WithoutExtension(FileNameOf(m_pRoot->ZipPath()));
  ScopedWorkspace workspace;
  const std::string unpacked = workspace.Path() + "\\" + folderName;
  if (!CreateDirectoryW(FileSystemPath(unpacked).c_str(), nullptr)) throw CZipWinException();
  // An empty archive makes an empty folder; the engine would answer that
  // nothing matched.
  m_pRoot->RefreshListing();
  if (m_mapEntries.Count() > 0) {
    MemberList everything;
    everything.AddFolderTree("");
    ExtractToDirectory(everything.Text(), unpacked, parent);
  }
  const int result = UserInteraction().MoveWithShell(unpacked, ParentOf(m_pRoot->ZipPath()));
  // The user declined the shell's own question: nothing to report.
  if (result == ERROR_CANCELLED) throw CUserCancelException();
  if (result != 0) throw CZipWinException(0, static_cast<uint32_t>(result));
}
