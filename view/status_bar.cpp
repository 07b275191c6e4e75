// What the view writes into the browser's status bar: the highlighted menu
// command's help while a menu is open, and otherwise how many rows there are
// or are selected and their size.
#include <windows.h>
#include <commctrl.h>

#include "format.h"
#include "resource.h"
#include "strings.h"
#include "zip_view.h"

namespace {

constexpr int kCountPartWidth = 145;

}  // namespace

void CZipView::OnMenuSelect(WPARAM wParam) {
  if (m_pBrowser == nullptr) return;
  LRESULT ignored = 0;
  if (HIWORD(wParam) == 0xFFFF) {
    // The menu has closed: the two parts come back.
    m_pBrowser->SendControlMsg(FCW_STATUS, SB_SIMPLE, FALSE, 0, &ignored);
    return;
  }
  m_pBrowser->SendControlMsg(FCW_STATUS, SB_SIMPLE, TRUE, 0, &ignored);
  std::string help = LoadStr(LOWORD(wParam));
  help = help.substr(0, help.find('\n'));
  m_pBrowser->SetStatusTextSB(Utf8ToWide(help).c_str());
}

void CZipView::OnItemChanged(const NMLISTVIEW& change) {
  if ((change.uChanged & LVIF_STATE) && ((change.uOldState ^ change.uNewState) & LVIS_SELECTED)) {
    m_bHasSelection = m_list.GetSelectedCount() > 0;
    if (change.iItem < 0) {
      // A change of every row at once: the sums are counted again.
      m_selectedSize = 0;
      m_selectedFileCount = 0;
      for (int index = m_list.GetNextItem(-1, LVNI_SELECTED); index >= 0;
           index = m_list.GetNextItem(index, LVNI_SELECTED)) {
        const MemberEntry member = GetEntryAt(index);
        m_selectedSize += member.size;
        if (!member.IsFolder()) ++m_selectedFileCount;
      }
    } else {
      const MemberEntry member = GetEntryAt(change.iItem);
      const bool selected = (change.uNewState & LVIS_SELECTED) != 0;
      const int file = member.IsFolder() ? 0 : 1;
      m_selectedSize += selected ? member.size : uint64_t{0} - member.size;
      m_selectedFileCount += selected ? file : -file;
    }
  }
  ShowSelectionSummary();
}

void CZipView::ShowSelectionSummary() {
  HWND status = nullptr;
  if (m_pBrowser == nullptr || FAILED(m_pBrowser->GetControlWindow(FCW_STATUS, &status)) || status == nullptr) return;
  const int parts[] = {kCountPartWidth, -1};
  SendMessageA(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  const int selected = static_cast<int>(m_list.GetSelectedCount());
  const std::string count = selected == 0 ? FormatInts(IDS_OBJECTS, {m_list.GetItemCount()})
                                          : FormatInts(IDS_OBJECTS_SELECTED, {selected});
  std::string size;
  if (!m_bHasSelection)
    size = format::FormatByteSize(m_totalSize, false);
  else if (m_selectedFileCount != 0)
    size = format::FormatByteSize(m_selectedSize, false);
  SendMessageA(status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(count.c_str()));
  SendMessageA(status, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(size.c_str()));
}
