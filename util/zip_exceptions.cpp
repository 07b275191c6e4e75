#include "zip_exceptions.h"

#include <iterator>

#include "resource.h"
#include "strings.h"

CZipWinException::CZipWinException(int32_t context, uint32_t error)
    : m_context(context), m_error(error != 0 ? error : GetLastError()) {}

namespace {

// The system's text as it comes, line break included, in whatever language
// the system speaks.
std::string SystemText(uint32_t error) {
  WCHAR description[201] = L"";
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, description,
                 static_cast<DWORD>(std::size(description) - 1), nullptr);
  try {
    return WideToUtf8(description);
  } catch (const CException&) {
    // Only a cut pair could be unspellable: the number still tells.
    return {};
  }
}

// A failure result for a Windows error or a failure result; the generic
// failure for none, which would otherwise read as success.
HRESULT ResultOfError(uint32_t error) {
  if (error == 0) return E_FAIL;
  const HRESULT result = HRESULT_FROM_WIN32(error);
  return FAILED(result) ? result : E_FAIL;
}

}  // namespace

std::string SystemErrorText(uint32_t error) {
  std::string text = SystemText(error);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string CZipWinException::Message() const {
  return FormatInts(IDS_SYSTEM_ERROR, {m_context, static_cast<int32_t>(m_error)}) + " " + SystemText(m_error);
}

HRESULT CZipWinException::Result() const { return ResultOfError(m_error); }

CZipUserException::CZipUserException(UINT stringId) : m_text(LoadStr(stringId)) {}

std::string CZipFailException::Message() const { return FormatInts(IDS_UNEXPECTED_ERROR, {m_first, m_second}); }

CZipEngineException::CZipEngineException(int32_t context, int32_t code, uint32_t systemError)
    : m_context(context), m_code(code != 0 ? code : static_cast<int32_t>(GetLastError())), m_systemError(systemError) {}

UINT EngineResultTextId(int32_t code) {
  switch (code) {
    case 0: return IDS_ENGINE_NO_ERROR;
    case 1: return IDS_ENGINE_INCOMPLETE;
    case 3: return IDS_ENGINE_DAMAGED;
    case 4: return IDS_ENGINE_MEMORY;
    case 9: return IDS_ENGINE_NOT_FOUND;
    case 10: return IDS_ENGINE_TEMP_WRITE;
    case 11: return IDS_ENGINE_ZIP_READ;
    case 14:
    case 15: return IDS_ENGINE_ZIP_WRITE;
    case 16: return IDS_ENGINE_NAME_TOO_LONG;
    case 18: return IDS_ENGINE_ZIP_OPEN;
    case 19: return IDS_ENGINE_DISK;
    case 28: return IDS_ENGINE_FILE_WRITE;
    case 29: return IDS_ENGINE_FILE_OPEN;
    case 50: return IDS_ENGINE_DISK_FULL;
    default: return 0;
  }
}

std::string CZipEngineException::Message() const {
  const UINT textId = EngineResultTextId(m_code);
  std::string text = FormatInts(IDS_ZIPPING_ERROR, {m_context, m_code}) + " " + (textId != 0 ? LoadStr(textId) : "");
  // A missing file (9) is all the engine's text says and all there is to say.
  if (m_systemError == 0 || m_code == 9) return text;
  const std::string reason = SystemErrorText(m_systemError);
  if (reason.empty()) return text;
  if (textId != 0) text += ' ';
  return text + reason;
}

HRESULT CZipEngineException::Result() const {
  // The codes are the engine's results (zipengine.h), named here by number
  // as above so that the exceptions need nothing of the engine.
  if (m_code == 4) return E_OUTOFMEMORY;
  if (m_systemError != 0) return ResultOfError(m_systemError);
  switch (m_code) {
    case 1:
    case 3: return HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT);
    case 9: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case 15:
    case 50: return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    case 16: return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    case 80: return HRESULT_FROM_WIN32(ERROR_CANCELLED);
    default: return E_FAIL;
  }
}
