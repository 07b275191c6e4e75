// A modal dialog on a template of the module's resources: the thin layer the
// system's dialogs build on.  The window procedure is guarded, so nothing a
// handler throws escapes into the dialog manager.
#pragma once

#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>

class CDialog {
 public:
  CDialog(UINT templateId, HWND owner) : m_templateId(templateId), m_owner(owner) {}
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Runs the modal loop; the end code, or -1 when the dialog could not be
  // created (GetLastError tells why).
  virtual INT_PTR DoModal();
  HWND GetSafeHwnd() const { return m_hWnd; }

 protected:
  // After the window is centred on its owner.  True lets the system set the
  // focus.
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnOK() { EndDialog(IDOK); }
  // Escape and the close command arrive here.
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // A command other than IDOK and IDCANCEL; true when handled.
  virtual bool OnCommand(WORD /*id*/, WORD /*code*/) { return false; }
  // Any other message; set handled to answer it.
  virtual INT_PTR OnMessage(UINT /*message*/, WPARAM, LPARAM, bool& /*handled*/) { return 0; }

  void EndDialog(INT_PTR code) { ::EndDialog(m_hWnd, code); }
  // Ends the dialog with the id of a clicked button among those given.
  bool EndOnButton(WORD id, WORD code, std::initializer_list<WORD> buttons) {
    if (code != BN_CLICKED || std::find(buttons.begin(), buttons.end(), id) == buttons.end()) return false;
    EndDialog(id);
    return true;
  }
  HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }
  // UTF-8; nothing when the text holds a lone surrogate, which has no
  // UTF-8 spelling.
  std::optional<std::string> GetItemText(int id) const;
  std::wstring GetItemTextWide(int id) const;
  // UTF-8 text, shown as it is whatever script it is in.
  void SetItemText(int id, const std::string& text) const;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  void CenterOnOwner() const;

  UINT m_templateId;
  HWND m_owner;
  HWND m_hWnd = nullptr;
};
