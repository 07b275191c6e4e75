// "Confirm File Replace": asked when a file to add has the name of a member.
#pragma once

#include <windows.h>

#include <string>

#include "dialog.h"
#include "user_interaction.h"

class CConfirmFileReplaceDlg : public CDialog {
 public:
  CConfirmFileReplaceDlg(const FileReplaceTexts& texts, HWND owner);
  ~CConfirmFileReplaceDlg() override;

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code) override;

 private:
  HWND m_newIcon = nullptr;
  HWND m_existingIcon = nullptr;
  std::string m_strQuestion;
  std::string m_strNewText;
  std::string m_strExistingText;
  std::string m_strNewPath;
  HICON m_icon = nullptr;
};
