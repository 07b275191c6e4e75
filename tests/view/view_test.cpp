#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "format.h"
#include "resource.h"
#include "strings.h"
#include "view_support.h"
#include "zip_file.h"
#include "zip_maker.h"

using namespace view_test;

namespace {

using Names = std::vector<std::string>;

class ViewTest : public KnownArchiveTest {
 protected:
  int SyncErrors() const {
    const std::string text = LoadStr(IDS_SYNC_ERROR);
    return static_cast<int>(std::count_if(fake.user.boxes.begin(), fake.user.boxes.end(),
                                          [&](const FakeUserInteraction::Box& box) { return box.text == text; }));
  }
};

TEST_F(ViewTest, RowsShowEveryCellOfAKnownArchive) {
  ScopedColumnSettings settings(1, 1);
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());

  ASSERT_EQ(6, hosted.Columns());
  const char* headings[] = {"Name", "Size", "Type", "Modified", "Compressed Size", "%"};
  const int widths[] = {120, 80, 120, 90, 80, 40};
  for (int column = 0; column < 6; ++column) {
    EXPECT_EQ(headings[column], hosted.Heading(column));
    EXPECT_EQ(widths[column], hosted.ColumnWidth(column)) << column;
  }

  // Folders first, then files, each by display name.
  ASSERT_EQ((Names{"docs", "img", "a.txt", "big.log", "empty.dat", "packed.txt"}), hosted.Names());
  struct Expected {
    std::string size, modified, compressed, ratio;
  };
  const ZIPENTRY packed = hosted.view()->GetEntryAt(5).Record();
  ASSERT_GT(packed.dwCompressedSize, 0u);
  ASSERT_LT(packed.dwCompressedSize, 1024u);
  char packedRatio[16];
  snprintf(packedRatio, sizeof(packedRatio), "%.0f%%", (1.0 - packed.dwCompressedSize / 5000.0) * 100);
  const Expected expected[] = {
      {"", TimeText(m_known.docs), "", "--"},
      {"", "?", "", "--"},  // implicit: no time of its own
      {"1 KB", TimeText(m_known.a), "1 KB", "0%"},
      {"3 KB", TimeText(m_known.big), "3 KB", "0%"},
      {"0 KB", TimeText(m_known.empty), "0 KB", "--"},
      {"5 KB", TimeText(m_known.packed), "1 KB", packedRatio},
  };
  for (int row = 0; row < 6; ++row) {
    const ZIPENTRY record = hosted.view()->GetEntryAt(row).Record();
    SCOPED_TRACE(record.szName);
    EXPECT_EQ(record.szDisplayName, hosted.Cell(row, 0));
    EXPECT_EQ(expected[row].size, hosted.Cell(row, 1));
    EXPECT_EQ(format::GetTypeName(record), hosted.Cell(row, 2));
    EXPECT_FALSE(hosted.Cell(row, 2).empty());
    EXPECT_EQ(expected[row].modified, hosted.Cell(row, 3));
    EXPECT_EQ(expected[row].compressed, hosted.Cell(row, 4));
    EXPECT_EQ(expected[row].ratio, hosted.Cell(row, 5));
  }
  EXPECT_EQ(1u + 3000u + 5000u, hosted.view()->TotalSize());
  // A fresh fill focuses the first row and selects nothing.
  EXPECT_EQ(0, ListView_GetNextItem(hosted.list(), -1, LVNI_FOCUSED));
  EXPECT_TRUE(hosted.SelectedRows().empty());
  EXPECT_TRUE(fake.user.boxes.empty());
}

