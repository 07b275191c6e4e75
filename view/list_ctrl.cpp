#include "list_ctrl.h"

#include "strings.h"

#include <shellapi.h>

#include <vector>

namespace {

// The shell's system image list of the given size, as the file-information
// query hands it out; shared by every program, never destroyed by us.
HIMAGELIST SystemImageList(UINT sizeFlag) {
  SHFILEINFOA info{};
  return reinterpret_cast<HIMAGELIST>(SHGetFileInfoA(".dll", 0, &info, sizeof(info),
                                                     SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | sizeFlag));
}

}  // namespace

bool CZipListCtrl::Create(HWND parent) {
  // LVS_SHAREIMAGELISTS from the start: the system lists must outlive the
  // control even when it is destroyed before the view styles it.
  m_hWnd = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_SHAREIMAGELISTS, 0, 0, 0, 0, parent,
                           nullptr, reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
  if (m_hWnd == nullptr) return false;
  SendMessageA(m_hWnd, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(SystemImageList(SHGFI_LARGEICON)));
  SendMessageA(m_hWnd, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(SystemImageList(SHGFI_SMALLICON)));
  return true;
}

void CZipListCtrl::DestroyWindow() {
  if (m_hWnd != nullptr && IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
  m_hWnd = nullptr;
}

int CZipListCtrl::GetItemCount() const { return static_cast<int>(SendMessageA(m_hWnd, LVM_GETITEMCOUNT, 0, 0)); }

UINT CZipListCtrl::GetSelectedCount() const {
  return static_cast<UINT>(SendMessageA(m_hWnd, LVM_GETSELECTEDCOUNT, 0, 0));
}

int CZipListCtrl::GetNextItem(int start, UINT flags) const {
  return static_cast<int>(SendMessageA(m_hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
}

UINT CZipListCtrl::GetItemState(int index, UINT mask) const {
  return static_cast<UINT>(SendMessageA(m_hWnd, LVM_GETITEMSTATE, static_cast<WPARAM>(index), mask));
}

void CZipListCtrl::SetItemState(int index, UINT state, UINT mask) {
  LVITEMA item{};
  item.stateMask = mask;
  item.state = state;
  SendMessageA(m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

LPARAM CZipListCtrl::GetItemData(int index) const {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  if (!SendMessageA(m_hWnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return 0;
  return item.lParam;
}

int CZipListCtrl::InsertItem(int index, int image, LPARAM data) {
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = index;
  item.pszText = LPSTR_TEXTCALLBACKW;
  item.iImage = image;
  item.lParam = data;
  return static_cast<int>(SendMessageW(m_hWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

std::string CZipListCtrl::GetItemText(int index, int position) const {
  std::vector<wchar_t> buffer(1024);
  LVITEMW item{};
  item.iSubItem = position;
  item.pszText = buffer.data();
  item.cchTextMax = static_cast<int>(buffer.size());
  const auto length = SendMessageW(m_hWnd, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  return WideToUtf8(std::wstring_view(buffer.data(), length > 0 ? static_cast<size_t>(length) : 0));
}

void CZipListCtrl::DeleteAllItems() { SendMessageA(m_hWnd, LVM_DELETEALLITEMS, 0, 0); }

int CZipListCtrl::InsertColumn(int position, const std::string& heading, int format, int width, int subItem) {
  std::wstring wide = Utf8ToWide(heading);
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = format;
  column.cx = width;
  column.pszText = wide.data();
  column.iSubItem = subItem;
  return static_cast<int>(
      SendMessageW(m_hWnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&column)));
}

bool CZipListCtrl::GetColumnWidth(int position, int* width) const {
  LVCOLUMNA column{};
  column.mask = LVCF_WIDTH;
  if (!SendMessageA(m_hWnd, LVM_GETCOLUMNA, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&column)))
    return false;
  *width = column.cx;
  return true;
}
