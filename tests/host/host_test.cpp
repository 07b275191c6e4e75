#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "fake_shell.h"
#include "shell_host.h"

using host::ShellHost;

namespace {

class HostTest : public ::testing::Test {
 protected:
  // Once for all tests: taking OLE down costs Wine about two seconds.
  static void SetUpTestSuite() { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
  static void TearDownTestSuite() { OleUninitialize(); }
  void SetUp() override {
    m_host = ShellHost::Create();
    ASSERT_NE(nullptr, m_host);
    // Left hidden: without a window manager Wine waits two seconds for every
    // shown top-level window to go.
  }
  void TearDown() override {
    if (m_host) {
      m_host->Close();
      m_host->Release();
    }
  }
  void Pump() {
    for (int i = 0; i < 5; ++i) m_host->PumpPending();
  }
  // Opens a fake folder whose views log into m_log.
  void OpenFake() {
    auto* folder = new fake::Folder(&m_log);
    ASSERT_EQ(S_OK, m_host->OpenFolder(folder, nullptr));
    folder->Release();
    Pump();
  }
  HMENU Popup(UINT id) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_SUBMENU;
    return GetMenuItemInfoW(m_host->MenuBar(), id, FALSE, &info) ? info.hSubMenu : nullptr;
  }
  int CountItem(HMENU menu, UINT id) {
    int n = 0;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) n += GetMenuItemID(menu, i) == id;
    return n;
  }

  ShellHost* m_host = nullptr;
  fake::ViewLog m_log;
};

TEST_F(HostTest, MenuBarHasTheFourBrowserPopups) {
  for (HMENU bar : {m_host->MenuBar()}) {
    ASSERT_EQ(4, GetMenuItemCount(bar));
    const UINT ids[] = {FCIDM_MENU_FILE, FCIDM_MENU_EDIT, FCIDM_MENU_VIEW, FCIDM_MENU_HELP};
    for (int i = 0; i < 4; ++i) {
      MENUITEMINFOW info{};
      info.cbSize = sizeof(info);
      info.fMask = MIIM_ID | MIIM_SUBMENU;
      ASSERT_TRUE(GetMenuItemInfoW(bar, static_cast<UINT>(i), TRUE, &info));
      EXPECT_EQ(ids[i], info.wID);
      EXPECT_NE(nullptr, info.hSubMenu);
    }
  }
}

TEST_F(HostTest, ViewMergesItsItemsIntoTheSharedMenuOnceAtTheGivenPlace) {
  OpenFake();
  ASSERT_EQ(1, m_log.created);
  EXPECT_GE(m_log.activations, 1);
  HMENU bar = m_host->MenuBar();
  EXPECT_EQ(4, GetMenuItemCount(bar));
  HMENU view = Popup(FCIDM_MENU_VIEW);
  ASSERT_NE(nullptr, view);
  ASSERT_GE(m_log.groupWidth2, 0);
  EXPECT_EQ(fake::kViewCommand, GetMenuItemID(view, m_log.groupWidth2));
  EXPECT_EQ(fake::kFileCommand, GetMenuItemID(Popup(FCIDM_MENU_FILE), 0));
  // The frame's own items follow the view's.
  EXPECT_EQ(1, CountItem(view, host::kCmdRefresh));

  // Merging again (focus moves) must not repeat items in fresh pop-ups.
  m_host->View()->UIActivate(SVUIA_ACTIVATE_NOFOCUS);
  m_host->View()->UIActivate(SVUIA_ACTIVATE_FOCUS);
  EXPECT_NE(bar, m_host->MenuBar());
  EXPECT_EQ(1, CountItem(Popup(FCIDM_MENU_VIEW), fake::kViewCommand));
  EXPECT_EQ(1, CountItem(Popup(FCIDM_MENU_VIEW), host::kCmdRefresh));
  EXPECT_EQ(1, CountItem(Popup(FCIDM_MENU_FILE), fake::kFileCommand));
  EXPECT_FALSE(IsMenu(bar));  // the old shared menu was taken apart and destroyed
}

