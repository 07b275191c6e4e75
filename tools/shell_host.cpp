#include "shell_host.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <cstdio>
#include <cwchar>

namespace host {

namespace {

constexpr wchar_t kFrameClass[] = L"MarrowboxShellHostFrame";
// Navigation runs from the message loop, never inside the view's own call:
// the old view must not be destroyed while its command handler is running.
constexpr UINT kMsgNavigate = WM_APP + 1;

struct PopupSpec {
  UINT id;
  const wchar_t* label;
};
constexpr PopupSpec kPopups[] = {
    {FCIDM_MENU_FILE, L"&File"},
    {FCIDM_MENU_EDIT, L"&Edit"},
    {FCIDM_MENU_VIEW, L"&View"},
    {FCIDM_MENU_HELP, L"&Help"},
};

// The frame's items in its View pop-up before the view's own: the insertion
// point handed to the view as the third group width.
constexpr LONG kViewItemsBeforeView = 1;

HMENU MakePopup(UINT id) {
  HMENU popup = CreatePopupMenu();
  switch (id) {
    case FCIDM_MENU_FILE:
      AppendMenuW(popup, MF_STRING, kCmdClose, L"&Close");
      AppendMenuW(popup, MF_STRING, kCmdFileMenu, L"Zip File &Menu");
      break;
    case FCIDM_MENU_VIEW:
      AppendMenuW(popup, MF_STRING, kCmdStatusBar, L"Status &Bar");
      AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(popup, MF_STRING, kCmdUp, L"&Up One Level\tBackspace");
      AppendMenuW(popup, MF_STRING, kCmdRefresh, L"&Refresh\tF5");
      break;
    default:
      break;
  }
  return popup;
}

// Whether a control is switched on, also while the frame itself is hidden.
bool Shown(HWND control) { return control && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE); }

std::wstring Hex(HRESULT hr) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

// The CLSID that the type's registered open command names as the root of
// its namespace ("... /root,{clsid},%1"), for a ProgID without a CLSID key.
bool ClsidFromOpenCommand(const wchar_t* progId, CLSID* clsid) {
  std::wstring key = std::wstring(progId) + L"\\shell\\open\\command";
  wchar_t command[1024] = L"";
  DWORD size = sizeof(command);
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, command, &size) != ERROR_SUCCESS)
    return false;
  const wchar_t* root = StrStrIW(command, L"/root,{");
  if (!root) return false;
  std::wstring guid(root + 6, 38);
  return SUCCEEDED(CLSIDFromString(guid.c_str(), clsid));
}

}  // namespace

ShellHost* ShellHost::Create(HINSTANCE instance) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  auto* host = new ShellHost();
  if (!host->CreateFrame(instance ? instance : GetModuleHandleW(nullptr))) {
    host->Release();
    return nullptr;
  }
  return host;
}

ShellHost::~ShellHost() {
  for (Level& level : m_levels) {
    level.folder->Release();
    CoTaskMemFree(level.absolute);
  }
  if (m_accelerators) DestroyAcceleratorTable(m_accelerators);
}

bool ShellHost::CreateFrame(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFrameClass;
  RegisterClassExW(&wc);  // fails harmlessly when a second host registers it again

  m_ownMenu = CreateMenu();
  AddOwnPopups(m_ownMenu, &m_ownPopups);

  ACCEL keys[] = {
      {FVIRTKEY, VK_F5, static_cast<WORD>(kCmdRefresh)},
      {FVIRTKEY, VK_BACK, static_cast<WORD>(kCmdUp)},
  };
  m_accelerators = CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys)));

  AddRef();  // the frame's own reference, dropped at WM_NCDESTROY
  m_frame = CreateWindowExW(0, kFrameClass, L"Marrowbox", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 900, 640,
                            nullptr, m_ownMenu, instance, this);
  if (!m_frame) {
    Release();
    return false;
  }

  m_toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                              WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT | CCS_TOP, 0, 0, 0, 0, m_frame,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kToolbarId)), instance, nullptr);
  SendMessageW(m_toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  TBADDBITMAP viewImages{HINST_COMMCTRL, IDB_VIEW_SMALL_COLOR};
  const auto viewBase = static_cast<int>(SendMessageW(m_toolbar, TB_ADDBITMAP, 12, reinterpret_cast<LPARAM>(&viewImages)));
  TBBUTTON own[kOwnToolbarButtons] = {};
  own[0].iBitmap = viewBase + VIEW_PARENTFOLDER;
  own[0].idCommand = static_cast<int>(kCmdUp);
  own[0].fsState = TBSTATE_ENABLED;
  own[0].fsStyle = BTNS_BUTTON;
  own[0].iString = -1;
  own[1].fsStyle = BTNS_SEP;
  SendMessageW(m_toolbar, TB_ADDBUTTONSW, kOwnToolbarButtons, reinterpret_cast<LPARAM>(own));

  m_tree.Create(m_frame, kTreeId, instance);
  m_status = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, m_frame,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kStatusId)), instance, nullptr);
  Layout();
  return m_toolbar && m_status;
}

