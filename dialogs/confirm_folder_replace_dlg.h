// "Confirm Folder Replace": asked when a folder to add has the name of one in
// the archive.
#pragma once

#include <windows.h>

#include <string>

#include "dialog.h"

class CConfirmFolderReplaceDlg : public CDialog {
 public:
  CConfirmFolderReplaceDlg(const std::string& text, HWND owner);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code) override;

 private:
  std::string m_strText;
};
