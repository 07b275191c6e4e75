#include "replace_questions.h"

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

FileReplaceTexts FileReplaceTextsFor(const MemberEntry& existing, const std::string& newPath) {
  FileReplaceTexts texts;
  texts.question = FormatStrings(IDS_CONFIRM_FILE_REPLACE, {existing.Shown()});
  texts.existingText = SizeAndDate(existing.size, existing.modified);
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

bool AskFileReplace(HWND owner, const MemberEntry& existing, bool& yesToAll, const std::string& newPath) {
  if (yesToAll) return true;
  return ReplaceAnswer(UserInteraction().ConfirmFileReplace(owner, FileReplaceTextsFor(existing, newPath)), yesToAll);
}

bool AskFolderReplace(HWND owner, const std::string& name, bool& yesToAll) {
  if (yesToAll) return true;
  const std::string text = FormatStrings(IDS_CONFIRM_FOLDER_REPLACE, {name});
  return ReplaceAnswer(UserInteraction().ConfirmFolderReplace(owner, text), yesToAll);
}
