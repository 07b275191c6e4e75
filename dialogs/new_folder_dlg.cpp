#include "new_folder_dlg.h"

#include "resource.h"
#include "strings.h"
#include "user_interaction.h"

bool IsValidNewFolderName(const std::string& name) {
  return !name.empty() && name.find_first_of("<>:\"/\\|") == std::string::npos;
}

BOOL CNewFolderDlg::OnInitDialog() {
  SendMessageA(Item(IDC_NEW_FOLDER_NAME), EM_SETLIMITTEXT, kNewFolderNameLimit, 0);
  SetItemText(IDC_NEW_FOLDER_NAME, m_strName);
  return TRUE;
}

void CNewFolderDlg::OnOK() {
  m_strName = GetItemText(IDC_NEW_FOLDER_NAME);
  if (IsValidNewFolderName(m_strName)) {
    EndDialog(IDOK);
    return;
  }
  UserInteraction().ShowMessage(GetSafeHwnd(), LoadStr(IDS_INVALID_FILENAME), MB_OK);
  SetFocus(Item(IDC_NEW_FOLDER_NAME));
}
