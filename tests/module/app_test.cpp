#include <gtest/gtest.h>

#include <objbase.h>

#include <string>

#include "app.h"
#include "help.h"
#include "clipboard_support.h"
#include "workspace.h"
#include "test_files.h"

namespace {


// A workspace with a read-only file in it, as an opened member leaves it.
std::string MakeUsedWorkspace() {
  const std::string path = CreateWorkspace();
  const std::string file = path + "\\member.txt";
  const HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_READONLY, nullptr);
  CloseHandle(handle);
  return path;
}

// The clean-up's clock, moved by hand; the clipboard starts without a marker.
class CleanupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_clipboard.Ready());
    ASSERT_TRUE(m_clipboard.Put(CF_TEXT, "unrelated"));
    m_app.SetClock([this] { return m_now; });
  }
  void TearDown() override {
    for (const PENDINGWORKSPACE& pending : m_app.PendingWorkspaces()) DeleteTree(pending.path);
    if (!m_app.ClipboardWorkspace().empty()) DeleteTree(m_app.ClipboardWorkspace());
  }

  std::time_t m_now = 1700000000;
  CArchiveShellApp m_app;
  TestClipboard m_clipboard;
  const UINT m_marker = TemporaryDirectoryClipboardFormat();
};

TEST_F(CleanupTest, APendingWorkspaceIsKeptFor120SecondsThenDeleted) {
  EXPECT_TRUE(m_app.CleanWorkspaces());
  const std::string workspace = MakeUsedWorkspace();
  m_app.AddPendingWorkspace(workspace);

  m_now += 120;
  EXPECT_FALSE(m_app.CleanWorkspaces());
  EXPECT_TRUE(Exists(workspace));
  ASSERT_EQ(1u, m_app.PendingWorkspaces().size());

  m_now += 1;
  EXPECT_TRUE(m_app.CleanWorkspaces());
  EXPECT_FALSE(Exists(workspace));
  EXPECT_TRUE(m_app.PendingWorkspaces().empty());
}

TEST_F(CleanupTest, EachWorkspaceCountsFromItsOwnListing) {
  const std::string older = MakeUsedWorkspace();
  m_app.AddPendingWorkspace(older);
  m_now += 100;
  const std::string newer = MakeUsedWorkspace();
  m_app.AddPendingWorkspace(newer);

  m_now += 21;
  EXPECT_FALSE(m_app.CleanWorkspaces());
  EXPECT_FALSE(Exists(older));
  EXPECT_TRUE(Exists(newer));
  m_now += 100;
  EXPECT_TRUE(m_app.CleanWorkspaces());
  EXPECT_FALSE(Exists(newer));
}

