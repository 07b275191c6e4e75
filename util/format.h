// Display texts and sort order of archive members, shared by the folder view,
// the confirmation dialogs and the property pages so that all of them word a
// member the same way.  Numbers and dates follow the user's locale.
//
// The functions taking a member accept any record with the member record's
// field names (szName, szDisplayName, dwSize, dwCompressedSize, ftModified,
// dwAttributes, pSubFolder); a non-zero pSubFolder marks a folder.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ctime>
#include <string>

namespace format {

// The fields of a member record that the texts and the sort order read.
struct MemberFields {
  const char* name;
  const char* displayName;
  uint32_t size;
  uint32_t compressedSize;
  FILETIME modified;
  DWORD attributes;
  bool isFolder;
};

// A record with the member record's fields.
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

// Whole kilobytes, any remainder counting as one more, with at most one
// separator: "1,954 KB", "1234,567 KB".
std::string FormatKilobytes(uint32_t bytes);

// The shell's short size text ("1.43 MB"); detailed adds the exact count:
// "1.43 MB (1,500,000 bytes)".
std::string FormatByteSize(uint32_t bytes, bool detailed);

// The detailed form for totals that may pass 4 GiB: the same text as
// FormatByteSize below that, and every thousands group separated above.
std::string FormatByteSize64(uint64_t bytes);

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
std::string FormatRatio(uint32_t size, uint32_t compressedSize);
// The ratio truncated to an integer; 0 for an empty member.  Sorting compares
// it unsigned, so negative ratios (members that grew) sort above all others.
int32_t RatioKey(uint32_t size, uint32_t compressedSize);

// The folder view's order for a column (0 name, 1 size, 2 type, 3 modified,
// 4 compressed size, 5 ratio, 6 attributes): folders before files, then the
// column, ties broken by display name.
int CompareEntries(const MemberFields& a, const MemberFields& b, int column);

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
