#include "confirm_file_replace_dlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include "resource.h"
#include "strings.h"

CConfirmFileReplaceDlg::CConfirmFileReplaceDlg(const FileReplaceTexts& texts, HWND owner)
    : CDialog(IDD_CONFIRM_FILE_REPLACE, owner),
      m_strQuestion(texts.question),
      m_strNewText(texts.newText),
      m_strExistingText(texts.existingText),
      m_strNewPath(texts.newFilePath) {}

CConfirmFileReplaceDlg::~CConfirmFileReplaceDlg() {
  if (m_icon) DestroyIcon(m_icon);
}

BOOL CConfirmFileReplaceDlg::OnInitDialog() {
  m_newIcon = Item(IDC_REPLACE_NEW_ICON);
  m_existingIcon = Item(IDC_REPLACE_EXISTING_ICON);
  SetItemText(IDC_REPLACE_QUESTION, m_strQuestion);
  SetItemText(IDC_REPLACE_NEW_TEXT, m_strNewText);
  SetItemText(IDC_REPLACE_EXISTING_TEXT, m_strExistingText);
  // Both sides show the icon of the new file's type.
  SHFILEINFOW info{};
  const auto list = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(Utf8ToWide(m_strNewPath).c_str(), FILE_ATTRIBUTE_NORMAL,
                                                               &info, sizeof(info),
                                                               SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES));
  if (list != nullptr) m_icon = ImageList_GetIcon(list, info.iIcon, ILD_NORMAL);
  if (m_icon != nullptr) {
    SendMessageA(m_newIcon, STM_SETICON, reinterpret_cast<WPARAM>(m_icon), 0);
    SendMessageA(m_existingIcon, STM_SETICON, reinterpret_cast<WPARAM>(m_icon), 0);
  }
  return TRUE;
}

bool CConfirmFileReplaceDlg::OnCommand(WORD id, WORD code) { return EndOnButton(id, code, {IDYES, IDNO}); }