void ShellHost::AddOwnPopups(HMENU menu, std::vector<HMENU>* created) {
  for (const PopupSpec& spec : kPopups) {
    HMENU popup = MakePopup(spec.id);
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    item.wID = spec.id;
    item.hSubMenu = popup;
    item.dwTypeData = const_cast<wchar_t*>(spec.label);
    InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &item);
    created->push_back(popup);
  }
}

// ---------------------------------------------------------------- IUnknown

STDMETHODIMP ShellHost::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IOleWindow || iid == IID_IShellBrowser) {
    *out = static_cast<IShellBrowser*>(this);
  } else if (iid == IID_IServiceProvider) {
    *out = static_cast<IServiceProvider*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ShellHost::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }

STDMETHODIMP_(ULONG) ShellHost::Release() {
  const LONG refs = InterlockedDecrement(&m_refs);
  if (refs == 0) delete this;
  return static_cast<ULONG>(refs);
}

STDMETHODIMP ShellHost::QueryService(REFGUID service, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (service == SID_SShellBrowser || service == IID_IShellBrowser) return QueryInterface(iid, out);
  return E_NOINTERFACE;
}

// ---------------------------------------------------------------- IOleWindow

STDMETHODIMP ShellHost::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = m_frame;
  return m_frame ? S_OK : E_FAIL;
}

STDMETHODIMP ShellHost::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// ---------------------------------------------------------------- menus

STDMETHODIMP ShellHost::InsertMenusSB(HMENU shared, LPOLEMENUGROUPWIDTHS widths) {
  if (!IsMenu(shared)) return E_INVALIDARG;
  // Fresh pop-ups for every shared menu: the view fills them with its items,
  // and they go with the shared menu when it is taken apart.
  std::vector<HMENU> created;
  AddOwnPopups(shared, &created);
  for (HMENU popup : created) m_sharedPopups.push_back({shared, popup});
  if (widths) {
    widths->width[0] = 2;  // File, Edit
    widths->width[1] = 0;
    widths->width[2] = kViewItemsBeforeView;
    widths->width[3] = 0;
    widths->width[4] = 1;  // Help
    widths->width[5] = 0;
  }
  return S_OK;
}

STDMETHODIMP ShellHost::SetMenuSB(HMENU shared, HOLEMENU, HWND activeObject) {
  if (!m_frame) return E_FAIL;
  if (shared && !IsMenu(shared)) return E_INVALIDARG;
  m_sharedMenu = shared;
  m_menuTarget = shared ? activeObject : nullptr;
  SetMenu(m_frame, shared ? shared : m_ownMenu);
  DrawMenuBar(m_frame);
  return S_OK;
}

STDMETHODIMP ShellHost::RemoveMenusSB(HMENU shared) {
  for (auto it = m_sharedPopups.begin(); it != m_sharedPopups.end();) {
    if (it->shared != shared) {
      ++it;
      continue;
    }
    for (int i = GetMenuItemCount(shared) - 1; i >= 0; --i) {
      if (GetSubMenu(shared, i) == it->popup) RemoveMenu(shared, static_cast<UINT>(i), MF_BYPOSITION);
    }
    if (IsMenu(it->popup)) DestroyMenu(it->popup);
    it = m_sharedPopups.erase(it);
  }
  if (m_sharedMenu == shared && GetMenu(m_frame) == shared) SetMenuSB(nullptr, nullptr, nullptr);
  return S_OK;
}

