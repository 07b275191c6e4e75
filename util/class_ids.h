// The library's two COM classes as the registry, the shell and every caller
// name them: the class ids, their registry text and their ProgIDs.  The text
// is the one definition; the binary ids are read from it at compile time, so
// the two forms cannot disagree.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>

namespace class_ids_detail {

// A compile-time failure for a malformed id: calling a non-constexpr function
// in a constant evaluation stops the build.
inline void MalformedClassIdText() {}

consteval unsigned HexDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  MalformedClassIdText();
  return 0;
}

consteval unsigned long Hex(const char* text, std::size_t first, std::size_t count) {
  unsigned long value = 0;
  for (std::size_t i = 0; i < count; ++i) value = value * 16 + HexDigit(text[first + i]);
  return value;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", the registry's form.
template <std::size_t N>
consteval CLSID ClassIdFromText(const char (&text)[N]) {
  static_assert(N == 39, "a class id's text has 38 characters");
  if (text[0] != '{' || text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-' || text[37] != '}')
    MalformedClassIdText();
  CLSID id{};
  id.Data1 = Hex(text, 1, 8);
  id.Data2 = static_cast<unsigned short>(Hex(text, 10, 4));
  id.Data3 = static_cast<unsigned short>(Hex(text, 15, 4));
  id.Data4[0] = static_cast<unsigned char>(Hex(text, 20, 2));
  id.Data4[1] = static_cast<unsigned char>(Hex(text, 22, 2));
  for (std::size_t i = 0; i < 6; ++i) id.Data4[2 + i] = static_cast<unsigned char>(Hex(text, 25 + 2 * i, 2));
  return id;
}

// The wide form of an ASCII constant, for the calls that take only wide text.
template <std::size_t N>
constexpr std::array<wchar_t, N> Widen(const char (&text)[N]) {
  std::array<wchar_t, N> wide{};
  for (std::size_t i = 0; i < N; ++i) wide[i] = static_cast<wchar_t>(text[i]);
  return wide;
}

}  // namespace class_ids_detail

// The archive root: the folder a zip file opens as.
inline constexpr char kZipFileClsidText[] = "{3D91E7B2-6A40-4C8F-B512-E07A9C4D2F18}";
inline constexpr char kZipFileProgId[] = "ZipFile";
// The context-menu handler of ordinary files and folders ("Copy to Zip File").
inline constexpr char kFileHandlerClsidText[] = "{6F2C9A41-3B7D-4E15-9C2A-5D8E1F047B36}";
inline constexpr char kFileHandlerProgId[] = "ZipFileHandler";

// Internal linkage on purpose: every translation unit has its own copy, so
// these never clash with another definition of the same identifier.
constexpr CLSID CLSID_ZipFile = class_ids_detail::ClassIdFromText(kZipFileClsidText);
constexpr CLSID CLSID_FileHandler = class_ids_detail::ClassIdFromText(kFileHandlerClsidText);

// The archive root's ProgID for the wide calls (CLSIDFromProgID and the
// like); .data() is the terminated text.
inline constexpr std::array<wchar_t, sizeof(kZipFileProgId)> kZipFileProgIdWide =
    class_ids_detail::Widen(kZipFileProgId);