TEST_F(HostTest, MenuMessagesAndForeignCommandsReachTheView) {
  OpenFake();
  HWND frame = m_host->Frame();
  HMENU view = Popup(FCIDM_MENU_VIEW);
  SendMessageW(frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), 2);
  EXPECT_EQ(1, m_log.initMenuPopups);
  SendMessageW(frame, WM_MENUSELECT, MAKEWPARAM(fake::kViewCommand, MF_STRING), reinterpret_cast<LPARAM>(view));
  SendMessageW(frame, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_EQ((std::vector<UINT>{fake::kViewCommand, 0}), m_log.menuSelects);

  SendMessageW(frame, WM_COMMAND, MAKEWPARAM(fake::kViewCommand, 0), 0);
  SendMessageW(frame, WM_COMMAND, MAKEWPARAM(fake::kToolbarCommand, BN_CLICKED),
               reinterpret_cast<LPARAM>(m_host->Toolbar()));
  // The frame's own commands stay with the frame.
  SendMessageW(frame, WM_COMMAND, MAKEWPARAM(host::kCmdStatusBar, 0), 0);
  EXPECT_EQ((std::vector<UINT>{fake::kViewCommand, fake::kToolbarCommand}), m_log.commands);
  EXPECT_EQ(0, GetWindowLongW(m_host->StatusBar(), GWL_STYLE) & WS_VISIBLE);
  SendMessageW(frame, WM_COMMAND, MAKEWPARAM(host::kCmdStatusBar, 0), 0);
  EXPECT_NE(0, GetWindowLongW(m_host->StatusBar(), GWL_STYLE) & WS_VISIBLE);

  // Tool-tips for the view's buttons are the view's to give.
  NMTTDISPINFOW tip{};
  tip.hdr.hwndFrom = m_host->Toolbar();
  tip.hdr.idFrom = fake::kToolbarCommand;
  tip.hdr.code = TTN_NEEDTEXTW;
  SendMessageW(frame, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
  EXPECT_EQ((std::vector<UINT>{TTN_NEEDTEXTW}), m_log.notifications);
}

TEST_F(HostTest, ToolbarAndStatusBarAreRealControlsDrivenThroughTheBrowser) {
  OpenFake();
  HWND toolbar = nullptr;
  HWND status = nullptr;
  ASSERT_EQ(S_OK, m_host->GetControlWindow(FCW_TOOLBAR, &toolbar));
  ASSERT_EQ(S_OK, m_host->GetControlWindow(FCW_STATUS, &status));
  EXPECT_EQ(m_host->Toolbar(), toolbar);
  EXPECT_EQ(m_host->StatusBar(), status);
  HWND tree = nullptr;
  EXPECT_TRUE(FAILED(m_host->GetControlWindow(FCW_TREE, &tree)));

  // The view's button landed after the frame's own.
  EXPECT_EQ(host::kOwnToolbarButtons + 2, SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
  EXPECT_EQ(host::kOwnToolbarButtons, SendMessageW(toolbar, TB_COMMANDTOINDEX, fake::kToolbarCommand, 0));
  EXPECT_GT(m_log.ownBitmapBase, 0);  // the frame's images come first
  LRESULT result = 0;
  ASSERT_EQ(S_OK, m_host->SendControlMsg(FCW_TOOLBAR, TB_ISBUTTONENABLED, fake::kToolbarCommand, 0, &result));
  EXPECT_NE(0, result);
  m_host->SendControlMsg(FCW_TOOLBAR, TB_CHECKBUTTON, fake::kToolbarCommand, TRUE, nullptr);
  EXPECT_NE(0, SendMessageW(toolbar, TB_ISBUTTONCHECKED, fake::kToolbarCommand, 0));

  // Parts as the view's summary sets them, simple text as its menu help.
  const int edges[] = {145, -1};
  m_host->SendControlMsg(FCW_STATUS, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges), nullptr);
  SendMessageA(status, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>("3 KB"));
  EXPECT_EQ(L"3 KB", m_host->StatusText(1));
  m_host->SendControlMsg(FCW_STATUS, SB_SIMPLE, TRUE, 0, nullptr);
  ASSERT_EQ(S_OK, m_host->SetStatusTextSB(L"Displays items in a list."));
  EXPECT_EQ(L"Displays items in a list.", m_host->StatusText());

  IShellView* active = nullptr;
  ASSERT_EQ(S_OK, m_host->QueryActiveShellView(&active));
  EXPECT_EQ(m_host->View(), active);
  active->Release();
}

TEST_F(HostTest, RefreshCommandAndF5CallTheViewsRefreshAfterItsAccelerators) {
  OpenFake();
  HWND frame = nullptr;
  ASSERT_EQ(S_OK, m_host->GetWindow(&frame));
  // What the view posts when its archive changed: twice the refresh command.
  PostMessageW(frame, WM_COMMAND, MAKEWPARAM(host::kCmdRefresh, 0), 0);
  PostMessageW(frame, WM_COMMAND, MAKEWPARAM(host::kCmdRefresh, 0), 0);
  Pump();
  EXPECT_EQ(2, m_log.refreshed);
  EXPECT_TRUE(m_log.commands.empty());

  const int offered = m_log.accelerators;
  PostMessageW(m_host->ViewWindow(), WM_KEYDOWN, VK_F5, 0);
  Pump();
  EXPECT_EQ(3, m_log.refreshed);
  EXPECT_GT(m_log.accelerators, offered);  // the view saw the key first
}

TEST_F(HostTest, BrowseObjectHandsThePreviousViewOverAndGoesBackUp) {
  OpenFake();
  auto* first = m_host->View();
  HWND firstWindow = m_host->ViewWindow();
  first->AddRef();

  PIDLIST_RELATIVE child = fake::MakeChildId();
  ASSERT_EQ(S_OK, m_host->BrowseObject(child, SBSP_SAMEBROWSER | SBSP_RELATIVE));
  CoTaskMemFree(child);
  EXPECT_EQ(first, m_host->View());  // navigation waits for the message loop
  Pump();
  EXPECT_EQ(2, m_log.created);
  EXPECT_EQ(first, m_log.previous);
  EXPECT_EQ(1, m_log.destroyed);
  EXPECT_FALSE(IsWindow(firstWindow));
  EXPECT_EQ(1u, m_host->Depth());
  EXPECT_EQ(1, static_cast<fake::Folder*>(m_host->Folder())->Depth());
  EXPECT_NE(first, m_host->View());
  EXPECT_EQ(0u, first->Release());  // only our reference was left
  EXPECT_EQ(1, m_log.deleted);
  // The new view kept the old toolbar buttons and added none.
  EXPECT_EQ(host::kOwnToolbarButtons + 2, SendMessageW(m_host->Toolbar(), TB_BUTTONCOUNT, 0, 0));

  ASSERT_EQ(S_OK, m_host->BrowseObject(nullptr, SBSP_PARENT));
  Pump();
  EXPECT_EQ(0u, m_host->Depth());
  EXPECT_EQ(0, static_cast<fake::Folder*>(m_host->Folder())->Depth());
  EXPECT_EQ(3, m_log.created);
  EXPECT_EQ(2, m_log.deleted);
  // The opened folder is the root: there is nothing above it.
  EXPECT_TRUE(FAILED(m_host->BrowseObject(nullptr, SBSP_PARENT)));
}

TEST_F(HostTest, ClosingReleasesTheViewAndItsBrowserReference) {
  OpenFake();
  m_host->Close();
  EXPECT_EQ(nullptr, m_host->Frame());
  EXPECT_EQ(1, m_log.destroyed);
  EXPECT_EQ(1, m_log.deleted);
  // Only the test's own reference is left.
  EXPECT_EQ(2u, m_host->AddRef());
  m_host->Release();
}

TEST_F(HostTest, AnArchiveRootIsInitialisedWithTheFilesOwnIdentifierList) {
  const std::filesystem::path zip = std::filesystem::temp_directory_path() / "mbx_host_test.zip";
  {
    std::ofstream out(zip, std::ios::binary);
    const char empty[22] = {'P', 'K', 5, 6};
    out.write(empty, sizeof(empty));
  }
  auto* root = new fake::Folder(&m_log);
  EXPECT_TRUE(FAILED(m_host->OpenArchiveRoot((zip.parent_path() / "mbx_no_such.zip").wstring(), root)));
  EXPECT_NE(std::wstring::npos, m_host->LastError().find(L"mbx_no_such.zip"));
  EXPECT_EQ(m_host->LastError(), m_host->StatusText());
  EXPECT_TRUE(root->InitializedPath().empty());
  EXPECT_EQ(nullptr, m_host->View());

  // A relative path is made absolute first, as the shell would have it.
  wchar_t cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  SetCurrentDirectoryW(zip.parent_path().c_str());
  const HRESULT hr = m_host->OpenArchiveRoot(L"mbx_host_test.zip", root);
  SetCurrentDirectoryW(cwd);
  ASSERT_EQ(S_OK, hr);
  EXPECT_EQ(0, lstrcmpiW(zip.c_str(), root->InitializedPath().c_str())) << root->InitializedPath();
  EXPECT_EQ(1, m_log.created);
  EXPECT_EQ(root, static_cast<fake::Folder*>(m_host->Folder()));
  EXPECT_TRUE(m_host->LastError().empty());
  root->Release();
  std::filesystem::remove(zip);
}

TEST_F(HostTest, AnUnknownArchiveClassFailsGracefully) {
  EXPECT_TRUE(FAILED(m_host->OpenArchive(L"C:\\any.zip", L"Marrowbox.NoSuchClass")));
  EXPECT_NE(std::wstring::npos, m_host->LastError().find(L"Marrowbox.NoSuchClass"));
  EXPECT_EQ(m_host->LastError(), m_host->StatusText());
  EXPECT_EQ(nullptr, m_host->View());
}

// The host under a real view: Wine's own view of a directory.
TEST_F(HostTest, HostsTheShellsOwnViewOfADirectoryAndNavigatesIt) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "mbx_host_dir";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "sub");
  for (const char* name : {"a.txt", "b.txt", "c.dat"}) std::ofstream(dir / name) << name;
  std::ofstream(dir / "sub" / "inner.txt") << "x";

  ASSERT_EQ(S_OK, m_host->OpenDirectory(dir.wstring())) << std::string(m_host->LastError().begin(), m_host->LastError().end());
  Pump();
  HWND list = host::FindListView(m_host->ViewWindow());
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(4, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));

  PIDLIST_RELATIVE sub = nullptr;
  ASSERT_EQ(S_OK, m_host->Folder()->ParseDisplayName(nullptr, nullptr, const_cast<LPWSTR>(L"sub"), nullptr, &sub, nullptr));
  ASSERT_EQ(S_OK, m_host->BrowseObject(sub, SBSP_RELATIVE));
  CoTaskMemFree(sub);
  Pump();
  EXPECT_EQ(1u, m_host->Depth());
  list = host::FindListView(m_host->ViewWindow());
  ASSERT_NE(nullptr, list);
  ASSERT_EQ(1, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  EXPECT_NE(std::string::npos, host::ListItemText(list, 0, 0).find("inner"));

  SendMessageW(m_host->Frame(), WM_COMMAND, MAKEWPARAM(host::kCmdUp, 0), 0);
  Pump();
  EXPECT_EQ(0u, m_host->Depth());
  EXPECT_EQ(4, SendMessageW(host::FindListView(m_host->ViewWindow()), LVM_GETITEMCOUNT, 0, 0));
  m_host->Close();
  std::filesystem::remove_all(dir);
}

}  // namespace
