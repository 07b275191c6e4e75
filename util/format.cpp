#include "format.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

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

// Names sort as the shell sorts them, in the user's locale, whatever their
// script.
int CompareDisplay(std::wstring_view wa, std::wstring_view wb) {
  const int result = CompareStringW(LOCALE_USER_DEFAULT, 0, wa.data(), static_cast<int>(wa.size()), wb.data(),
                                    static_cast<int>(wb.size()));
  if (result == 0) return wa.compare(wb) < 0 ? -1 : (wa == wb ? 0 : 1);
  return result - CSTR_EQUAL;
}

int CompareDisplay(std::string_view a, std::string_view b) { return CompareDisplay(Utf8ToWide(a), Utf8ToWide(b)); }

// The one order behind both field kinds; they differ only in how their type
// and display names are held, which byType and byName compare.
template <typename Fields, typename ByType, typename ByName>
int CompareColumns(const Fields& a, const Fields& b, int column, ByType byType, ByName byName) {
  if (a.isFolder != b.isFolder) return static_cast<int>(b.isFolder) - static_cast<int>(a.isFolder);

  int result = 0;
  switch (column) {
    case 1:
      result = Sign(a.size, b.size);
      break;
    case 2:
      result = byType(a, b);
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
      return byName(a, b);
  }
  return result != 0 ? result : byName(a, b);
}

}  // namespace

std::string ThousandsSeparator() {
  wchar_t separator[11] = L"";
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 11) == 0) separator[0] = 0;
  return WideToUtf8(separator);
}

std::string GroupDigits(uint64_t value) {
  wchar_t grouping[11] = L"";
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, grouping, 11) == 0) lstrcpyW(grouping, L"3;0");
  // "3;0": threes all the way; "3;2;0": three, then twos; "3": one group
  // of three, the rest together.  Done by hand: not every platform's number
  // formatting follows the repeat rule.
  std::vector<unsigned> sizes;
  bool repeat = false;
  for (const wchar_t* p = grouping; *p != 0; ++p) {
    if (*p < L'0' || *p > L'9') continue;
    if (*p == L'0') {
      repeat = !sizes.empty();
      break;
    }
    sizes.push_back(static_cast<unsigned>(*p - L'0'));
  }
  const std::string separator = ThousandsSeparator();
  const std::string digits = std::to_string(value);
  std::string out;
  size_t end = digits.size();
  size_t group = 0;
  std::vector<std::string> parts;
  while (end > 0) {
    const bool grouped = group < sizes.size() || (repeat && !sizes.empty());
    const size_t size = grouped ? sizes[group < sizes.size() ? group : sizes.size() - 1] : end;
    const size_t start = end > size ? end - size : 0;
    parts.push_back(digits.substr(start, end - start));
    end = start;
    ++group;
  }
  for (size_t i = parts.size(); i-- > 0;) {
    out += parts[i];
    if (i != 0) out += separator;
  }
  return out;
}

std::string FormatKilobytes(uint64_t bytes) {
  const uint64_t k = (bytes >> 10) + ((bytes & 0x3FF) ? 1 : 0);
  return GroupDigits(k) + " " + LoadStr(IDS_KB);
}

std::string FormatByteSize(uint64_t bytes, bool detailed) {
  wchar_t shortText[32] = L"";
  StrFormatByteSizeW(static_cast<LONGLONG>(bytes), shortText, 32);
  std::string text = WideToUtf8(shortText);
  if (!detailed) return text;
  return text + " (" + GroupDigits(bytes) + " " + LoadStr(IDS_BYTES) + ")";
}

std::string FormatFileTime(const FILETIME& time, bool longDate) {
  if (time.dwLowDateTime == 0 && time.dwHighDateTime == 0) return "?";
  SYSTEMTIME st;
  // Member times already hold local time: no time-zone conversion here.
  if (!FileTimeToSystemTime(&time, &st)) return "?";
  wchar_t date[100] = L"";
  wchar_t clock[100] = L"";
  GetDateFormatW(LOCALE_USER_DEFAULT, longDate ? DATE_LONGDATE : DATE_SHORTDATE, &st, nullptr, date, 100);
  GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, clock, 100);
  return WideToUtf8(date) + " " + WideToUtf8(clock);
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
    std::wstring upper = AnsiToWide(ext + 1);
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    return WideToUtf8(upper) + " " + LoadStr(IDS_FILE);
  }
  return LoadStr(IDS_FILE);
}

std::string GetTypeName(const char* name, bool isFolder) {
  // Asked every time, never cached: the user may change file types meanwhile.
  SHFILEINFOW info{};
  if (SHGetFileInfoW(AnsiToWide(name).c_str(), isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL, &info,
                     sizeof(info), SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES) != 0 &&
      info.szTypeName[0] != 0) {
    return WideToUtf8(info.szTypeName);
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

std::string FormatRatio(uint64_t size, uint64_t compressedSize) {
  if (size == 0) return "--";
  const double ratio = (1.0 - static_cast<double>(compressedSize) / static_cast<double>(size)) * 100.0;
  return Printf("%.0f%%", ratio);
}

int32_t RatioKey(uint64_t size, uint64_t compressedSize) {
  if (size == 0) return 0;
  const double ratio = (1.0 - static_cast<double>(compressedSize) / static_cast<double>(size)) * 100.0;
  // A member that grew enormously lies beyond 32 bits; the lowest value keeps
  // it sorted with the other negative ratios.
  if (ratio <= static_cast<double>(INT32_MIN)) return INT32_MIN;
  return static_cast<int32_t>(std::trunc(ratio));
}

int CompareEntries(const MemberFields& a, const MemberFields& b, int column) {
  return CompareColumns(
      a, b, column,
      [](const MemberFields& x, const MemberFields& y) {
        return CompareBytes(GetTypeName(x.name, x.isFolder), GetTypeName(y.name, y.isFolder));
      },
      [](const MemberFields& x, const MemberFields& y) { return CompareDisplay(x.display, y.display); });
}

int CompareEntries(const KeptFields& a, const KeptFields& b, int column) {
  return CompareColumns(
      a, b, column,
      // Byte order with the bytes unsigned, as strcmp gives for the type texts.
      [](const KeptFields& x, const KeptFields& y) { return x.typeName.compare(y.typeName); },
      [](const KeptFields& x, const KeptFields& y) { return CompareDisplay(x.display, y.display); });
}

}  // namespace format
