#include "open_in_folder_dlg.h"

#include "resource.h"
#include "user_interaction.h"

COpenInFolderDlg::COpenInFolderDlg(HWND owner) : CDialog(IDD_OPEN_IN_FOLDER, owner) {}

INT_PTR COpenInFolderDlg::OnMessage(UINT message, WPARAM, LPARAM, bool& handled) {
  if (message != WM_QUERYENDSESSION) return 0;
  UserInteraction().Beep(0);
  EndDialog(IDOK);
  handled = true;
  return TRUE;  // the session may end
}