// ---------------------------------------------------------------- controls

STDMETHODIMP ShellHost::SetStatusTextSB(LPCOLESTR text) {
  if (!m_status) return E_FAIL;
  m_simpleText = text ? text : L"";
  SendMessageW(m_status, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(m_simpleText.c_str()));
  return S_OK;
}

STDMETHODIMP ShellHost::EnableModelessSB(BOOL enable) {
  // Nested disables from several dialogs balance out.
  m_modelessDisabled += enable ? -1 : 1;
  if (m_modelessDisabled < 0) m_modelessDisabled = 0;
  if (m_frame) EnableWindow(m_frame, m_modelessDisabled == 0);
  return S_OK;
}

STDMETHODIMP ShellHost::TranslateAcceleratorSB(MSG* msg, WORD) {
  if (!msg || !m_accelerators) return S_FALSE;
  return TranslateAcceleratorW(m_frame, m_accelerators, msg) ? S_OK : S_FALSE;
}

STDMETHODIMP ShellHost::GetViewStateStream(DWORD, IStream** stream) {
  if (stream) *stream = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP ShellHost::GetControlWindow(UINT id, HWND* window) {
  if (!window) return E_POINTER;
  *window = nullptr;
  if (id == FCW_TOOLBAR) *window = m_toolbar;
  if (id == FCW_STATUS) *window = m_status;
  return *window ? S_OK : E_FAIL;
}

STDMETHODIMP ShellHost::SendControlMsg(UINT id, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  HWND control = nullptr;
  if (FAILED(GetControlWindow(id, &control))) {
    if (result) *result = 0;
    return E_FAIL;
  }
  const LRESULT r = SendMessageW(control, msg, wParam, lParam);
  if (result) *result = r;
  return S_OK;
}

STDMETHODIMP ShellHost::SetToolbarItems(LPTBBUTTONSB buttons, UINT count, UINT flags) {
  if (!m_toolbar) return E_FAIL;
  if (!(flags & FCT_MERGE)) {
    // Anything but a merge replaces the view buttons: the frame's own stay.
    while (SendMessageW(m_toolbar, TB_BUTTONCOUNT, 0, 0) > kOwnToolbarButtons)
      SendMessageW(m_toolbar, TB_DELETEBUTTON, kOwnToolbarButtons, 0);
  }
  if (buttons && count) SendMessageW(m_toolbar, TB_ADDBUTTONSW, count, reinterpret_cast<LPARAM>(buttons));
  Layout();
  return S_OK;
}

STDMETHODIMP ShellHost::QueryActiveShellView(IShellView** view) {
  if (!view) return E_POINTER;
  *view = m_view;
  if (!m_view) return E_FAIL;
  m_view->AddRef();
  return S_OK;
}

STDMETHODIMP ShellHost::OnViewWindowActive(IShellView*) { return S_OK; }

// ---------------------------------------------------------------- navigation

namespace {
struct Navigation {
  IShellFolder* folder;       // referenced
  PIDLIST_ABSOLUTE absolute;  // owned, may be null
  bool up;
  bool newRoot;
};
}  // namespace

STDMETHODIMP ShellHost::BrowseObject(PCUIDLIST_RELATIVE pidl, UINT flags) {
  if (!m_frame) return E_FAIL;
  auto* nav = new Navigation{nullptr, nullptr, false, false};
  HRESULT hr = S_OK;
  if (flags & (SBSP_PARENT | SBSP_NAVIGATEBACK)) {
    // The opened folder is the root of this window's namespace: nothing above.
    if (m_levels.size() < 2) {
      delete nav;
      return E_FAIL;
    }
    nav->up = true;
  } else if (flags & SBSP_RELATIVE) {
    if (m_levels.empty() || !pidl) {
      delete nav;
      return E_INVALIDARG;
    }
    hr = m_levels.back().folder->BindToObject(pidl, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&nav->folder));
    if (SUCCEEDED(hr) && m_levels.back().absolute) nav->absolute = ILCombine(m_levels.back().absolute, pidl);
  } else {
    IShellFolder* desktop = nullptr;
    hr = SHGetDesktopFolder(&desktop);
    if (SUCCEEDED(hr)) {
      if (!pidl || pidl->mkid.cb == 0) {
        nav->folder = desktop;
        desktop = nullptr;
      } else {
        hr = desktop->BindToObject(pidl, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&nav->folder));
      }
      if (desktop) desktop->Release();
    }
    if (SUCCEEDED(hr)) nav->absolute = pidl ? ILCloneFull(reinterpret_cast<PCIDLIST_ABSOLUTE>(pidl)) : nullptr;
    nav->newRoot = true;
  }
  if (FAILED(hr)) {
    if (nav->folder) nav->folder->Release();
    CoTaskMemFree(nav->absolute);
    delete nav;
    Fail(L"Cannot open the folder", hr);
    return hr;
  }
  PostMessageW(m_frame, kMsgNavigate, 0, reinterpret_cast<LPARAM>(nav));
  return S_OK;
}