// The list holds no texts of its own: it asks the view for each, in UTF-16,
// and only the shown columns have any.
TEST_F(ViewTest, TextsComeFromTheViewInUtf16AndOnlyForShownColumns) {
  const std::string cafe = "caf\xE9.txt";  // in the code page, as the test files are named
  m_dir.Write("src\\" + cafe, std::string(1500, 'x'));
  ASSERT_EQ(0, zip_maker::Add(m_known.zip, m_known.base, {cafe}));
  ScopedColumnSettings settings(1, 1);
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  ASSERT_EQ(7, hosted.Rows());

  auto wideCell = [&](int row, int column) {
    wchar_t text[1024] = L"";
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(hosted.list(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return std::wstring(text);
  };
  const int row = hosted.Row(cafe);
  ASSERT_LT(row, hosted.Rows());
  EXPECT_EQ(L"caf\u00E9.txt", wideCell(row, 0));
  EXPECT_EQ(L"2 KB", wideCell(row, 1));
  for (int index = 0; index < hosted.Rows(); ++index) {
    const MemberEntry member = hosted.view()->GetEntryAt(index);
    SCOPED_TRACE(member.Display());
    EXPECT_EQ(Utf8ToWide(member.Display()), wideCell(index, 0));
    EXPECT_EQ(Utf8ToWide(format::GetTypeName(member.Record())), wideCell(index, 2));
    // Past the six shown columns there is nothing, as no text was ever set there.
    EXPECT_EQ(L"", wideCell(index, 6));
  }
}

// The list dies with the view's window; the view must not keep its handle,
// which the system may give to another window.
TEST_F(ViewTest, TheListHandleGoesWhenTheViewWindowIsDestroyed) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  HWND list = hosted.list();
  ASSERT_TRUE(IsWindow(list));
  ASSERT_TRUE(DestroyWindow(GetParent(list)));
  EXPECT_FALSE(IsWindow(list));
  EXPECT_EQ(nullptr, hosted.view()->ListWindow());
  EXPECT_TRUE(fake.user.boxes.empty());
}

TEST_F(ViewTest, ColumnsFollowTheTwoSettings) {
  {
    ScopedColumnSettings settings(0, 0);
    HostedArchive hosted(m_known.zip);
    ASSERT_TRUE(hosted.ok());
    EXPECT_EQ(4, hosted.Columns());
    EXPECT_EQ("Modified", hosted.Heading(3));
    EXPECT_EQ(TimeText(m_known.a), hosted.Cell(2, 3));
  }
  {
    ScopedColumnSettings settings(0, 1);
    HostedArchive hosted(m_known.zip);
    ASSERT_TRUE(hosted.ok());
    ASSERT_EQ(5, hosted.Columns());
    EXPECT_EQ("%", hosted.Heading(4));
    EXPECT_EQ(40, hosted.ColumnWidth(4));
    EXPECT_EQ("--", hosted.Cell(1, 4));
    EXPECT_EQ("0%", hosted.Cell(2, 4));
    // The header at position 4 sorts by the ratio, the second click reverses.
    hosted.ClickColumn(4);
    EXPECT_EQ(kColumnRatio, hosted.view()->SortKey());
    EXPECT_TRUE(hosted.view()->SortAscending());
    EXPECT_EQ((Names{"docs", "img", "a.txt", "big.log", "empty.dat", "packed.txt"}), hosted.Names());
    hosted.ClickColumn(4);
    EXPECT_FALSE(hosted.view()->SortAscending());
    EXPECT_EQ((Names{"packed.txt", "empty.dat", "big.log", "a.txt", "img", "docs"}), hosted.Names());
  }
  {
    ScopedColumnSettings settings(1, 0);
    HostedArchive hosted(m_known.zip);
    ASSERT_TRUE(hosted.ok());
    ASSERT_EQ(5, hosted.Columns());
    EXPECT_EQ("Compressed Size", hosted.Heading(4));
    EXPECT_EQ("1 KB", hosted.Cell(5, 4));
    EXPECT_EQ("", hosted.Cell(0, 4));
  }
}

TEST_F(ViewTest, SortsByEveryKindWithFoldersFirstAndTheDirectionRules) {
  ScopedColumnSettings settings(1, 1);
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());

  hosted.Command(ID_SORT_SIZE);
  EXPECT_EQ((Names{"docs", "img", "empty.dat", "a.txt", "big.log", "packed.txt"}), hosted.Names());
  // The same header again: largest first, and the folders go last.
  hosted.ClickColumn(1);
  EXPECT_EQ((Names{"packed.txt", "big.log", "a.txt", "empty.dat", "img", "docs"}), hosted.Names());
  // Another header keeps the direction.
  hosted.ClickColumn(4);
  EXPECT_EQ(kColumnCompressed, hosted.view()->SortKey());
  EXPECT_EQ((Names{"big.log", "packed.txt", "a.txt", "empty.dat", "img", "docs"}), hosted.Names());
  // A sort command after a descending sort is ascending again; the implicit
  // folder's zero time comes first.
  hosted.Command(ID_SORT_DATE);
  EXPECT_TRUE(hosted.view()->SortAscending());
  EXPECT_EQ((Names{"img", "docs", "empty.dat", "a.txt", "big.log", "packed.txt"}), hosted.Names());
  hosted.ClickColumn(3);
  EXPECT_EQ((Names{"packed.txt", "big.log", "a.txt", "empty.dat", "docs", "img"}), hosted.Names());
  hosted.Command(ID_SORT_NAME);
  EXPECT_EQ((Names{"docs", "img", "a.txt", "big.log", "empty.dat", "packed.txt"}), hosted.Names());

  // By type: the shell's type names, ties by name.
  hosted.Command(ID_SORT_TYPE);
  EXPECT_EQ(kColumnType, hosted.view()->SortKey());
  Names files = {"a.txt", "big.log", "empty.dat", "packed.txt"};
  std::stable_sort(files.begin(), files.end(), [](const std::string& x, const std::string& y) {
    return strcmp(format::GetTypeName(x.c_str(), false).c_str(), format::GetTypeName(y.c_str(), false).c_str()) < 0;
  });
  const Names byType = hosted.Names();
  EXPECT_EQ((Names{"docs", "img"}), Names(byType.begin(), byType.begin() + 2));
  EXPECT_EQ(files, Names(byType.begin() + 2, byType.end()));
  EXPECT_TRUE(fake.user.boxes.empty());
}

