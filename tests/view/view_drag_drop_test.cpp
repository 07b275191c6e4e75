// Files dragged onto the view's list through the drop target registered on
// it (the one OLE calls), and the offsets block a drag out carries.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive_state.h"
#include "forged_input.h"
#include "locks.h"
#include "produced.h"
#include "resource.h"
#include "shell_data.h"
#include "view_support.h"
#include "workspace.h"
#include "zip_file.h"
#include "zip_folder.h"
#include "zip_maker.h"

using namespace view_test;

namespace {

class ViewDragDrop : public KnownArchiveTest {
 protected:
  static POINTL Over(HWND list, int row) {
    RECT rect{};
    ListView_GetItemRect(list, row, &rect, LVIR_LABEL);
    POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(list, &point);
    return POINTL{point.x, point.y};
  }
  // The drop target OLE calls for the list.
  static IDropTarget* DropTargetOf(HWND list) {
    return static_cast<IDropTarget*>(GetPropA(list, "OleDropTargetInterface"));
  }
  static bool Highlighted(HWND list, int row) {
    return (ListView_GetItemState(list, row, LVIS_DROPHILITED) & LVIS_DROPHILITED) != 0;
  }
};

TEST_F(ViewDragDrop, FilesLandInTheShownFolderOrInTheHighlightedSubFolder) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  HWND list = hosted.list();
  auto* target = DropTargetOf(list);
  ASSERT_NE(nullptr, target) << "no drop target registered on the list";
  TempDir dropped;
  const std::string file = dropped.Write("new.txt", "dropped");
  OneFormatData files(CF_HDROP, MakeDropFiles(file + '\0'));
  const int docs = hosted.Row("docs");
  const int a = hosted.Row("a.txt");

