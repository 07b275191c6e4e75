#include "zip_exceptions.h"

#include <iterator>

#include "resource.h"
#include "strings.h"

CZipWinException::CZipWinException(int32_t context, uint32_t error)
    : m_context(context), m_error(error != 0 ? error : GetLastError()) {}

std::string CZipWinException::Message() const {
  // The system's text is passed on as it comes, line break included, in
  // whatever language the system speaks.
  WCHAR description[201] = L"";
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, m_error, 0, description,
                 static_cast<DWORD>(std::size(description) - 1), nullptr);
  std::string text;
  try {
    text = WideToUtf8(description);
  } catch (const CException&) {
    // Only a cut pair could be unspellable: the number still tells.
  }
  return FormatInts(IDS_SYSTEM_ERROR, {m_context, static_cast<int32_t>(m_error)}) + " " + text;
}

CZipUserException::CZipUserException(UINT stringId) : m_text(LoadStr(stringId)) {}

std::string CZipFailException::Message() const { return FormatInts(IDS_UNEXPECTED_ERROR, {m_first, m_second}); }

CZipEngineException::CZipEngineException(int32_t context, int32_t code)
    : m_context(context), m_code(code != 0 ? code : static_cast<int32_t>(GetLastError())) {}

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
  return FormatInts(IDS_ZIPPING_ERROR, {m_context, m_code}) + " " + (textId != 0 ? LoadStr(textId) : "");
}
