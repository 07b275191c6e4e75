// The four kinds of failure the system reports, each wording its own message.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "exception.h"

// A failing Windows call.  Error 0 takes the calling thread's last error.
class CZipWinException : public CException {
 public:
  explicit CZipWinException(int32_t context = 0, uint32_t error = 0);
  std::string Message() const override;
  // The system's error as a COM result; the generic failure when there is
  // none.  An error that is a failure result already stays as it is.
  HRESULT Result() const override;
  int32_t Context() const { return m_context; }
  uint32_t Error() const { return m_error; }

 private:
  int32_t m_context;
  uint32_t m_error;
};

// A condition with a message of its own.
class CZipUserException : public CException {
 public:
  explicit CZipUserException(UINT stringId);
  explicit CZipUserException(std::string text) : m_text(std::move(text)) {}
  std::string Message() const override { return m_text; }

 private:
  std::string m_text;
};

// An inconsistency in an archive's tree.
class CZipFailException : public CException {
 public:
  CZipFailException(int32_t first, int32_t second) : m_first(first), m_second(second) {}
  std::string Message() const override;

 private:
  int32_t m_first;
  int32_t m_second;
};

// A nonzero result of the zip engine.  Code 0 takes the last error.
// systemError is the system's own error behind the result (the block's
// dwSystemError), 0 when the engine had none; the message then ends with
// the system's text, so it names the real reason (access denied, disk
// full).
class CZipEngineException : public CException {
 public:
  CZipEngineException(int32_t context, int32_t code, uint32_t systemError = 0);
  std::string Message() const override;
  // The system's error when there is one, else the result's condition.
  HRESULT Result() const override;
  int32_t Code() const { return m_code; }
  uint32_t SystemError() const { return m_systemError; }

 private:
  int32_t m_context;
  int32_t m_code;
  uint32_t m_systemError;
};

// The string id describing an engine result; 0 for a code with no text.
UINT EngineResultTextId(int32_t code);

// The system's description of a Windows error, as UTF-8, without the closing
// line break; empty when the system has none.
std::string SystemErrorText(uint32_t error);
