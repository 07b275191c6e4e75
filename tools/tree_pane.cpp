#include "tree_pane.h"

#include <shlwapi.h>

#include <memory>

using Microsoft::WRL::ComPtr;

namespace host {

namespace {

// The flags the file browser passes for a folder in its tree.
constexpr UINT kTreeMenuFlags = CMF_EXPLORE | CMF_CANRENAME;
constexpr UINT kFirstMenuId = 1;
constexpr UINT kLastMenuId = 0x7FFF;

std::wstring DisplayName(IShellFolder* parent, PCUITEMID_CHILD child) {
  STRRET name{};
  wchar_t text[MAX_PATH] = L"";
  if (SUCCEEDED(parent->GetDisplayNameOf(child, SHGDN_INFOLDER, &name))) StrRetToBufW(&name, child, text, MAX_PATH);
  return text;
}

// Forwards a drag over the tree to the drop target of the folder under the
// mouse, and highlights that folder.
class TreeDropTarget final : public IDropTarget {
 public:
  explicit TreeDropTarget(TreePane& pane) : m_pane(pane) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
      *out = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&m_refs);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  STDMETHODIMP DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override {
    m_data = data;
    return DragOver(keys, point, effect);
  }
  STDMETHODIMP DragOver(DWORD keys, POINTL point, DWORD* effect) override {
    const DWORD allowed = effect ? *effect : DROPEFFECT_NONE;
    HTREEITEM item = ItemAt(point);
    if (item != m_item) {
      Leave();
      m_item = item;
      if (item && SUCCEEDED(m_pane.DropTargetOf(item, &m_target))) {
        DWORD entered = allowed;
        if (FAILED(m_target->DragEnter(m_data.Get(), keys, point, &entered))) entered = DROPEFFECT_NONE;
        m_entered = entered;
      }
      TreeView_SelectDropTarget(m_pane.Window(), m_target ? item : nullptr);
    }
    if (effect) *effect = m_target ? (m_entered & allowed) : DROPEFFECT_NONE;
    if (m_target && effect && *effect) m_target->DragOver(keys, point, effect);
    return S_OK;
  }
  STDMETHODIMP DragLeave() override {
    Leave();
    m_data.Reset();
    return S_OK;
  }
  STDMETHODIMP Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override {
    if (!m_data) m_data = data;
    DWORD over = effect ? *effect : DROPEFFECT_COPY;
    DragOver(keys, point, &over);
    HRESULT hr = S_OK;
    if (m_target && over != DROPEFFECT_NONE) {
      hr = m_target->Drop(data, keys, point, &over);
    } else {
      over = DROPEFFECT_NONE;
    }
    if (effect) *effect = over;
    TreeView_SelectDropTarget(m_pane.Window(), nullptr);
    if (m_target) m_target->Release();
    m_target = nullptr;
    m_item = nullptr;
    m_data.Reset();
    m_pane.Refresh();
    return hr;
  }

 private:
  HTREEITEM ItemAt(POINTL point) const {
    TVHITTESTINFO hit{};
    hit.pt = {point.x, point.y};
    ScreenToClient(m_pane.Window(), &hit.pt);
    const HTREEITEM item = TreeView_HitTest(m_pane.Window(), &hit);
    return (hit.flags & TVHT_ONITEM) ? item : nullptr;
  }
  void Leave() {
    if (m_target) m_target->DragLeave();
    if (m_target) m_target->Release();
    m_target = nullptr;
    m_entered = DROPEFFECT_NONE;
    m_item = nullptr;
    TreeView_SelectDropTarget(m_pane.Window(), nullptr);
  }

  TreePane& m_pane;
  LONG m_refs = 1;
  ComPtr<IDataObject> m_data;
  IDropTarget* m_target = nullptr;  // referenced
  DWORD m_entered = DROPEFFECT_NONE;
  HTREEITEM m_item = nullptr;
};

}  // namespace

TreePane::~TreePane() {
  Destroy();
  if (m_dropTarget) m_dropTarget->Release();
}

void TreePane::Destroy() {
  if (!m_tree) return;
  if (IsWindow(m_tree)) {
    RevokeDragDrop(m_tree);
    SetRoot(nullptr, L"");
  }
  m_tree = nullptr;
}

