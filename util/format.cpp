#include "format.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "resource.h"
#include "strings.h"

namespace format {

namespace {

template <typename... T>
std::string Printf(const char* pattern, T... values) {
  char buffer[64];
  const int n = std::snprintf(buffer, sizeof(buffer), pattern, values...);
  return std::string(buffer, n <= 0 ? 0 : (n < 64 ? static_cast<size_t>(n) : 63));
}

template <typename T>
int Sign(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

// Byte-wise comparison with the bytes taken as unsigned, as the type and
// attribute columns sort.
int CompareBytes(const std::string& a, const std::string& b) {
  return std::strcmp(a.c_str(), b.c_str());
}

}  // namespace

std::string ThousandsSeparator() {
  char separator[11] = "";
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, sizeof(separator)) == 0) separator[0] = 0;
  return separator;
}

std::string FormatKilobytes(uint32_t bytes) {
  const int k = static_cast<int>((bytes >> 10) + ((bytes & 0x3FF) ? 1 : 0));
  std::string text;
  if (k < 1000) {
    text = Printf("%d ", k);
  } else {
    text = Printf("%d", k / 1000) + ThousandsSeparator() + Printf("%03d ", k % 1000);
  }
  return text + LoadStr(IDS_KB);
}

std::string FormatByteSize(uint32_t bytes, bool detailed) {
  char shortText[20] = "";
  StrFormatByteSizeA(bytes, shortText, sizeof(shortText));
  std::string text = shortText;
  if (!detailed) return text;

  const std::string sep = ThousandsSeparator();
  std::string exact;
  if (bytes < 1000) {
    exact = Printf("%d", static_cast<int>(bytes));
  } else if (bytes < 1000000) {
    exact = Printf("%d", static_cast<int>(bytes / 1000)) + sep + Printf("%03d", static_cast<int>(bytes % 1000));
  } else {
    exact = Printf("%d", static_cast<int>(bytes / 1000000)) + sep +
            Printf("%03d", static_cast<int>((bytes / 1000) % 1000)) + sep + Printf("%03d", static_cast<int>(bytes % 1000));
  }
  return text + " (" + exact + " " + LoadStr(IDS_BYTES) + ")";
}

std::string FormatByteSize64(uint64_t bytes) {
  if (bytes <= 0xFFFFFFFFu) return FormatByteSize(static_cast<uint32_t>(bytes), true);
  char shortText[32] = "";
  StrFormatByteSize64A(static_cast<LONGLONG>(bytes), shortText, sizeof(shortText));
  std::string exact = std::to_string(bytes);
  const std::string sep = ThousandsSeparator();
  for (size_t i = exact.size(); i > 3; i -= 3) exact.insert(i - 3, sep);
  return std::string(shortText) + " (" + exact + " " + LoadStr(IDS_BYTES) + ")";
}

std::string FormatFileTime(const FILETIME& time, bool longDate) {
  if (time.dwLowDateTime == 0 && time.dwHighDateTime == 0) return "?";
  SYSTEMTIME st;
  // Member times already hold local time: no time-zone conversion here.
  if (!FileTimeToSystemTime(&time, &st)) return "?";
  char date[100] = "";
  char clock[100] = "";
  GetDateFormatA(LOCALE_USER_DEFAULT, longDate ? DATE_LONGDATE : DATE_SHORTDATE, &st, nullptr, date, sizeof(date));
  GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, clock, sizeof(clock));
  return std::string(date) + " " + clock;
}

std::string FormatTime(std::time_t time, bool longDate) {
  if (time == 0) return "?";
  std::tm local{};
  if (localtime_s(&local, &time) != 0) return "?";
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(local.tm_year + 1900);
  st.wMonth = static_cast<WORD>(local.tm_mon + 1);
  st.wDay = static_cast<WORD>(local.tm_mday);
  st.wDayOfWeek = static_cast<WORD>(local.tm_wday);
  st.wHour = static_cast<WORD>(local.tm_hour);
  st.wMinute = static_cast<WORD>(local.tm_min);
  st.wSecond = static_cast<WORD>(local.tm_sec);
  FILETIME ft{};
  if (!SystemTimeToFileTime(&st, &ft)) return "?";
  return FormatFileTime(ft, longDate);
}

std::string FallbackTypeName(const char* name) {
  const char* ext = PathFindExtensionA(name);
  if (ext[0] == '.' && ext[1] != 0) {
    std::string upper(ext + 1);
    CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    return upper + " " + LoadStr(IDS_FILE);
  }
  return LoadStr(IDS_FILE);
}

std::string GetTypeName(const char* name, bool isFolder) {
  // Asked every time, never cached: the user may change file types meanwhile.
  SHFILEINFOA info{};
  if (SHGetFileInfoA(name, isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                     SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES) != 0 &&
      info.szTypeName[0] != 0) {
    return info.szTypeName;
  }
  return FallbackTypeName(name);
}

std::string GetAttributeText(DWORD attributes) {
  std::string text;
  if (attributes & FILE_ATTRIBUTE_READONLY) text += 'R';
  if (attributes & FILE_ATTRIBUTE_HIDDEN) text += 'H';
  if (attributes & FILE_ATTRIBUTE_SYSTEM) text += 'S';
  if (attributes & FILE_ATTRIBUTE_ARCHIVE) text += 'A';
  return text;
}

std::string FormatRatio(uint32_t size, uint32_t compressedSize) {
  if (size == 0) return "--";
  const double ratio = (1.0 - static_cast<double>(compressedSize) / static_cast<double>(size)) * 100.0;
  return Printf("%.0f%%", ratio);
}

int32_t RatioKey(uint32_t size, uint32_t compressedSize) {
  if (size == 0) return 0;
  const double ratio = (1.0 - static_cast<double>(compressedSize) / static_cast<double>(size)) * 100.0;
  // A member that grew enormously lies beyond 32 bits; the lowest value keeps
  // it sorted with the other negative ratios.
  if (ratio <= static_cast<double>(INT32_MIN)) return INT32_MIN;
  return static_cast<int32_t>(std::trunc(ratio));
}

int CompareEntries(const MemberFields& a, const MemberFields& b, int column) {
  if (a.isFolder != b.isFolder) return static_cast<int>(b.isFolder) - static_cast<int>(a.isFolder);

  int result = 0;
  switch (column) {
    case 1:
      result = Sign(a.size, b.size);
      break;
    case 2:
      result = CompareBytes(GetTypeName(a.name, a.isFolder), GetTypeName(b.name, b.isFolder));
      break;
    case 3:
      result = CompareFileTime(&a.modified, &b.modified);
      break;
    case 4:
      result = Sign(a.compressedSize, b.compressedSize);
      break;
    case 5:
      result = Sign(static_cast<uint32_t>(RatioKey(a.size, a.compressedSize)),
                    static_cast<uint32_t>(RatioKey(b.size, b.compressedSize)));
      break;
    case 6:
      result = CompareBytes(GetAttributeText(a.attributes), GetAttributeText(b.attributes));
      break;
    default:
      return lstrcmpA(a.displayName, b.displayName);
  }
  return result != 0 ? result : lstrcmpA(a.displayName, b.displayName);
}

}  // namespace format
