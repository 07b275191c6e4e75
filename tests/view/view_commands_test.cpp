// The view's menus and commands in the shell browser host: the merged
// pop-ups with and without focus and their enabling rules, the context menus
// as really shown (from the mouse and from the keyboard), the tool-tips, and
// each command reaching its operation with the selected rows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "archive_state.h"
#include "dialog_script.h"
#include "help.h"
#include "menu_spy.h"
#include "produced.h"
#include "resource.h"
#include "shell_data.h"
#include "strings.h"
#include "view_support.h"
#include "windows_user_interaction.h"
#include "zip_maker.h"

using namespace view_test;

namespace {

using namespace menu_spy;

// The last count items: the view's come after the browser's own.
Texts LastTexts(HMENU menu, size_t count) {
  const Texts all = MenuTexts(menu);
  return all.size() < count ? all : Texts(all.end() - static_cast<std::ptrdiff_t>(count), all.end());
}

bool Enabled(HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0; }
bool Checked(HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; }
bool RadioChecked(HMENU menu, UINT id) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE | MIIM_STATE;
  return GetMenuItemInfoA(menu, id, FALSE, &info) && (info.fType & MFT_RADIOCHECK) && (info.fState & MFS_CHECKED);
}

void Select(HWND list, const std::vector<int>& rows) {
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  for (int row : rows) ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void EmptyTheClipboard() {
  OleSetClipboard(nullptr);
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
}

bool ItemEnabled(const ShownMenu& shown, const std::string& text) {
  const auto at = std::find(shown.texts.begin(), shown.texts.end(), text);
  return at != shown.texts.end() && shown.enabled[static_cast<size_t>(at - shown.texts.begin())];
}

MSG Key(HWND window, UINT message, WPARAM key, bool alt = false) {
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = key;
  msg.lParam = alt ? (1 << 29) : 0;
  return msg;
}

// The key as the view's accelerators see it while the modifier is held.
HRESULT TranslateHolding(IShellView* view, MSG msg, int modifier) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  const BYTE before = keys[modifier];
  keys[modifier] |= 0x80;
  SetKeyboardState(keys);
  const HRESULT hr = view->TranslateAccelerator(&msg);
  keys[modifier] = before;
  SetKeyboardState(keys);
  return hr;
}

