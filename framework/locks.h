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
  // Creates or opens the mutex; false leaves the reason in GetLastError.
  bool Create(const std::string& name);
  HANDLE Handle() const { return m_handle.get(); }
  bool IsOpen() const { return static_cast<bool>(m_handle); }

 private:
  UniqueKernelHandle m_handle;
};

// Holds a named mutex.  A mutex abandoned by a dead process is taken over:
// the archive it guards is still whole because every change is atomic.
class NamedMutexLock {
 public:
  explicit NamedMutexLock(const NamedMutex& mutex);
  ~NamedMutexLock();
  NamedMutexLock(const NamedMutexLock&) = delete;
  NamedMutexLock& operator=(const NamedMutexLock&) = delete;
  bool Held() const { return m_held; }

 private:
  HANDLE m_handle;
  bool m_held = false;
};
