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

}  // namespace
