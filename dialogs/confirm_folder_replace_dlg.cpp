#include "confirm_folder_replace_dlg.h"

#include "confirm_file_replace_dlg.h"
#include "resource.h"
#include "strings.h"
#include "user_interaction.h"

CConfirmFolderReplaceDlg::CConfirmFolderReplaceDlg(const std::string& text, HWND owner)
    : CDialog(IDD_CONFIRM_FOLDER_REPLACE, owner), m_strText(text) {}

bool CConfirmFolderReplaceDlg::Ask(HWND owner, const std::string& name, bool& yesToAll) {
  if (yesToAll) return true;
  const std::string text = FormatStrings(IDS_CONFIRM_FOLDER_REPLACE, {name});
  return ReplaceAnswer(UserInteraction().ConfirmFolderReplace(owner, text), yesToAll);
}

BOOL CConfirmFolderReplaceDlg::OnInitDialog() {
  SetItemText(IDC_REPLACE_QUESTION, m_strText);
  return TRUE;
}

bool CConfirmFolderReplaceDlg::OnCommand(WORD id, WORD code) { return EndOnButton(id, code, {IDYES, IDNO}); }
