// The item list of the view: columns, filling from the folder, view modes,
// sorting and selection.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "format.h"
#include "locks.h"
#include "resource.h"
#include "strings.h"
#include "zip_exceptions.h"
#include "zip_file.h"
#include "zip_view.h"

namespace {

struct ColumnSpec {
  UINT heading;
  int format;
};
constexpr ColumnSpec kColumnSpecs[kColumnKinds] = {
    {IDS_COL_NAME, LVCFMT_LEFT},        {IDS_COL_SIZE, LVCFMT_RIGHT},  {IDS_COL_TYPE, LVCFMT_LEFT},
    {IDS_COL_MODIFIED, LVCFMT_LEFT},    {IDS_COL_COMPRESSED, LVCFMT_RIGHT}, {IDS_COL_RATIO, LVCFMT_RIGHT},
    {IDS_COL_ATTRIBUTES, LVCFMT_RIGHT},
};

// The sort reads the type only on its own column, where every row's type
// has been looked up before the sort starts.
format::KeptFields FieldsOf(const ViewRow& row) {
  const std::string_view typeName = row.typeName ? std::string_view(*row.typeName) : std::string_view();
  return {row.display, typeName, row.size, row.compressedSize, row.modified, row.attributes, row.isFolder};
}

}  // namespace

void CZipView::InsertColumns() {
  const bool shown[kColumnKinds] = {true, true, true, true, m_columns.showCompressedSize != 0,
                                    m_columns.showRatio != 0, m_columns.showAttributes != 0};
  int position = 0;
  for (int kind = 0; kind < kColumnKinds; ++kind) {
    if (!shown[kind]) continue;
    m_list.InsertColumn(position, LoadStr(kColumnSpecs[kind].heading), kColumnSpecs[kind].format,
                        m_columns.widths[kind], kind);
    m_columnKinds[position++] = kind;
  }
  m_columnCount = position;
}

void CZipView::ApplyViewStyle() {
  DWORD style = WS_CHILD | WS_VISIBLE | LVS_SHAREIMAGELISTS;
  switch (m_folderSettings.ViewMode) {
    case FVM_SMALLICON:
      style |= LVS_SMALLICON;
      break;
    case FVM_LIST:
      style |= LVS_LIST;
      break;
    case FVM_DETAILS:
      style |= LVS_REPORT;
      break;
    default:
      style |= LVS_ICON;
      break;
  }
  if (m_folderSettings.fFlags & FWF_AUTOARRANGE) style |= LVS_AUTOARRANGE;
  if (m_folderSettings.fFlags & FWF_SINGLESEL) style |= LVS_SINGLESEL;
  HWND list = m_list.GetSafeHwnd();
  SetWindowLongPtrA(list, GWL_STYLE, static_cast<LONG_PTR>(style));
  ShowWindow(list, SW_SHOW);

  if (m_pBrowser == nullptr) return;
  const UINT current = CurrentViewModeCommand();
  for (UINT command = ID_VIEW_LARGEICONS; command <= ID_VIEW_DETAILS; ++command) {
    LRESULT result = 0;
    m_pBrowser->SendControlMsg(FCW_TOOLBAR, TB_CHECKBUTTON, command, MAKELPARAM(command == current, 0), &result);
  }
}

UINT CZipView::CurrentViewModeCommand() const {
  switch (m_folderSettings.ViewMode) {
    case FVM_SMALLICON:
      return ID_VIEW_SMALLICONS;
    case FVM_LIST:
      return ID_VIEW_LIST;
    case FVM_DETAILS:
      return ID_VIEW_DETAILS;
    default:
      return ID_VIEW_LARGEICONS;
  }
}

void CZipView::FillList() {
  if (m_pFolder->IsListingCurrent(m_listingToken)) return;
  HWND list = m_list.GetSafeHwnd();
  // Redrawing comes back on however the fill ends.
  struct RedrawOff {
    HWND list;
    explicit RedrawOff(HWND window) : list(window) { SendMessageA(list, WM_SETREDRAW, FALSE, 0); }
    ~RedrawOff() { SendMessageA(list, WM_SETREDRAW, TRUE, 0); }
  } redraw(list);
  m_list.DeleteAllItems();
  m_rows.clear();
  m_selectedSize = 0;
  m_selectedFileCount = 0;
  m_bHasSelection = false;
  if (FillListView(*m_pFolder.Get(), m_rows, m_totalSize, m_listingToken)) {
    // One message a row: the list asks for the texts it shows.
    for (size_t index = 0; index < m_rows.size(); ++index) {
      if (m_list.InsertItem(0, m_rows[index].icon, static_cast<LPARAM>(index + 1)) < 0)
        throw CZipWinException(0, GetLastError());
    }
  } else {
    // The archive has gone: nothing the rows named exists any more.
    EnableWindow(list, FALSE);
  }
  SortList();
  if (m_list.GetItemCount() > 0) m_list.SetItemState(0, LVIS_FOCUSED, LVIS_FOCUSED);
}

bool FillListView(CZipFolder& folder, std::vector<ViewRow>& rows, uint64_t& totalSize, uint32_t& token) {
  CriticalSectionLock lock(folder.Root()->RootLock());
  if (folder.Stamp() == 0) return false;
  totalSize = 0;
  const CEntryMap& entries = folder.Entries();
  rows.reserve(entries.Count());
  for (auto position = entries.First(); position != nullptr; position = entries.Next(position)) {
    const MemberEntry& member = CEntryMap::At(position);
    rows.push_back({position, Utf8ToWide(member.Display()), member.Key(), member.size, member.compressedSize,
                    member.modified, member.attributes, member.IsFolder(), member.icon, std::nullopt});
    totalSize += member.size;
  }
  token = folder.Stamp();
  return true;
}

