// Properties of members: what the one page shows for nothing, one file, one
// folder and several members, with the fake user receiving the page; one
// test shows the real sheet.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "dialog_script.h"
#include "fake_user_interaction.h"
#include "format.h"
#include "resource.h"
#include "strings.h"
#include "temp_dir.h"
#include "tree_support.h"
#include "zip_exceptions.h"
#include "zip_maker.h"
#include "test_files.h"

namespace {


class Properties : public ::testing::Test, protected WithFakeUser {
 protected:
  void SetUp() override {
    content.Write("a.txt", "aaaa");
    content.Write("b.txt", "bb");
    content.Write("docs\\one.txt", std::string(1000, '1'));
    content.Write("docs\\two.txt", std::string(2000, '2'));
    CreateDirectoryA((content / "docs\\empty").c_str(), nullptr);
    ASSERT_EQ(0, zip_maker::Add(zip, content.path(), {"a.txt", "b.txt", "docs\\", "docs\\one.txt", "docs\\two.txt",
                                                      "docs\\empty\\"}));
    ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
    holder.root()->RefreshListing();
  }

  const PropertiesPage& Show(const std::vector<std::string>& names) {
    top->ShowProperties(nullptr, names);
    EXPECT_EQ(1u, user.sheets.size());
    return user.sheets.back();
  }