HRESULT ShellHost::OpenFolder(IShellFolder* folder, PCIDLIST_ABSOLUTE absolute) {
  if (!folder) return E_POINTER;
  folder->AddRef();
  return ShowLevel(folder, absolute ? ILCloneFull(absolute) : nullptr, true);
}

HRESULT ShellHost::OpenDirectory(const std::wstring& path) {
  IShellFolder* desktop = nullptr;
  HRESULT hr = SHGetDesktopFolder(&desktop);
  PIDLIST_RELATIVE pidl = nullptr;
  if (SUCCEEDED(hr)) hr = desktop->ParseDisplayName(m_frame, nullptr, const_cast<LPWSTR>(path.c_str()), nullptr, &pidl, nullptr);
  IShellFolder* folder = nullptr;
  if (SUCCEEDED(hr)) hr = desktop->BindToObject(pidl, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder));
  if (desktop) desktop->Release();
  if (FAILED(hr)) {
    CoTaskMemFree(pidl);
    Fail(L"Cannot open " + path, hr);
    return hr;
  }
  hr = ShowLevel(folder, reinterpret_cast<PIDLIST_ABSOLUTE>(pidl), true);
  return hr;
}

HRESULT ShellHost::OpenArchive(const std::wstring& path, const wchar_t* progId) {
  CLSID clsid{};
  HRESULT hr = CLSIDFromProgID(progId, &clsid);
  if (FAILED(hr) && !ClsidFromOpenCommand(progId, &clsid)) {
    Fail(std::wstring(L"The archive class \"") + progId + L"\" is not registered", hr);
    return hr;
  }
  return OpenArchive(path, clsid);
}

HRESULT ShellHost::OpenArchive(const std::wstring& path, REFCLSID clsid) {
  m_archiveClass = clsid;
  IPersistFolder* root = nullptr;
  const HRESULT hr =
      CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFolder, reinterpret_cast<void**>(&root));
  if (FAILED(hr)) {
    Fail(L"Cannot create the archive object", hr);
    return hr;
  }
  const HRESULT opened = OpenArchiveRoot(path, root);
  root->Release();
  return opened;
}

HRESULT ShellHost::OpenArchiveRoot(const std::wstring& path, IPersistFolder* root) {
  if (!root) return E_POINTER;
  wchar_t full[MAX_PATH * 2] = L"";
  if (!GetFullPathNameW(path.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr)) {
    const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    Fail(L"Cannot resolve " + path, hr);
    return hr;
  }
  if (GetFileAttributesW(full) == INVALID_FILE_ATTRIBUTES) {
    const HRESULT hr = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    Fail(std::wstring(L"No such archive: ") + full, hr);
    return hr;
  }

  // The file's own absolute identifier list, as the shell hands it to the
  // root of a namespace.
  PIDLIST_ABSOLUTE pidl = nullptr;
  HRESULT hr = SHParseDisplayName(full, nullptr, &pidl, 0, nullptr);
  if (FAILED(hr)) {
    pidl = ILCreateFromPathW(full);
    hr = pidl ? S_OK : E_FAIL;
  }
  if (SUCCEEDED(hr)) hr = root->Initialize(pidl);
  if (SUCCEEDED(hr)) m_archivePath = full;
  IShellFolder* folder = nullptr;
  if (SUCCEEDED(hr)) hr = root->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&folder));
  if (FAILED(hr)) {
    CoTaskMemFree(pidl);
    Fail(std::wstring(L"Cannot open the archive ") + full, hr);
    return hr;
  }
  return ShowLevel(folder, pidl, true);
}

