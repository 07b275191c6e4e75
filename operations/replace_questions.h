// The add operation's replace questions: what they show and what the
// answers mean.  The dialogs that ask them sit behind the user-interaction
// seam.
#pragma once

#include <windows.h>

#include <string>

#include "entry_map.h"
#include "user_interaction.h"

// What a replace question's button means: IDYES and IDOK (which also sets
// yesToAll) replace, IDNO skips, anything else abandons the operation.
bool ReplaceAnswer(int answer, bool& yesToAll);

// The texts the file question shows for a member and the file to add.
FileReplaceTexts FileReplaceTextsFor(const MemberEntry& existing, const std::string& newPath);

// True replaces, false skips the file or folder.  Once yesToAll is set
// nothing more is asked.  Cancel throws CUserCancelException.
bool AskFileReplace(HWND owner, const MemberEntry& existing, bool& yesToAll, const std::string& newPath);
bool AskFolderReplace(HWND owner, const std::string& name, bool& yesToAll);