class ViewCommands : public KnownArchiveTest {
 protected:
  void SetUp() override {
    KnownArchiveTest::SetUp();
    if (!HasFatalFailure()) EmptyTheClipboard();
  }
  void TearDown() override {
    EmptyTheClipboard();
    KnownArchiveTest::TearDown();
  }
  // What the browser does when a pop-up of the menu bar opens.
  static void OpenPopup(const HostedArchive& hosted, HMENU popup) {
    SendMessageA(hosted.host()->Frame(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
  }
};

TEST_F(ViewCommands, MergedMenusWithAndWithoutFocusAndTheirEnablingRules) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  IShellView* view = hosted.host()->View();

  ASSERT_EQ(S_OK, view->UIActivate(SVUIA_ACTIVATE_NOFOCUS));
  HMENU bar = hosted.host()->MenuBar();
  EXPECT_EQ((Texts{"&New Folder", "Run &Installation", ""}), MenuTexts(PopupOf(bar, FCIDM_MENU_FILE), 3));
  HMENU edit = PopupOf(bar, FCIDM_MENU_EDIT);
  EXPECT_EQ((Texts{"&Paste\tCtrl+V", "", "Select &All\tCtrl+A", "&Invert Selection"}), LastTexts(edit, 4));

  ASSERT_EQ(S_OK, view->UIActivate(SVUIA_ACTIVATE_FOCUS));
  bar = hosted.host()->MenuBar();
  HMENU file = PopupOf(bar, FCIDM_MENU_FILE);
  EXPECT_EQ((Texts{"&Open", "Open in &Folder", "", "&New Folder", "Run &Installation", "", "Create &Shortcut",
                   "&Delete", "Rena&me", "P&roperties", ""}),
            MenuTexts(file, 11));
  edit = PopupOf(bar, FCIDM_MENU_EDIT);
  EXPECT_EQ((Texts{"Cu&t\tCtrl+X", "&Copy\tCtrl+C", "&Paste\tCtrl+V", "", "Select &All\tCtrl+A",
                   "&Invert Selection"}),
            LastTexts(edit, 6));
  EXPECT_EQ((Texts{"&Help topics", "", "&About Marrowbox ...", ""}), MenuTexts(PopupOf(bar, FCIDM_MENU_HELP), 4));

  // Two rows, the first a file: Open greyed, Open in Folder offered but it beeps.
  Select(hosted.list(), {hosted.Row("a.txt"), hosted.Row("big.log")});
  OpenPopup(hosted, file);
  EXPECT_FALSE(Enabled(file, ID_FILE_OPEN));
  EXPECT_TRUE(Enabled(file, ID_FILE_OPENINFOLDER));
  EXPECT_TRUE(Enabled(file, ID_FILE_DELETE));
  EXPECT_TRUE(Enabled(file, ID_FILE_PROPERTIES));
  EXPECT_FALSE(Enabled(file, ID_FILE_SHORTCUT));
  EXPECT_FALSE(Enabled(file, ID_FILE_RENAME));
  EXPECT_FALSE(Enabled(file, ID_FILE_INSTALL));  // no installer in this archive
  hosted.Command(ID_FILE_OPENINFOLDER);
  EXPECT_EQ(1u, fake.user.beeps.size());
  EXPECT_TRUE(fake.user.questions.empty());

  // The first selected row a folder: nothing to open in its folder.
  Select(hosted.list(), {hosted.Row("docs"), hosted.Row("a.txt")});
  OpenPopup(hosted, file);
  EXPECT_FALSE(Enabled(file, ID_FILE_OPENINFOLDER));
  Select(hosted.list(), {hosted.Row("a.txt")});
  OpenPopup(hosted, file);
  EXPECT_TRUE(Enabled(file, ID_FILE_OPEN));

  // Nothing selected: Copy and Delete greyed; Paste only with files on the clipboard.
  Select(hosted.list(), {});
  OpenPopup(hosted, edit);
  EXPECT_FALSE(Enabled(edit, ID_EDIT_COPY));
  EXPECT_FALSE(Enabled(edit, ID_EDIT_CUT));
  EXPECT_FALSE(Enabled(edit, ID_EDIT_PASTE));
  EXPECT_TRUE(Enabled(edit, ID_EDIT_SELECTALL));
  IDataObject* files = ShellDataObject({m_known.zip});
  ASSERT_EQ(S_OK, OleSetClipboard(files));
  files->Release();
  OpenPopup(hosted, edit);
  EXPECT_TRUE(Enabled(edit, ID_EDIT_PASTE));

  // The View menu: the mode as the checked radio item, Auto Arrange in its sub-menu.
  HMENU viewMenu = PopupOf(bar, FCIDM_MENU_VIEW);
  hosted.Command(ID_VIEW_LIST);
  OpenPopup(hosted, viewMenu);
  for (UINT id = ID_VIEW_LARGEICONS; id <= ID_VIEW_DETAILS; ++id)
    EXPECT_EQ(id == ID_VIEW_LIST, RadioChecked(viewMenu, id)) << id;
  HMENU arrange = PopupOf(viewMenu, ID_VIEW_ARRANGE);
  ASSERT_NE(nullptr, arrange);
  EXPECT_EQ((Texts{"by &Name", "by &Type", "by Si&ze", "by &Date", "", "&Auto Arrange"}), MenuTexts(arrange));
  OpenPopup(hosted, arrange);
  EXPECT_FALSE(Checked(arrange, ID_VIEW_AUTOARRANGE));
  hosted.Command(ID_VIEW_AUTOARRANGE);
  OpenPopup(hosted, arrange);
  EXPECT_TRUE(Checked(arrange, ID_VIEW_AUTOARRANGE));

  // Moving the focus away from the list and back rebuilds the File menu
  // without and then with the item commands.
  SetFocus(hosted.host()->Toolbar());
  EXPECT_EQ("&New Folder", MenuTexts(PopupOf(hosted.host()->MenuBar(), FCIDM_MENU_FILE), 1)[0]);
  SetFocus(hosted.list());
  EXPECT_EQ("&Open", MenuTexts(PopupOf(hosted.host()->MenuBar(), FCIDM_MENU_FILE), 1)[0]);
}

TEST_F(ViewCommands, ContextMenusBySelectionFromTheMouseAndTheKeyboard) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  HWND viewWindow = hosted.host()->ViewWindow();

