#include <gtest/gtest.h>

#include <thread>

#include "locks.h"

namespace {

// Runs body on another thread and waits for it.
template <typename Body>
void OnOtherThread(Body body) {
  std::thread(body).join();
}

TEST(CriticalSectionLock, IsReentrantAndExcludesOtherThreads) {
  CriticalSection section;
  {
    CriticalSectionLock outer(section);
    CriticalSectionLock inner(section);
    OnOtherThread([&] {
      EXPECT_FALSE(section.TryLock());
    });
  }
  OnOtherThread([&] {
    CriticalSectionLock later(section);
    SUCCEED();
  });
}

TEST(NamedMutex, SerialisesHoldersOfTheSameName) {
  const std::string name = "Z:/tmp/locks-test-" + std::to_string(GetCurrentProcessId()) + ".zip";
  NamedMutex first;
  ASSERT_TRUE(first.Create(name));
  {
    NamedMutexLock lock(first);
    ASSERT_TRUE(lock.Held());
    OnOtherThread([&] {
      NamedMutex second;
      ASSERT_TRUE(second.Create(name));
      EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(second.Handle(), 0));
    });
  }
  OnOtherThread([&] {
    NamedMutex second;
    ASSERT_TRUE(second.Create(name));
    NamedMutexLock lock(second);
    EXPECT_TRUE(lock.Held());
  });
}

TEST(NamedMutex, AnAbandonedMutexIsTakenOver) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create("Z:/tmp/abandoned-" + std::to_string(GetCurrentProcessId())));
  // A holder that ends without releasing, as a killed process would.
  OnOtherThread([&] { WaitForSingleObject(mutex.Handle(), INFINITE); });
  NamedMutexLock lock(mutex);
  EXPECT_TRUE(lock.Held());
}

// A window on the waiting thread that counts what reaches it.
struct CountingWindow {
  static constexpr UINT kPing = WM_APP + 7;
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPing) return ++*reinterpret_cast<int*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    return DefWindowProcA(window, message, wParam, lParam);
  }
  CountingWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "LocksTestCounter";
    RegisterClassA(&windowClass);
    window = CreateWindowA("LocksTestCounter", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&seen));
  }
  ~CountingWindow() { DestroyWindow(window); }
  HWND window = nullptr;
  int seen = 0;
};

TEST(NamedMutex, AWaiterHandlesItsMessagesAndGivesUpAfterTheBound) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create("Z:/tmp/pumped-" + std::to_string(GetCurrentProcessId())));
  CountingWindow counter;
  ASSERT_NE(nullptr, counter.window);

  // Another thread holds the mutex and, meanwhile, sends to the waiter's
  // window, as another window of the archive would: the send must be
  // answered while the wait goes on.
  HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  LRESULT sentAnswer = 0;
  std::thread holder([&] {
    NamedMutexLock held(mutex);
    SetEvent(taken);
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(counter.window, CountingWindow::kPing, 0, 0, SMTO_NORMAL, 5000, &answer))
      sentAnswer = static_cast<LRESULT>(answer);
    WaitForSingleObject(release, 10000);
  });
  WaitForSingleObject(taken, 10000);
  PostMessageA(counter.window, CountingWindow::kPing, 0, 0);
  {
    NamedMutexLock waited(mutex, 1500, true);
    EXPECT_FALSE(waited.Held());
    EXPECT_EQ(MutexWait::kTimedOut, waited.Result());
  }
  EXPECT_EQ(2, counter.seen) << "the posted and the sent message were handled during the wait";
  EXPECT_NE(0, sentAnswer);

  // Once the holder lets go the waiter gets it.
  SetEvent(release);
  holder.join();
  NamedMutexLock after(mutex, 1500, true);
  EXPECT_TRUE(after.Held());
  CloseHandle(taken);
  CloseHandle(release);
}

TEST(NamedMutex, AFailedWaitIsNotALock) {
  // A handle that names nothing: the wait fails, and nothing is released.
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_NE(nullptr, event);
  CloseHandle(event);
  EXPECT_EQ(MutexWait::kFailed, WaitForMutex(event, 100, false));
  EXPECT_EQ(MutexWait::kFailed, WaitForMutex(event, 100, true));
  NamedMutex unopened;
  NamedMutexLock none(unopened, 100, true);
  EXPECT_FALSE(none.Held());
  EXPECT_EQ(MutexWait::kFailed, none.Result());
}

}  // namespace
