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
class CZipEngineException : public CException {
 public:
  CZipEngineException(int32_t context, int32_t code);
  std::string Message() const override;
  int32_t Code() const { return m_code; }

 private:
  int32_t m_context;
  int32_t m_code;
};

// The string id describing an engine result; 0 for a code with no text.
UINT EngineResultTextId(int32_t code);