  // Shift+F10 with nothing selected: the background menu at the top-left.
  Select(hosted.list(), {});
  ShownMenu shown = ShowContextMenu(hosted.host()->ViewWindow(), hosted.list(), POINT{-1, -1});
  ASSERT_TRUE(shown.seen) << "no menu was shown";
  EXPECT_EQ((Texts{"&View", "", "Arrange &Icons", "Lin&e up Icons", "", "&Paste", "&New Folder", "", "P&roperties"}),
            shown.texts);
  EXPECT_FALSE(ItemEnabled(shown, "&Paste"));
  POINT corner{0, 0};
  ClientToScreen(viewWindow, &corner);
  EXPECT_EQ(corner.x, shown.topLeft.x);
  EXPECT_EQ(corner.y, shown.topLeft.y);

  // Files on the clipboard: Paste is offered.
  TempDir source;
  IDataObject* files = ShellDataObject({source.Write("pasted.txt", "from the clipboard")});
  ASSERT_EQ(S_OK, OleSetClipboard(files));
  files->Release();
  EXPECT_TRUE(ItemEnabled(ShowContextMenu(hosted.host()->ViewWindow(), hosted.list(), POINT{-1, -1}), "&Paste"));

  // One file, from the mouse: Open first and in bold, at the point given.
  Select(hosted.list(), {hosted.Row("a.txt")});
  POINT at{corner.x + 40, corner.y + 30};
  shown = ShowContextMenu(hosted.host()->ViewWindow(), hosted.list(), at);
  ASSERT_TRUE(shown.seen);
  EXPECT_EQ((Texts{"&Open", "Open in &Folder", "", "&View", "", "&Auto Arrange", "Lin&e up Icons", "", "&Copy",
                   "&Delete", "", "P&roperties"}),
            shown.texts);
  EXPECT_EQ(static_cast<UINT>(ID_FILE_OPEN), shown.defaultItem);
  EXPECT_TRUE(ItemEnabled(shown, "&Open") && ItemEnabled(shown, "Open in &Folder") && ItemEnabled(shown, "&Copy"));
  EXPECT_EQ(at.x, shown.topLeft.x);
  EXPECT_EQ(at.y, shown.topLeft.y);

  // A real right-click on another file's row selects it and shows its menu.
  Select(hosted.list(), {});
  RECT rect{};
  ListView_GetItemRect(hosted.list(), hosted.Row("big.log"), &rect, LVIR_LABEL);
  const POINT click{rect.left + 5, (rect.top + rect.bottom) / 2};
  shown = SpyOn([&](ShownMenu& seen) {
    PostMessageA(hosted.list(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(click.x, click.y));
    PostMessageA(hosted.list(), WM_RBUTTONUP, 0, MAKELPARAM(click.x, click.y));
    hosted.PumpUntil([&] { return seen.seen; }, 5000);
  });
  ASSERT_TRUE(shown.seen);
  EXPECT_EQ("&Open", shown.texts[0]);
  EXPECT_EQ((std::vector<int>{hosted.Row("big.log")}), hosted.SelectedRows());

  // Several rows, from the keyboard: at the focused row.
  const int docs = hosted.Row("docs");
  Select(hosted.list(), {hosted.Row("big.log"), docs});
  shown = ShowContextMenu(hosted.host()->ViewWindow(), hosted.list(), POINT{-1, -1});
  EXPECT_EQ((Texts{"&View", "", "Arrange &Icons", "Lin&e up Icons", "", "&Copy", "&Delete", "", "P&roperties"}),
            shown.texts);
  POINT row{};
  ListView_GetItemPosition(hosted.list(), docs, &row);
  ClientToScreen(viewWindow, &row);
  EXPECT_EQ(row.x, shown.topLeft.x);
  EXPECT_EQ(row.y, shown.topLeft.y);
}

TEST_F(ViewCommands, ToolTipsAreTheTextsAfterTheNewline) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  // As the toolbar's tool-tip control asks its parent, the browser.
  HWND tips = reinterpret_cast<HWND>(SendMessageW(hosted.host()->Toolbar(), TB_GETTOOLTIPS, 0, 0));
  NMTTDISPINFOW wide{};
  wide.hdr.hwndFrom = tips;
  wide.hdr.idFrom = ID_FILE_INSTALL;
  wide.hdr.code = TTN_NEEDTEXTW;
  SendMessageW(hosted.host()->Frame(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&wide));
  ASSERT_NE(nullptr, wide.lpszText);
  EXPECT_EQ(std::wstring(L"Run Installation"), wide.lpszText);

  NMTTDISPINFOA narrow{};
  narrow.hdr.hwndFrom = tips;
  narrow.hdr.idFrom = ID_VIEW_DETAILS;
  narrow.hdr.code = TTN_NEEDTEXTA;
  SendMessageA(hosted.host()->Frame(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&narrow));
  ASSERT_NE(nullptr, narrow.lpszText);
  EXPECT_EQ(std::string("Details"), narrow.lpszText);

