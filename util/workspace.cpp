#include "workspace.h"

#include <atomic>
#include <cstring>
#include <utility>
#include <vector>

#include "drop_data.h"
#include "handles.h"
#include "strings.h"
#include "trace.h"
#include "zip_exceptions.h"

namespace {

std::atomic<IWorkspaceKeeper*> g_keeper{nullptr};

}  // namespace

void SetWorkspaceKeeper(IWorkspaceKeeper* keeper) { g_keeper.store(keeper); }

void DeferWorkspaceDeletion(const std::string& path) noexcept {
  try {
    if (IWorkspaceKeeper* keeper = g_keeper.load()) keeper->AddPendingWorkspace(path);
  } catch (...) {
    // Without memory to queue it, the workspace stays in the temporary directory.
    TraceCurrentException("workspace deletion");
  }
}

void SetClipboardWorkspace(const std::string& path) {
  if (IWorkspaceKeeper* keeper = g_keeper.load()) keeper->SetClipboardWorkspace(path);
}

std::string CreateWorkspace() {
  WCHAR path[MAX_PATH + 1] = L"";
  const DWORD length = GetTempPathW(MAX_PATH + 1, path);
  if (length == 0 || length > MAX_PATH) throw CZipWinException(0, length == 0 ? 0 : ERROR_FILENAME_EXCED_RANGE);
  // The system picks a name no other file has; the file only reserves it.
  WCHAR reserved[MAX_PATH] = L"";
  if (GetTempFileNameW(path, L"bdx", 0, reserved) == 0) throw CZipWinException(0, 0);
  DeleteFileW(reserved);
  if (!CreateDirectoryW(reserved, nullptr)) throw CZipWinException(0, 0);
  return WideToUtf8(reserved);
}

ScopedWorkspace::ScopedWorkspace() : m_path(CreateWorkspace()) {}

ScopedWorkspace::~ScopedWorkspace() {
  if (!m_path.empty()) DeleteTree(m_path);
}

std::string ScopedWorkspace::Release() { return std::exchange(m_path, std::string()); }

bool DeleteTree(const std::string& path) {
  if (path.empty()) return false;
  const std::wstring directory = FileSystemPath(path);
  const DWORD attributes = GetFileAttributesW(directory.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(directory.c_str(), FILE_ATTRIBUTE_DIRECTORY);
  }
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(FileSystemPath(path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring_view name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::string child;
      try {
        child = path + "\\" + WideToUtf8(name);
      } catch (const CException&) {
        continue;  // no spelling to name it by: it stays, and so does the directory
      }
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        DeleteTree(child);
      } else {
        const std::wstring file = FileSystemPath(child);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
          SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        // A file still open elsewhere stays; the directory's removal below
        // then fails and the caller tries again later.
        DeleteFileW(file.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  return RemoveDirectoryW(directory.c_str()) != FALSE;
}

std::string CopyIntoWorkspace(const std::string& source, const std::string& base, const std::string& destination) {
  std::string target = destination + (source.size() > base.size() ? source.substr(base.size()) : std::string());
  const std::wstring from = FileSystemPath(source);
  const DWORD attributes = GetFileAttributesW(from.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    // Only the directory itself: the caller names every entry it needs,
    // parents first.
    target += '\\';
    if (!CreateDirectoryW(FileSystemPath(target).c_str(), nullptr)) throw CZipWinException(0, 0);
  } else if (!CopyFileW(from.c_str(), FileSystemPath(target).c_str(), TRUE)) {
    throw CZipWinException(0, 0);
  }
  return target;
}

HGLOBAL MakeDropFiles(const std::string& nulSeparatedPaths) {
  std::vector<std::string> paths;
  size_t start = 0;
  while (start < nulSeparatedPaths.size()) {
    size_t end = nulSeparatedPaths.find('\0', start);
    if (end == std::string::npos) end = nulSeparatedPaths.size();
    if (end == start) break;  // the list's own end
    paths.push_back(nulSeparatedPaths.substr(start, end - start));
    start = end + 1;
  }
  return MakeWideDropFiles(paths);
}

namespace {

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// Where the last component starts: after the last separator, or after a
// drive's colon ("C:name").
size_t NameStart(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    const char c = path[i - 1];
    if (IsPathSeparator(c) || (c == ':' && i == 2)) return i;
  }
  return 0;
}

}  // namespace

std::string FileNameOf(const std::string& path) { return path.substr(NameStart(path)); }

std::string ParentOf(const std::string& path) {
  size_t end = NameStart(path);
  // The root keeps its separator ("C:\", "\\"), every other parent loses it.
  const size_t root = path.size() >= 3 && path[1] == ':' && IsPathSeparator(path[2]) ? 3
                      : path.size() >= 1 && IsPathSeparator(path[0])                 ? 1
                                                                                      : 0;
  while (end > root && IsPathSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

std::string WithoutExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  const size_t start = NameStart(name);
  if (dot == std::string::npos || dot <= start) return name;
  return name.substr(0, dot);
}

bool IsApplicationName(const char* name) {
  if (name == nullptr) return false;
  const std::string file = FileNameOf(name);
  const size_t dot = file.rfind('.');
  if (dot == std::string::npos) return false;
  std::string lower = file.substr(dot);
  // Extensions worth matching are ASCII; other bytes stay as they are.
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower == ".exe" || lower == ".bat" || lower == ".com" || lower == ".pif";
}

void ToBackslashes(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text == '/') *text = '\\';
  }
}

void ToForwardSlashes(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text == '\\') *text = '/';
  }
}