const std::string& TypeNameOf(ViewRow& row) {
  if (!row.typeName) row.typeName = format::GetTypeName(row.key.c_str(), row.isFolder);
  return *row.typeName;
}

ViewRow* CZipView::RowOf(LPARAM data) {
  const auto index = static_cast<size_t>(data);
  return index >= 1 && index <= m_rows.size() ? &m_rows[index - 1] : nullptr;
}

// ---------------------------------------------------------------- texts

std::wstring CZipView::CellText(ViewRow& row, int position) {
  // Cells beyond the shown columns were never given a text.
  if (position < 0 || position >= m_columnCount) return std::wstring();
  const bool isFile = !row.isFolder;
  switch (m_columnKinds[position]) {
    case kColumnName:
      return row.display;
    case kColumnSize:
      return isFile ? Utf8ToWide(format::FormatKilobytes(row.size)) : std::wstring();
    case kColumnType:
      return Utf8ToWide(TypeNameOf(row));
    case kColumnModified:
      return Utf8ToWide(format::FormatFileTime(row.modified, false));
    case kColumnCompressed:
      return isFile ? Utf8ToWide(format::FormatKilobytes(row.compressedSize)) : std::wstring();
    case kColumnRatio:
      return Utf8ToWide(format::FormatRatio(row.size, row.compressedSize));
    case kColumnAttributes:
      return Utf8ToWide(format::GetAttributeText(row.attributes));
    default:
      return std::wstring();
  }
}

void CZipView::OnGetDispInfo(NMLVDISPINFOW& info) {
  LVITEMW& item = info.item;
  if (!(item.mask & LVIF_TEXT) || item.pszText == nullptr || item.cchTextMax <= 0) return;
  ViewRow* row = RowOf(item.lParam);
  const std::wstring text = row != nullptr ? CellText(*row, item.iSubItem) : std::wstring();
  const size_t length = std::min(text.size(), static_cast<size_t>(item.cchTextMax) - 1);
  std::copy_n(text.data(), length, item.pszText);
  item.pszText[length] = L'\0';
}

// ---------------------------------------------------------------- sorting

void CZipView::SortList() {
  if (m_rows.size() < 2) return;
  // The rows sort on what the fill kept, yet a listing that has moved on
  // since is reported as any lookup of a row reports it.
  MemberEntry check;
  m_pFolder->LookupEntry(m_rows.front().position, check, m_listingToken);
  if (m_sortKey == kColumnType)
    for (ViewRow& row : m_rows) TypeNameOf(row);
  SendMessageA(m_list.GetSafeHwnd(), LVM_SORTITEMS, reinterpret_cast<WPARAM>(this),
               reinterpret_cast<LPARAM>(&CZipView::CompareItems));
}

int CALLBACK CZipView::CompareItems(LPARAM first, LPARAM second, LPARAM view) {
  // Nothing here can fail, so nothing can unwind through the list control.
  auto* self = reinterpret_cast<CZipView*>(view);
  const ViewRow* a = self->RowOf(first);
  const ViewRow* b = self->RowOf(second);
  if (a == nullptr || b == nullptr) return 0;
  const int order = format::CompareEntries(FieldsOf(*a), FieldsOf(*b), self->m_sortKey);
  return self->m_bSortAscending ? order : -order;
}

void CZipView::SortBy(int key) {
  m_sortKey = key;
  m_bSortAscending = true;
  SortList();
}

void CZipView::OnColumnClick(int position) {
  if (position < 0 || position >= kColumnKinds) return;
  const int kind = m_columnKinds[position];
  if (kind == m_sortKey)
    m_bSortAscending = !m_bSortAscending;
  else
    m_sortKey = kind;
  SortList();
}

// ---------------------------------------------------------------- selection

MemberEntry CZipView::GetEntryAt(int index) {
  MemberEntry member;
  // An index without a row asks for the folder's first member, as a null
  // position always has.
  const ViewRow* row = RowOf(m_list.GetItemData(index));
  m_pFolder->LookupEntry(row != nullptr ? row->position : nullptr, member, m_listingToken);
  return member;
}

std::vector<std::string> CZipView::GetSelectedNames() {
  std::vector<std::string> names;
  for (int index = m_list.GetNextItem(-1, LVNI_SELECTED); index >= 0;
       index = m_list.GetNextItem(index, LVNI_SELECTED))
    names.emplace_back(GetEntryAt(index).Key());
  return names;
}

void CZipView::SelectAll() {
  SetFocus(m_list.GetSafeHwnd());
  const int count = m_list.GetItemCount();
  for (int index = 0; index < count; ++index) m_list.SetItemState(index, LVIS_SELECTED, LVIS_SELECTED);
}

void CZipView::InvertSelection() {
  SetFocus(m_list.GetSafeHwnd());
  const int count = m_list.GetItemCount();
  for (int index = 0; index < count; ++index)
    m_list.SetItemState(index, m_list.GetItemState(index, LVIS_SELECTED) ^ LVIS_SELECTED, LVIS_SELECTED);
}
