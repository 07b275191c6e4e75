#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "engine_adaptor.h"
#include "format.h"
#include "item_id.h"
#include "strings.h"

using namespace format;

namespace {

static_assert(format::MemberRecord<ZIPENTRY>);

// A record with the member record's field names; unlike the real one its
// folder mark needs no folder object.
struct Entry {
  char szName[260] = "";
  char szDisplayName[260] = "";
  uint32_t dwSize = 0;
  uint32_t dwCompressedSize = 0;
  FILETIME ftModified{};
  DWORD dwAttributes = 0;
  uint32_t pSubFolder = 0;
};

Entry FileEntry(const char* name, uint32_t size = 0, uint32_t compressed = 0) {
  Entry e;
  std::strcpy(e.szName, name);
  std::strcpy(e.szDisplayName, name);
  e.dwSize = size;
  e.dwCompressedSize = compressed;
  e.dwAttributes = FILE_ATTRIBUTE_ARCHIVE;
  return e;
}

Entry FolderEntry(const char* name) {
  Entry e = FileEntry(name);
  e.dwAttributes = FILE_ATTRIBUTE_DIRECTORY;
  e.pSubFolder = 1;
  return e;
}

FILETIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
  SYSTEMTIME st{};
  st.wYear = year;
  st.wMonth = month;
  st.wDay = day;
  st.wHour = hour;
  st.wMinute = minute;
  FILETIME ft{};
  EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
  return ft;
}

SYSTEMTIME Fields(const FILETIME& ft) {
  SYSTEMTIME st{};
  EXPECT_TRUE(FileTimeToSystemTime(&ft, &st));
  return st;
}

// Sets the user's thousands separator for one test and puts the old one back.
class SeparatorOverride {
 public:
  explicit SeparatorOverride(const char* separator) : m_old(ThousandsSeparator()) {
    m_ok = SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator) != FALSE;
  }
  ~SeparatorOverride() { SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, m_old.c_str()); }
  bool ok() const { return m_ok; }

 private:
  std::string m_old;
  bool m_ok = false;
};

}  // namespace

TEST(FormatKilobytes, AnyRemainderCountsAsOneMoreKilobyte) {
  const std::string sep = ThousandsSeparator();
  EXPECT_EQ("0 KB", FormatKilobytes(0));
  EXPECT_EQ("1 KB", FormatKilobytes(1));
  EXPECT_EQ("1 KB", FormatKilobytes(1024));
  EXPECT_EQ("2 KB", FormatKilobytes(1025));
  EXPECT_EQ("2 KB", FormatKilobytes(1500));
  EXPECT_EQ("999 KB", FormatKilobytes(999 * 1024));
  EXPECT_EQ("1" + sep + "000 KB", FormatKilobytes(1024000));
  EXPECT_EQ("1" + sep + "954 KB", FormatKilobytes(2000000));
  // Every group separated, and no wrap past 4 GiB.
  EXPECT_EQ("4" + sep + "194" + sep + "304 KB", FormatKilobytes(0xFFFFFFFFu));
  EXPECT_EQ("5" + sep + "242" + sep + "880 KB", FormatKilobytes(uint64_t{5} << 30));
  EXPECT_EQ("4" + sep + "194" + sep + "305 KB", FormatKilobytes(uint64_t{0xFFFFFFFFu} + 2));
}

TEST(FormatKilobytes, TheSeparatorComesFromTheUsersLocale) {
  {
    SeparatorOverride dot(".");
    ASSERT_TRUE(dot.ok());
    EXPECT_EQ(".", ThousandsSeparator());
    EXPECT_EQ("1.954 KB", FormatKilobytes(2000000));
    EXPECT_EQ("1.234.567 KB", FormatKilobytes(1234567u * 1024u));
    EXPECT_NE(std::string::npos, FormatByteSize(1500000, true).find("(1.500.000 bytes)"));
  }
  {
    // A separator longer than one character is inserted whole.
    SeparatorOverride blanks("'_'");
    ASSERT_TRUE(blanks.ok());
    EXPECT_EQ("2'_'000 KB", FormatKilobytes(2000 * 1024));
  }
  EXPECT_NE(".", ThousandsSeparator());
}

