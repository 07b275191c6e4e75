// Putting dropped or pasted files into an archive: what is added, what is
// replaced and what is refused, all decided before the engine runs.
#include <shlwapi.h>

#include <optional>

#include "archive_lock.h"
#include "drop_data.h"
#include "handles.h"
#include "member_list.h"
#include "replace_questions.h"
#include "resource.h"
#include "strings.h"
#include "workspace.h"
#include "zip_exceptions.h"
#include "zip_file.h"
#include "zip_folder.h"
#include "zip_request.h"

namespace {

// The directory part with its trailing backslash.
std::string DirectoryOf(const std::string& path) {
  std::string directory = ParentOf(path);
  if (directory.empty() || directory.back() != '\\') directory += '\\';
  return directory;
}

DWORD AttributesOf(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(FileSystemPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) throw CZipWinException();
  return attributes;
}

// A file another program holds without sharing (a document being edited)
// would stop the engine half-way; the user learns which one beforehand.
void CheckReadable(const std::string& path) {
  const UniqueFileHandle file(CreateFileW(FileSystemPath(path).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
  if (!file) throw CZipUserException(FormatStrings(IDS_FILE_IN_USE, {path}));
}

// The path below its root: "a\\b" of "C:\\a\\b" and of "\\\\server\\share\\a\\b".
std::string BelowRoot(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  const wchar_t* rest = PathSkipRootW(wide.c_str());
  return rest != nullptr ? WideToUtf8(rest) : path;
}

// The engine resolves names against the current directory while it runs;
// afterwards the process gets its own back, so the dropped directory (or a
// workspace) is not held and can be removed.
class CurrentDirectoryScope {
 public:
  explicit CurrentDirectoryScope(const std::string& directory) {
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, m_previous);
    if (length == 0 || length >= MAX_PATH) m_previous[0] = L'\0';
    const std::wstring wide = Utf8ToWide(directory);
    if (SetCurrentDirectoryW(wide.c_str())) return;
    // A directory too deep to be current: every name the engine gets is a
    // full path, so the run goes on from where the process is.
    if (wide.size() + 1 >= MAX_PATH && GetLastError() == ERROR_FILENAME_EXCED_RANGE) {
      m_previous[0] = L'\0';
      return;
    }
    throw CZipWinException();
  }
  ~CurrentDirectoryScope() {
    if (m_previous[0] != L'\0') SetCurrentDirectoryW(m_previous);
  }
  CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
  CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

 private:
  WCHAR m_previous[MAX_PATH];
};

}  // namespace

void CZipFolder::AddDroppedFiles(HDROP drop, HWND parent) {
  // The replace questions are asked with nothing locked, about the listing
  // of the file as it is now; a folder the new listing no longer has cannot
  // take files.
  m_pRoot->RefreshListing();
  const uint32_t asked = m_pRoot->ListingStamp();
  if (m_pRoot->IsReadOnly()) throw CZipUserException(IDS_READ_ONLY);
  if (!InTreeNow()) throw CZipUserException(IDS_SYNC_ERROR);

  // A malformed list is no list: nothing of it is read.
  const auto dropped = ReadDropFiles(drop);
  if (!dropped || dropped->empty()) return;
  const std::string sourceDir = DirectoryOf(dropped->front());
  // Tested before the directory is entered: an unreachable share would
  // otherwise give a system error instead of the advice to map a drive.
  if (PathIsUNCW(Utf8ToWide(sourceDir).c_str())) throw CZipUserException(IDS_NETWORK_DRIVE);

  bool fileYesToAll = false;
  bool folderYesToAll = false;
  bool answered = false;
  std::vector<std::string> chosen;
  std::vector<bool> existed;  // per chosen path: a member of its name was listed
  for (const std::string& path : *dropped) {
    if (DirectoryOf(path) != sourceDir) throw CZipUserException(IDS_DIFFERENT_DIRS);
    const std::optional<MemberEntry> member = ListedMember(FileNameOf(path));
    if (member) {
      const bool isDirectory = (AttributesOf(path) & FILE_ATTRIBUTE_DIRECTORY) != 0;
      bool replace = true;
      if (isDirectory && member->IsFolder()) {
        answered = true;
        replace = AskFolderReplace(parent, member->Shown(), folderYesToAll);
      } else if (!isDirectory && !member->IsFolder()) {
        answered = true;
        replace = AskFileReplace(parent, *member, fileYesToAll, path);
      }
      if (!replace) continue;
    }
    chosen.push_back(path);
    existed.push_back(member.has_value());
  }
  if (chosen.empty()) return;

  const ArchiveChange change(*m_pRoot);
  const ArchiveLock archiveLock(*m_pRoot);
  m_pRoot->RefreshListing();
  if (m_pRoot->ListingStamp() != asked) {
    // Another change came first.  The answers were about members that may
    // have changed, and a name that is now taken would be replaced unasked.
    if (answered) throw CZipUserException(IDS_SYNC_ERROR);
    for (size_t i = 0; i < chosen.size(); ++i)
      if (ListedMember(FileNameOf(chosen[i])).has_value() != existed[i])
        throw CZipUserException(IDS_SYNC_ERROR);
  }
  if (m_pRoot->IsReadOnly()) throw CZipUserException(IDS_READ_ONLY);
  if (!InTreeNow()) throw CZipUserException(IDS_SYNC_ERROR);
  const CurrentDirectoryScope currentDirectory(sourceDir);

  AddSpec addSpec;
  MemberList replaced;
  std::vector<std::string> copyList;
  for (const std::string& path : chosen) CollectForAdd(path, sourceDir, addSpec, replaced, copyList);
  if (addSpec.Empty() && copyList.empty()) return;

  ZIPREQUEST request;
  request.nOperation = kRequestUpdate;
  request.strAddSpec = addSpec.Text();
  request.strSpec = replaced.Text();
  request.pCopyList = &copyList;
  request.strBaseDir = sourceDir;
  request.strFolderPath = m_strPath;
  m_pRoot->RunChange(request, parent);
}

std::optional<MemberEntry> CZipFolder::ListedMember(const std::string& name) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  const MemberEntry* member = m_mapEntries.Find(name);
  return member != nullptr ? std::optional<MemberEntry>(*member) : std::nullopt;
}