  // A command without a tool-tip part shows its whole text.
  narrow.hdr.idFrom = ID_FILE_NEWFOLDER;
  SendMessageA(hosted.host()->Frame(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&narrow));
  EXPECT_EQ(std::string("Creates a new, empty folder."), narrow.lpszText);
}

TEST_F(ViewCommands, EachCommandReachesItsOperationWithTheSelectedRows) {
  HostedArchive hosted(m_known.zip);
  ASSERT_TRUE(hosted.ok());
  IShellView* view = hosted.host()->View();
  HWND list = hosted.list();

  // Properties from the menu and from Alt+Enter.
  Select(list, {hosted.Row("docs")});
  hosted.Command(ID_FILE_PROPERTIES);
  ASSERT_EQ(1u, fake.user.sheets.size());
  EXPECT_EQ("docs", fake.user.sheets[0].name);
  Select(list, {hosted.Row("big.log")});
  EXPECT_EQ(S_OK, TranslateHolding(view, Key(list, WM_SYSKEYDOWN, VK_RETURN, true), VK_MENU));
  ASSERT_EQ(2u, fake.user.sheets.size());
  EXPECT_EQ("big.log", fake.user.sheets[1].name);

  // Copy puts the selection on the clipboard as files.
  hosted.Command(ID_EDIT_COPY);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_HDROP));

  // Open in Folder on a file: unzipped, launched, waited for.
  Select(list, {hosted.Row("a.txt")});
  hosted.Command(ID_FILE_OPENINFOLDER);
  ASSERT_EQ(1u, fake.user.launches.size());
  EXPECT_NE(std::string::npos, fake.user.launches[0].file.rfind("a.txt"));
  // Open on a file launches it; with two rows it only beeps; Cut beeps.
  hosted.Command(ID_FILE_OPEN);
  ASSERT_EQ(2u, fake.user.launches.size());
  EXPECT_NE(std::string::npos, fake.user.launches[1].file.rfind("a.txt"));
  Select(list, {hosted.Row("a.txt"), hosted.Row("big.log")});
  hosted.Command(ID_FILE_OPEN);
  hosted.Command(ID_EDIT_CUT);
  EXPECT_EQ(2u, fake.user.beeps.size());
  EXPECT_EQ(2u, fake.user.launches.size());

  // Delete by the key, answered Yes.
  fake.user.answer = IDYES;
  Select(list, {hosted.Row("a.txt")});
  MSG del = Key(list, WM_KEYDOWN, VK_DELETE);
  EXPECT_EQ(S_OK, view->TranslateAccelerator(&del));
  EXPECT_EQ(0u, Listing(m_known.zip).count("a.txt"));
  EXPECT_EQ(1u, Listing(m_known.zip).count("big.log"));

  // New Folder with the name the dialog gave.
  fake.user.answers = {IDOK};
  fake.user.newFolderName = "fresh";
  hosted.Command(ID_FILE_NEWFOLDER);
  ASSERT_TRUE(hosted.PumpUntil([&] { return hosted.Shows({"fresh"}); }));

  // Ctrl+V pastes files from the clipboard into the shown folder.
  TempDir source;
  IDataObject* files = ShellDataObject({source.Write("pasted.txt", "from the clipboard")});
  ASSERT_EQ(S_OK, OleSetClipboard(files));
  files->Release();
  MSG paste = Key(list, WM_KEYDOWN, 'V');
  EXPECT_EQ(S_OK, TranslateHolding(view, paste, VK_CONTROL));
  EXPECT_EQ(1u, Listing(m_known.zip).count("pasted.txt"));
  KeepProduced(m_known.zip, "view_commands");

  // Enter on a folder opens it in place; Backspace goes back up.
  ASSERT_TRUE(hosted.PumpUntil([&] { return hosted.Shows({"docs", "pasted.txt"}); }));
  Select(hosted.list(), {hosted.Row("docs")});
  MSG enter = Key(hosted.list(), WM_KEYDOWN, VK_RETURN);
  EXPECT_EQ(S_OK, hosted.host()->View()->TranslateAccelerator(&enter));
  ASSERT_TRUE(hosted.PumpUntil([&] { return hosted.host()->Depth() == 1; }));
  ASSERT_TRUE(hosted.PumpUntil([&] { return hosted.Shows({"readme.txt"}) && hosted.Rows() == 1; }));
  MSG back = Key(hosted.list(), WM_KEYDOWN, VK_BACK);
  EXPECT_EQ(S_OK, hosted.host()->View()->TranslateAccelerator(&back));
  ASSERT_TRUE(hosted.PumpUntil([&] { return hosted.host()->Depth() == 0; }));

  // About and Help.
  hosted.Command(ID_HELP_ABOUT);
  EXPECT_EQ(1, fake.user.abouts);
  hosted.Command(ID_HELP_TOPICS);
  ASSERT_EQ(3u, fake.user.launches.size());
  EXPECT_EQ(HelpFilePath(), fake.user.launches[2].file);
  const std::string page = ReadAll(HelpFilePath());
  for (const char* topic : {"Opening members", "Extracting", "Adding files", "Deleting", "Settings"})
    EXPECT_NE(std::string::npos, page.find(topic)) << topic;
  for (const SettingDef& setting : {settings::kCompression, settings::kGrowExisting, settings::kNoWarnLaunchExe,
                                    settings::kShowComprSize, settings::kShowRatio})
    EXPECT_NE(std::string::npos, page.find(std::string("<code>") + setting.name + "</code>")) << setting.name;
  // The one message: the delete question.
  ASSERT_EQ(1u, fake.user.boxes.size());
  EXPECT_EQ(LoadStr(IDS_CONFIRM_DELETE), fake.user.boxes[0].text);
}

