#include "exception.h"

#include <atomic>

#include "strings.h"

const char kNoErrorMessageText[] = "No error message is available.";

int ShowApplicationMessage(HWND owner, const std::string& text, UINT type) {
  return MessageBoxW(owner, Utf8ToWide(text).c_str(), Utf8ToWide(kApplicationName).c_str(), type | MB_SETFOREGROUND);
}

namespace {

int ShowMessageBox(const std::string& text, UINT type) { return ShowApplicationMessage(nullptr, text, type); }

std::atomic<ErrorMessageShower> g_shower{&ShowMessageBox};

}  // namespace

void SetErrorMessageShower(ErrorMessageShower shower) { g_shower.store(shower != nullptr ? shower : &ShowMessageBox); }

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
  return g_shower.load()(shown, type);
}
