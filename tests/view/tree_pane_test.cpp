// The host's folder tree beside the view: fed by the folders' EnumObjects,
// each folder's context menu from its parent's GetUIObjectOf, and a change
// made from that menu reaching the tree, the list and the archive.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive_state.h"
#include "produced.h"
#include "view_support.h"

using namespace view_test;

namespace {

std::vector<std::string> MenuTexts(HMENU menu) {
  std::vector<std::string> texts;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[64] = "";
    GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
    texts.push_back(text);
  }
  return texts;
}

UINT ItemIdByText(HMENU menu, const std::string& wanted) {
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[64] = "";
    GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
    if (wanted == text) return GetMenuItemID(menu, i);
  }
  return 0;
}

TEST(TreePane, DeletingAFolderFromItsTreeMenuRemovesItEverywhere) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  {
    WithFakeUser fake;
    fake.user.answer = IDYES;  // the delete question
    TempDir dir;
    const KnownArchive known = MakeKnownArchive(dir);
    ASSERT_FALSE(known.zip.empty());
    HostedArchive hosted(known.zip, true);
    ASSERT_TRUE(hosted.ok());
    host::TreePane& tree = hosted.host()->Tree();
    const HTREEITEM root = TreeView_GetRoot(tree.Window());
    ASSERT_NE(nullptr, root);
    EXPECT_EQ((std::vector<std::wstring>{L"docs", L"img"}), tree.ChildLabels(root));

    std::vector<std::string> shown;
    tree.SetMenuChooser([&](HMENU menu, POINT) {
      shown = MenuTexts(menu);
      return ItemIdByText(menu, "&Delete");
    });
    // A right-click on the item, as the mouse gives it.
    const HTREEITEM docs = tree.FindItem(L"docs");
    ASSERT_NE(nullptr, docs);
    RECT rect{};
    ASSERT_TRUE(TreeView_GetItemRect(tree.Window(), docs, &rect, TRUE));
    POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    POINT screen = point;
    ClientToScreen(tree.Window(), &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageW(tree.Window(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(point.x, point.y));
    PostMessageW(tree.Window(), WM_RBUTTONUP, 0, MAKELPARAM(point.x, point.y));
    ASSERT_TRUE(hosted.PumpUntil([&] { return !shown.empty(); }));
    EXPECT_EQ((std::vector<std::string>{"&Open", "", "&Copy", "&Delete", "", "P&roperties"}), shown);

    ASSERT_TRUE(hosted.PumpUntil([&] { return tree.FindItem(L"docs") == nullptr; }));
    ASSERT_EQ(1u, fake.user.boxes.size());
    EXPECT_EQ((std::vector<std::wstring>{L"img"}), tree.ChildLabels(TreeView_GetRoot(tree.Window())));
    ASSERT_TRUE(hosted.PumpUntil([&] {
      const auto names = hosted.Names();
      return std::find(names.begin(), names.end(), "docs") == names.end();
    }));
    for (const auto& [name, size] : Listing(known.zip)) EXPECT_NE(0u, name.rfind("docs", 0)) << name;
    EXPECT_EQ(1u, Listing(known.zip).count("img\\logo.bin"));
    KeepProduced(known.zip, "tree_menu_delete");
  }
  OleUninitialize();
}

}  // namespace