TEST_F(ViewTest, ViewModesAutoArrangeAndTheToolbar) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  HWND toolbar = hosted.host()->Toolbar();
  // Cut, Copy, Paste, |, Install, |, Delete, Properties, |, four view modes.
  EXPECT_EQ(host::kOwnToolbarButtons + 13, SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
  EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONCHECKED, ID_VIEW_DETAILS, 0));
  EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_FILE_INSTALL, 0));

  const struct {
    UINT command;
    UINT mode;
    DWORD style;
  } modes[] = {{ID_VIEW_SMALLICONS, FVM_SMALLICON, LVS_SMALLICON},
               {ID_VIEW_LIST, FVM_LIST, LVS_LIST},
               {ID_VIEW_LARGEICONS, FVM_ICON, LVS_ICON},
               {ID_VIEW_DETAILS, FVM_DETAILS, LVS_REPORT}};
  for (const auto& mode : modes) {
    hosted.Command(mode.command);
    EXPECT_EQ(mode.style, static_cast<DWORD>(GetWindowLongPtrA(hosted.list(), GWL_STYLE)) & LVS_TYPEMASK);
    for (UINT command = ID_VIEW_LARGEICONS; command <= ID_VIEW_DETAILS; ++command)
      EXPECT_EQ(command == mode.command, SendMessageA(toolbar, TB_ISBUTTONCHECKED, command, 0) != 0) << command;
    FOLDERSETTINGS current{};
    ASSERT_EQ(S_OK, hosted.view()->GetCurrentInfo(&current));
    EXPECT_EQ(mode.mode, current.ViewMode);
  }

  hosted.Command(ID_VIEW_LARGEICONS);
  hosted.Command(ID_VIEW_AUTOARRANGE);
  EXPECT_TRUE(GetWindowLongPtrA(hosted.list(), GWL_STYLE) & LVS_AUTOARRANGE);
  FOLDERSETTINGS current{};
  hosted.view()->GetCurrentInfo(&current);
  EXPECT_TRUE(current.fFlags & FWF_AUTOARRANGE);
  hosted.Command(ID_VIEW_AUTOARRANGE);
  EXPECT_FALSE(GetWindowLongPtrA(hosted.list(), GWL_STYLE) & LVS_AUTOARRANGE);

  // Line-up snaps a moved icon back onto the grid.
  POINT moved{};
  ListView_SetItemPosition(hosted.list(), 0, 203, 157);
  ListView_GetItemPosition(hosted.list(), 0, &moved);
  hosted.Command(ID_VIEW_LINEUP);
  POINT snapped{};
  ListView_GetItemPosition(hosted.list(), 0, &snapped);
  EXPECT_TRUE(snapped.x != moved.x || snapped.y != moved.y);
}

