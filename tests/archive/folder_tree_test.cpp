#include <gtest/gtest.h>

#include "fake_user_interaction.h"
#include "resource.h"
#include "tree_support.h"
#include "zip_exceptions.h"

namespace {

class FolderTreeTest : public ::testing::Test, protected WithFakeUser {
 protected:
  RootHolder holder;
  CZipFolder* top = holder.top();

  void List(std::initializer_list<ZIPENTRY> records, uint32_t stamp) {
    for (const ZIPENTRY& r : records) top->AddEntry(r);
    top->Sweep(stamp);
  }
};

TEST_F(FolderTreeTest, ImplicitFoldersAreCreatedOnTheWay) {
  List({ListedRecord("a\\b\\c.txt", false, 5, 100), ListedRecord("d.txt", false, 5, 7)}, 5);
  ASSERT_EQ(2u, top->Entries().Count());
  const ZIPENTRY* a = Member(top, "a");
  ASSERT_NE(nullptr, a);
  EXPECT_EQ(static_cast<uint32_t>(FILE_ATTRIBUTE_DIRECTORY), a->dwAttributes);
  EXPECT_EQ(0u, a->dwSize);
  EXPECT_EQ(0u, a->ftModified.dwLowDateTime | a->ftModified.dwHighDateTime);
  ASSERT_NE(nullptr, a->pSubFolder);
  EXPECT_EQ("a\\", a->pSubFolder->Path());
  EXPECT_EQ(1, top->SubFolderCount());
  const ZIPENTRY* b = Member(a->pSubFolder, "b");
  ASSERT_NE(nullptr, b);
  ASSERT_NE(nullptr, b->pSubFolder);
  EXPECT_EQ("a\\b\\", b->pSubFolder->Path());
  const ZIPENTRY* c = Member(b->pSubFolder, "c.txt");
  ASSERT_NE(nullptr, c);
  EXPECT_STREQ("c.txt", c->szName);
  EXPECT_EQ(100u, c->dwSize);
  EXPECT_EQ(nullptr, c->pSubFolder);
  EXPECT_EQ(nullptr, Member(top, "d.txt")->pSubFolder);
}

TEST_F(FolderTreeTest, ListedDirectoryAfterImplicitKeepsTheFolderObject) {
  List({ListedRecord("a\\x.txt", false, 5)}, 5);
  CZipFolder* before = Member(top, "a")->pSubFolder;
  List({ListedRecord("a\\x.txt", false, 6), ListedRecord("a", true, 6)}, 6);
  const ZIPENTRY* a = Member(top, "a");
  EXPECT_EQ(before, a->pSubFolder);
  EXPECT_NE(0u, a->ftModified.dwHighDateTime);  // the listed entry's date replaced the implicit one
  EXPECT_NE(nullptr, Member(before, "x.txt"));
  EXPECT_EQ(1, top->SubFolderCount());
}

TEST_F(FolderTreeTest, FileAndFolderOfOneNameConflict) {
  top->AddEntry(ListedRecord("x.txt", false, 5));
  EXPECT_THROW(top->AddEntry(ListedRecord("x.txt", true, 5)), CZipFailException);
  top->AddEntry(ListedRecord("x", false, 5));
  EXPECT_THROW(top->AddEntry(ListedRecord("x\\y.txt", false, 5)), CZipFailException);
  top->AddEntry(ListedRecord("dir", true, 5));
  EXPECT_THROW(top->AddEntry(ListedRecord("DIR", false, 5)), CZipFailException);
}

TEST_F(FolderTreeTest, NamesDifferingInCaseAreOneMemberAndTheLaterWins) {
  List({ListedRecord("Readme.TXT", false, 5, 1), ListedRecord("README.txt", false, 5, 2)}, 5);
  ASSERT_EQ(1u, top->Entries().Count());
  EXPECT_STREQ("README.txt", Member(top, "readme.txt")->szName);
  EXPECT_EQ(2u, Member(top, "readme.txt")->dwSize);
}

TEST_F(FolderTreeTest, FindFolderFollowsOnlyComponentsEndingInABackslash) {
  List({ListedRecord("a\\b\\c.txt", false, 5), ListedRecord("f.txt", false, 5)}, 5);
  CZipFolder* a = Member(top, "a")->pSubFolder;
  CZipFolder* ab = Member(a, "b")->pSubFolder;
  std::string path = "a\\b";
  EXPECT_EQ(a, top->FindFolder(path));
  path = "a\\b\\";
  EXPECT_EQ(ab, top->FindFolder(path));
  EXPECT_TRUE(path.empty());
  path = "";
  EXPECT_EQ(top, top->FindFolder(path));
  path = "missing\\";
  EXPECT_EQ(nullptr, top->FindFolder(path));
  path = "f.txt\\x\\";
  EXPECT_THROW(top->FindFolder(path), CZipFailException);
}

TEST_F(FolderTreeTest, FindEntryTreatsAFileInThePathAsTaken) {
  List({ListedRecord("a\\b\\c.txt", false, 5), ListedRecord("f", false, 5)}, 5);
  EXPECT_TRUE(top->FindEntry("a\\b\\c.txt"));
  EXPECT_TRUE(top->FindEntry("A\\B"));
  EXPECT_FALSE(top->FindEntry("a\\b\\d.txt"));
  EXPECT_FALSE(top->FindEntry("z\\c.txt"));
  EXPECT_TRUE(top->FindEntry("f\\anything"));
}

TEST_F(FolderTreeTest, SweepRemovesWhatTheListingNoLongerHas) {
  List({ListedRecord("a\\b\\c.txt", false, 5), ListedRecord("keep", true, 5), ListedRecord("keep\\k.txt", false, 5),
        ListedRecord("d.txt", false, 5)},
       5);
  // c.txt is gone: its implicit folders go with it; the listed folder stays.
  List({ListedRecord("keep", true, 6), ListedRecord("d.txt", false, 6)}, 6);
  EXPECT_EQ(nullptr, Member(top, "a"));
  ASSERT_NE(nullptr, Member(top, "keep"));
  EXPECT_EQ(0u, Member(top, "keep")->pSubFolder->Entries().Count());
  EXPECT_EQ(1, top->SubFolderCount());
  EXPECT_EQ(6u, top->Stamp());
  EXPECT_EQ(6u, Member(top, "keep")->pSubFolder->Stamp());
}

TEST_F(FolderTreeTest, LookupEntryFailsOnceTheListingMoved) {
  List({ListedRecord("one.txt", false, 5), ListedRecord("two.txt", false, 5)}, 5);
  const auto second = top->Entries().Next(top->Entries().First());
  ZIPENTRY out{};
  top->LookupEntry(second, out, 5);
  EXPECT_STREQ("two.txt", out.szName);
  top->LookupEntry(nullptr, out, 5);
  EXPECT_STREQ("one.txt", out.szName);
  List({ListedRecord("one.txt", false, 6)}, 6);
  try {
    top->LookupEntry(nullptr, out, 5);
    FAIL() << "a stale listing token was accepted";
  } catch (const CZipUserException& e) {
    EXPECT_EQ("Synchronization error. Please repeat the operation.", e.Message());
  }
}

class CountingView : public IZipFolderView {
 public:
  void RefreshBrowser() override { ++refreshes; }
  int refreshes = 0;
};

TEST_F(FolderTreeTest, EverySweepTellsTheViewsOfEveryFolder) {
  List({ListedRecord("a\\c.txt", false, 5)}, 5);
  CountingView topView, subView;
  top->AddView(&topView);
  Member(top, "a")->pSubFolder->AddView(&subView);
  List({ListedRecord("a\\c.txt", false, 6)}, 6);
  EXPECT_EQ(1, topView.refreshes);
  EXPECT_EQ(1, subView.refreshes);
  Member(top, "a")->pSubFolder->RemoveView(&subView);
  top->RemoveView(&topView);
  List({}, 7);
  EXPECT_EQ(1, topView.refreshes);
}

TEST(FolderLifetime, ASubFolderHeldByTheShellKeepsItsRootAlive) {
  const long objectsBefore = module_counts::Objects();
  IShellFolder* sub = nullptr;
  {
    RootHolder holder;
    holder.top()->AddEntry(ListedRecord("a\\b\\c.txt", false, 5));
    holder.top()->Sweep(5);
    CZipFolder* a = holder.top()->Entries().Lookup("a")->pSubFolder;
    ASSERT_EQ(S_OK, a->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&sub)));
  }
  // The root is still there behind the folder: a sweep through it works.
  CZipFolder* folder = static_cast<CZipFolder*>(sub);
  EXPECT_EQ("a\\", folder->Path());
  folder->Root()->GetRootFolder()->Sweep(9);
  EXPECT_EQ(0u, folder->Entries().Count());
  sub->Release();
  EXPECT_EQ(objectsBefore, module_counts::Objects());
}

}  // namespace
