// The view object: its shell interface, its window and the toolbar, menu and
// column hand-over it does with the browser.
#include "zip_view.h"

#include <commctrl.h>

#include <iterator>

#include "com_ptr.h"
#include "guard.h"
#include "profile.h"
#include "resource.h"
#include "strings.h"
#include "user_interaction.h"
#include "zip_exceptions.h"

// {5B0C7E24-9D61-4A3F-8E52-1C7A0B94D3E6}
const IID IID_IZipViewColumns = {0x5b0c7e24, 0x9d61, 0x4a3f, {0x8e, 0x52, 0x1c, 0x7a, 0x0b, 0x94, 0xd3, 0xe6}};

namespace {

constexpr char kViewClass[] = "MarrowboxZipView";
constexpr int32_t kDefaultWidths[kColumnKinds] = {120, 80, 120, 90, 80, 40, 80};

void RegisterViewClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = procedure;
    wc.hInstance = ResourceInstance();
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kViewClass;
    return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  if (!registered) throw CZipWinException(0, 0);
}

}  // namespace

CZipView* CZipView::Create(CZipFolder* folder, HWND owner) {
  auto* view = new CZipView(folder, owner);
  view->InternalAddRef();
  return view;
}

HRESULT CreateZipViewObject(CZipFolder* folder, HWND owner, REFIID iid, void** out) {
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    // OLE is the host's: its threads have it.  Without it the view works,
    // only files cannot be dropped on it.
    const Microsoft::WRL::ComPtr<CZipView> view = AdoptRef(CZipView::Create(folder, owner));
    return view->QueryInterface(iid, out);
  });
}

CZipView::CZipView(CZipFolder* folder, HWND owner)
    : m_pFolder(folder), m_hwndOwner(owner), m_sharedMenu(CreateMenu()) {}

CZipView::~CZipView() {
  HWND window = m_hWnd.load();
  if (window != nullptr && IsWindow(window)) DestroyWindow(window);
  m_pBrowser.Reset();
  if (m_sharedMenu != nullptr) DestroyMenu(m_sharedMenu);
}

const InterfaceEntry* CZipView::Interfaces() const {
  static const InterfaceEntry table[] = {COM_INTERFACE_ENTRY(CZipView, IShellView),
                                         COM_INTERFACE_ENTRY_AS(CZipView, IOleWindow, IShellView),
                                         COM_INTERFACE_ENTRY(CZipView, IZipViewColumns), {nullptr, 0}};
  return table;
}

// ---------------------------------------------------------------- IShellView

STDMETHODIMP CZipView::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = m_hWnd.load();
  return S_OK;
}

STDMETHODIMP CZipView::TranslateAccelerator(MSG* msg) {
  HWND window = m_hWnd.load();
  if (msg == nullptr || window == nullptr || m_accelerators == nullptr) return S_FALSE;
  return ::TranslateAcceleratorA(window, m_accelerators, msg) ? S_OK : S_FALSE;
}

STDMETHODIMP CZipView::UIActivate(UINT state) {
  return ComGuard(E_FAIL, [&] {
    if (state == SVUIA_ACTIVATE_NOFOCUS) MergeMenus(false);
    if (state == SVUIA_ACTIVATE_FOCUS) MergeMenus(true);
  });
}

STDMETHODIMP CZipView::Refresh() {
  return ComGuardResult([&] { FillList(); });
}

STDMETHODIMP CZipView::CreateViewWindow(IShellView* previous, LPCFOLDERSETTINGS settings, IShellBrowser* browser,
                                        RECT* rect, HWND* window) {
  if (window != nullptr) *window = nullptr;
  if (settings == nullptr || browser == nullptr || rect == nullptr || window == nullptr) return E_INVALIDARG;
  return ComGuard(E_FAIL, [&] {
    m_folderSettings = *settings;
    m_pBrowser = browser;
    HWND parent = nullptr;
    m_pBrowser->GetWindow(&parent);

    RegisterViewClass(&CZipView::WindowProc);
    HWND created = CreateWindowExA(WS_EX_CLIENTEDGE, kViewClass, "", WS_CHILD | WS_VISIBLE, rect->left, rect->top,
                                   rect->right - rect->left, rect->bottom - rect->top, parent, nullptr,
                                   ResourceInstance(), this);
    if (created == nullptr) throw CZipWinException(0, GetLastError());
    // A view that cannot show its folder (a damaged archive) leaves no window
    // behind, and nothing that holds it alive.
    try {
      ShowFolder(previous);
    } catch (...) {
      DestroyWindows();
      throw;
    }
    GetWindow(window);
  });
}