  // Over a sub-folder the row lights up; over a file it goes out again.
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  ASSERT_EQ(S_OK, target->DragEnter(&files, MK_LBUTTON, Over(list, docs), &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  ASSERT_EQ(S_OK, target->DragOver(MK_LBUTTON, Over(list, docs), &effect));
  EXPECT_TRUE(Highlighted(list, docs));
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  ASSERT_EQ(S_OK, target->DragOver(MK_LBUTTON | MK_SHIFT, Over(list, a), &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
  EXPECT_FALSE(Highlighted(list, docs));
  ASSERT_EQ(S_OK, target->Drop(&files, 0, Over(list, a), &effect));
  EXPECT_EQ(1u, Listing(m_known.zip).count("new.txt"));

  // Onto the highlighted sub-folder, with Shift and Ctrl held: still a copy.
  // The list is filled again before its rows name members.
  const int rowsBefore = hosted.Rows();
  ASSERT_TRUE(hosted.PumpUntil([&] { return hosted.Rows() == rowsBefore + 1; }));
  const int docsNow = hosted.Row("docs");
  effect = DROPEFFECT_MOVE | DROPEFFECT_COPY;
  ASSERT_EQ(S_OK, target->DragEnter(&files, MK_LBUTTON, Over(list, docsNow), &effect));
  ASSERT_EQ(S_OK, target->DragOver(MK_LBUTTON | MK_SHIFT | MK_CONTROL, Over(list, docsNow), &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
  ASSERT_TRUE(Highlighted(list, docsNow));
  ASSERT_EQ(S_OK, target->Drop(&files, MK_SHIFT | MK_CONTROL, Over(list, docsNow), &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
  EXPECT_EQ(1u, Listing(m_known.zip).count("docs\\new.txt"));
  for (int row = 0; row < hosted.Rows(); ++row) EXPECT_FALSE(Highlighted(list, row)) << row;
  KeepProduced(m_known.zip, "view_drop");

  // Text is no file list: no drop.
  OneFormatData text(CF_TEXT, TextBlock("words"));
  effect = DROPEFFECT_COPY;
  ASSERT_EQ(S_OK, target->DragEnter(&text, MK_LBUTTON, Over(list, 0), &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  effect = DROPEFFECT_COPY;
  ASSERT_EQ(S_OK, target->DragOver(MK_LBUTTON, Over(list, 0), &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  target->DragLeave();
  EXPECT_TRUE(fake.user.boxes.empty());
}

// Another program removed the highlighted sub-folder from the archive and
// the change is not seen yet (the root lock keeps the watcher out): the drop
// lists the archive again, which lets go of the row's folder object.  The
// drop must neither use that object nor add files to a folder that is gone.
TEST_F(ViewDragDrop, ADropOnAFolderThatVanishedUnseenIsRefusedAsOutOfDate) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  HWND list = hosted.list();
  auto* target = DropTargetOf(list);
  ASSERT_NE(nullptr, target);
  TempDir dropped;
  OneFormatData files(CF_HDROP, MakeDropFiles(dropped.Write("new.txt", "dropped") + '\0'));
  const int docs = hosted.Row("docs");
  DWORD effect = DROPEFFECT_COPY;
  ASSERT_EQ(S_OK, target->DragEnter(&files, MK_LBUTTON, Over(list, docs), &effect));
  ASSERT_EQ(S_OK, target->DragOver(MK_LBUTTON, Over(list, docs), &effect));
  ASSERT_TRUE(Highlighted(list, docs));
  {
    CriticalSectionLock unseen(hosted.view()->Folder()->Root()->RootLock());
    ASSERT_EQ(0, zip_maker::Delete(m_known.zip, "\"docs\\*.*\""));
    for (const auto& [name, size] : Listing(m_known.zip)) ASSERT_NE(0u, name.rfind("docs", 0)) << name;
    effect = DROPEFFECT_COPY;
    ASSERT_EQ(S_OK, target->Drop(&files, 0, Over(list, docs), &effect));
  }
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  // The list is not filled again yet, so its rows no longer name members:
  // a drag moving over them shows nothing.
  effect = DROPEFFECT_COPY;
  ASSERT_EQ(S_OK, target->DragEnter(&files, MK_LBUTTON, Over(list, docs), &effect));
  ASSERT_EQ(S_OK, target->DragOver(MK_LBUTTON, Over(list, docs), &effect));
  EXPECT_FALSE(Highlighted(list, docs));
  target->DragLeave();
  ASSERT_EQ(1u, fake.user.boxes.size());
  EXPECT_NE(std::string::npos, fake.user.boxes[0].text.find("Synchronization error")) << fake.user.boxes[0].text;
  const auto listing = Listing(m_known.zip);
  EXPECT_EQ(0u, listing.count("docs\\new.txt"));
  EXPECT_EQ(0u, listing.count("new.txt"));
  // The view follows the change once it is seen.
  const int rowsBefore = hosted.Rows();
  EXPECT_TRUE(hosted.PumpUntil([&] { return hosted.Rows() == rowsBefore - 1 && hosted.Shows({"a.txt", "img"}); }));
}

TEST_F(ViewDragDrop, TheOffsetsOfTwoSelectedRowsStartWithTheAnchorOnTheScreen) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  HWND list = hosted.list();
  const int rows[] = {hosted.Row("a.txt"), hosted.Row("big.log")};
  for (int row : rows) ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
  const POINT anchor{5, 7};
  HGLOBAL block = hosted.view()->MakeItemOffsets(anchor);
  ASSERT_NE(nullptr, block);
  ASSERT_EQ(3 * sizeof(POINT), GlobalSize(block));
  const auto* points = static_cast<const POINT*>(GlobalLock(block));
  POINT screen = anchor;
  ClientToScreen(list, &screen);
  EXPECT_EQ(screen.x, points[0].x);
  EXPECT_EQ(screen.y, points[0].y);
  const int first = std::min(rows[0], rows[1]), second = std::max(rows[0], rows[1]);
  for (int i = 0; i < 2; ++i) {
    POINT position{};
    ListView_GetItemPosition(list, i == 0 ? first : second, &position);
    EXPECT_EQ(position.x - anchor.x, points[i + 1].x);
    EXPECT_EQ(position.y - anchor.y, points[i + 1].y);
  }
  GlobalUnlock(block);
  GlobalFree(block);
}

// A real drag (the mouse button is already up, so it drops at once where the
// cursor is): over a folder in the tree the members are unzipped then and
// added there; let go over their own list they stay where they are.
TEST_F(ViewDragDrop, DraggedMembersGoWhereTheyAreLetGoButNotBackIntoTheirOwnList) {
  HostedArchive hosted(m_known.zip, true);
  ASSERT_TRUE(hosted.ok());
  HWND list = hosted.list();
  auto drag = [&](POINT screen) {
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, hosted.Row("a.txt"), LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(list, hosted.Row("big.log"), LVIS_SELECTED, LVIS_SELECTED);
    SetCursorPos(screen.x, screen.y);
    NMLISTVIEW start{};
    start.hdr.hwndFrom = list;
    start.hdr.code = LVN_BEGINDRAG;
    start.iItem = hosted.Row("a.txt");
    start.ptAction = POINT{5, 5};
    SendMessageA(hosted.host()->ViewWindow(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&start));
  };

  host::TreePane& tree = hosted.host()->Tree();
  const HTREEITEM docs = tree.FindItem(L"docs");
  ASSERT_NE(nullptr, docs);
  RECT item{};
  ASSERT_TRUE(TreeView_GetItemRect(tree.Window(), docs, &item, TRUE));
  POINT overDocs{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
  ClientToScreen(tree.Window(), &overDocs);
  drag(overDocs);
  const auto listing = Listing(m_known.zip);
  EXPECT_EQ(1u, listing.count("docs\\a.txt"));
  EXPECT_EQ(1u, listing.count("docs\\big.log"));
  EXPECT_EQ(1u, listing.count("a.txt"));

  ASSERT_TRUE(hosted.PumpUntil([&] { return hosted.Rows() == 6 && hosted.Shows({"a.txt"}); }));
  RECT client{};
  GetClientRect(list, &client);
  POINT overList{client.right - 20, client.bottom - 20};
  ClientToScreen(list, &overList);
  drag(overList);
  EXPECT_EQ(listing, Listing(m_known.zip));
  EXPECT_TRUE(fake.user.questions.empty());
  EXPECT_TRUE(fake.user.boxes.empty());
  KeepProduced(m_known.zip, "view_drag_out");
}

// A file list another program made malformed is no list: dropped, the view
// refuses it; pasted, it beeps; nothing is added and nothing reported.
TEST_F(ViewDragDrop, AMalformedListIsNeitherDroppedNorPasted) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  HWND list = hosted.list();
  auto* target = DropTargetOf(list);
  ASSERT_NE(nullptr, target);
  TempDir dropped;
  const std::string file = dropped.Write("new.txt", "dropped");
  const std::string before = ReadAll(m_known.zip);
  // The path's own NUL is there, the list's is not.
  OneFormatData files(CF_HDROP, GlobalBlock(DropBlock(AnsiList(file + '\0'))));

  DWORD effect = DROPEFFECT_COPY;
  ASSERT_EQ(S_OK, target->DragEnter(&files, MK_LBUTTON, Over(list, 0), &effect));
  EXPECT_EQ(E_INVALIDARG, target->Drop(&files, 0, Over(list, 0), &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);

  ASSERT_EQ(S_OK, OleSetClipboard(&files));
  hosted.Command(ID_EDIT_PASTE);
  OleSetClipboard(nullptr);
  EXPECT_EQ(std::vector<UINT>{0}, fake.user.beeps);
  EXPECT_EQ(before, ReadAll(m_known.zip));
  EXPECT_TRUE(fake.user.boxes.empty());
}

}  // namespace
