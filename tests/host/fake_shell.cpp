#include "fake_shell.h"

#include <cstring>

namespace fake {

namespace {

constexpr wchar_t kViewClass[] = L"MarrowboxFakeView";

LRESULT CALLBACK ViewProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* log = reinterpret_cast<ViewLog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (log) {
    switch (msg) {
      case WM_COMMAND:
        log->commands.push_back(LOWORD(wParam));
        return 0;
      case WM_MENUSELECT:
        log->menuSelects.push_back(LOWORD(wParam));
        return 0;
      case WM_INITMENUPOPUP:
        ++log->initMenuPopups;
        return 0;
      case WM_NOTIFY:
        log->notifications.push_back(reinterpret_cast<NMHDR*>(lParam)->code);
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(window, msg, wParam, lParam);
}

void RegisterViewClass() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ViewProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kViewClass;
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
}

HMENU FindPopup(HMENU menu, UINT id) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_SUBMENU;
  return GetMenuItemInfoW(menu, id, FALSE, &info) ? info.hSubMenu : nullptr;
}

}  // namespace

STDMETHODIMP View::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IOleWindow || iid == IID_IShellView) {
    *out = static_cast<IShellView*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) View::Release() {
  const LONG refs = --m_refs;
  if (refs == 0) {
    ++m_log->deleted;
    if (m_shared) DestroyMenu(m_shared);
    delete this;
  }
  return static_cast<ULONG>(refs);
}

STDMETHODIMP View::CreateViewWindow(IShellView* previous, LPCFOLDERSETTINGS settings, IShellBrowser* browser,
                                    RECT* rect, HWND* window) {
  RegisterViewClass();
  m_settings = *settings;
  m_browser = browser;
  m_browser->AddRef();
  m_log->previous = previous;
  HWND parent = nullptr;
  browser->GetWindow(&parent);
  m_window = CreateWindowExW(WS_EX_CLIENTEDGE, kViewClass, nullptr, WS_CHILD | WS_VISIBLE, rect->left, rect->top,
                             rect->right - rect->left, rect->bottom - rect->top, parent, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  if (!m_window) return E_FAIL;
  SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_log));
  if (!previous) SetUpToolbar();
  ++m_log->created;
  *window = m_window;
  return S_OK;
}

STDMETHODIMP View::DestroyViewWindow() {
  if (m_window) DestroyWindow(m_window);
  m_window = nullptr;
  if (m_browser) m_browser->Release();
  m_browser = nullptr;
  ++m_log->destroyed;
  return S_OK;
}

STDMETHODIMP View::UIActivate(UINT state) {
  if (state == SVUIA_ACTIVATE_FOCUS || state == SVUIA_ACTIVATE_NOFOCUS) {
    ++m_log->activations;
    if (state == SVUIA_ACTIVATE_FOCUS) m_browser->OnViewWindowActive(this);
    MergeMenus();
  }
  return S_OK;
}

void View::MergeMenus() {
  // The same steps as the system's view: take the old shared menu apart,
  // let the browser fill a new one, add our items to its pop-ups.
  m_browser->SetMenuSB(nullptr, nullptr, m_window);
  if (m_shared) {
    m_browser->RemoveMenusSB(m_shared);
    DestroyMenu(m_shared);
  }
  m_shared = CreateMenu();
  OLEMENUGROUPWIDTHS widths{};
  m_browser->InsertMenusSB(m_shared, &widths);
  m_log->groupWidth2 = widths.width[2];
  if (HMENU file = FindPopup(m_shared, FCIDM_MENU_FILE)) InsertMenuW(file, 0, MF_BYPOSITION | MF_STRING, kFileCommand, L"&Open");
  if (HMENU view = FindPopup(m_shared, FCIDM_MENU_VIEW))
    InsertMenuW(view, static_cast<UINT>(widths.width[2]), MF_BYPOSITION | MF_STRING, kViewCommand, L"&Details");
  m_browser->SetMenuSB(m_shared, nullptr, m_window);
}

void View::SetUpToolbar() {
  LRESULT result = 0;
  m_browser->SendControlMsg(FCW_TOOLBAR, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0, &result);
  TBADDBITMAP images{HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
  m_browser->SendControlMsg(FCW_TOOLBAR, TB_ADDBITMAP, 8, reinterpret_cast<LPARAM>(&images), &result);
  m_log->ownBitmapBase = static_cast<int>(result);
  TBBUTTON buttons[2] = {};
  buttons[0].iBitmap = static_cast<int>(result) + STD_DELETE;
  buttons[0].idCommand = static_cast<int>(kToolbarCommand);
  buttons[0].fsState = TBSTATE_ENABLED;
  buttons[0].iString = -1;
  buttons[1].fsStyle = BTNS_SEP;
  m_browser->SetToolbarItems(buttons, 2, FCT_MERGE);
}

STDMETHODIMP Folder::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IShellFolder) {
    *out = static_cast<IShellFolder*>(this);
    AddRef();
    return S_OK;
  }
  if (iid == IID_IPersist || iid == IID_IPersistFolder) {
    *out = static_cast<IPersistFolder*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP Folder::BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx*, REFIID iid, void** out) {
  *out = nullptr;
  if (!pidl || pidl->mkid.cb == 0) return E_INVALIDARG;
  auto* child = new Folder(m_log, m_depth + 1);
  const HRESULT hr = child->QueryInterface(iid, out);
  child->Release();
  return hr;
}

STDMETHODIMP Folder::CreateViewObject(HWND, REFIID iid, void** out) {
  auto* view = new View(m_log, "level" + std::to_string(m_depth));
  const HRESULT hr = view->QueryInterface(iid, out);
  view->Release();
  return hr;
}

STDMETHODIMP Folder::Initialize(PCIDLIST_ABSOLUTE pidl) {
  wchar_t path[MAX_PATH] = L"";
  if (!SHGetPathFromIDListW(pidl, path)) return E_INVALIDARG;
  m_initializedPath = path;
  return S_OK;
}

PIDLIST_RELATIVE MakeChildId() {
  // One item of 6 bytes (cb + 4 bytes) and the terminating zero.
  auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(8));
  std::memset(bytes, 0, 8);
  bytes[0] = 6;
  bytes[2] = 'x';
  return reinterpret_cast<PIDLIST_RELATIVE>(bytes);
}

}  // namespace fake