void CZipView::ShowFolder(IShellView* previous) {
  // A predecessor of our own kind hands over its layout; the toolbar
  // buttons it merged stay in place.  Any other predecessor's buttons are
  // its own, so ours are set up as for a first view.
  Microsoft::WRL::ComPtr<IZipViewColumns> predecessor;
  if (previous != nullptr &&
      SUCCEEDED(previous->QueryInterface(IID_IZipViewColumns, reinterpret_cast<void**>(predecessor.GetAddressOf())))) {
    const HRESULT hr = predecessor->GetViewColumns(&m_columns);
    predecessor.Reset();
    if (FAILED(hr)) SetDefaultColumns();
  } else {
    SetUpToolbar();
    SetDefaultColumns();
  }

  InsertColumns();
  ApplyViewStyle();
  FillList();
  m_pFolder->AddView(this);
}

STDMETHODIMP CZipView::DestroyViewWindow() {
  return ComGuard(E_FAIL, [&] {
    m_bClosing = true;
    DestroyWindows();
    if (m_pBrowser != nullptr) {
      // The browser's pop-ups go back to it before our shared menu is destroyed.
      m_pBrowser->RemoveMenusSB(m_sharedMenu);
      m_pBrowser.Reset();
    }
  });
}

void CZipView::DestroyWindows() {
  // The drop registration holds a reference on the view: it must go while
  // the list still exists, or RevokeDragDrop fails and the view never dies.
  m_dropTarget.Revoke();
  m_list.DestroyWindow();
  HWND window = m_hWnd.load();
  if (window != nullptr && IsWindow(window)) DestroyWindow(window);
}

STDMETHODIMP CZipView::GetCurrentInfo(LPFOLDERSETTINGS settings) {
  if (settings == nullptr) return E_POINTER;
  return ComGuard(E_FAIL, [&] {
    if (settings->ViewMode == kViewColumnsMarker) {
      UpdateColumnWidths();
      // The block's address where it fits in ViewMode; elsewhere the caller
      // gets an ordinary answer and takes the block through IZipViewColumns.
      if constexpr (sizeof(void*) == sizeof(UINT)) {
        settings->ViewMode = static_cast<UINT>(reinterpret_cast<uintptr_t>(&m_columns));
        return;
      }
    }
    *settings = m_folderSettings;
  });
}

