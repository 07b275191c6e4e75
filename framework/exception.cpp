#include "exception.h"

#include "strings.h"
#include "user_interaction.h"

const char kNoErrorMessageText[] = "No error message is available.";

BOOL CException::GetErrorMessage(LPSTR buffer, UINT bufferSize, PUINT) const {
  const std::string text = Message();
  if (text.empty() || buffer == nullptr || bufferSize == 0) return FALSE;
  lstrcpynA(buffer, text.c_str(), static_cast<int>(bufferSize));
  return TRUE;
}

int CException::ReportError(UINT type, UINT messageId) const {
  std::string shown = Message();
  if (shown.empty() && messageId != 0) shown = LoadStr(messageId);
  if (shown.empty()) shown = kNoErrorMessageText;
  return UserInteraction().ShowMessage(nullptr, shown, type);
}
