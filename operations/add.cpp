// Putting dropped or pasted files into an archive: what is added, what is
// replaced and what is refused, all decided before the engine runs.
#include <shlwapi.h>

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
  CriticalSectionLock lock(m_pRoot->RootLock());
  NamedMutexLock archiveLock(m_pRoot->ArchiveMutex());
  if (m_pRoot->IsReadOnly()) throw CZipUserException(IDS_READ_ONLY);
  // The replace decisions below must see what the file holds now.  A folder
  // the new listing no longer has cannot take files.
  m_pRoot->RefreshListing();
  if (!IsInTree()) throw CZipUserException(IDS_SYNC_ERROR);

  // A malformed list is no list: nothing of it is read.
  const auto dropped = ReadDropFiles(drop);
  if (!dropped || dropped->empty()) return;
  CheckPathLength(dropped->front());
  const std::string sourceDir = DirectoryOf(dropped->front());
  // Tested before the directory is entered: an unreachable share would
  // otherwise give a system error instead of the advice to map a drive.
  if (PathIsUNCA(sourceDir.c_str())) throw CZipUserException(IDS_NETWORK_DRIVE);
  const CurrentDirectoryScope currentDirectory(sourceDir);

  bool fileYesToAll = false;
  bool folderYesToAll = false;
  std::string addSpec;
  MemberList replaced;
  std::vector<std::string> copyList;
  for (const std::string& path : *dropped) {
    CheckPathLength(path);
    if (DirectoryOf(path) != sourceDir) throw CZipUserException(IDS_DIFFERENT_DIRS);
    if (const ZIPENTRY* member = m_mapEntries.Lookup(PathFindFileNameA(path.c_str()))) {
      const bool isDirectory = (AttributesOf(path) & FILE_ATTRIBUTE_DIRECTORY) != 0;
      bool replace = true;
      if (isDirectory && member->pSubFolder != nullptr) {
        replace = CConfirmFolderReplaceDlg::Ask(parent, member->szName, folderYesToAll);
      } else if (!isDirectory && member->pSubFolder == nullptr) {
        replace = CConfirmFileReplaceDlg::Ask(parent, *member, fileYesToAll, path);
      }
      if (!replace) continue;
    }
    CollectForAdd(path, sourceDir, addSpec, replaced, copyList);
  }
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

void CZipFolder::CollectForAdd(const std::string& path, const std::string& sourceDir, std::string& addSpec,
                               MemberList& replaced, std::vector<std::string>& copyList) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  const DWORD attributes = AttributesOf(path);
  const bool isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!isDirectory) CheckReadable(path);

  const std::string memberPath = m_strPath + path.substr(sourceDir.size());
  std::string name = memberPath;
  if (CZipFolder* container = m_pRoot->GetRootFolder()->FindFolder(name)) {
    if (const ZIPENTRY* member = container->m_mapEntries.Lookup(name.c_str())) {
      const std::string fileName = PathFindFileNameA(path.c_str());
      if (member->pSubFolder != nullptr && !isDirectory)
        throw CZipUserException(FormatStrings(IDS_FOLDER_EXISTS, {fileName}));
      if (member->pSubFolder == nullptr && isDirectory)
        throw CZipUserException(FormatStrings(IDS_FILE_EXISTS, {fileName}));
      // A folder that exists only through its members has no entry to
      // delete; naming it would make the engine find nothing.
      if (member->pSubFolder == nullptr) {
        replaced.AddMember(memberPath);
      } else if (member->pSubFolder->HasOwnEntry()) {
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
