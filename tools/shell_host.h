// A shell browser of our own: a top-level frame with a menu bar, a toolbar and
// a status bar that hosts any folder's shell view the way the system's file
// browser does.  Wine's file browser cannot host an archive as the root of a
// namespace and leaves the menu, toolbar and status-bar calls unimplemented,
// so the view is run and tested here.
//
// The host is a plain library: the program mbxhost.exe is a thin main over it,
// and UI tests create a host in their own process, open a folder and read the
// view's controls directly.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

// The product's plain headers of what the host shares with the views it
// hosts; by path, since the host links none of the product.
#include "../util/class_ids.h"
#include "../view/browser_commands.h"
#include "tree_pane.h"

namespace host {

// Commands of the frame itself (the browser's id range).
constexpr UINT kCmdClose = FCIDM_BROWSERFIRST + 0x10;
constexpr UINT kCmdStatusBar = FCIDM_BROWSERFIRST + 0x11;
constexpr UINT kCmdUp = FCIDM_BROWSERFIRST + 0x12;
// Shows the opened zip file's own context menu, as for a right-click on it.
constexpr UINT kCmdFileMenu = FCIDM_BROWSERFIRST + 0x13;
// The file browser's own refresh command; views post it to ask for Refresh.
constexpr UINT kCmdRefresh = kBrowserRefreshCommand;

// Control ids of the frame's children.
constexpr UINT kToolbarId = FCIDM_TOOLBAR;
constexpr UINT kStatusId = FCIDM_STATUS;
constexpr UINT kTreeId = FCIDM_TOOLBAR + 1;
// The tree pane's width beside the view.
constexpr int kTreeWidth = 200;

// How many buttons the frame puts on its toolbar before any view's.
constexpr int kOwnToolbarButtons = 2;  // Up, separator

class ShellHost final : public IShellBrowser, public IServiceProvider {
 public:
  // Creates the frame window (hidden until Show).  The caller holds the one
  // reference returned; the frame keeps the object alive while it exists.
  static ShellHost* Create(HINSTANCE instance = nullptr);

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IOleWindow
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;