TEST(FormatByteSize, DetailAddsTheExactCountWithSeparators) {
  SeparatorOverride comma(",");
  ASSERT_TRUE(comma.ok());
  const std::string shortText = FormatByteSize(1500000, false);
  EXPECT_NE(std::string::npos, shortText.find("MB")) << shortText;
  EXPECT_EQ(shortText + " (1,500,000 bytes)", FormatByteSize(1500000, true));
  EXPECT_EQ(FormatByteSize(0, false) + " (0 bytes)", FormatByteSize(0, true));
  EXPECT_EQ(FormatByteSize(999, false) + " (999 bytes)", FormatByteSize(999, true));
  // Groups after the first keep their leading zeros.
  EXPECT_EQ(FormatByteSize(1000, false) + " (1,000 bytes)", FormatByteSize(1000, true));
  EXPECT_EQ(FormatByteSize(1002003, false) + " (1,002,003 bytes)", FormatByteSize(1002003, true));
  EXPECT_EQ(FormatByteSize(0xFFFFFFFFu, false) + " (4,294,967,295 bytes)", FormatByteSize(0xFFFFFFFFu, true));
  const uint64_t fiveGiB = uint64_t{5} << 30;
  EXPECT_EQ(FormatByteSize(fiveGiB, false) + " (5,368,709,120 bytes)", FormatByteSize(fiveGiB, true));
  EXPECT_NE(std::string::npos, FormatByteSize(fiveGiB, false).find("5.00 GB")) << FormatByteSize(fiveGiB, false);
}

// Sets the user's digit grouping for one test and puts the old one back.
class GroupingOverride {
 public:
  explicit GroupingOverride(const char* grouping) {
    char old[16] = "";
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, old, sizeof(old));
    m_old = old;
    m_ok = SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, grouping) != FALSE;
  }
  ~GroupingOverride() { SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, m_old.c_str()); }
  bool ok() const { return m_ok; }

 private:
  std::string m_old;
  bool m_ok = false;
};

TEST(GroupDigits, FollowsTheLocalesGroupingRule) {
  SeparatorOverride comma(",");
  ASSERT_TRUE(comma.ok());
  EXPECT_EQ("999", GroupDigits(999));
  EXPECT_EQ("1,000", GroupDigits(1000));
  EXPECT_EQ("18,446,744,073,709,551,615", GroupDigits(UINT64_MAX));
  {
    GroupingOverride indian("3;2;0");
    ASSERT_TRUE(indian.ok());
    EXPECT_EQ("52,42,880", GroupDigits(5242880));
    EXPECT_EQ("1,000", GroupDigits(1000));
  }
  {
    GroupingOverride once("3");
    ASSERT_TRUE(once.ok());
    EXPECT_EQ("5242,880", GroupDigits(5242880));
  }
  EXPECT_EQ("5,242,880", GroupDigits(5242880));
}

TEST(FormatFileTime, ZeroTimesShowAQuestionMark) {
  EXPECT_EQ("?", FormatFileTime(FILETIME{}, false));
  EXPECT_EQ("?", FormatFileTime(FILETIME{}, true));
  EXPECT_EQ("?", FormatTime(0, false));
  EXPECT_EQ("?", FormatTime(0, true));
  // Only both halves zero mean "no time".
  EXPECT_NE("?", FormatFileTime(FILETIME{1, 0}, false));
}

TEST(FormatFileTime, ShowsTheStoredFieldsWithoutSecondsOrTimeZone) {
  SYSTEMTIME st{};
  st.wYear = 2003;
  st.wMonth = 7;
  st.wDay = 14;
  st.wHour = 17;
  st.wMinute = 42;
  st.wSecond = 31;
  FILETIME ft{};
  ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
  const std::string text = FormatFileTime(ft, false);
  EXPECT_NE(std::string::npos, text.find("2003")) << text;
  EXPECT_NE(std::string::npos, text.find("42")) << text;
  EXPECT_EQ(std::string::npos, text.find("31")) << text;
  // Long dates name the month; short ones do not.
  EXPECT_NE(std::string::npos, FormatFileTime(ft, true).find("July")) << FormatFileTime(ft, true);
  EXPECT_EQ(std::string::npos, text.find("July")) << text;
}

TEST(FormatTime, UsesTheLocalCalendarFields) {
  std::tm local{};
  local.tm_year = 2011 - 1900;
  local.tm_mon = 2;
  local.tm_mday = 9;
  local.tm_hour = 8;
  local.tm_min = 5;
  local.tm_isdst = -1;
  const std::time_t t = std::mktime(&local);
  ASSERT_NE(static_cast<std::time_t>(-1), t);
  EXPECT_EQ(FormatFileTime(Time(2011, 3, 9, 8, 5), false), FormatTime(t, false));
  EXPECT_EQ(FormatFileTime(Time(2011, 3, 9, 8, 5), true), FormatTime(t, true));
}