STDMETHODIMP CZipView::GetItemObject(UINT, REFIID, void** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CZipView::GetViewColumns(VIEWCOLUMNS* columns) {
  if (columns == nullptr) return E_POINTER;
  return ComGuard(E_FAIL, [&] {
    UpdateColumnWidths();
    *columns = m_columns;
  });
}

void CZipView::UpdateColumnWidths() {
  if (m_list.GetSafeHwnd() == nullptr) return;
  for (int position = 0; position < 6; ++position) {
    int width = 0;
    if (m_list.GetColumnWidth(position, &width)) m_columns.widths[m_columnKinds[position]] = width;
  }
}

void CZipView::SetDefaultColumns() {
  m_columns.showCompressedSize = ReadSetting(settings::kShowComprSize) != 0;
  m_columns.showRatio = ReadSetting(settings::kShowRatio) != 0;
  m_columns.showAttributes = 0;
  std::copy(std::begin(kDefaultWidths), std::end(kDefaultWidths), m_columns.widths);
}

// ---------------------------------------------------------------- refresh

void CZipView::RefreshBrowser() {
  HWND window = m_hWnd.load();
  if (window != nullptr) PostMessageA(window, kMsgRefreshBrowser, 0, 0);
}

void CZipView::OnRefreshBrowser() {
  if (m_pBrowser == nullptr) return;
  HWND top = nullptr;
  if (FAILED(m_pBrowser->GetWindow(&top)) || top == nullptr) return;
  PostMessageA(top, WM_COMMAND, kBrowserRefreshCommand, 0);
  PostMessageA(top, WM_COMMAND, kBrowserRefreshCommand, 0);
}

// ---------------------------------------------------------------- toolbar

void CZipView::SetUpToolbar() {
  LRESULT result = 0;
  m_pBrowser->SendControlMsg(FCW_TOOLBAR, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0, &result);
  TBADDBITMAP standard{HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
  LRESULT standardBase = 0;
  m_pBrowser->SendControlMsg(FCW_TOOLBAR, TB_ADDBITMAP, 8, reinterpret_cast<LPARAM>(&standard), &standardBase);
  TBADDBITMAP view{HINST_COMMCTRL, IDB_VIEW_SMALL_COLOR};
  LRESULT viewBase = 0;
  m_pBrowser->SendControlMsg(FCW_TOOLBAR, TB_ADDBITMAP, 8, reinterpret_cast<LPARAM>(&view), &viewBase);
  COLORMAP transparent{RGB(255, 0, 0), GetSysColor(COLOR_BTNFACE)};
  // The toolbar keeps the bitmap for as long as it shows the button.
  HBITMAP own = CreateMappedBitmap(ResourceInstance(), IDB_TOOLBAR_INSTALL, 0, &transparent, 1);
  LRESULT ownBase = 0;
  if (own != nullptr) {
    TBADDBITMAP ownImages{nullptr, reinterpret_cast<UINT_PTR>(own)};
    m_pBrowser->SendControlMsg(FCW_TOOLBAR, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&ownImages), &ownBase);
  }

  struct Spec {
    LRESULT base;  // -1: separator
    int image;
    int command;
  };
  const Spec specs[] = {
      {standardBase, STD_CUT, ID_EDIT_CUT},        {standardBase, STD_COPY, ID_EDIT_COPY},
      {standardBase, STD_PASTE, ID_EDIT_PASTE},    {-1, 0, 0},
      {ownBase, 0, ID_FILE_INSTALL},               {-1, 0, 0},
      {standardBase, STD_DELETE, ID_FILE_DELETE},  {standardBase, STD_PROPERTIES, ID_FILE_PROPERTIES},
      {-1, 0, 0},                                  {viewBase, VIEW_LARGEICONS, ID_VIEW_LARGEICONS},
      {viewBase, VIEW_SMALLICONS, ID_VIEW_SMALLICONS}, {viewBase, VIEW_LIST, ID_VIEW_LIST},
      {viewBase, VIEW_DETAILS, ID_VIEW_DETAILS},
  };
  TBBUTTON buttons[std::size(specs)] = {};
  UINT count = 0;
  for (size_t i = 0; i < std::size(specs); ++i) {
    // Without our own image the installation button and its separator go.
    if (ownBase <= 0 && (i == 4 || i == 5)) continue;
    TBBUTTON& button = buttons[count++];
    if (specs[i].base < 0) {
      button.fsStyle = BTNS_SEP;
      continue;
    }
    button.iBitmap = static_cast<int>(specs[i].base) + specs[i].image;
    button.idCommand = specs[i].command;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON;
    button.iString = -1;
  }
  m_pBrowser->SetToolbarItems(buttons, count, FCT_MERGE);
}

// ---------------------------------------------------------------- window

LRESULT CALLBACK CZipView::WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  CZipView* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<CZipView*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->m_hWnd.store(window);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<CZipView*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  }
  if (self == nullptr) return DefWindowProcA(window, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    self->m_hWnd.store(nullptr);
    // The list, a child, is gone by now; its handle must not outlive it.
    self->m_list.Forget();
    return DefWindowProcA(window, msg, wParam, lParam);
  }
  // A failing handler reports itself, once, as the framework's window
  // procedures do; the message then counts as handled.
  LRESULT result = 0;
  if (!Guard(true, false, [&] { result = self->OnMessage(msg, wParam, lParam); })) return msg == WM_CREATE ? -1 : 0;
  return result;
}

