// The item list: a list-view control over the shell's system image lists.
// Its parent, the view, hears of focus changes through the control's own
// notifications and supplies every row's texts when the control asks.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

class CZipListCtrl {
 public:
  CZipListCtrl() = default;
  ~CZipListCtrl() { DestroyWindow(); }
  CZipListCtrl(const CZipListCtrl&) = delete;
  CZipListCtrl& operator=(const CZipListCtrl&) = delete;

  // A child of parent with control id 0 and an empty rectangle; its style and
  // size are set by the view later.  False, with the last error set, on failure.
  bool Create(HWND parent);
  void DestroyWindow();
  // The window went with its parent: the handle may soon name another window.
  void Forget() { m_hWnd = nullptr; }
  HWND GetSafeHwnd() const { return m_hWnd; }

  int GetItemCount() const;
  UINT GetSelectedCount() const;
  int GetNextItem(int start, UINT flags) const;
  UINT GetItemState(int index, UINT mask) const;
  void SetItemState(int index, UINT state, UINT mask);
  LPARAM GetItemData(int index) const;
  // A row whose texts the parent supplies on demand (LVN_GETDISPINFOW);
  // returns the new row's index, or -1.
  int InsertItem(int index, int image, LPARAM data);
  // UTF-8.
  std::string GetItemText(int index, int position) const;
  void DeleteAllItems();
  int InsertColumn(int position, const std::string& heading, int format, int width, int subItem);
  // False when the list has no column at that position.
  bool GetColumnWidth(int position, int* width) const;

 private:
  HWND m_hWnd = nullptr;
};