TEST_F(ViewTest, SelectAllInvertAndTheSelectedNames) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  hosted.Command(ID_EDIT_SELECTALL);
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5}), hosted.SelectedRows());
  EXPECT_EQ(hosted.list(), GetFocus());
  ListView_SetItemState(hosted.list(), 1, 0, LVIS_SELECTED);
  ListView_SetItemState(hosted.list(), 4, 0, LVIS_SELECTED);
  hosted.Command(ID_EDIT_INVERT);
  EXPECT_EQ((std::vector<int>{1, 4}), hosted.SelectedRows());
  EXPECT_EQ((Names{"img", "empty.dat"}), hosted.view()->GetSelectedNames());
}

TEST_F(ViewTest, IntoASubFolderAndBackWithTheColumnLayoutHandedOver) {
  ScopedColumnSettings settings(1, 1);
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  HWND toolbar = hosted.host()->Toolbar();
  const LRESULT buttons = SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0);
  ListView_SetColumnWidth(hosted.list(), 0, 210);
  ListView_SetColumnWidth(hosted.list(), 3, 150);
  // The successor keeps its predecessor's choice even when the settings change.
  WriteSetting(settings::kShowRatio, 0);

  LPITEMIDLIST docs = MakeItemId(hosted.view()->GetEntryAt(0).Record());
  ASSERT_EQ(S_OK, hosted.host()->BrowseObject(docs, SBSP_RELATIVE));
  FreeItemId(docs);
  ASSERT_TRUE(hosted.PumpUntil([&] { return hosted.host()->Depth() == 1; }));
  ASSERT_EQ((Names{"readme.txt"}), hosted.Names());
  ASSERT_EQ(6, hosted.Columns());
  EXPECT_EQ(210, hosted.ColumnWidth(0));
  EXPECT_EQ(80, hosted.ColumnWidth(1));
  EXPECT_EQ(150, hosted.ColumnWidth(3));
  EXPECT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), buttons);

  ListView_SetColumnWidth(hosted.list(), 1, 99);
  ASSERT_EQ(S_OK, hosted.host()->BrowseObject(nullptr, SBSP_PARENT));
  ASSERT_TRUE(hosted.PumpUntil([&] { return hosted.host()->Depth() == 0; }));
  ASSERT_EQ(6u, hosted.Names().size());
  ASSERT_EQ(6, hosted.Columns());
  EXPECT_EQ(210, hosted.ColumnWidth(0));
  EXPECT_EQ(99, hosted.ColumnWidth(1));
  EXPECT_EQ(150, hosted.ColumnWidth(3));
  EXPECT_EQ(1u, hosted.view()->Columns().showRatio);
}

