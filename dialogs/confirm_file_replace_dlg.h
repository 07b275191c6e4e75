// "Confirm File Replace": asked when a file to add has the name of a member.
#pragma once

#include <windows.h>

#include <string>

#include "dialog.h"
#include "entry_map.h"
#include "user_interaction.h"

class CConfirmFileReplaceDlg : public CDialog {
 public:
  CConfirmFileReplaceDlg(const FileReplaceTexts& texts, HWND owner);
  ~CConfirmFileReplaceDlg() override;

  // The add operation's question: true replaces, false skips the file.
  // Once yesToAll is set nothing more is asked.  Cancel throws
  // CUserCancelException.
  static bool Ask(HWND owner, const MemberEntry& existing, bool& yesToAll, const std::string& newPath);
  // The texts the question shows for a member and the file to add.
  static FileReplaceTexts TextsFor(const MemberEntry& existing, const std::string& newPath);

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

// What a replace question's button means: IDYES and IDOK (which also sets
// yesToAll) replace, IDNO skips, anything else abandons the operation.
bool ReplaceAnswer(int answer, bool& yesToAll);