LRESULT CZipView::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND window = m_hWnd.load();
  switch (msg) {
    case WM_CREATE:
      if (DefWindowProcA(window, msg, wParam, lParam) == -1) return -1;
      return OnCreate();
    case WM_SIZE:
      DefWindowProcA(window, msg, wParam, lParam);
      if (m_list.GetSafeHwnd() != nullptr)
        MoveWindow(m_list.GetSafeHwnd(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_SETFOCUS:
      DefWindowProcA(window, msg, wParam, lParam);
      if (m_list.GetSafeHwnd() != nullptr) SetFocus(m_list.GetSafeHwnd());
      return 0;
    case WM_NOTIFYFORMAT:
      // The list asks how to notify us: in UTF-16, so that the texts it asks
      // for keep every character whatever the code page.
      return lParam == NF_QUERY ? NFR_UNICODE : DefWindowProcA(window, msg, wParam, lParam);
    case WM_DESTROY:
      m_dropTarget.Revoke();
      m_pFolder->RemoveView(this);
      return DefWindowProcA(window, msg, wParam, lParam);
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case WM_NOTIFY:
      OnNotify(*reinterpret_cast<NMHDR*>(lParam));
      return 0;
    case WM_INITMENUPOPUP:
      DefWindowProcA(window, msg, wParam, lParam);
      OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
      return 0;
    case WM_CONTEXTMENU:
      OnContextMenu(lParam);
      return 0;
    case WM_MENUSELECT:
      DefWindowProcA(window, msg, wParam, lParam);
      OnMenuSelect(wParam);
      return 0;
    case kMsgRefreshBrowser:
      OnRefreshBrowser();
      return 0;
    default:
      return DefWindowProcA(window, msg, wParam, lParam);
  }
}

int CZipView::OnCreate() {
  if (!m_list.Create(m_hWnd.load())) return -1;
  // Without OLE drag and drop the view still works; files just cannot be
  // dropped onto it.
  m_dropTarget.Register(m_list.GetSafeHwnd());
  m_accelerators = LoadAcceleratorsA(ResourceInstance(), MAKEINTRESOURCEA(IDR_VIEW_ACCELERATORS));
  return 0;
}

void CZipView::OnCommand(WPARAM wParam, LPARAM lParam) {
  // The listing has gone: the view refuses everything.
  if (!IsWindowEnabled(m_list.GetSafeHwnd())) {
    UserInteraction().Beep(0);
    return;
  }
  // The browser's toolbar names controls that are not windows of ours.
  auto control = reinterpret_cast<HWND>(lParam);
  if (control != nullptr && !IsWindow(control) && m_pBrowser != nullptr)
    m_pBrowser->GetControlWindow(FCW_TOOLBAR, &control);

  switch (LOWORD(wParam)) {
    case ID_VIEW_LARGEICONS:
      SetViewMode(FVM_ICON);
      break;
    case ID_VIEW_SMALLICONS:
      SetViewMode(FVM_SMALLICON);
      break;
    case ID_VIEW_LIST:
      SetViewMode(FVM_LIST);
      break;
    case ID_VIEW_DETAILS:
      SetViewMode(FVM_DETAILS);
      break;
    case ID_VIEW_AUTOARRANGE:
      m_folderSettings.fFlags ^= FWF_AUTOARRANGE;
      ApplyViewStyle();
      break;
    case ID_VIEW_LINEUP:
      SendMessageA(m_list.GetSafeHwnd(), LVM_ARRANGE, LVA_SNAPTOGRID, 0);
      break;
    case ID_SORT_NAME:
      SortBy(kColumnName);
      break;
    case ID_SORT_TYPE:
      SortBy(kColumnType);
      break;
    case ID_SORT_SIZE:
      SortBy(kColumnSize);
      break;
    case ID_SORT_DATE:
      SortBy(kColumnModified);
      break;
    case ID_EDIT_SELECTALL:
      SelectAll();
      break;
    case ID_EDIT_INVERT:
      InvertSelection();
      break;
    default:
      OnItemCommand(LOWORD(wParam));
      break;
  }
}

void CZipView::OnNotify(NMHDR& header) {
  // The browser passes on its toolbar's questions for our buttons.
  if (header.code == TTN_NEEDTEXTA || header.code == TTN_NEEDTEXTW) {
    OnToolTipText(header);
    return;
  }
  if (header.hwndFrom != m_list.GetSafeHwnd()) return;
  if (header.code == LVN_GETDISPINFOW) {
    OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW&>(header));
  } else if (header.code == NM_SETFOCUS || header.code == NM_KILLFOCUS) {
    // The merged menus differ with and without the item commands.
    MergeMenus(header.code == NM_SETFOCUS);
  } else if (header.code == LVN_COLUMNCLICK) {
    OnColumnClick(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
  } else if (header.code == NM_DBLCLK) {
    OnCommand(ID_FILE_OPEN, 0);
  } else if (header.code == LVN_BEGINDRAG) {
    OnBeginDrag(reinterpret_cast<const NMLISTVIEW&>(header));
  } else if (header.code == LVN_ITEMCHANGED) {
    OnItemChanged(reinterpret_cast<const NMLISTVIEW&>(header));
  }
}

void CZipView::SetViewMode(UINT mode) {
  m_folderSettings.ViewMode = mode;
  ApplyViewStyle();
}
