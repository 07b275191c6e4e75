#include "confirm_file_replace_dlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include "exception.h"
#include "format.h"
#include "resource.h"
#include "strings.h"

namespace {

std::string SizeAndDate(uint64_t size, const FILETIME& modified) {
  return FormatStrings(IDS_SIZE_MODIFIED, {format::FormatByteSize(size, false), format::FormatFileTime(modified, true)});
}

}  // namespace

bool ReplaceAnswer(int answer, bool& yesToAll) {
  switch (answer) {
    case IDYES: return true;
    case IDOK: yesToAll = true; return true;
    case IDNO: return false;
    default: throw CUserCancelException();
  }
}

CConfirmFileReplaceDlg::CConfirmFileReplaceDlg(const FileReplaceTexts& texts, HWND owner)
    : CDialog(IDD_CONFIRM_FILE_REPLACE, owner),
      m_strQuestion(texts.question),
      m_strNewText(texts.newText),
      m_strExistingText(texts.existingText),
      m_strNewPath(texts.newFilePath) {}

CConfirmFileReplaceDlg::~CConfirmFileReplaceDlg() {
  if (m_icon) DestroyIcon(m_icon);
}

FileReplaceTexts CConfirmFileReplaceDlg::TextsFor(const MemberEntry& existing, const std::string& newPath) {
  FileReplaceTexts texts;
  texts.question = FormatStrings(IDS_CONFIRM_FILE_REPLACE, {existing.shown});
  texts.existingText = SizeAndDate(existing.size, existing.record.ftModified);
  // A file that cannot be read shows as empty and undated rather than
  // stopping the question.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  FILETIME local{};
  uint64_t size = 0;
  if (GetFileAttributesExW(FileSystemPath(newPath).c_str(), GetFileExInfoStandard, &data)) {
    size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  }
  texts.newText = SizeAndDate(size, local);
  texts.newFilePath = newPath;
  return texts;
}

bool CConfirmFileReplaceDlg::Ask(HWND owner, const MemberEntry& existing, bool& yesToAll, const std::string& newPath) {
  if (yesToAll) return true;
  return ReplaceAnswer(UserInteraction().ConfirmFileReplace(owner, TextsFor(existing, newPath)), yesToAll);
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