  // IShellBrowser
  STDMETHODIMP InsertMenusSB(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
  STDMETHODIMP SetMenuSB(HMENU shared, HOLEMENU oleMenu, HWND activeObject) override;
  STDMETHODIMP RemoveMenusSB(HMENU shared) override;
  STDMETHODIMP SetStatusTextSB(LPCOLESTR text) override;
  STDMETHODIMP EnableModelessSB(BOOL enable) override;
  STDMETHODIMP TranslateAcceleratorSB(MSG* msg, WORD id) override;
  STDMETHODIMP BrowseObject(PCUIDLIST_RELATIVE pidl, UINT flags) override;
  STDMETHODIMP GetViewStateStream(DWORD mode, IStream** stream) override;
  STDMETHODIMP GetControlWindow(UINT id, HWND* window) override;
  STDMETHODIMP SendControlMsg(UINT id, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  STDMETHODIMP QueryActiveShellView(IShellView** view) override;
  STDMETHODIMP OnViewWindowActive(IShellView* view) override;
  STDMETHODIMP SetToolbarItems(LPTBBUTTONSB buttons, UINT count, UINT flags) override;

  // IServiceProvider: views look the browser up through it.
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override;

  // Shows a folder: asks it for a view and creates the view window in the
  // frame.  absolute may be null (then only relative navigation works
  // below it); the host copies it.  The folder becomes the root: Up stops
  // there.
  HRESULT OpenFolder(IShellFolder* folder, PCIDLIST_ABSOLUTE absolute);
  // A file-system directory, through the desktop folder.
  HRESULT OpenDirectory(const std::wstring& path);
  // A zip file the way the registered open command shows it: the archive
  // class from its ProgID, initialised with the file's identifier list.
  HRESULT OpenArchive(const std::wstring& path, const wchar_t* progId = kZipFileProgIdWide.data());
  // The same with the class given, or with an archive root object already
  // made (a test that loads the library itself); the root is initialised
  // with the file's identifier list here.
  HRESULT OpenArchive(const std::wstring& path, REFCLSID clsid);
  HRESULT OpenArchiveRoot(const std::wstring& path, IPersistFolder* root);

  // The opened zip file's own context menu, with the root made the way the
  // shell makes it for a right-click (IShellExtInit, not browsed); chosen
  // by the tree's menu chooser.  Returns the verb invoked, or empty.
  std::string ShowFileContextMenu(POINT screen);

  // Closes the view and destroys the frame.
  void Close();
  void Show(int command = SW_SHOWNORMAL);

  // The message loop Explorer runs: the view's accelerators first, then the
  // frame's.  Returns when the frame is gone or, with a limit, after that
  // many milliseconds.  Tests pump with a limit.
  int RunMessageLoop(DWORD limitMs = INFINITE);
  // Processes pending messages once; true while the frame exists.
  bool PumpPending();

  HWND Frame() const { return m_frame; }
  HWND Toolbar() const { return m_toolbar; }
  HWND StatusBar() const { return m_status; }
  HWND ViewWindow() const { return m_viewWindow; }
  // The folder tree beside the view.
  TreePane& Tree() { return m_tree; }
  // The active view, not referenced.
  IShellView* View() const { return m_view; }
  // The folder shown, not referenced.
  IShellFolder* Folder() const { return m_levels.empty() ? nullptr : m_levels.back().folder; }
  // How many levels below the opened folder the view is.
  size_t Depth() const { return m_levels.empty() ? 0 : m_levels.size() - 1; }
  // The frame's menu bar as shown (shared menu of the view, or the frame's own).
  HMENU MenuBar() const { return GetMenu(m_frame); }
  // The text of a status-bar part, or with no part the last text shown
  // through SetStatusTextSB (the bar's simple mode).
  std::wstring StatusText(int part = -1) const;
  // The last failure the host met, as also written to the status bar.
  const std::wstring& LastError() const { return m_lastError; }
  // How often the view's Refresh was called by the refresh command.
  int RefreshCount() const { return m_refreshCount; }
  // The view mode new views start in.
  void SetViewMode(UINT mode) { m_viewMode = mode; }
  // Posts WM_QUIT when the frame is destroyed (for the program, not tests).
  void QuitOnDestroy(bool quit) { m_quitOnDestroy = quit; }

 private:
  struct Level {
    IShellFolder* folder;       // referenced
    PIDLIST_ABSOLUTE absolute;  // owned, may be null
  };

  ShellHost() = default;
  ~ShellHost();
  bool CreateFrame(HINSTANCE instance);
  static LRESULT CALLBACK FrameProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnCommand(WPARAM wParam, LPARAM lParam);
  bool KeyForView(const MSG& msg) const;
  void Dispatch(MSG& msg);
  void Layout();
  RECT ViewRect() const;
  HMENU BuildOwnMenu();
  void AddOwnPopups(HMENU menu, std::vector<HMENU>* created);
  HRESULT ShowLevel(IShellFolder* folder, PIDLIST_ABSOLUTE absolute, bool replaceRoot);
  void DestroyView();
  void Refresh();
  void Fail(const std::wstring& what, HRESULT hr);

  LONG m_refs = 1;
  HWND m_frame = nullptr;
  HWND m_toolbar = nullptr;
  HWND m_status = nullptr;
  HMENU m_ownMenu = nullptr;
  std::vector<HMENU> m_ownPopups;     // pop-ups of m_ownMenu
  struct SharedPopup {
    HMENU shared;
    HMENU popup;
  };
  std::vector<SharedPopup> m_sharedPopups;  // pop-ups inserted into views' shared menus
  HMENU m_sharedMenu = nullptr;
  HWND m_menuTarget = nullptr;  // the window menu messages go to while a shared menu shows
  HACCEL m_accelerators = nullptr;
  IShellView* m_view = nullptr;  // referenced
  HWND m_viewWindow = nullptr;
  std::vector<Level> m_levels;
  TreePane m_tree;
  std::wstring m_archivePath;  // the zip file opened, if any
  CLSID m_archiveClass{};
  UINT m_viewMode = FVM_DETAILS;
  std::wstring m_lastError;
  std::wstring m_simpleText;
  int m_refreshCount = 0;
  int m_modelessDisabled = 0;
  bool m_quitOnDestroy = false;
};

// The list control inside a window (class SysListView32), or null.
HWND FindListView(HWND parent);
// The text of one list cell (LVM_GETITEMTEXTA, works across processes
// only within the same process).
std::string ListItemText(HWND list, int row, int column);

}  // namespace host
