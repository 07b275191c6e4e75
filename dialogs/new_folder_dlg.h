// "New folder": the name of a folder to create in the archive.
#pragma once

#include <windows.h>

#include <string>

#include "dialog.h"
#include "resource.h"

// At most this many characters can be typed.
inline constexpr int kNewFolderNameLimit = 30;

// Not empty and none of < > : " / \ |.  Other characters and blanks pass.
bool IsValidNewFolderName(const std::string& name);

class CNewFolderDlg : public CDialog {
 public:
  explicit CNewFolderDlg(HWND owner) : CDialog(IDD_NEW_FOLDER, owner) {}
  // The name typed when the dialog ended with IDOK.
  const std::string& Name() const { return m_strName; }

 protected:
  BOOL OnInitDialog() override;
  // Keeps the dialog open, with a message, while the name is not valid.
  void OnOK() override;

 private:
  std::string m_strName;
};
