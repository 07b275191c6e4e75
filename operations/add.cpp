// Putting dropped or pasted files into an archive: what is added, what is
// replaced and what is refused, all decided before the engine runs.
#include <shlwapi.h>

#include <optional>

#include "archive_lock.h"
#include "confirm_file_replace_dlg.h"
#include "confirm_folder_replace_dlg.h"
#include "drop_data.h"
#include "handles.h"
#include "member_list.h"
#include "resource.h"
#include "strings.h"
#include "zip_exceptions.h"
#include "zip_file.h"
#include "zip_folder.h"
#include "zip_request.h"

namespace {

// The engine and the shell keep paths within MAX_PATH; a longer one would
// be cut and name some other file.
void CheckPathLength(const std::string& path) {
  if (path.size() >= MAX_PATH) throw CZipWinException(0, ERROR_FILENAME_EXCED_RANGE);
}

// The directory part with its trailing backslash.
std::string DirectoryOf(const std::string& path) {
  char directory[MAX_PATH + 1];
  lstrcpynA(directory, path.c_str(), MAX_PATH);
  PathRemoveFileSpecA(directory);
  PathAddBackslashA(directory);
  return directory;
}

DWORD AttributesOf(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) throw CZipWinException();
  return attributes;
}

// A file another program holds without sharing (a document being edited)
// would stop the engine half-way; the user learns which one beforehand.
void CheckReadable(const std::string& path) {
  const UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
  if (!file) throw CZipUserException(FormatStrings(IDS_FILE_IN_USE, {path}));
}

std::string Quoted(const std::string& text) { return "\"" + text + "\" "; }

void TrimTrailingBlanks(std::string& text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
}

// The engine resolves names against the current directory while it runs;
// afterwards the process gets its own back, so the dropped directory (or a
// workspace) is not held and can be removed.
class CurrentDirectoryScope {
 public:
  explicit CurrentDirectoryScope(const std::string& directory) {
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, m_previous);
    if (length == 0 || length >= MAX_PATH) m_previous[0] = '\0';
    if (!SetCurrentDirectoryA(directory.c_str())) throw CZipWinException();
  }
  ~CurrentDirectoryScope() {
    if (m_previous[0] != '\0') SetCurrentDirectoryA(m_previous);
  }
  CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
  CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

 private:
  char m_previous[MAX_PATH];
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
  CheckPathLength(dropped->front());
  const std::string sourceDir = DirectoryOf(dropped->front());
  // Tested before the directory is entered: an unreachable share would
  // otherwise give a system error instead of the advice to map a drive.
  if (PathIsUNCA(sourceDir.c_str())) throw CZipUserException(IDS_NETWORK_DRIVE);

  bool fileYesToAll = false;
  bool folderYesToAll = false;
  bool answered = false;
  std::vector<std::string> chosen;
  std::vector<bool> existed;  // per chosen path: a member of its name was listed
  for (const std::string& path : *dropped) {
    CheckPathLength(path);
    if (DirectoryOf(path) != sourceDir) throw CZipUserException(IDS_DIFFERENT_DIRS);
    const std::optional<MemberEntry> member = ListedMember(PathFindFileNameA(path.c_str()));
    if (member) {
      const bool isDirectory = (AttributesOf(path) & FILE_ATTRIBUTE_DIRECTORY) != 0;
      bool replace = true;
      if (isDirectory && member->IsFolder()) {
        answered = true;
        replace = CConfirmFolderReplaceDlg::Ask(parent, member->shown, folderYesToAll);
      } else if (!isDirectory && !member->IsFolder()) {
        answered = true;
        replace = CConfirmFileReplaceDlg::Ask(parent, *member, fileYesToAll, path);
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
      if (ListedMember(PathFindFileNameA(chosen[i].c_str())).has_value() != existed[i])
        throw CZipUserException(IDS_SYNC_ERROR);
  }
  if (m_pRoot->IsReadOnly()) throw CZipUserException(IDS_READ_ONLY);
  if (!InTreeNow()) throw CZipUserException(IDS_SYNC_ERROR);
  const CurrentDirectoryScope currentDirectory(sourceDir);

  std::string addSpec;
  MemberList replaced;
  std::vector<std::string> copyList;
  for (const std::string& path : chosen) CollectForAdd(path, sourceDir, addSpec, replaced, copyList);
  TrimTrailingBlanks(addSpec);
  if (addSpec.empty() && copyList.empty()) return;

  ZIPREQUEST request;
  request.nOperation = kRequestUpdate;
  request.strAddSpec = addSpec;
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

void CZipFolder::CollectForAdd(const std::string& path, const std::string& sourceDir, std::string& addSpec,
                               MemberList& replaced, std::vector<std::string>& copyList) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  const DWORD attributes = AttributesOf(path);
  const bool isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!isDirectory) CheckReadable(path);

  const std::string memberPath = m_strPath + path.substr(sourceDir.size());
  std::string name = memberPath;
  if (CZipFolder* container = m_pRoot->GetRootFolder()->FindFolder(name)) {
    if (const MemberEntry* member = container->m_mapEntries.Find(name)) {
      const std::string fileName = PathFindFileNameA(path.c_str());
      if (member->IsFolder() && !isDirectory) throw CZipUserException(FormatStrings(IDS_FOLDER_EXISTS, {fileName}));
      if (!member->IsFolder() && isDirectory) throw CZipUserException(FormatStrings(IDS_FILE_EXISTS, {fileName}));
      // A folder that exists only through its members has no entry to
      // delete; naming it would make the engine find nothing.
      if (!member->IsFolder()) {
        replaced.AddMember(memberPath);
      } else if (member->record.pSubFolder->HasOwnEntry()) {
        replaced.AddFolderEntry(memberPath);
      }
    }
  }

  const std::string withinArchive = PathSkipRootA(path.c_str()) ? PathSkipRootA(path.c_str()) : path.c_str();
  if (m_pRoot->GetRootFolder()->FindEntry(withinArchive)) {
    copyList.push_back(path);
  } else {
    addSpec += Quoted(isDirectory ? path + "\\" : path);
  }

  if (!isDirectory) return;
  // A junction may lead back above itself: it is added as a folder, not
  // walked.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return;
  WIN32_FIND_DATAA found;
  const UniqueFindHandle search(FindFirstFileA((path + "\\*.*").c_str(), &found));
  if (!search) return;
  do {
    const std::string child = found.cFileName;
    if (child == "." || child == "..") continue;
    CollectForAdd(path + "\\" + child, sourceDir, addSpec, replaced, copyList);
  } while (FindNextFileA(search.get(), &found));
}
