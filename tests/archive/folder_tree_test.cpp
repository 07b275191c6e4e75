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

  void List(std::initializer_list<ListingRecord> records, uint32_t stamp) {
    for (const ListingRecord& r : records) top->AddEntry(r);
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

TEST_F(FolderTreeTest, AFileBesideAFolderOfItsNameGoesAside) {
  // Either order of the listing gives the same names, and they stay from
  // one listing to the next.
  for (int order = 0; order < 2; ++order) {
    RootHolder own;
    CZipFolder* folder = own.top();
    const uint32_t stamp = 5;
    auto file = ListedRecord("x", false, stamp, 3), inner = ListedRecord("x\\in.txt", false, stamp, 4);
    auto typed = ListedRecord("x.txt", false, stamp, 5), typedFolder = ListedRecord("x.txt", true, stamp);
    if (order == 0) {
      for (const auto& r : {file, inner, typed, typedFolder}) folder->AddEntry(r);
    } else {
      for (const auto& r : {typedFolder, inner, typed, file}) folder->AddEntry(r);
    }
    folder->Sweep(stamp);
    ASSERT_EQ(4u, folder->Entries().Count()) << order;
    ASSERT_NE(nullptr, Member(folder, "x")->pSubFolder);
    EXPECT_NE(nullptr, Member(Member(folder, "x")->pSubFolder, "in.txt"));
    ASSERT_NE(nullptr, Member(folder, "x.txt")->pSubFolder);
    const MemberEntry* aside = Entry(folder, "x~b7b2364b");
    ASSERT_NE(nullptr, aside) << order;
    EXPECT_TRUE(aside->IsAside());
    EXPECT_EQ("x", aside->name);
    EXPECT_EQ(3u, aside->size);
    EXPECT_EQ("x~b7b2364b", aside->Key());
    const MemberEntry* typedAside = Entry(folder, "x~fb7d6fc7.txt");
    ASSERT_NE(nullptr, typedAside) << order;
    EXPECT_EQ(nullptr, typedAside->subFolder);
    // The identifiers' keys find them again.
    EXPECT_EQ(aside, folder->Entries().FindKey("X~B7B2364B"));
    folder->AddEntry(ListedRecord("x", false, stamp + 1, 3));
    folder->AddEntry(ListedRecord("x\\in.txt", false, stamp + 1));
    folder->Sweep(stamp + 1);
    EXPECT_NE(nullptr, Entry(folder, "x~b7b2364b")) << order;
    // Once the folder has gone the file takes its own name again.
    folder->AddEntry(ListedRecord("x", false, stamp + 2, 3));
    folder->Sweep(stamp + 2);
    ASSERT_NE(nullptr, Entry(folder, "x"));
    EXPECT_FALSE(Entry(folder, "x")->IsAside());
    EXPECT_EQ(nullptr, Member(folder, "x")->pSubFolder);
    EXPECT_EQ(0, folder->SubFolderCount());
  }
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
  MemberEntry out{};
  top->LookupEntry(second, out, 5);
  EXPECT_EQ("two.txt", out.Key());
  top->LookupEntry(nullptr, out, 5);
  EXPECT_EQ("one.txt", out.Key());
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
    CZipFolder* a = holder.top()->Entries().Find("a")->subFolder;
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
