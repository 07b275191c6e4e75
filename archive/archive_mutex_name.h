// The name of an archive's mutex: every process that reads or writes the
// archive takes it, so all of them must derive the same name from the
// same file.  Header-only, so that programs which only drive the library
// from outside derive it by this very rule.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

// How many characters a name keeps before it is replaced by its digest:
// kernel object names end at MAX_PATH, and the session's namespace prefix
// the system adds must fit as well.
inline constexpr size_t kArchiveMutexNameLimit = 200;

// The path's UTF-16 with "/" for every "\" (the kernel reads "\" in a name
// as a namespace), upper-cased without regard to the user's language, so
// spellings that differ in case only give one name.  A longer name is
// "Marrowbox archive " and the hexadecimal 64-bit FNV-1a digest of the whole
// upper-cased UTF-16 text, with its length.
inline std::wstring ArchiveMutexName(std::wstring_view path) {
  std::wstring name(path);
  for (wchar_t& c : name)
    if (c == L'\\') c = L'/';
  if (!name.empty()) {
    std::wstring upper(name.size(), L'\0');
    const int mapped = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.data(), static_cast<int>(name.size()),
                                     upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
    if (mapped == static_cast<int>(upper.size())) name = std::move(upper);
  }
  if (name.size() <= kArchiveMutexNameLimit) return name;
  uint64_t digest = 0xcbf29ce484222325ull;
  for (const wchar_t c : name) {
    // Each UTF-16 unit as its two bytes, low byte first.
    for (const unsigned byte : {static_cast<unsigned>(c) & 0xFFu, (static_cast<unsigned>(c) >> 8) & 0xFFu}) {
      digest ^= byte;
      digest *= 0x100000001b3ull;
    }
  }
  wchar_t hex[17] = L"";
  for (int i = 15; i >= 0; --i) {
    hex[i] = L"0123456789ABCDEF"[digest & 0xF];
    digest >>= 4;
  }
  return L"Marrowbox archive " + std::wstring(hex) + L" " + std::to_wstring(name.size());
}