// Takes over the folder's reference and the identifier list.
HRESULT ShellHost::ShowLevel(IShellFolder* folder, PIDLIST_ABSOLUTE absolute, bool newRoot) {
  IShellView* view = nullptr;
  HRESULT hr = folder->CreateViewObject(m_frame, IID_IShellView, reinterpret_cast<void**>(&view));
  if (FAILED(hr) || !view) {
    folder->Release();
    CoTaskMemFree(absolute);
    Fail(L"The folder has no view", FAILED(hr) ? hr : E_NOINTERFACE);
    return FAILED(hr) ? hr : E_NOINTERFACE;
  }

  // The new view starts in the mode the old one was left in.
  FOLDERSETTINGS settings{m_viewMode, 0};
  if (m_view) {
    FOLDERSETTINGS current{};
    if (SUCCEEDED(m_view->GetCurrentInfo(&current)) && current.ViewMode >= FVM_FIRST && current.ViewMode <= FVM_LAST)
      settings = current;
  }
  RECT rect = ViewRect();
  HWND window = nullptr;
  IShellView* previous = m_view;
  hr = view->CreateViewWindow(previous, &settings, this, &rect, &window);
  if (FAILED(hr)) {
    view->Release();
    folder->Release();
    CoTaskMemFree(absolute);
    Fail(L"The view window could not be created", hr);
    return hr;
  }

  if (previous) {
    // The old view's shared menu dies with it: show the frame's own first.
    SetMenuSB(nullptr, nullptr, nullptr);
    previous->UIActivate(SVUIA_DEACTIVATE);
    previous->DestroyViewWindow();
    previous->Release();
  }
  m_view = view;
  m_viewWindow = window;

  if (newRoot) {
    for (Level& level : m_levels) {
      level.folder->Release();
      CoTaskMemFree(level.absolute);
    }
    m_levels.clear();
  }
  m_levels.push_back({folder, absolute});

  wchar_t title[MAX_PATH + 32] = L"Marrowbox";
  IShellFolder* desktop = nullptr;
  if (absolute && SUCCEEDED(SHGetDesktopFolder(&desktop))) {
    STRRET name{};
    if (SUCCEEDED(desktop->GetDisplayNameOf(absolute, SHGDN_FORPARSING, &name)))
      StrRetToBufW(&name, absolute, title, static_cast<UINT>(std::size(title)));
    desktop->Release();
  }
  SetWindowTextW(m_frame, title);

  if (newRoot) m_tree.SetRoot(folder, PathFindFileNameW(title));
  Layout();
  m_view->UIActivate(SVUIA_ACTIVATE_FOCUS);
  if (IsWindow(m_viewWindow)) SetFocus(m_viewWindow);
  m_lastError.clear();
  return S_OK;
}

void ShellHost::DestroyView() {
  if (!m_view) return;
  SetMenuSB(nullptr, nullptr, nullptr);
  IShellView* view = m_view;
  m_view = nullptr;
  m_viewWindow = nullptr;
  view->UIActivate(SVUIA_DEACTIVATE);
  view->DestroyViewWindow();
  view->Release();
}

void ShellHost::Refresh() {
  if (!m_view) return;
  ++m_refreshCount;
  m_view->Refresh();
  m_tree.Refresh();
}

void ShellHost::Fail(const std::wstring& what, HRESULT hr) {
  m_lastError = what + L" (" + Hex(hr) + L")";
  if (m_status) {
    SendMessageW(m_status, SB_SIMPLE, TRUE, 0);
    SetStatusTextSB(m_lastError.c_str());
  }
  std::fwprintf(stderr, L"mbxhost: %ls\n", m_lastError.c_str());
  std::fflush(stderr);
}

std::wstring ShellHost::StatusText(int part) const {
  if (!m_status) return {};
  wchar_t text[1024] = L"";
  if (part < 0) {
    // The simple-mode text is not readable through SB_GETTEXT everywhere;
    // the host keeps its own copy.
    return m_simpleText;
  }
  if (LOWORD(SendMessageW(m_status, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0)) < std::size(text))
    SendMessageW(m_status, SB_GETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text));
  return text;
}

// ---------------------------------------------------------------- frame

