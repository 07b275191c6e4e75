// "File name": "Copy to Zip File" met an existing archive; overwrite it, pick
// another name, or stop.
#pragma once

#include <windows.h>

#include <string>

#include "dialog.h"

class CFileNameDlg : public CDialog {
 public:
  CFileNameDlg(const std::string& message, HWND owner);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code) override;

 private:
  std::string m_strMessage;
};
