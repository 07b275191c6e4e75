#include "confirm_folder_replace_dlg.h"

#include "resource.h"
#include "strings.h"

CConfirmFolderReplaceDlg::CConfirmFolderReplaceDlg(const std::string& text, HWND owner)
    : CDialog(IDD_CONFIRM_FOLDER_REPLACE, owner), m_strText(text) {}

BOOL CConfirmFolderReplaceDlg::OnInitDialog() {
  SetItemText(IDC_REPLACE_QUESTION, m_strText);
  return TRUE;
}

bool CConfirmFolderReplaceDlg::OnCommand(WORD id, WORD code) { return EndOnButton(id, code, {IDYES, IDNO}); }