void ShellHost::Show(int command) {
  ShowWindow(m_frame, command);
  UpdateWindow(m_frame);
}

void ShellHost::Close() {
  if (m_frame) DestroyWindow(m_frame);
}

RECT ShellHost::ViewRect() const {
  RECT client{};
  GetClientRect(m_frame, &client);
  RECT bar{};
  if (Shown(m_toolbar) && GetWindowRect(m_toolbar, &bar)) client.top += bar.bottom - bar.top;
  if (Shown(m_status) && GetWindowRect(m_status, &bar)) client.bottom -= bar.bottom - bar.top;
  if (client.bottom < client.top) client.bottom = client.top;
  if (Shown(m_tree.Window())) client.left += kTreeWidth;
  if (client.right < client.left) client.right = client.left;
  return client;
}

void ShellHost::Layout() {
  if (!m_frame) return;
  if (m_toolbar) SendMessageW(m_toolbar, TB_AUTOSIZE, 0, 0);
  if (m_status) SendMessageW(m_status, WM_SIZE, 0, 0);
  if (m_viewWindow && IsWindow(m_viewWindow)) {
    const RECT r = ViewRect();
    MoveWindow(m_viewWindow, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  }
  if (HWND tree = m_tree.Window()) {
    const RECT r = ViewRect();
    MoveWindow(tree, 0, r.top, r.left, r.bottom - r.top, TRUE);
  }
}

void ShellHost::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  switch (id) {
    case kCmdClose:
      Close();
      return;
    case kCmdStatusBar:
      ShowWindow(m_status, Shown(m_status) ? SW_HIDE : SW_SHOW);
      Layout();
      return;
    case kCmdUp:
      BrowseObject(nullptr, SBSP_PARENT);
      return;
    case kCmdRefresh:
      Refresh();
      return;
    case kCmdFileMenu: {
      POINT cursor{};
      GetCursorPos(&cursor);
      ShowFileContextMenu(cursor);
      return;
    }
    default:
      break;
  }
  // Everything else belongs to the view: its menu items and toolbar buttons.
  if (m_viewWindow && IsWindow(m_viewWindow)) SendMessageW(m_viewWindow, WM_COMMAND, wParam, lParam);
}

LRESULT CALLBACK ShellHost::FrameProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  ShellHost* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<ShellHost*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->m_frame = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<ShellHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(window, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    const LRESULT r = DefWindowProcW(window, msg, wParam, lParam);
    self->m_frame = nullptr;
    self->m_toolbar = nullptr;
    self->m_status = nullptr;
    if (self->m_quitOnDestroy) PostQuitMessage(0);
    self->Release();
    return r;
  }
  return self->OnMessage(msg, wParam, lParam);
}

