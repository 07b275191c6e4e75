#include "locks.h"

bool NamedMutex::Create(const std::string& name) {
  m_handle.reset(CreateMutexA(nullptr, FALSE, name.c_str()));
  return static_cast<bool>(m_handle);
}

NamedMutexLock::NamedMutexLock(const NamedMutex& mutex) : m_handle(mutex.Handle()) {
  if (m_handle == nullptr) return;
  const DWORD result = WaitForSingleObject(m_handle, INFINITE);
  m_held = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

NamedMutexLock::~NamedMutexLock() {
  if (m_held) ReleaseMutex(m_handle);
}
