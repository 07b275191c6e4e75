#include "engine_adaptor.h"

#include <cstring>

#include "resource.h"
#include "zip_exceptions.h"

void InitUnzipBlock(UNZIPCMD& block, const std::string& zipPath, ProgressSink* progress) {
  memset(&block, 0, sizeof(block));
  block.cbSize = sizeof(UNZIPCMD);
  block.bUtf8 = 1;
  block.pszZipFile = zipPath.c_str();
  block.nSpanDisk = -1;
  block.bRecurse = 1;
  block.pfnQuery = OnQuery;
  block.pQueryUser = nullptr;
  if (progress != nullptr) {
    block.pfnProgressA = OnProgressA;
    block.pProgressAUser = progress;
    block.pfnProgressB = OnProgressB;
    block.pProgressBUser = progress;
  }
}

namespace {

// Reads a decimal of one or two digits after optional blanks, as "%2d" does,
// followed by the expected separator (none for the last field).
bool ReadField(const char*& p, int& value, char separator) {
  while (*p == ' ') ++p;
  if (*p < '0' || *p > '9') return false;
  value = *p++ - '0';
  if (*p >= '0' && *p <= '9') value = value * 10 + (*p++ - '0');
  if (separator == '\0') return true;
  if (*p != separator) return false;
  ++p;
  return true;
}

}  // namespace

FILETIME ParseListingDate(const char* text) {
  int month = 0, day = 0, year = 0, hour = 0, minute = 0;
  FILETIME result{};
  // A listing reads one date per member: parsed by hand, not by sscanf.
  const char* p = text;
  if (!ReadField(p, month, '/') || !ReadField(p, day, '/') || !ReadField(p, year, ' ') || !ReadField(p, hour, ':') ||
      !ReadField(p, minute, '\0'))
    return result;
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(year < 80 ? 2000 + year : 1900 + year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  time.wHour = static_cast<WORD>(hour);
  time.wMinute = static_cast<WORD>(minute);
  if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || !SystemTimeToFileTime(&time, &result))
    result = FILETIME{};
  return result;
}

MemberListing::MemberListing(const std::string& zipPath)
    : m_zipPath(zipPath), m_info(std::make_unique<MEMBERINFOLONG>()) {
  UNZIPCMD block;
  InitUnzipBlock(block, zipPath, nullptr);
  block.nFunction = ZE_UNZIP_COUNT;
  const int result = dunzip(&block);
  if (result != 0) throw CZipEngineException(0, result, block.dwSystemError);
  m_count = block.nMemberCount;
  m_listing = block.pListing;
}

MemberListing::~MemberListing() {
  if (m_listing == nullptr) return;
  UNZIPCMD block;
  InitUnzipBlock(block, m_zipPath, nullptr);
  block.nFunction = ZE_UNZIP_END;
  block.pListing = m_listing;
  dunzip(&block);
}

bool MemberListing::Next(ListingRecord& member, uint32_t stamp) {
  if (m_ended) return false;
  MEMBERINFOLONG& info = *m_info;
  info.szName[0] = '\0';
  UNZIPCMD block;
  InitUnzipBlock(block, m_zipPath, nullptr);
  block.nFunction = ZE_UNZIP_NEXT;
  block.pMemberInfoLong = &info;
  block.pListing = m_listing;
  const int result = dunzip(&block);
  m_listing = block.pListing;
  if (result != 0) throw CZipEngineException(0, result, block.dwSystemError);
  if (info.bEnd) {
    m_ended = true;
    return false;
  }
  info.szName[sizeof(info.szName) - 1] = '\0';
  info.szDate[sizeof(info.szDate) - 1] = '\0';
  std::string path = info.szName;
  for (char& c : path)
    if (c == '/') c = '\\';
  while (!path.empty() && path.back() == '\\') path.pop_back();
  if (path.empty()) return false;

  if (info.wAttributes & ZE_ATTR_ENCRYPTED) throw CZipUserException(IDS_ENCRYPTED);
  if (info.wAttributes & ZE_ATTR_VOLUME) throw CZipUserException(IDS_VOLUME_LABEL);
  member.path = std::move(path);
  member.size = info.qwSize;
  member.compressedSize = info.qwCompressedSize;
  ZIPENTRY& record = member.record;
  record = ZIPENTRY{};
  record.dwAttributes = info.wAttributes & ZE_ATTR_DOS_MASK;
  record.dwSize = info.qwSize > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(info.qwSize);
  record.dwCompressedSize =
      info.qwCompressedSize > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(info.qwCompressedSize);
  record.dwListingStamp = stamp;
  record.ftModified = ParseListingDate(info.szDate);
  return true;
}

namespace {

// The engine reads the answer as "stop" when the user cancelled.
int ReportTo(void* sink, int32_t percent, int which) {
  auto* progress = static_cast<ProgressSink*>(sink);
  progress->Report(percent, which);
  return progress->CancelRequested() ? 1 : 0;
}

}  // namespace

int ZE_CALLBACK OnProgressA(int32_t, int32_t percent, void* sink) { return ReportTo(sink, percent, 1); }

int ZE_CALLBACK OnProgressB(int32_t, int32_t percent, void* sink) { return ReportTo(sink, percent, 0); }

int ZE_CALLBACK OnQuery(int32_t code, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t, void*) {
  switch (code) {
    case 0:
    case 7:
    case 10: return ZE_ANSWER_ALL;
    case 13: return ZE_ANSWER_NO;
    default: return ZE_ANSWER_YES;
  }
}
