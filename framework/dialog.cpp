#include "dialog.h"

#include <vector>

#include "guard.h"
#include "strings.h"

INT_PTR CDialog::DoModal() {
  // A wide dialog: its controls keep texts of any script, also what is typed.
  return DialogBoxParamW(ResourceInstance(), MAKEINTRESOURCEW(m_templateId), m_owner, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

void CDialog::SetItemText(int id, const std::string& text) const {
  SetDlgItemTextW(m_hWnd, id, Utf8ToWide(text).c_str());
}

std::wstring CDialog::GetItemTextWide(int id) const {
  const HWND item = Item(id);
  const int length = item ? GetWindowTextLengthW(item) : 0;
  if (length <= 0) return {};
  std::vector<WCHAR> buffer(static_cast<size_t>(length) + 1);
  const int got = GetWindowTextW(item, buffer.data(), length + 1);
  return std::wstring(buffer.data(), static_cast<size_t>(got > 0 ? got : 0));
}

std::optional<std::string> CDialog::GetItemText(int id) const {
  try {
    return WideToUtf8(GetItemTextWide(id));
  } catch (const CUnspellableNameException&) {
    return std::nullopt;
  }
}

void CDialog::CenterOnOwner() const {
  RECT area;
  const HWND owner = m_owner ? GetAncestor(m_owner, GA_ROOT) : nullptr;
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
    GetWindowRect(owner, &area);
  } else {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT self;
  GetWindowRect(m_hWnd, &self);
  const int width = self.right - self.left;
  const int height = self.bottom - self.top;
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  // Never partly off the screen the owner is on.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (GetMonitorInfoA(MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& work = monitor.rcWork;
    if (x + width > work.right) x = work.right - width;
    if (y + height > work.bottom) y = work.bottom - height;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
  }
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    self->m_hWnd = window;
    SetWindowLongPtrW(window, DWLP_USER, lParam);
  } else {
    self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  }
  if (self == nullptr) return FALSE;
  return Guard<INT_PTR>(0, 0, [&] { return self->Dispatch(message, wParam, lParam); });
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      CenterOnOwner();
      return OnInitDialog();
    case WM_COMMAND: {
      const WORD id = LOWORD(wParam);
      if (id == IDOK) {
        OnOK();
        return TRUE;
      }
      if (id == IDCANCEL) {
        OnCancel();
        return TRUE;
      }
      return OnCommand(id, HIWORD(wParam)) ? TRUE : FALSE;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
      m_hWnd = nullptr;
      return FALSE;
    default: {
      bool handled = false;
      const INT_PTR result = OnMessage(message, wParam, lParam, handled);
      if (!handled) return FALSE;
      SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
      return TRUE;
    }
  }
}