TEST_F(ViewTest, GetCurrentInfoAnswersTheMarkerOnlyWhereAnAddressFits) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  ListView_SetColumnWidth(hosted.list(), 2, 133);
  FOLDERSETTINGS asked{kViewColumnsMarker, 0};
  ASSERT_EQ(S_OK, hosted.view()->GetCurrentInfo(&asked));
  if (sizeof(void*) == sizeof(UINT)) {
    const auto* block = reinterpret_cast<const VIEWCOLUMNS*>(static_cast<uintptr_t>(asked.ViewMode));
    EXPECT_EQ(133, block->widths[kColumnType]);
  } else {
    EXPECT_EQ(static_cast<UINT>(FVM_DETAILS), asked.ViewMode);
  }
  VIEWCOLUMNS columns{};
  IZipViewColumns* peer = nullptr;
  ASSERT_EQ(S_OK, hosted.host()->View()->QueryInterface(IID_IZipViewColumns, reinterpret_cast<void**>(&peer)));
  EXPECT_EQ(S_OK, peer->GetViewColumns(&columns));
  peer->Release();
  EXPECT_EQ(133, columns.widths[kColumnType]);
}

TEST_F(ViewTest, TheFolderMakesViewsOnlyAsShellViews) {
  CZipFile* root = CZipFile::Create();
  root->AddRef();
  ASSERT_EQ(S_OK, root->Load(Wide(m_known.zip).c_str(), 0));
  IShellFolder* folder = nullptr;
  ASSERT_EQ(S_OK, root->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&folder)));
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, folder->CreateViewObject(nullptr, IID_IDropTarget, &out));
  EXPECT_EQ(nullptr, out);
  IShellView* view = nullptr;
  ASSERT_EQ(S_OK, folder->CreateViewObject(nullptr, IID_IShellView, reinterpret_cast<void**>(&view)));
  HWND window = reinterpret_cast<HWND>(1);
  EXPECT_EQ(S_OK, view->GetWindow(&window));
  EXPECT_EQ(nullptr, window);
  EXPECT_EQ(S_OK, view->UIActivate(SVUIA_DEACTIVATE));
  EXPECT_EQ(0u, view->Release());
  folder->Release();
  root->Release();
}

TEST_F(ViewTest, AcceleratorsAndActivation) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  IShellView* view = hosted.host()->View();
  MSG key{};
  key.hwnd = hosted.list();
  key.message = WM_KEYDOWN;
  key.wParam = VK_RETURN;
  EXPECT_EQ(S_OK, view->TranslateAccelerator(&key));
  key.wParam = 'Q';
  EXPECT_EQ(S_FALSE, view->TranslateAccelerator(&key));

  // Deactivation leaves the merged menu; activation builds a new one.
  HMENU merged = hosted.host()->MenuBar();
  EXPECT_EQ(S_OK, view->UIActivate(SVUIA_DEACTIVATE));
  EXPECT_EQ(merged, hosted.host()->MenuBar());
  EXPECT_EQ(S_OK, view->UIActivate(SVUIA_ACTIVATE_NOFOCUS));
  EXPECT_NE(merged, hosted.host()->MenuBar());
  EXPECT_EQ(4, GetMenuItemCount(hosted.host()->MenuBar()));
}

// Runs as a second process: adds a member to the archive named in the
// environment, through the engine.
TEST(ViewPeer, AddsAMember) {
  const char* zip = getenv("MBX_VIEW_PEER_ZIP");
  const char* base = getenv("MBX_VIEW_PEER_BASE");
  if (zip == nullptr || base == nullptr) GTEST_SKIP() << "runs only as the peer of the change test";
  ASSERT_EQ(0, zip_maker::Add(zip, base, {"new.txt"}));
}