std::string RunContextMenu(IContextMenu* menu, UINT flags, POINT screen, HWND owner, const MenuChooser& chooser) {
  HMENU popup = CreatePopupMenu();
  std::string verb;
  if (SUCCEEDED(menu->QueryContextMenu(popup, 0, kFirstMenuId, kLastMenuId, flags))) {
    const UINT chosen =
        chooser ? chooser(popup, screen)
                : static_cast<UINT>(TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                                                   owner, nullptr));
    if (chosen >= kFirstMenuId) {
      char name[64] = "";
      menu->GetCommandString(chosen - kFirstMenuId, GCS_VERBA, nullptr, name, sizeof(name));
      verb = name;
      CMINVOKECOMMANDINFO invoke{};
      invoke.cbSize = sizeof(invoke);
      invoke.hwnd = owner;
      invoke.lpVerb = MAKEINTRESOURCEA(chosen - kFirstMenuId);
      invoke.nShow = SW_SHOWNORMAL;
      menu->InvokeCommand(&invoke);
    }
  }
  DestroyMenu(popup);
  return verb;
}

bool TreePane::Create(HWND parent, UINT id, HINSTANCE instance) {
  m_tree = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, nullptr,
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                               TVS_SHOWSELALWAYS,
                           0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, nullptr);
  if (!m_tree) return false;
  m_dropTarget = new TreeDropTarget(*this);
  RegisterDragDrop(m_tree, m_dropTarget);
  return true;
}

TreePane::Node* TreePane::NodeOf(HTREEITEM item) const {
  TVITEMW data{};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  if (!item || !SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data))) return nullptr;
  return reinterpret_cast<Node*>(data.lParam);
}

IShellFolder* TreePane::FolderOf(Node& node) {
  if (!node.folder && node.parent)
    node.parent->BindToObject(node.child, nullptr, IID_PPV_ARGS(&node.folder));
  return node.folder.Get();
}

HTREEITEM TreePane::Insert(HTREEITEM parent, std::unique_ptr<Node> node, const std::wstring& label, bool hasChildren) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
  insert.item.pszText = const_cast<wchar_t*>(label.c_str());
  insert.item.cChildren = hasChildren ? 1 : 0;
  insert.item.lParam = reinterpret_cast<LPARAM>(node.get());
  const HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(m_tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  if (item) node.release();
  return item;
}

void TreePane::FillChildren(HTREEITEM item) {
  Node* node = NodeOf(item);
  if (!node || node->enumerated) return;
  node->enumerated = true;
  IShellFolder* folder = FolderOf(*node);
  if (!folder) return;
  ComPtr<IEnumIDList> list;
  if (folder->EnumObjects(GetParent(m_tree), SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN, &list) != S_OK || !list) return;
  PITEMID_CHILD child = nullptr;
  while (list->Next(1, &child, nullptr) == S_OK) {
    SFGAOF attributes = SFGAO_HASSUBFOLDER;
    PCUITEMID_CHILD items[] = {child};
    if (FAILED(folder->GetAttributesOf(1, items, &attributes))) attributes = 0;
    auto sub = std::make_unique<Node>();
    sub->parent = folder;
    sub->child = child;
    const std::wstring label = DisplayName(folder, child);
    if (!Insert(item, std::move(sub), label, (attributes & SFGAO_HASSUBFOLDER) != 0)) CoTaskMemFree(child);
  }
  TVITEMW data{};
  data.mask = TVIF_CHILDREN;
  data.hItem = item;
  data.cChildren = TreeView_GetChild(m_tree, item) ? 1 : 0;
  SendMessageW(m_tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&data));
}

void TreePane::FreeItem(HTREEITEM item) {
  DeleteChildren(item);
  if (Node* node = NodeOf(item)) {
    CoTaskMemFree(node->child);
    delete node;
    TVITEMW data{};
    data.mask = TVIF_PARAM;
    data.hItem = item;
    data.lParam = 0;
    SendMessageW(m_tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&data));
  }
}

void TreePane::DeleteChildren(HTREEITEM item) {
  for (HTREEITEM child = TreeView_GetChild(m_tree, item); child;) {
    const HTREEITEM next = TreeView_GetNextSibling(m_tree, child);
    FreeItem(child);
    TreeView_DeleteItem(m_tree, child);
    child = next;
  }
}

void TreePane::SetRoot(IShellFolder* root, const std::wstring& name) {
  if (!m_tree || !IsWindow(m_tree)) return;
  if (HTREEITEM top = TreeView_GetRoot(m_tree)) {
    FreeItem(top);
    TreeView_DeleteAllItems(m_tree);
  }
  m_root = root;
  m_rootName = name;
  if (!root) return;
  auto node = std::make_unique<Node>();
  node->folder = root;
  const HTREEITEM top = Insert(nullptr, std::move(node), name, true);
  FillChildren(top);
  TreeView_Expand(m_tree, top, TVE_EXPAND);
}

