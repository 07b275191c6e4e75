// The base of every exception the system throws.  Exceptions are thrown by
// value and caught as const CException&; each knows its message and how to
// show itself.
#pragma once

#include <windows.h>

#include <string>

class CException {
 public:
  virtual ~CException() = default;

  // Copies the message, cut to the buffer and NUL-terminated.  False, with
  // nothing written, when the exception has no message.
  BOOL GetErrorMessage(LPSTR buffer, UINT bufferSize, PUINT helpContext = nullptr) const;

  // Shows the message (or the fallback text) through the installed shower;
  // returns the box's answer.
  virtual int ReportError(UINT type = MB_OK, UINT messageId = 0) const;

  // The whole message; empty when there is none.  Subclasses word it.
  virtual std::string Message() const { return {}; }

  // What went wrong as a COM result, for a boundary that passes it on; the
  // generic failure unless the exception knows better.
  virtual HRESULT Result() const { return E_FAIL; }
};

// The user chose Cancel: the operation ends and nothing is reported.
class CUserCancelException : public CException {
 public:
  int ReportError(UINT = MB_OK, UINT = 0) const override { return 0; }
  // What the shell expects of an operation the user stopped.
  HRESULT Result() const override { return HRESULT_FROM_WIN32(ERROR_CANCELLED); }
};

// The application's message box: its name as the caption, in front, and
// wide, since messages quote names of any script.  Returns the answer.
int ShowApplicationMessage(HWND owner, const std::string& text, UINT type);

// Where ReportError shows its text: the application installs its own way of
// talking to the user; until then a plain message box.  Returns the answer.
using ErrorMessageShower = int (*)(const std::string& text, UINT type);
void SetErrorMessageShower(ErrorMessageShower shower);

// The text shown for an exception that has no message of its own.
extern const char kNoErrorMessageText[];