TEST_F(ViewTest, AChangeOnDiskReachesTheListAndASecondRefreshRebuildsNothing) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  hosted.Command(ID_SORT_SIZE);
  hosted.ClickColumn(1);  // descending, kept across the refill
  hosted.Command(ID_EDIT_SELECTALL);
  // Large enough that the peer is still packing it when the watcher has
  // dealt with the temporary file appearing beside the archive.
  std::string content(2 << 20, '\0');
  uint32_t seed = 12345;
  for (char& c : content) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
  m_dir.Write("src\\new.txt", content);

  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string command = std::string("\"") + exe + "\" --gtest_filter=ViewPeer.*";
  SetEnvironmentVariableA("MBX_VIEW_PEER_ZIP", m_known.zip.c_str());
  SetEnvironmentVariableA("MBX_VIEW_PEER_BASE", m_known.base.c_str());
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process));
  SetEnvironmentVariableA("MBX_VIEW_PEER_ZIP", nullptr);
  SetEnvironmentVariableA("MBX_VIEW_PEER_BASE", nullptr);
  ASSERT_TRUE(hosted.PumpUntil([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, 30000));
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  ASSERT_EQ(0u, exitCode);

  // The watcher relists, the sweep asks the browser to refresh, the refresh
  // command refills the list.
  ASSERT_TRUE(hosted.PumpUntil([&] { return hosted.Rows() == 7; }))
      << hosted.Rows() << " rows, enabled " << IsWindowEnabled(hosted.list()) << ", beeps " << fake.user.beeps.size()
      << ", refreshes " << hosted.host()->RefreshCount() << ", token " << hosted.view()->ListingToken() << ", stamp "
      << hosted.view()->Folder()->Stamp();
  // The watcher may see the replacement more than once; let it settle.
  int seen = -1;
  ASSERT_TRUE(hosted.PumpUntil([&] {
    const int now = hosted.host()->RefreshCount();
    if (now == seen) return true;
    seen = now;
    hosted.host()->RunMessageLoop(1000);
    return false;
  }));
  EXPECT_GE(hosted.host()->RefreshCount(), 2);
  EXPECT_TRUE(IsWindowEnabled(hosted.list()));
  EXPECT_TRUE(fake.user.beeps.empty());
  EXPECT_EQ((Names{"new.txt", "packed.txt", "big.log", "a.txt", "empty.dat", "img", "docs"}), hosted.Names());
  EXPECT_EQ(kColumnSize, hosted.view()->SortKey());
  EXPECT_FALSE(hosted.view()->SortAscending());
  EXPECT_TRUE(hosted.SelectedRows().empty());
  EXPECT_EQ(0, ListView_GetNextItem(hosted.list(), -1, LVNI_FOCUSED));

  // Nothing changed since: a refresh keeps the rows as they are.
  hosted.Command(ID_EDIT_SELECTALL);
  const int refreshes = hosted.host()->RefreshCount();
  SendMessageA(hosted.host()->Frame(), WM_COMMAND, host::kCmdRefresh, 0);
  EXPECT_EQ(refreshes + 1, hosted.host()->RefreshCount());
  EXPECT_EQ(7u, hosted.SelectedRows().size()) << refreshes << " refreshes before";
  EXPECT_TRUE(fake.user.boxes.empty());
}

TEST_F(ViewTest, ASortOnAStaleListingReportsOnceAndTheListStaysUsable) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  m_dir.Write("src\\late.txt", "late");
  ASSERT_EQ(0, zip_maker::Add(m_known.zip, m_known.base, {"late.txt"}));
  // Listed again here, without letting the refresh requests through.
  hosted.view()->Folder()->Root()->RefreshListing();
  hosted.Command(ID_SORT_SIZE);
  EXPECT_EQ(1, SyncErrors());
  EXPECT_EQ(6, hosted.Rows());
  EXPECT_TRUE(IsWindowEnabled(hosted.list()));

  const int refreshesBefore = hosted.host()->RefreshCount();
  ASSERT_TRUE(hosted.PumpUntil([&] { return hosted.Rows() == 7; }))
      << hosted.host()->RefreshCount() - refreshesBefore << " refreshes; the folder has "
      << hosted.view()->Folder()->Entries().Count() << " entries";
  hosted.Command(ID_SORT_SIZE);
  EXPECT_EQ((Names{"docs", "img", "empty.dat", "a.txt", "late.txt", "big.log", "packed.txt"}), hosted.Names());
  EXPECT_EQ(1, SyncErrors());
}