TEST_F(ViewCommands, KeysTypedInTheListReachTheViewAndF5TheBrowser) {
  HostedArchive hosted(m_known.zip, true);
  ASSERT_TRUE(hosted.ok());
  fake.user.answer = IDYES;
  Select(hosted.list(), {hosted.Row("a.txt")});
  // Delete typed into the folder tree is not the list's Delete.
  PostMessageA(hosted.host()->Tree().Window(), WM_KEYDOWN, VK_DELETE, 0);
  hosted.Pump();
  EXPECT_TRUE(fake.user.boxes.empty());
  EXPECT_EQ(1u, Listing(m_known.zip).count("a.txt"));
  // F5 in the list: the browser refreshes (its tree and the view).
  const int refreshed = hosted.host()->RefreshCount();
  PostMessageA(hosted.list(), WM_KEYDOWN, VK_F5, 0);
  ASSERT_TRUE(hosted.PumpUntil([&] { return hosted.host()->RefreshCount() > refreshed; }));
  // Delete typed into the list deletes, after the question.
  PostMessageA(hosted.list(), WM_KEYDOWN, VK_DELETE, 0);
  ASSERT_TRUE(hosted.PumpUntil([&] { return Listing(m_known.zip).count("a.txt") == 0; }));
  EXPECT_EQ(1u, fake.user.boxes.size());
}

TEST_F(ViewCommands, RunInstallationIsOfferedOnlyWithAnInstallerAndStartsIt) {
  TempDir source;
  source.Write("setup.exe", "MZ not really");
  source.Write("data.bin", "payload");
  const std::string zip = m_dir.path() + "\\installer.zip";
  ASSERT_EQ(0, zip_maker::Add(zip, source.path(), {"setup.exe", "data.bin"}));
  HostedArchive hosted(zip);
  ASSERT_TRUE(hosted.ok());
  HMENU file = PopupOf(hosted.host()->MenuBar(), FCIDM_MENU_FILE);
  OpenPopup(hosted, file);
  EXPECT_TRUE(Enabled(file, ID_FILE_INSTALL));
  hosted.Command(ID_FILE_INSTALL);
  ASSERT_EQ(1u, fake.user.launches.size());
  EXPECT_NE(std::string::npos, fake.user.launches[0].file.rfind("setup.exe"));
}

TEST(AboutBox, ShowsTheVersionAndTheProgramIconAndClosesWithOk) {
  std::string version;
  HICON icon = nullptr;
  std::thread user([&] {
    HWND dialog = dialog_script::WaitForDialog("About Marrowbox");
    if (dialog == nullptr) return;
    version = dialog_script::Text(dialog, IDC_ABOUT_VERSION);
    HWND iconControl = FindWindowExA(dialog, nullptr, "Static", nullptr);
    if (iconControl != nullptr) icon = reinterpret_cast<HICON>(SendMessageA(iconControl, STM_GETICON, 0, 0));
    dialog_script::Click(dialog, IDOK);
  });
  WindowsUserInteraction().ShowAbout(nullptr);
  user.join();
  EXPECT_EQ("Marrowbox 1.0", version);
  EXPECT_NE(nullptr, icon);
}

}  // namespace
