#include "workspace.h"

#include <shlwapi.h>

#include <atomic>
#include <cstring>
#include <utility>

#include "handles.h"
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
  }
}

void SetClipboardWorkspace(const std::string& path) {
  if (IWorkspaceKeeper* keeper = g_keeper.load()) keeper->SetClipboardWorkspace(path);
}

std::string CreateWorkspace() {
  char path[MAX_PATH] = "";
  if (GetTempPathA(MAX_PATH, path) == 0) throw CZipWinException(0, 0);
  // The system picks a name no other file has; the file only reserves it.
  if (GetTempFileNameA(path, "bdx", 0, path) == 0) throw CZipWinException(0, 0);
  DeleteFileA(path);
  if (!CreateDirectoryA(path, nullptr)) throw CZipWinException(0, 0);
  return path;
}

ScopedWorkspace::ScopedWorkspace() : m_path(CreateWorkspace()) {}

ScopedWorkspace::~ScopedWorkspace() {
  if (!m_path.empty()) DeleteTree(m_path);
}

std::string ScopedWorkspace::Release() { return std::exchange(m_path, std::string()); }

bool DeleteTree(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_DIRECTORY);
  }
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((path + "\\*.*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        DeleteTree(child);
      } else {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
          SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        // A file still open elsewhere stays; the directory's removal below
        // then fails and the caller tries again later.
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return RemoveDirectoryA(path.c_str()) != FALSE;
}

std::string CopyIntoWorkspace(const std::string& source, const std::string& base, const std::string& destination) {
  std::string target = destination + (source.size() > base.size() ? source.substr(base.size()) : std::string());
  const DWORD attributes = GetFileAttributesA(source.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    // Only the directory itself: the caller names every entry it needs,
    // parents first.
    target += '\\';
    if (!CreateDirectoryA(target.c_str(), nullptr)) throw CZipWinException(0, 0);
  } else if (!CopyFileA(source.c_str(), target.c_str(), TRUE)) {
    throw CZipWinException(0, 0);
  }
  return target;
}

HGLOBAL MakeDropFiles(const std::string& nulSeparatedPaths) {
  // The list ends with two NULs: the last path's own and the list's.
  std::string list = nulSeparatedPaths;
  if (list.empty() || list.back() != '\0') list.push_back('\0');
  list.push_back('\0');

  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(DROPFILES) + list.size());
  if (block == nullptr) throw CZipWinException(0, 0);
  auto* header = static_cast<DROPFILES*>(GlobalLock(block));
  if (header == nullptr) {
    const DWORD error = GetLastError();
    GlobalFree(block);
    throw CZipWinException(0, error);
  }
  header->pFiles = sizeof(DROPFILES);
  header->pt.x = 0;
  header->pt.y = 0;
  header->fNC = FALSE;
  header->fWide = FALSE;
  std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), list.size());
  GlobalUnlock(block);
  return block;
}

bool IsApplicationName(const char* name) {
  const char* extension = PathFindExtensionA(name);
  if (extension == nullptr || *extension == '\0') return false;
  std::string lower = extension;
  CharLowerBuffA(lower.data(), static_cast<DWORD>(lower.size()));
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