TEST_F(ViewTest, AListingThatHasGoneDisablesTheListAndCommandsBeep) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  ASSERT_TRUE(DeleteFileA(m_known.zip.c_str()));
  ASSERT_TRUE(hosted.PumpUntil([&] { return !IsWindowEnabled(hosted.list()); }));
  EXPECT_EQ(0, hosted.Rows());
  hosted.Command(ID_EDIT_SELECTALL);
  hosted.Command(ID_VIEW_LIST);
  EXPECT_EQ(2u, fake.user.beeps.size());
  FOLDERSETTINGS current{};
  hosted.view()->GetCurrentInfo(&current);
  EXPECT_EQ(static_cast<UINT>(FVM_DETAILS), current.ViewMode);
  EXPECT_TRUE(fake.user.boxes.empty());
}

}  // namespace

namespace {

std::wstring SizeText(uint32_t bytes) {
  char text[20] = "";
  StrFormatByteSizeA(bytes, text, sizeof(text));
  return Wide(text);
}

void Select(HWND list, int row, bool selected) {
  LVITEMA item{};
  item.stateMask = LVIS_SELECTED;
  item.state = selected ? LVIS_SELECTED : 0;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

TEST_F(ViewTest, TheStatusBarCountsRowsOrTheSelectionAndShowsMenuHelp) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  host::ShellHost* browser = hosted.host();
  const Names names = hosted.Names();
  ASSERT_EQ(6u, names.size());
  auto row = [&](const char* name) { return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin()); };

  // Nothing selected: every row and the size of all.
  hosted.Pump();
  EXPECT_EQ(Wide(FormatInts(IDS_OBJECTS, {6})), browser->StatusText(0));
  EXPECT_EQ(SizeText(8001), browser->StatusText(1));

  Select(hosted.list(), row("big.log"), true);
  Select(hosted.list(), row("packed.txt"), true);
  EXPECT_EQ(Wide(FormatInts(IDS_OBJECTS_SELECTED, {2})), browser->StatusText(0));
  EXPECT_EQ(SizeText(8000), browser->StatusText(1));

  // A folder alone has no size to show.
  Select(hosted.list(), row("big.log"), false);
  Select(hosted.list(), row("packed.txt"), false);
  Select(hosted.list(), row("docs"), true);
  EXPECT_EQ(Wide(FormatInts(IDS_OBJECTS_SELECTED, {1})), browser->StatusText(0));
  EXPECT_EQ(L"", browser->StatusText(1));

  // Every row at once, as Select All does it.
  Select(hosted.list(), -1, true);
  EXPECT_EQ(Wide(FormatInts(IDS_OBJECTS_SELECTED, {6})), browser->StatusText(0));
  EXPECT_EQ(SizeText(8001), browser->StatusText(1));

  // A highlighted menu item's help across the bar; closing brings the parts back.
  HWND status = browser->StatusBar();
  HWND viewWindow = GetParent(hosted.list());
  SendMessageA(viewWindow, WM_MENUSELECT, MAKEWPARAM(ID_EDIT_SELECTALL, MF_STRING),
               reinterpret_cast<LPARAM>(browser->MenuBar()));
  EXPECT_TRUE(SendMessageA(status, SB_ISSIMPLE, 0, 0));
  const std::string help = LoadStr(ID_EDIT_SELECTALL);
  EXPECT_EQ(Wide(help.substr(0, help.find('\n'))), browser->StatusText());
  SendMessageA(viewWindow, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_FALSE(SendMessageA(status, SB_ISSIMPLE, 0, 0));
}

}  // namespace
