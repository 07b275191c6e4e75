#include "new_folder_dlg.h"

#include "resource.h"
#include "strings.h"
#include "user_interaction.h"

bool IsValidNewFolderName(const std::string& name) {
  return !name.empty() && name.find_first_of("<>:\"/\\|") == std::string::npos;
}

BOOL CNewFolderDlg::OnInitDialog() {
  SendMessageW(Item(IDC_NEW_FOLDER_NAME), EM_SETLIMITTEXT, kNewFolderNameLimit, 0);
  SetItemText(IDC_NEW_FOLDER_NAME, m_strName);
  return TRUE;
}

void CNewFolderDlg::OnOK() {
  const auto typed = GetItemText(IDC_NEW_FOLDER_NAME);
  if (typed && IsValidNewFolderName(*typed)) {
    m_strName = *typed;
    EndDialog(IDOK);
    return;
  }
  const std::string message = typed ? LoadStr(IDS_INVALID_FILENAME)
                                    : CUnspellableNameException(GetItemTextWide(IDC_NEW_FOLDER_NAME)).Message();
  UserInteraction().ShowMessage(GetSafeHwnd(), message, MB_OK);
  SetFocus(Item(IDC_NEW_FOLDER_NAME));
}
