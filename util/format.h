// Display texts and sort order of archive members, shared by the folder view,
// the confirmation dialogs and the property pages so that all of them word a
// member the same way.  Numbers and dates follow the user's locale.
//
// Texts are UTF-8.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace format {

// The fields of a member that the texts and the sort order read.
struct MemberFields {
  const char* name;         // the record's key: its extension gives the type
  std::string_view display;  // the name users see, UTF-8
  uint64_t size;
  uint64_t compressedSize;
  FILETIME modified;
  DWORD attributes;
  bool isFolder;
};

// A record with the member record's fields (szName, szDisplayName, dwSize,
// dwCompressedSize, ftModified, dwAttributes, pSubFolder); a non-zero
// pSubFolder marks a folder.  Its display name is read as UTF-8.
template <typename Record>
concept MemberRecord = requires(const Record& e) {
  e.szName;
  e.szDisplayName;
  e.dwSize;
  e.dwCompressedSize;
  e.ftModified;
  e.dwAttributes;
  e.pSubFolder;
};

template <MemberRecord Record>
MemberFields FieldsOf(const Record& e) {
  return MemberFields{e.szName,     e.szDisplayName, e.dwSize, e.dwCompressedSize, e.ftModified,
                      e.dwAttributes, static_cast<bool>(e.pSubFolder)};
}

// The user's thousands separator (at most 10 characters).
std::string ThousandsSeparator();

// A count with its digits grouped as the user's locale groups them:
// "5,242,880"; "52,42,880" where groups are 3;2.
std::string GroupDigits(uint64_t value);

// Whole kilobytes, any remainder counting as one more, grouped fully:
// "1,954 KB", "5,242,880 KB".
std::string FormatKilobytes(uint64_t bytes);

// The shell's short size text ("1.43 MB"); detailed adds the exact count:
// "1.43 MB (1,500,000 bytes)".
std::string FormatByteSize(uint64_t bytes, bool detailed);

// Date and time without seconds in the user's formats; "?" for a zero time.
// The time is shown as stored, with no time-zone conversion.
std::string FormatFileTime(const FILETIME& time, bool longDate);

// The same for a calendar time (seconds since 1970), shown in local time.
std::string FormatTime(std::time_t time, bool longDate);

// The shell's type name of a name, else the extension rule below.
std::string GetTypeName(const char* name, bool isFolder);
// The type text when the shell has none: "XYZ File" for readme.xyz, "File"
// for a name without extension or ending in a dot.
std::string FallbackTypeName(const char* name);

// "R", "H", "S", "A" for the set attribute bits, in that order.
std::string GetAttributeText(DWORD attributes);

// "60%" for 1000 bytes stored in 400; "--" for an empty member.
std::string FormatRatio(uint64_t size, uint64_t compressedSize);
// The ratio truncated to an integer; 0 for an empty member.  Sorting compares
// it unsigned, so negative ratios (members that grew) sort above all others.
int32_t RatioKey(uint64_t size, uint64_t compressedSize);

// The folder view's order for a column (0 name, 1 size, 2 type, 3 modified,
// 4 compressed size, 5 ratio, 6 attributes): folders before files, then the
// column, ties broken by display name.
int CompareEntries(const MemberFields& a, const MemberFields& b, int column);

// The fields of a member as a list keeps them for many comparisons: the
// display name already wide and the type name looked up once.
struct KeptFields {
  std::wstring_view display;
  std::string_view typeName;  // GetTypeName's text; read by the type column only
  uint64_t size;
  uint64_t compressedSize;
  FILETIME modified;
  DWORD attributes;
  bool isFolder;
};
// The same order as above, without a conversion or a shell query per call.
int CompareEntries(const KeptFields& a, const KeptFields& b, int column);

template <MemberRecord Record>
std::string GetTypeName(const Record& e) {
  return GetTypeName(e.szName, static_cast<bool>(e.pSubFolder));
}
template <MemberRecord Record>
std::string GetAttributeText(const Record& e) {
  return GetAttributeText(e.dwAttributes);
}
template <MemberRecord Record>
std::string FormatRatio(const Record& e) {
  return FormatRatio(e.dwSize, e.dwCompressedSize);
}
template <MemberRecord Record>
int CompareEntries(const Record& a, const Record& b, int column) {
  return CompareEntries(FieldsOf(a), FieldsOf(b), column);
}

}  // namespace format