TEST(ParseListingTime, TwoDigitYearsBelowEightyAreThisCentury) {
  SYSTEMTIME st = Fields(ParseListingDate("12/31/79 23:59"));
  EXPECT_EQ(2079, st.wYear);
  EXPECT_EQ(12, st.wMonth);
  EXPECT_EQ(31, st.wDay);
  EXPECT_EQ(23, st.wHour);
  EXPECT_EQ(59, st.wMinute);
  EXPECT_EQ(0, st.wSecond);
  EXPECT_EQ(1980, Fields(ParseListingDate("01/01/80 00:00")).wYear);
  EXPECT_EQ(1999, Fields(ParseListingDate("06/15/99 12:30")).wYear);
  EXPECT_EQ(2000, Fields(ParseListingDate("02/29/00 01:02")).wYear);
  // Single digits and the listing's own spacing parse alike.
  EXPECT_EQ(7, Fields(ParseListingDate(" 7/ 4/05  9:08")).wMonth);
  EXPECT_NE(std::string::npos, FormatFileTime(ParseListingDate("12/31/79 23:59"), false).find("2079"));
}

TEST(ParseListingTime, ImpossibleTimesGiveZero) {
  for (const char* text : {"", "garbage", "13/01/99 10:00", "02/30/99 10:00", "01/01/99 25:00", "-1/01/99 10:00",
                           "01/01/99"}) {
    const FILETIME ft = ParseListingDate(text);
    EXPECT_EQ(0u, ft.dwLowDateTime | ft.dwHighDateTime) << '"' << text << '"';
    EXPECT_EQ("?", FormatFileTime(ft, false)) << text;
  }
}

TEST(TypeName, FallsBackToTheExtensionThenToFile) {
  EXPECT_EQ("XYZ File", FallbackTypeName("readme.xyz"));
  EXPECT_EQ("GZ File", FallbackTypeName("archive.tar.gz"));
  EXPECT_EQ("File", FallbackTypeName("README"));
  EXPECT_EQ("File", FallbackTypeName("report."));
  EXPECT_EQ("File", FallbackTypeName(""));
}

TEST(TypeName, TheShellNamesFoldersAndUnknownTypes) {
  const std::string folder = GetTypeName(FolderEntry("docs"));
  EXPECT_FALSE(folder.empty());
  EXPECT_NE(folder, GetTypeName(FileEntry("docs")));
  // Whatever the shell says, a type name is never empty.
  for (const char* name : {"README", "report.", "data.qqzz", "a.txt"}) EXPECT_FALSE(GetTypeName(FileEntry(name)).empty()) << name;
}

