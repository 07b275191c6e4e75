#include "view_file_dlg.h"

#include "profile.h"
#include "resource.h"

CViewFileDlg::CViewFileDlg(HWND owner) : CDialog(IDD_VIEW_FILE, owner) {}

bool CViewFileDlg::OnCommand(WORD id, WORD code) {
  if (id != IDC_VIEW_FILE_NO_WARN || code != BN_CLICKED) return false;
  m_nNoWarn = IsDlgButtonChecked(GetSafeHwnd(), IDC_VIEW_FILE_NO_WARN) == BST_CHECKED ? 1 : 0;
  WriteSetting(settings::kNoWarnLaunchExe, m_nNoWarn);
  return true;
}
