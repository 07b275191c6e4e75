// Scoped locks over a re-entrant critical section and a named mutex that all
// processes share.
#pragma once

#include <windows.h>

#include <string>

#include "handles.h"

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&m_section); }
  ~CriticalSection() { DeleteCriticalSection(&m_section); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Lock() { EnterCriticalSection(&m_section); }
  void Unlock() { LeaveCriticalSection(&m_section); }
  bool TryLock() { return TryEnterCriticalSection(&m_section) != FALSE; }

 private:
  CRITICAL_SECTION m_section;
};

class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CriticalSection& section) : m_section(section) { m_section.Lock(); }
  ~CriticalSectionLock() { m_section.Unlock(); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

 private:
  CriticalSection& m_section;
};

class NamedMutex {
 public:
  NamedMutex() = default;
  // Creates or opens the mutex of that name (UTF-16: names of paths come in
  // every script); false leaves the reason in GetLastError.
  bool Create(const std::wstring& name);
  bool Create(const std::string& utf8Name);
  HANDLE Handle() const { return m_handle.get(); }
  bool IsOpen() const { return static_cast<bool>(m_handle); }

 private:
  UniqueKernelHandle m_handle;
};

// How a wait for a mutex ended.  A mutex abandoned by a dead process is
// taken over (kHeld): the archive it guards is still whole because every
// change is atomic; a mutex that stays taken is left after the bound.
enum class MutexWait { kHeld, kTimedOut, kFailed };

// Waits at most boundMs for the mutex.  With pump the calling thread goes on
// handling its sent and posted messages meanwhile, so its windows (and every
// window that sends to them) keep answering.
MutexWait WaitForMutex(HANDLE mutex, DWORD boundMs, bool pump);

// Holds a named mutex.  Held() is false when the wait did not get it
// (Result() tells why); only a held mutex is released.
class NamedMutexLock {
 public:
  // Waits without a bound and without handling messages: for threads that
  // have no windows.
  explicit NamedMutexLock(const NamedMutex& mutex) : NamedMutexLock(mutex, INFINITE, false) {}
  NamedMutexLock(const NamedMutex& mutex, DWORD boundMs, bool pump);
  ~NamedMutexLock();
  NamedMutexLock(const NamedMutexLock&) = delete;
  NamedMutexLock& operator=(const NamedMutexLock&) = delete;
  bool Held() const { return m_result == MutexWait::kHeld; }
  MutexWait Result() const { return m_result; }

 private:
  HANDLE m_handle;
  MutexWait m_result = MutexWait::kFailed;
};