TEST(AttributeText, LettersInFixedOrderWithoutTheDirectoryBit) {
  EXPECT_EQ("", GetAttributeText(0u));
  EXPECT_EQ("", GetAttributeText(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ("RA", GetAttributeText(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ("RHSA", GetAttributeText(0x37u));
  EXPECT_EQ("HS", GetAttributeText(FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
}

TEST(Ratio, TextForEmptyShrunkAndGrownMembers) {
  EXPECT_EQ("--", FormatRatio(0, 0));
  EXPECT_EQ("--", FormatRatio(0, 100));
  EXPECT_EQ("60%", FormatRatio(1000, 400));
  EXPECT_EQ("0%", FormatRatio(1000, 1000));
  EXPECT_EQ("100%", FormatRatio(1000, 0));
  EXPECT_EQ("-2%", FormatRatio(1000, 1020));
  EXPECT_EQ("-300%", FormatRatio(FileEntry("x", 100, 400)));
}

TEST(Ratio, KeyTruncatesTowardZero) {
  EXPECT_EQ(0, RatioKey(0, 5));
  EXPECT_EQ(66, RatioKey(3, 1));
  EXPECT_EQ(-1, RatioKey(1000, 1019));
  EXPECT_EQ(0, RatioKey(1000, 1009));
  // Beyond 32 bits: the lowest key, still negative.
  EXPECT_EQ(INT32_MIN, RatioKey(1, 0xFFFFFFFFu));
}

TEST(CompareEntries, FoldersComeFirstInEveryColumn) {
  const Entry folder = FolderEntry("zzz");
  const Entry file = FileEntry("aaa", 5, 1);
  for (int column = 0; column <= 7; ++column) {
    EXPECT_EQ(-1, CompareEntries(folder, file, column)) << column;
    EXPECT_EQ(1, CompareEntries(file, folder, column)) << column;
  }
}

TEST(CompareEntries, NumbersCompareUnsignedAndTiesGoByName) {
  const Entry small = FileEntry("b", 1, 1);
  const Entry huge = FileEntry("a", 0x80000000u, 0x80000000u);
  EXPECT_EQ(-1, CompareEntries(small, huge, 1));
  EXPECT_EQ(1, CompareEntries(huge, small, 1));
  EXPECT_EQ(-1, CompareEntries(small, huge, 4));
  // Equal sizes: the display names decide.
  const Entry twin = FileEntry("c", 1, 1);
  EXPECT_LT(CompareEntries(small, twin, 1), 0);
  EXPECT_GT(CompareEntries(twin, small, 4), 0);
  EXPECT_EQ(0, CompareEntries(small, small, 1));
}

TEST(CompareEntries, NegativeRatiosSortAboveEveryOther) {
  const Entry grown = FileEntry("a", 1000, 1020);   // -2%
  const Entry best = FileEntry("b", 1000, 10);      // 99%
  const Entry empty = FileEntry("c", 0, 0);         // key 0
  const Entry half = FileEntry("d", 1000, 500);     // 50%
  EXPECT_EQ(1, CompareEntries(grown, best, 5));
  EXPECT_EQ(-1, CompareEntries(best, grown, 5));
  EXPECT_EQ(-1, CompareEntries(empty, half, 5));
  EXPECT_EQ(-1, CompareEntries(half, best, 5));
  // Same truncated ratio: by name.
  EXPECT_LT(CompareEntries(FileEntry("x", 1000, 501), FileEntry("y", 1000, 500), 5), 0);
}

TEST(CompareEntries, DatesTypesAndAttributes) {
  Entry older = FileEntry("b.txt");
  Entry newer = FileEntry("a.txt");
  older.ftModified = ParseListingDate("12/31/99 23:59");
  newer.ftModified = ParseListingDate("01/01/00 00:00");
  EXPECT_EQ(-1, CompareEntries(older, newer, 3));
  EXPECT_EQ(1, CompareEntries(newer, older, 3));

  const Entry a = FileEntry("z.aaa");
  const Entry b = FileEntry("a.bbb");
  const int byType = CompareEntries(a, b, 2);
  EXPECT_NE(0, byType);
  EXPECT_EQ(byType > 0, GetTypeName(a) > GetTypeName(b));

  Entry readOnly = FileEntry("a");
  readOnly.dwAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
  Entry plain = FileEntry("b");
  plain.dwAttributes = FILE_ATTRIBUTE_ARCHIVE;
  EXPECT_LT(CompareEntries(plain, readOnly, 6), 0);  // "A" before "RA"
  EXPECT_GT(CompareEntries(readOnly, plain, 6), 0);
}

TEST(CompareEntries, NameColumnHasNoTieBreak) {
  Entry a = FileEntry("same", 1);
  Entry b = FileEntry("same", 2);
  EXPECT_EQ(0, CompareEntries(a, b, 0));
  EXPECT_EQ(0, CompareEntries(a, b, 42));
  EXPECT_LT(CompareEntries(FileEntry("Alpha"), FileEntry("beta"), 0), 0);
}

// The order over kept fields must be the record order in every column, or a
// list sorted on what it kept would disagree with every other sorted list.
TEST(CompareEntries, KeptFieldsSortAsTheRecordsDo) {
  std::vector<Entry> entries = {FileEntry("b.txt", 10, 4),     FileEntry("a.log", 10, 9),  FileEntry("C.txt", 0, 0),
                                FileEntry("d.zzq", 5000, 5100), FileEntry("\xC3\xA9t\xC3\xA9.bin", 7, 7),
                                FolderEntry("zeta"),           FolderEntry("Alpha")};
  entries[0].ftModified = ParseListingDate("12/31/99 23:59");
  entries[1].ftModified = ParseListingDate("01/01/00 00:00");
  entries[3].dwAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  entries[4].dwAttributes = FILE_ATTRIBUTE_SYSTEM;
  struct Kept {
    std::wstring display;
    std::string typeName;
  };
  std::vector<Kept> kept;
  for (const Entry& e : entries) kept.push_back({Utf8ToWide(e.szDisplayName), GetTypeName(e)});
  auto fields = [&](size_t i) {
    const Entry& e = entries[i];
    return KeptFields{kept[i].display, kept[i].typeName, e.dwSize, e.dwCompressedSize,
                      e.ftModified,    e.dwAttributes,   e.pSubFolder != 0};
  };
  auto sign = [](int value) { return (value > 0) - (value < 0); };
  for (int column = 0; column <= 7; ++column)
    for (size_t i = 0; i < entries.size(); ++i)
      for (size_t j = 0; j < entries.size(); ++j)
        EXPECT_EQ(sign(CompareEntries(entries[i], entries[j], column)),
                  sign(CompareEntries(fields(i), fields(j), column)))
            << "column " << column << ": " << entries[i].szName << " against " << entries[j].szName;
}