TEST_F(CleanupTest, AWorkspaceInUseStaysPendingUntilItCanBeDeleted) {
  const std::string workspace = MakeUsedWorkspace();
  const std::string held = workspace + "\\open.txt";
  const HANDLE file = CreateFileA(held.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  m_app.AddPendingWorkspace(workspace);

  m_now += 500;
  EXPECT_FALSE(m_app.CleanWorkspaces());
  EXPECT_TRUE(Exists(held));
  EXPECT_EQ(1u, m_app.PendingWorkspaces().size());

  CloseHandle(file);
  EXPECT_TRUE(m_app.CleanWorkspaces());
  EXPECT_FALSE(Exists(workspace));
}

TEST_F(CleanupTest, AWorkspaceRemovedByOthersLeavesTheList) {
  const std::string workspace = CreateWorkspace();
  m_app.AddPendingWorkspace(workspace);
  ASSERT_TRUE(RemoveDirectoryA(workspace.c_str()));
  m_now += 121;
  EXPECT_TRUE(m_app.CleanWorkspaces());
  EXPECT_TRUE(m_app.PendingWorkspaces().empty());
}

TEST_F(CleanupTest, TheClipboardWorkspaceWaitsForTheClipboardToMoveOn) {
  ASSERT_TRUE(m_clipboard.Put(m_marker, "marker"));
  EXPECT_FALSE(m_app.CleanWorkspaces()) << "the marker alone keeps the library";

  const std::string workspace = MakeUsedWorkspace();
  m_app.SetClipboardWorkspace(workspace);
  m_now += 1000;
  EXPECT_FALSE(m_app.CleanWorkspaces());
  EXPECT_TRUE(Exists(workspace));
  EXPECT_TRUE(m_app.PendingWorkspaces().empty());

  // Unrelated text replaces the marker: the workspace is listed now and its
  // 120 seconds start now.
  ASSERT_TRUE(m_clipboard.Put(CF_TEXT, "something else"));
  EXPECT_FALSE(m_app.CleanWorkspaces());
  EXPECT_EQ("", m_app.ClipboardWorkspace());
  ASSERT_EQ(1u, m_app.PendingWorkspaces().size());
  EXPECT_EQ(workspace, m_app.PendingWorkspaces().front().path);
  m_now += 120;
  EXPECT_FALSE(m_app.CleanWorkspaces());
  EXPECT_TRUE(Exists(workspace));
  m_now += 1;
  EXPECT_TRUE(m_app.CleanWorkspaces());
  EXPECT_FALSE(Exists(workspace));
}

TEST_F(CleanupTest, ANewClipboardWorkspaceSendsThePreviousOneToTheList) {
  ASSERT_TRUE(m_clipboard.Put(m_marker, "marker"));
  const std::string first = MakeUsedWorkspace();
  const std::string second = MakeUsedWorkspace();
  m_app.SetClipboardWorkspace(first);
  m_now += 10;
  m_app.SetClipboardWorkspace(second);

  EXPECT_EQ(second, m_app.ClipboardWorkspace());
  ASSERT_EQ(1u, m_app.PendingWorkspaces().size());
  EXPECT_EQ(first, m_app.PendingWorkspaces().front().path);
  EXPECT_EQ(m_now, m_app.PendingWorkspaces().front().added);
  m_now += 121;
  EXPECT_FALSE(m_app.CleanWorkspaces());
  EXPECT_FALSE(Exists(first));
  EXPECT_TRUE(Exists(second));
}

// The library's own answer, through the application object that the entry
// points use.
class CanUnloadNowTest : public CleanupTest {
 protected:
  void SetUp() override {
    CleanupTest::SetUp();
    m_previousAppClock = TheApp().SetClock([this] { return m_now; });
  }
  void TearDown() override {
    for (const PENDINGWORKSPACE& pending : TheApp().PendingWorkspaces()) DeleteTree(pending.path);
    TheApp().SetClock(m_previousAppClock);
    CleanupTest::TearDown();
  }
  CArchiveShellApp::Clock m_previousAppClock;
};

TEST_F(CanUnloadNowTest, APendingWorkspaceHoldsTheLibraryUntilItIsDeleted) {
  EXPECT_EQ(S_OK, DllCanUnloadNow());
  const std::string workspace = MakeUsedWorkspace();
  TheApp().AddPendingWorkspace(workspace);
  EXPECT_EQ(S_FALSE, DllCanUnloadNow());
  m_now += 120;
  EXPECT_EQ(S_FALSE, DllCanUnloadNow());
  EXPECT_TRUE(Exists(workspace));
  m_now += 1;
  EXPECT_EQ(S_OK, DllCanUnloadNow());
  EXPECT_FALSE(Exists(workspace));
}

TEST_F(CanUnloadNowTest, TheMarkerOnTheClipboardHoldsTheLibrary) {
  ASSERT_TRUE(m_clipboard.Put(m_marker, "marker"));
  EXPECT_EQ(S_FALSE, DllCanUnloadNow());
  ASSERT_TRUE(m_clipboard.Put(CF_TEXT, "moved on"));
  EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST(ApplicationStart, TheHelpPageGoesWhereTheUserMayWrite) {
  ASSERT_TRUE(EnsureAppStarted());
  char temp[MAX_PATH];
  ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
  EXPECT_EQ(std::string(temp) + "Marrowbox Help.htm", TheApp().HelpFilePath());
  EXPECT_EQ(TheApp().HelpFilePath(), HelpFilePath());
}

}  // namespace