LRESULT ShellHost::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_SETFOCUS:
      if (m_viewWindow && IsWindow(m_viewWindow)) SetFocus(m_viewWindow);
      return 0;
    case WM_ACTIVATE: {
      const LRESULT r = DefWindowProcW(m_frame, msg, wParam, lParam);
      if (LOWORD(wParam) != WA_INACTIVE && m_view) {
        m_view->UIActivate(SVUIA_ACTIVATE_FOCUS);
        if (m_viewWindow && IsWindow(m_viewWindow)) SetFocus(m_viewWindow);
      }
      return r;
    }
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case WM_INITMENUPOPUP:
      CheckMenuItem(reinterpret_cast<HMENU>(wParam), kCmdStatusBar,
                    MF_BYCOMMAND | (Shown(m_status) ? MF_CHECKED : MF_UNCHECKED));
      EnableMenuItem(reinterpret_cast<HMENU>(wParam), kCmdUp, MF_BYCOMMAND | (m_levels.size() > 1 ? MF_ENABLED : MF_GRAYED));
      if (m_menuTarget && IsWindow(m_menuTarget)) SendMessageW(m_menuTarget, msg, wParam, lParam);
      return 0;
    case WM_MENUSELECT:
      // The view shows its commands' help; the frame's own items have none.
      if (m_menuTarget && IsWindow(m_menuTarget)) return SendMessageW(m_menuTarget, msg, wParam, lParam);
      return 0;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == m_tree.Window()) m_tree.OnContextMenu(m_frame, lParam);
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->hwndFrom == m_tree.Window()) return m_tree.OnNotify(header);
      if (header->code == TTN_NEEDTEXTA || header->code == TTN_NEEDTEXTW) {
        if (header->idFrom == kCmdUp) {
          if (header->code == TTN_NEEDTEXTW) reinterpret_cast<NMTTDISPINFOW*>(lParam)->lpszText = const_cast<wchar_t*>(L"Up One Level");
          else reinterpret_cast<NMTTDISPINFOA*>(lParam)->lpszText = const_cast<char*>("Up One Level");
          return 0;
        }
        // Tool-tips of the view's buttons come from the view.
        if (m_viewWindow && IsWindow(m_viewWindow)) return SendMessageW(m_viewWindow, msg, wParam, lParam);
      }
      return 0;
    }
    case kMsgNavigate: {
      auto* nav = reinterpret_cast<Navigation*>(lParam);
      if (nav->up) {
        if (m_levels.size() >= 2) {
          // Going up shows the level below the top again; the top level is dropped.
          const Level parent = m_levels[m_levels.size() - 2];
          parent.folder->AddRef();
          PIDLIST_ABSOLUTE absolute = parent.absolute ? ILCloneFull(parent.absolute) : nullptr;
          std::vector<Level> dropped(m_levels.end() - 2, m_levels.end());
          m_levels.resize(m_levels.size() - 2);
          if (FAILED(ShowLevel(parent.folder, absolute, false))) {
            m_levels.insert(m_levels.end(), dropped.begin(), dropped.end());
          } else {
            for (Level& level : dropped) {
              level.folder->Release();
              CoTaskMemFree(level.absolute);
            }
          }
        }
      } else {
        ShowLevel(nav->folder, nav->absolute, nav->newRoot);
      }
      delete nav;
      return 0;
    }
    case WM_CLOSE:
      DestroyView();
      DestroyWindow(m_frame);
      return 0;
    case WM_DESTROY:
      m_tree.Destroy();
      DestroyView();
      for (auto& entry : m_sharedPopups)
        if (IsMenu(entry.popup)) DestroyMenu(entry.popup);
      m_sharedPopups.clear();
      return 0;
    default:
      return DefWindowProcW(m_frame, msg, wParam, lParam);
  }
}

// ---------------------------------------------------------------- loop

// The view's keys are for the view: a Delete typed into the tree must not
// delete the list's selection.
bool ShellHost::KeyForView(const MSG& msg) const {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return true;
  return m_viewWindow && (msg.hwnd == m_viewWindow || IsChild(m_viewWindow, msg.hwnd));
}

// The view's accelerators first, then the frame's, as the file browser does.
void ShellHost::Dispatch(MSG& msg) {
  if (m_view && KeyForView(msg) && m_view->TranslateAccelerator(&msg) == S_OK) return;
  if (m_frame && TranslateAcceleratorSB(&msg, 0) == S_OK) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

bool ShellHost::PumpPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    Dispatch(msg);
  }
  return m_frame != nullptr;
}

int ShellHost::RunMessageLoop(DWORD limitMs) {
  const ULONGLONG end = limitMs == INFINITE ? ~0ull : GetTickCount64() + limitMs;
  AddRef();  // the frame may go while the loop runs
  int code = 0;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= end || !m_frame) break;
    const DWORD wait = limitMs == INFINITE ? INFINITE : static_cast<DWORD>(end - now);
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG msg;
    bool quit = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        code = static_cast<int>(msg.wParam);
        quit = true;
        break;
      }
      Dispatch(msg);
    }
    if (quit) break;
  }
  Release();
  return code;
}

// ---------------------------------------------------------------- helpers

namespace {
BOOL CALLBACK FindListChild(HWND child, LPARAM param) {
  wchar_t name[64] = L"";
  GetClassNameW(child, name, 64);
  if (lstrcmpiW(name, WC_LISTVIEWW) != 0) return TRUE;
  *reinterpret_cast<HWND*>(param) = child;
  return FALSE;
}
}  // namespace

HWND FindListView(HWND parent) {
  HWND found = nullptr;
  if (parent) EnumChildWindows(parent, FindListChild, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::string ListItemText(HWND list, int row, int column) {
  char text[1024] = "";
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = static_cast<int>(sizeof(text));
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

}  // namespace host
