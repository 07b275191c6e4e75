// The two ways one archive is kept from being changed by two operations at
// once: a process-wide mark per archive for the change running here, and the
// archive's named mutex for everything that reads or writes its file.
#pragma once

#include <windows.h>

#include <string>

#include "archive_mutex_name.h"
#include "locks.h"

class CZipFile;

// How long a window waits for another window or program to let go of an
// archive before it tells the user; the setting ArchiveWaitMs overrides it.
DWORD ArchiveWaitBoundMs();

// Holds the root lock and the archive's mutex.  The wait for the mutex
// handles the thread's messages when the thread has windows, gives up after
// the bound (CZipUserException, IDS_ARCHIVE_WAIT_TOO_LONG) and throws
// CZipWinException when the wait itself fails: no one goes on unlocked.
class ArchiveLock {
 public:
  explicit ArchiveLock(CZipFile& root);
  ArchiveLock(const ArchiveLock&) = delete;
  ArchiveLock& operator=(const ArchiveLock&) = delete;

 private:
  CriticalSectionLock m_root;
  NamedMutexLock m_mutex;
};

// Marks a change of the archive as running in this process while it lives.
// The mutex is re-entrant for its owner thread and a change's progress
// window handles messages, so the mutex alone would let a second drop or
// delete in the same window start a change inside the first: a second mark
// of the same archive, from any thread, throws CZipUserException
// (IDS_ARCHIVE_BUSY) instead.
class ArchiveChange {
 public:
  explicit ArchiveChange(const CZipFile& root);
  ~ArchiveChange();
  ArchiveChange(const ArchiveChange&) = delete;
  ArchiveChange& operator=(const ArchiveChange&) = delete;

 private:
  std::wstring m_key;
};
