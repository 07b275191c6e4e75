#include "locks.h"

#include "strings.h"

bool NamedMutex::Create(const std::wstring& name) {
  m_handle.reset(CreateMutexW(nullptr, FALSE, name.c_str()));
  return static_cast<bool>(m_handle);
}

bool NamedMutex::Create(const std::string& utf8Name) { return Create(Utf8ToWide(utf8Name)); }

namespace {

MutexWait FromWaitResult(DWORD result) {
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) return MutexWait::kHeld;
  if (result == WAIT_TIMEOUT) return MutexWait::kTimedOut;
  return MutexWait::kFailed;  // WAIT_FAILED and anything unexpected: not ours
}

}  // namespace

MutexWait WaitForMutex(HANDLE mutex, DWORD boundMs, bool pump) {
  if (mutex == nullptr) return MutexWait::kFailed;
  if (!pump) return FromWaitResult(WaitForSingleObject(mutex, boundMs));
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    DWORD left = INFINITE;
    if (boundMs != INFINITE) {
      const ULONGLONG spent = GetTickCount64() - start;
      left = spent >= boundMs ? 0 : static_cast<DWORD>(boundMs - spent);
    }
    const DWORD result = MsgWaitForMultipleObjectsEx(1, &mutex, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (result != WAIT_OBJECT_0 + 1) return FromWaitResult(result);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // Left for the loop that owns the thread.
        PostQuitMessage(static_cast<int>(message.wParam));
        return MutexWait::kTimedOut;
      }
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

NamedMutexLock::NamedMutexLock(const NamedMutex& mutex, DWORD boundMs, bool pump) : m_handle(mutex.Handle()) {
  m_result = WaitForMutex(m_handle, boundMs, pump);
}

NamedMutexLock::~NamedMutexLock() {
  if (Held()) ReleaseMutex(m_handle);
}
