// The item list of the view: columns, filling from the folder, view modes,
// sorting and selection.
#include <windows.h>
#include <commctrl.h>

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

// A row's item data is the member's position in the folder's map.
// What the sort compares of a member; the texts live as long as it.
struct SortFields {
  explicit SortFields(const MemberEntry& e) : key(e.Key()), display(e.Display()), entry(e) {}
  format::MemberFields Fields() const {
    return {key.c_str(), display, entry.size, entry.compressedSize, entry.modified, entry.attributes, entry.IsFolder()};
  }
  std::string key;
  std::string display;
  const MemberEntry& entry;
};

LPARAM HandleOf(CEntryMap::Position position) { return reinterpret_cast<LPARAM>(position); }
CEntryMap::Position PositionOf(LPARAM handle) { return reinterpret_cast<CEntryMap::Position>(handle); }

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
  m_selectedSize = 0;
  m_selectedFileCount = 0;
  m_bHasSelection = false;
  if (!FillListView(*m_pFolder.Get(), m_list, m_columns.showCompressedSize != 0, m_columns.showRatio != 0,
                    m_columns.showAttributes != 0, m_totalSize, m_listingToken)) {
    // The archive has gone: nothing the rows named exists any more.
    EnableWindow(list, FALSE);
  }
  SortList();
  if (m_list.GetItemCount() > 0) m_list.SetItemState(0, LVIS_FOCUSED, LVIS_FOCUSED);
}

bool FillListView(CZipFolder& folder, CZipListCtrl& list, bool showCompressedSize, bool showRatio,
                  bool showAttributes, uint64_t& totalSize, uint32_t& token) {
  CriticalSectionLock lock(folder.Root()->RootLock());
  if (folder.Stamp() == 0) return false;
  totalSize = 0;
  const CEntryMap& entries = folder.Entries();
  for (auto position = entries.First(); position != nullptr; position = entries.Next(position)) {
    const MemberEntry& member = CEntryMap::At(position);
    const ZIPENTRY record = member.Record();
    const bool isFile = !member.IsFolder();
    if (list.InsertItem(0, member.Display(), record.iIcon, HandleOf(position)) < 0)
      throw CZipWinException(0, GetLastError());
    int column = 1;
    list.SetItemText(0, column++, isFile ? format::FormatKilobytes(member.size) : std::string());
    list.SetItemText(0, column++, format::GetTypeName(record.szName, !isFile));
    list.SetItemText(0, column++, format::FormatFileTime(record.ftModified, false));
    if (showCompressedSize)
      list.SetItemText(0, column++, isFile ? format::FormatKilobytes(member.compressedSize) : std::string());
    if (showRatio) list.SetItemText(0, column++, format::FormatRatio(member.size, member.compressedSize));
    if (showAttributes) list.SetItemText(0, column++, format::GetAttributeText(record.dwAttributes));
    totalSize += member.size;
  }
  token = folder.Stamp();
  return true;
}

// ---------------------------------------------------------------- sorting

void CZipView::SortList() {
  m_sortError = nullptr;
  SendMessageA(m_list.GetSafeHwnd(), LVM_SORTITEMS, reinterpret_cast<WPARAM>(this),
               reinterpret_cast<LPARAM>(&CZipView::CompareItems));
  // A stale listing met inside the platform's sort: the rows stay as far as
  // the sort got, and the user hears of it once.
  if (m_sortError) {
    std::exception_ptr error = m_sortError;
    m_sortError = nullptr;
    std::rethrow_exception(error);
  }
}

int CALLBACK CZipView::CompareItems(LPARAM first, LPARAM second, LPARAM view) {
  auto* self = reinterpret_cast<CZipView*>(view);
  // Nothing may unwind through the list control; after the first failure the
  // remaining comparisons end at once.
  if (self->m_sortError) return 0;
  try {
    MemberEntry a, b;
    self->m_pFolder->LookupEntry(PositionOf(first), a, self->m_listingToken);
    self->m_pFolder->LookupEntry(PositionOf(second), b, self->m_listingToken);
    const int order = format::CompareEntries(SortFields(a).Fields(), SortFields(b).Fields(), self->m_sortKey);
    return self->m_bSortAscending ? order : -order;
  } catch (...) {
    self->m_sortError = std::current_exception();
    return 0;
  }
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
  m_pFolder->LookupEntry(PositionOf(m_list.GetItemData(index)), member, m_listingToken);
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
