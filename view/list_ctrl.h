// The item list: a list-view control over the shell's system image lists that
// tells its parent, the view, when it gains or loses the focus, because the
// view's merged menus differ with and without the item commands.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

// Sent by the list to its parent when it gains (wParam 1) or loses (0) the
// focus.
constexpr UINT kMsgListFocus = WM_USER;

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
  HWND GetSafeHwnd() const { return m_hWnd; }

  int GetItemCount() const;
  UINT GetSelectedCount() const;
  int GetNextItem(int start, UINT flags) const;
  UINT GetItemState(int index, UINT mask) const;
  void SetItemState(int index, UINT state, UINT mask);
  LPARAM GetItemData(int index) const;
  // Returns the new row's index, or -1.
  int InsertItem(int index, const std::string& text, int image, LPARAM data);
  // Texts are UTF-8.
  void SetItemText(int index, int position, const std::string& text);
  std::string GetItemText(int index, int position) const;
  void DeleteAllItems();
  int InsertColumn(int position, const std::string& heading, int format, int width, int subItem);
  // False when the list has no column at that position.
  bool GetColumnWidth(int position, int* width) const;

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);

  HWND m_hWnd = nullptr;
};