bool CZipFolder::InTreeNow() {
  CriticalSectionLock lock(m_pRoot->RootLock());
  return IsInTree();
}

void CZipFolder::CollectForAdd(const std::string& path, const std::string& sourceDir, AddSpec& addSpec,
                               MemberList& replaced, std::vector<std::string>& copyList) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  const DWORD attributes = AttributesOf(path);
  const bool isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!isDirectory) CheckReadable(path);

  const std::string memberPath = m_strPath + path.substr(sourceDir.size());
  std::string name = memberPath;
  if (CZipFolder* container = m_pRoot->GetRootFolder()->FindFolder(name)) {
    if (const MemberEntry* member = container->m_mapEntries.Find(name)) {
      const std::string fileName = FileNameOf(path);
      if (member->IsFolder() && !isDirectory) throw CZipUserException(FormatStrings(IDS_FOLDER_EXISTS, {fileName}));
      if (!member->IsFolder() && isDirectory) throw CZipUserException(FormatStrings(IDS_FILE_EXISTS, {fileName}));
      // A folder that exists only through its members has no entry to
      // delete; naming it would make the engine find nothing.
      if (!member->IsFolder()) {
        replaced.AddMember(memberPath);
      } else if (member->subFolder->HasOwnEntry()) {
        replaced.AddFolderEntry(memberPath);
      }
    }
  }

  const std::string withinArchive = BelowRoot(path);
  if (m_pRoot->GetRootFolder()->FindEntry(withinArchive)) {
    copyList.push_back(path);
  } else {
    addSpec.Add(isDirectory ? path + "\\" : path);
  }

  if (!isDirectory) return;
  // A junction may lead back above itself: it is added as a folder, not
  // walked.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return;
  WIN32_FIND_DATAW found;
  const UniqueFindHandle search(FindFirstFileW(FileSystemPath(path + "\\*").c_str(), &found));
  if (!search) return;
  do {
    const std::wstring_view child = found.cFileName;
    if (child == L"." || child == L"..") continue;
    // A name with a lone surrogate is refused with its message: it could
    // not be named to the engine.
    CollectForAdd(path + "\\" + WideToUtf8(child), sourceDir, addSpec, replaced, copyList);
  } while (FindNextFileW(search.get(), &found));
}