void TreePane::CollectExpanded(HTREEITEM item, const std::wstring& path, std::vector<std::wstring>& out) const {
  for (HTREEITEM child = TreeView_GetChild(m_tree, item); child; child = TreeView_GetNextSibling(m_tree, child)) {
    if (!(TreeView_GetItemState(m_tree, child, TVIS_EXPANDED) & TVIS_EXPANDED)) continue;
    const std::wstring childPath = path.empty() ? Label(child) : path + L"\\" + Label(child);
    out.push_back(childPath);
    CollectExpanded(child, childPath, out);
  }
}

void TreePane::Refresh() {
  if (!m_root) return;
  std::vector<std::wstring> expanded;
  if (HTREEITEM top = TreeView_GetRoot(m_tree)) CollectExpanded(top, L"", expanded);
  const ComPtr<IShellFolder> root = m_root;
  SetRoot(root.Get(), m_rootName);
  for (const std::wstring& path : expanded)
    if (HTREEITEM item = FindItem(path)) {
      FillChildren(item);
      TreeView_Expand(m_tree, item, TVE_EXPAND);
    }
}

std::wstring TreePane::Label(HTREEITEM item) const {
  wchar_t text[MAX_PATH] = L"";
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = text;
  data.cchTextMax = MAX_PATH;
  SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
  return text;
}

HTREEITEM TreePane::FindItem(const std::wstring& path) const {
  HTREEITEM item = TreeView_GetRoot(m_tree);
  size_t start = 0;
  while (item && start < path.size()) {
    const size_t end = path.find(L'\\', start);
    const std::wstring part = path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    HTREEITEM child = TreeView_GetChild(m_tree, item);
    while (child && lstrcmpiW(Label(child).c_str(), part.c_str()) != 0) child = TreeView_GetNextSibling(m_tree, child);
    item = child;
    start = end == std::wstring::npos ? path.size() : end + 1;
  }
  return item;
}

std::vector<std::wstring> TreePane::ChildLabels(HTREEITEM item) const {
  std::vector<std::wstring> labels;
  for (HTREEITEM child = TreeView_GetChild(m_tree, item); child; child = TreeView_GetNextSibling(m_tree, child))
    labels.push_back(Label(child));
  return labels;
}

HRESULT TreePane::DropTargetOf(HTREEITEM item, IDropTarget** out) {
  *out = nullptr;
  Node* node = NodeOf(item);
  if (!node) return E_INVALIDARG;
  if (!node->parent) return node->folder->QueryInterface(IID_PPV_ARGS(out));
  PCUITEMID_CHILD items[] = {node->child};
  return node->parent->GetUIObjectOf(GetParent(m_tree), 1, items, IID_IDropTarget, nullptr,
                                     reinterpret_cast<void**>(out));
}

std::string TreePane::ShowContextMenu(HTREEITEM item, POINT screen, HWND owner) {
  Node* node = NodeOf(item);
  // The opened folder's own menu belongs to whatever holds it, not to it.
  if (!node || !node->parent) return {};
  ComPtr<IContextMenu> menu;
  PCUITEMID_CHILD items[] = {node->child};
  const HRESULT hr = node->parent->GetUIObjectOf(owner, 1, items, IID_IContextMenu, nullptr,
                                                 reinterpret_cast<void**>(menu.GetAddressOf()));
  if (FAILED(hr) || !menu) return {};
  const std::string verb = RunContextMenu(menu.Get(), kTreeMenuFlags, screen, owner, m_chooser);
  menu.Reset();
  Refresh();
  return verb;
}

void TreePane::OnContextMenu(HWND owner, LPARAM lParam) {
  POINT screen{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  HTREEITEM item = nullptr;
  if (lParam == -1) {
    // From the keyboard: the selected item, at its label.
    item = TreeView_GetSelection(m_tree);
    RECT rect{};
    if (item && TreeView_GetItemRect(m_tree, item, &rect, TRUE)) screen = {rect.left, rect.bottom};
    ClientToScreen(m_tree, &screen);
  } else {
    TVHITTESTINFO hit{};
    hit.pt = screen;
    ScreenToClient(m_tree, &hit.pt);
    item = TreeView_HitTest(m_tree, &hit);
    if (!(hit.flags & TVHT_ONITEM)) item = nullptr;
  }
  if (item) ShowContextMenu(item, screen, owner);
}

LRESULT TreePane::OnNotify(NMHDR* header) {
  switch (header->code) {
    case TVN_ITEMEXPANDINGW:
    case TVN_ITEMEXPANDINGA: {
      auto* change = reinterpret_cast<NMTREEVIEWW*>(header);
      if (change->action & TVE_EXPAND) FillChildren(change->itemNew.hItem);
      return FALSE;
    }
    case NM_RCLICK:
      // Unhandled, the tree sends WM_CONTEXTMENU, which reaches the frame.
      return 0;
    default:
      return 0;
  }
}

}  // namespace host