  TempDir content, dir;
  std::string zip = dir / "pack.zip";
  RootHolder holder;
  CZipFolder* top = holder.top();
};

TEST_F(Properties, NothingSelectedDescribesTheWholeArchiveByItsFileName) {
  const PropertiesPage& page = Show({});
  EXPECT_EQ(PropertiesPage::kFolder, page.kind);
  EXPECT_EQ("pack.zip", page.name);
  EXPECT_EQ("?", page.date);
  EXPECT_EQ(FormatInts(IDS_FILES_FOLDERS, {4, 2}), page.contains);
  EXPECT_EQ(format::FormatByteSize(3006, true), page.size);
  EXPECT_EQ(0u, page.attributes);
}

TEST_F(Properties, AFolderCountsWhatLiesBelowIt) {
  const PropertiesPage& page = Show({"docs"});
  EXPECT_EQ(PropertiesPage::kFolder, page.kind);
  EXPECT_EQ("docs", page.name);
  EXPECT_EQ(FormatInts(IDS_FILES_FOLDERS, {2, 1}), page.contains);
  EXPECT_EQ(format::FormatByteSize(3000, true), page.size);
  EXPECT_NE("?", page.date);
  EXPECT_TRUE(page.attributes & FILE_ATTRIBUTE_DIRECTORY);

  std::string path = "docs\\";
  CZipFolder* docs = top->FindFolder(path);
  ASSERT_NE(nullptr, docs);
  EXPECT_EQ("docs", docs->GetFolderDisplayName());
}

TEST_F(Properties, OneFileShowsItsOwnRecord) {
  const PropertiesPage& page = Show({"a.txt"});
  EXPECT_EQ(PropertiesPage::kSingle, page.kind);
  EXPECT_EQ("a.txt", page.name);
  EXPECT_EQ("pack.zip", page.location);
  EXPECT_EQ(format::GetTypeName("a.txt", false), page.type);
  EXPECT_EQ(format::FormatByteSize(4, true), page.size);
  EXPECT_EQ(format::FormatFileTime(top->Entries().Find("a.txt")->modified, true), page.date);
}

TEST_F(Properties, SeveralMembersShareATypeOrAreOfMultipleTypes) {
  const PropertiesPage& same = Show({"a.txt", "b.txt"});
  EXPECT_EQ(PropertiesPage::kMultiple, same.kind);
  EXPECT_EQ(FormatStrings(IDS_ALL_OF_TYPE, {format::GetTypeName("a.txt", false)}), same.type);
  EXPECT_EQ(FormatInts(IDS_FILES_FOLDERS, {2, 0}), same.name);
  EXPECT_EQ("pack.zip", same.location);
  EXPECT_EQ(0u, same.attributes);

  user.sheets.clear();
  const PropertiesPage& mixed = Show({"a.txt", "b.txt", "docs"});
  EXPECT_EQ(LoadStr(IDS_MULTIPLE_TYPES), mixed.type);
  // The folder counts as one, and so does everything below it.
  EXPECT_EQ(FormatInts(IDS_FILES_FOLDERS, {4, 2}), mixed.name);
}

TEST_F(Properties, AMemberRemovedMeanwhileShowsNoSheet) {
  try {
    top->ShowProperties(nullptr, {"a.txt", "gone.txt"});
    ADD_FAILURE() << "no exception";
  } catch (const CZipUserException& e) {
    EXPECT_EQ(LoadStr(IDS_SYNC_ERROR), e.Message());
  }
  EXPECT_TRUE(user.sheets.empty());
}

// Members of more than 4 GiB together: the total must not wrap.
TEST(PropertiesTotals, SizesBeyondFourGibibytesDoNotWrap) {
  WithFakeUser fake;
  RootHolder holder;
  TempDir dir;
  ASSERT_EQ(S_OK, holder.root()->Load(Wide(dir / "none.zip").c_str(), 0));
  const uint32_t stamp = 7;
  holder.top()->AddEntry(ListedRecord("big1.bin", false, stamp, 0xF0000000u));
  holder.top()->AddEntry(ListedRecord("big2.bin", false, stamp, 0xF0000000u));
  holder.top()->Sweep(stamp);
  holder.top()->ShowProperties(nullptr, {"big1.bin", "big2.bin"});
  ASSERT_EQ(1u, fake.user.sheets.size());
  const std::string sep = format::ThousandsSeparator();
  EXPECT_NE(std::string::npos, fake.user.sheets[0].size.find("(8" + sep + "053" + sep + "063" + sep + "680 "))
      << fake.user.sheets[0].size;
}

// The real sheet; its boxes are
// display only.
TEST(PropertiesSheet, TheRealSheetShowsOnePageWhoseBoxesIgnoreClicks) {
  TempDir content, dir;
  const std::string file = content.Write("hidden.txt", "h");
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  const std::string zip = dir / "sheet.zip";
  ASSERT_EQ(0, zip_maker::Add(zip, content.path(), {"hidden.txt"}));
  RootHolder holder;
  ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
  holder.root()->RefreshListing();
  const MemberEntry* found = holder.top()->Entries().Find("hidden.txt");
  ASSERT_NE(nullptr, found);
  const ZIPENTRY record = found->Record();
  const ZIPENTRY* member = &record;

  int pages = 0;
  std::string name;
  UINT hiddenBefore = 0, hiddenAfter = 0, systemAfter = 0;
  BOOL boxEnabled = TRUE;
  std::thread user([&] {
    HWND sheet = dialog_script::WaitForDialog("Properties");
    if (!sheet) return;
    HWND tabs = FindWindowExA(sheet, nullptr, "SysTabControl32", nullptr);
    pages = tabs ? static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0)) : 0;
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    name = dialog_script::Text(page, IDC_PROP_NAME);
    hiddenBefore = IsDlgButtonChecked(page, IDC_PROP_HIDDEN);
    boxEnabled = IsWindowEnabled(GetDlgItem(page, IDC_PROP_SYSTEM));
    dialog_script::Click(page, IDC_PROP_HIDDEN);
    dialog_script::Click(page, IDC_PROP_SYSTEM);
    hiddenAfter = IsDlgButtonChecked(page, IDC_PROP_HIDDEN);
    systemAfter = IsDlgButtonChecked(page, IDC_PROP_SYSTEM);
    PostMessageA(sheet, WM_COMMAND, IDOK, 0);
  });
  {
    std::vector<std::string> names{"hidden.txt"};
    holder.top()->ShowProperties(nullptr, names);
  }
  user.join();
  EXPECT_EQ(1, pages);
  EXPECT_EQ("hidden.txt", name);
  EXPECT_EQ(static_cast<UINT>((member->dwAttributes & FILE_ATTRIBUTE_HIDDEN) ? BST_CHECKED : BST_UNCHECKED),
            hiddenBefore);
  EXPECT_EQ(hiddenBefore, hiddenAfter);
  EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), systemAfter);
  EXPECT_FALSE(boxEnabled);
}

}  // namespace
