#include "archive_lock.h"

#include <mutex>
#include <set>

#include "profile.h"
#include "resource.h"
#include "strings.h"
#include "zip_exceptions.h"
#include "zip_file.h"

namespace {

// A thread with a window must keep handling messages while it waits: other
// windows send to it, and they would hang too.  IsGUIThread(FALSE) asks
// without turning the thread into one.
bool ThreadHasWindows() { return IsGUIThread(FALSE) != FALSE; }

std::mutex g_runningLock;
std::set<std::wstring>& Running() {
  static std::set<std::wstring> running;
  return running;
}

// One key per file, as the mutex has one name per file: paths that differ
// in case and separators only are the same.
std::wstring KeyOf(const std::string& path) { return ArchiveMutexName(Utf8ToWide(path)); }

}  // namespace

DWORD ArchiveWaitBoundMs() {
  const int bound = ReadSetting(settings::kArchiveWaitMs);
  return bound < 0 ? 0 : static_cast<DWORD>(bound);
}

ArchiveLock::ArchiveLock(CZipFile& root)
    : m_root(root.RootLock()), m_mutex(root.ArchiveMutex(), ArchiveWaitBoundMs(), ThreadHasWindows()) {
  switch (m_mutex.Result()) {
    case MutexWait::kHeld: return;
    case MutexWait::kTimedOut:
      throw CZipUserException(FormatStrings(IDS_ARCHIVE_WAIT_TOO_LONG, {root.ZipPath()}));
    case MutexWait::kFailed: throw CZipWinException(0, GetLastError() != 0 ? GetLastError() : ERROR_INVALID_HANDLE);
  }
}

ArchiveChange::ArchiveChange(const CZipFile& root) : m_key(KeyOf(root.ZipPath())) {
  std::lock_guard<std::mutex> lock(g_runningLock);
  if (!Running().insert(m_key).second) throw CZipUserException(FormatStrings(IDS_ARCHIVE_BUSY, {root.ZipPath()}));
}

ArchiveChange::~ArchiveChange() {
  std::lock_guard<std::mutex> lock(g_runningLock);
  Running().erase(m_key);
}
