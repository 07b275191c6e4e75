#include "file_name_dlg.h"

#include "resource.h"

CFileNameDlg::CFileNameDlg(const std::string& message, HWND owner)
    : CDialog(IDD_FILE_NAME, owner), m_strMessage(message) {}

BOOL CFileNameDlg::OnInitDialog() {
  SetItemText(IDC_FILE_NAME_MESSAGE, m_strMessage);
  return TRUE;
}

bool CFileNameDlg::OnCommand(WORD id, WORD code) { return EndOnButton(id, code, {IDC_FILE_NAME_OTHER}); }
