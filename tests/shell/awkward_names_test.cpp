// Members whose names hold wildcards, quotes, brackets or blanks, in an
// archive another tool wrote, each deleted alone through the registered
// DLL's item menu: that member goes and nothing else.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive_state.h"
#include "awkward_archive.h"
#include "dialog_script.h"
#include "registered_root.h"
#include "temp_dir.h"

namespace {

using namespace awkward;


class AwkwardNames : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OleInitialize(nullptr); }
  static void TearDownTestSuite() { OleUninitialize(); }

  void SetUp() override { FreshCopy(); }

  // The archive as the other tool wrote it.
  void FreshCopy() {
    const std::string made = ArchivePath();
    ASSERT_FALSE(made.empty());
    ASSERT_TRUE(CopyFileA(made.c_str(), zip.c_str(), FALSE)) << made;
    ASSERT_EQ(ListedWithout({}), Names(Listing(zip)));
  }

  IShellFolder* Browse() { return BrowseRegistered(zip); }

  // The object the top folder hands out for one member, which it resolves
  // by the name in the identifier.
  template <typename I>
  static I* ObjectFor(IShellFolder* folder, const std::string& name) {
    std::vector<BYTE> item(556, 0);
    item[0] = 554 & 0xFF;
    item[1] = 554 >> 8;
    name.copy(reinterpret_cast<char*>(item.data()) + 2, 259);
    PCUITEMID_CHILD items[] = {reinterpret_cast<PCUITEMID_CHILD>(item.data())};
    I* object = nullptr;
    EXPECT_EQ(S_OK, folder->GetUIObjectOf(nullptr, 1, items, __uuidof(I), nullptr, reinterpret_cast<void**>(&object)));
    return object;
  }

  static HRESULT Invoke(IContextMenu* menu, const char* verb) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.lpVerb = verb;
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(&info);
  }

  TempDir archives;
  std::string zip = archives / "awkward.zip";
};

TEST_F(AwkwardNames, TheDeleteVerbRemovesExactlyTheSelectedMember) {
  std::vector<std::string> selections = kSelectedFiles;
  selections.push_back("f*");
  for (const std::string& name : selections) {
    SCOPED_TRACE(name);
    ASSERT_NO_FATAL_FAILURE(FreshCopy());
    IShellFolder* folder = Browse();
    ASSERT_NE(nullptr, folder);
    IContextMenu* menu = ObjectFor<IContextMenu>(folder, name);
    ASSERT_NE(nullptr, menu);
    {
      // The confirmation is the DLL's own message box: answer Yes.
      dialog_script::Script yes("", [](HWND box) { dialog_script::Click(box, IDYES); });
      EXPECT_EQ(S_OK, Invoke(menu, "delete"));
      EXPECT_TRUE(yes.Found());
    }
    menu->Release();
    folder->Release();
    const std::vector<std::string> gone =
        name == "f*" ? std::vector<std::string>{"f*\\", "f*\\in.txt"} : std::vector<std::string>{name};
    EXPECT_EQ(ListedWithout(gone), Names(Listing(zip)));
  }
}

}  // namespace
