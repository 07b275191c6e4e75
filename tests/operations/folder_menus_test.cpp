// The context menus a folder hands out, with the real engine; the user's
// answers come from the fake.  Menus asked for at the same time (two
// windows, the tree and the view) must each act on their own selection.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "archive_state.h"
#include "com_object.h"
#include "fake_user_interaction.h"
#include "file_metadata.h"
#include "temp_dir.h"
#include "zip_file.h"
#include "zip_maker.h"

namespace {

class FolderMenus : public ::testing::Test, protected WithFakeUser {
 protected:
  static void SetUpTestSuite() { CoInitialize(nullptr); }
  static void TearDownTestSuite() { CoUninitialize(); }

  void SetUp() override {
    const std::vector<std::string> files = {"keep.txt", "gone.txt", "docs\\readme.txt"};
    for (const std::string& f : files) content.Write(f, f);
    ASSERT_EQ(0, zip_maker::Add(zip, content.path(), files));
  }

  // The archive's top folder, browsed as the shell browses it.
  IShellFolder* Browse() {
    CZipFile* root = CZipFile::Create();
    root->AddRef();
    const std::wstring wide(zip.begin(), zip.end());
    PIDLIST_ABSOLUTE pidl = nullptr;
    EXPECT_EQ(S_OK, SHParseDisplayName(wide.c_str(), nullptr, &pidl, 0, nullptr));
    EXPECT_EQ(S_OK, root->Initialize(pidl));
    CoTaskMemFree(pidl);
    IShellFolder* folder = nullptr;
    root->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&folder));
    root->Release();
    return folder;
  }

  // The menu of the named members, as the shell asks the folder for it.
  static IContextMenu* MenuOf(IShellFolder* folder, std::initializer_list<const char*> names) {
    std::vector<LPITEMIDLIST> items;
    for (const char* name : names) {
      ZIPENTRY record{};
      SetName(record.szName, name);
      SetName(record.szDisplayName, name);
      items.push_back(MakeItemId(record));
    }
    std::vector<PCUITEMID_CHILD> children(items.begin(), items.end());
    IContextMenu* menu = nullptr;
    EXPECT_EQ(S_OK, folder->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(),
                                          IID_IContextMenu, nullptr, reinterpret_cast<void**>(&menu)));
    for (LPITEMIDLIST item : items) FreeItemId(item);
    return menu;
  }

  static HRESULT Invoke(IContextMenu* menu, const char* verb) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.lpVerb = verb;
    return menu->InvokeCommand(&info);
  }

  TempDir content, archives;
  std::string zip = archives / "menus.zip";
};

TEST_F(FolderMenus, EachRequestGetsAMenuOfItsOwnThatOutlivesTheFolder) {
  const long objectsBefore = module_counts::Objects();
  IShellFolder* top = Browse();
  ASSERT_NE(nullptr, top);
  IContextMenu* first = MenuOf(top, {"gone.txt"});
  IContextMenu* second = MenuOf(top, {"docs"});
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, second);
  HMENU firstPopup = CreatePopupMenu();
  HMENU secondPopup = CreatePopupMenu();
  ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4), first->QueryContextMenu(firstPopup, 0, 100, 199, CMF_CANRENAME));
  ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4), second->QueryContextMenu(secondPopup, 0, 200, 299, CMF_CANRENAME));

  // The folder's own menu was never queried and was given no members: its
  // offsets mean nothing, and its Delete has nothing to delete.
  IContextMenu* own = nullptr;
  ASSERT_EQ(S_OK, top->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&own)));
  EXPECT_EQ(S_OK, Invoke(own, MAKEINTRESOURCEA(2)));
  EXPECT_TRUE(user.beeps.empty());
  EXPECT_EQ(S_OK, Invoke(own, "delete"));
  EXPECT_EQ(std::vector<UINT>{0}, user.beeps);
  EXPECT_TRUE(user.boxes.empty());
  own->Release();
  top->Release();

  // Offset 2 is Delete; each menu deletes what it was asked for.
  user.answer = IDYES;
  EXPECT_EQ(S_OK, Invoke(first, MAKEINTRESOURCEA(2)));
  EXPECT_EQ(1u, user.boxes.size());
  auto members = Listing(zip);
  EXPECT_EQ(0u, members.count("gone.txt"));
  EXPECT_EQ(1u, members.count("docs\\readme.txt"));
  EXPECT_EQ(1u, members.count("keep.txt"));
  EXPECT_EQ(S_OK, Invoke(second, MAKEINTRESOURCEA(2)));
  members = Listing(zip);
  EXPECT_EQ(0u, members.count("docs\\readme.txt"));
  EXPECT_EQ(1u, members.count("keep.txt"));

  first->Release();
  second->Release();
  DestroyMenu(firstPopup);
  DestroyMenu(secondPopup);
  // The archive's watcher may hold the root for a moment after the changes
  // it saw, and then drops the last reference itself.
  for (int i = 0; i < 500 && module_counts::Objects() != objectsBefore; ++i) Sleep(10);
  EXPECT_EQ(objectsBefore, module_counts::Objects()) << "the menus let go of their folder and its root";
}

}  // namespace

// A delete from the folder's menu rewrites the archive: what the system
// keeps on its file stays (where this system keeps it at all).
TEST_F(FolderMenus, ADeleteKeepsWhatTheSystemKeepsOnTheArchivesFile) {
  using namespace file_metadata;
  ASSERT_TRUE(SetFileAttributesA(zip.c_str(), FILE_ATTRIBUTE_HIDDEN));
  const FILETIME created{0x12345600u, 0x01c00000u};
  const bool timesKept = SetCreation(zip, created);
  const bool accessKept = MakePrivate(zip);
  bool isProtected = false;
  const std::string dacl = DaclOf(zip, isProtected);
  const bool streams = MarkDownloaded(zip, "[ZoneTransfer]\r\nZoneId=3\r\n");

  IShellFolder* top = Browse();
  ASSERT_NE(nullptr, top);
  IContextMenu* menu = MenuOf(top, {"gone.txt"});
  ASSERT_NE(nullptr, menu);
  HMENU popup = CreatePopupMenu();
  ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4), menu->QueryContextMenu(popup, 0, 100, 199, CMF_CANRENAME));
  user.answer = IDYES;
  EXPECT_EQ(S_OK, Invoke(menu, MAKEINTRESOURCEA(2)));  // Delete
  menu->Release();
  DestroyMenu(popup);
  top->Release();
  EXPECT_EQ(0u, Listing(zip).count("gone.txt"));

  EXPECT_TRUE(GetFileAttributesA(zip.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  if (timesKept) {
    EXPECT_TRUE(SameTime(CreationOf(zip), created));
  }
  if (accessKept) {
    bool stillProtected = false;
    EXPECT_EQ(dacl, DaclOf(zip, stillProtected));
    EXPECT_TRUE(stillProtected);
  }
  if (streams) {
    EXPECT_EQ("[ZoneTransfer]\r\nZoneId=3\r\n", StreamOf(zip, "Zone.Identifier"));
  }
  SetFileAttributesA(zip.c_str(), FILE_ATTRIBUTE_NORMAL);
}
