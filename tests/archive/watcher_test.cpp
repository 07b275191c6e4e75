#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include "fake_user_interaction.h"
#include "process_state.h"
#include "temp_dir.h"
#include "tree_support.h"
#include "zip_maker.h"
#include "test_files.h"

namespace {


// Counts refreshes from whichever thread the sweep runs on.
class SignallingView : public IZipFolderView {
 public:
  SignallingView() : m_event(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
  ~SignallingView() { CloseHandle(m_event); }
  void RefreshBrowser() override {
    ++refreshes;
    SetEvent(m_event);
  }
  bool WaitForRefresh(DWORD ms) { return WaitForSingleObject(m_event, ms) == WAIT_OBJECT_0; }
  std::atomic<int> refreshes{0};

 private:
  HANDLE m_event;
};

class WatcherTest : public ::testing::Test, protected WithFakeUser {
 protected:
  void SetUp() override {
    source.Write("one.txt", "1");
    source.Write("two.txt", "22");
    ASSERT_EQ(0, zip_maker::Add(zip, source.path(), {"one.txt"}));
  }
  TempDir source;
  TempDir archives;
  std::string zip = archives / "watched.zip";
};

TEST_F(WatcherTest, RelistsOnceWhenTheArchiveIsReplacedAndNotForOtherFiles) {
  RootHolder holder;
  SignallingView view;
  holder.top()->AddView(&view);
  ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
  holder.root()->RefreshListing();
  ASSERT_EQ(1, view.refreshes);
  ASSERT_TRUE(view.WaitForRefresh(0));

  // An unrelated file wakes the watcher, which finds the archive unchanged.
  source.Write("unrelated.txt", "x");
  HANDLE other = CreateFileA((archives / "other.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(other, "abc", 3, &written, nullptr);
  CloseHandle(other);
  EXPECT_FALSE(view.WaitForRefresh(1500));
  EXPECT_EQ(1, view.refreshes);

  // The engine replaces the archive with one atomic rename.
  ASSERT_EQ(0, zip_maker::Add(zip, source.path(), {"two.txt"}));
  ASSERT_TRUE(view.WaitForRefresh(10000));
  EXPECT_FALSE(view.WaitForRefresh(1500));
  EXPECT_EQ(2, view.refreshes);
  {
    CriticalSectionLock lock(holder.root()->RootLock());
    EXPECT_NE(nullptr, Member(holder.top(), "two.txt"));
  }
  holder.top()->RemoveView(&view);
  EXPECT_TRUE(user.boxes.empty());
}

// Another program that writes the archive in pieces is seen half-way:
// that listing fails, quietly, and the finished file is still listed.
TEST_F(WatcherTest, AHalfWrittenArchiveIsPassedOverAndWatchingGoesOn) {
  RootHolder holder;
  SignallingView view;
  holder.top()->AddView(&view);
  ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
  holder.root()->RefreshListing();
  ASSERT_TRUE(view.WaitForRefresh(0));

  const std::string finished = archives / "finished.zip";
  ASSERT_EQ(0, zip_maker::Add(finished, source.path(), {"one.txt", "two.txt"}));
  source.Write("half.zip", "PK\3\4 the first bytes of a long copy");
  ASSERT_TRUE(CopyFileA((source / "half.zip").c_str(), zip.c_str(), FALSE));
  Sleep(1500);  // the watcher meets the damaged file
  ASSERT_TRUE(CopyFileA(finished.c_str(), zip.c_str(), FALSE));
  ASSERT_TRUE(view.WaitForRefresh(10000));
  {
    CriticalSectionLock lock(holder.root()->RootLock());
    EXPECT_NE(nullptr, Member(holder.top(), "two.txt"));
  }
  holder.top()->RemoveView(&view);
  EXPECT_TRUE(user.boxes.empty());
}

TEST_F(WatcherTest, DestroyingTheRootEndsItsWatcher) {
  const int before = ThreadsOfThisProcess();
  {
    RootHolder holder;
    ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
    EXPECT_EQ(before + 1, ThreadsOfThisProcess());
  }
  EXPECT_EQ(before, ThreadsOfThisProcess());
}

TEST_F(WatcherTest, AMissingDirectoryIsReportedOnceAndNotWatched) {
  const int before = ThreadsOfThisProcess();
  RootHolder holder;
  ASSERT_EQ(S_OK, holder.root()->Load(Wide(archives / "no-such-dir\\a.zip").c_str(), 0));
  for (int i = 0; i < 100 && ThreadsOfThisProcess() != before; ++i) Sleep(20);
  EXPECT_EQ(before, ThreadsOfThisProcess());
  ASSERT_EQ(1u, user.boxes.size());
  EXPECT_EQ(0u, user.boxes[0].text.find("System Error: 0-"));
}

}  // namespace
