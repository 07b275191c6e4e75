// Makes archives through the engine, the way the system's add requests do:
// full paths in, names relative to a base directory stored.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive_mutex_name.h"
#include "test_files.h"
#include "zipengine.h"

namespace zip_maker {

struct RenameContext {
  std::string baseDir;  // with its trailing backslash
};

// Holds the archive's named mutex, as every writer of the system does: the
// archive object's watcher may be listing it meanwhile.  The path is UTF-8,
// as the library's paths are (plain ASCII in most tests).
class ArchiveMutexLock {
 public:
  explicit ArchiveMutexLock(const std::string& zipPath) {
    std::wstring wide = WideFromUtf8(zipPath);
    m_mutex = CreateMutexW(nullptr, FALSE, ArchiveMutexName(wide).c_str());
    if (m_mutex) WaitForSingleObject(m_mutex, INFINITE);
  }
  ~ArchiveMutexLock() {
    if (!m_mutex) return;
    ReleaseMutex(m_mutex);
    CloseHandle(m_mutex);
  }
  ArchiveMutexLock(const ArchiveMutexLock&) = delete;
  ArchiveMutexLock& operator=(const ArchiveMutexLock&) = delete;

 private:
  HANDLE m_mutex = nullptr;
};

inline int ZE_CALLBACK StripBase(NAMEMAP* map, void* context) {
  const auto* base = static_cast<const RenameContext*>(context);
  std::string name = map->szInput;
  for (char& c : name)
    if (c == '/') c = '\\';
  if (name.compare(0, base->baseDir.size(), base->baseDir) == 0) name.erase(0, base->baseDir.size());
  for (char& c : name)
    if (c == '\\') c = '/';
  lstrcpynA(map->szOutput, name.c_str(), sizeof(map->szOutput));
  return 0;
}

// Adds the given paths (relative to baseDir; a trailing backslash names a
// directory entry) to the archive; returns the engine's result.
inline int Add(const std::string& zipPath, const std::string& baseDir, const std::vector<std::string>& relative,
               int level = 6) {
  std::string items;
  for (const std::string& r : relative) items += "\"" + baseDir + "\\" + r + "\" ";
  if (!items.empty()) items.pop_back();
  RenameContext context{baseDir + "\\"};
  char workDir[MAX_PATH];
  GetTempPathA(MAX_PATH, workDir);
  workDir[strlen(workDir) - 1] = '\0';
  const std::string root = "\"" + baseDir + "\\\"";
  ZIPCMD block{};
  block.cbSize = sizeof(block);
  block.nFunction = ZE_ZIP_ADD;
  block.pszZipFile = zipPath.c_str();
  block.pszItems = items.c_str();
  block.nLevel = level;
  block.bUseWorkDir = 1;
  block.pszWorkDir = workDir;
  block.bSetComment = 1;
  block.pszComment = "test archive";
  block.bRecurse = 1;
  block.pszRootDir = root.c_str();
  block.bDirEntries = 1;
  block.pfnRename = StripBase;
  block.pRenameContext = &context;
  ArchiveMutexLock lock(zipPath);
  return dzip(&block);
}

inline int Delete(const std::string& zipPath, const std::string& spec) {
  char workDir[MAX_PATH];
  GetTempPathA(MAX_PATH, workDir);
  workDir[strlen(workDir) - 1] = '\0';
  ZIPCMD block{};
  block.cbSize = sizeof(block);
  block.nFunction = ZE_ZIP_DELETE;
  block.pszZipFile = zipPath.c_str();
  block.pszItems = spec.c_str();
  block.bUseWorkDir = 1;
  block.pszWorkDir = workDir;
  block.bDirEntries = 1;
  ArchiveMutexLock lock(zipPath);
  return dzip(&block);
}

}  // namespace zip_maker
