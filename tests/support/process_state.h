// What a process holds that tests look at from outside: its threads, and an
// archive object's named mutex (held for exactly as long as the object lives).
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <string>

#include "archive_mutex_name.h"
#include "test_files.h"

inline int ThreadsOfThisProcess() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  CloseHandle(snapshot);
  return count;
}

// The archive object names its mutex after the archive's path.
inline bool ArchiveObjectLives(const std::string& zip) {
  // The path is UTF-8; the name follows the library's own rule.
  std::wstring wide = WideFromUtf8(zip);
  const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, ArchiveMutexName(wide).c_str());
  if (mutex == nullptr) return false;
  CloseHandle(mutex);
  return true;
}
