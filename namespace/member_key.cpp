#include "member_key.h"

#include <windows.h>
#include <zlib.h>

#include <climits>
#include <cstdio>
#include <optional>

#include "strings.h"

namespace {

constexpr size_t kKeyMax = 259;  // the record's field less its terminator

// The code page's spelling of each character, '_' where it has none.
std::string SpellOrMark(std::wstring_view wide) {
  std::string out;
  for (size_t i = 0; i < wide.size();) {
    const size_t length = IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() && IS_LOW_SURROGATE(wide[i + 1]) ? 2 : 1;
    const auto spelled = WideToAnsiExact(wide.substr(i, length));
    out += spelled && !spelled->empty() ? *spelled : "_";
    i += length;
  }
  return out;
}

// The longest start of text no longer than limit bytes that ends on a
// character boundary of the code page.
size_t CutPoint(const std::string& text, size_t limit) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t step = IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size() ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

size_t ExtensionStart(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? name.size() : dot;
}

}  // namespace

std::optional<std::string> WideToAnsiExact(std::wstring_view text) {
  if (text.empty()) return std::string();
  if (text.size() > static_cast<size_t>(INT_MAX / 4)) return std::nullopt;
  const int count = static_cast<int>(text.size());
  // A UTF-8 code page spells everything, and refuses both the flag and the
  // used-default test.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* const usedDefaultOut = utf8 ? nullptr : &usedDefault;
  const int size = WideCharToMultiByte(CP_ACP, flags, text.data(), count, nullptr, 0, nullptr, usedDefaultOut);
  if (size <= 0 || usedDefault) return std::nullopt;
  std::string result(static_cast<size_t>(size), '\0');
  if (WideCharToMultiByte(CP_ACP, flags, text.data(), count, result.data(), size, nullptr, usedDefaultOut) != size ||
      usedDefault)
    return std::nullopt;
  if (result.find('\0') != std::string::npos) return std::nullopt;
  return result;
}

namespace {

std::wstring UpperOf(const std::wstring& wide) {
  if (wide.empty()) return wide;
  std::wstring upper(wide.size(), L'\0');
  const int written = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()),
                                    upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
  if (written <= 0) return wide;
  upper.resize(static_cast<size_t>(written));
  return upper;
}

}  // namespace

std::wstring IdentityOf(std::string_view name) { return UpperOf(Utf8ToWide(name)); }

namespace {

bool IsAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// FNV-1a over the identity's UTF-16 units.
class UnitHash {
 public:
  void Add(uint16_t unit) {
    m_hash = (m_hash ^ (unit & 0xFFu)) * 16777619u;
    m_hash = (m_hash ^ (unit >> 8)) * 16777619u;
  }
  uint32_t Value() const { return m_hash; }

 private:
  uint32_t m_hash = 2166136261u;
};

}  // namespace

uint32_t IdentityHash(std::string_view name) {
  UnitHash hash;
  if (IsAscii(name)) {
    // The invariant upper case of ASCII is ASCII's own.
    for (const char c : name) hash.Add(static_cast<unsigned char>(AsciiUpper(c)));
  } else {
    for (const wchar_t unit : IdentityOf(name)) hash.Add(static_cast<uint16_t>(unit));
  }
  return hash.Value();
}

bool SameIdentity(std::string_view a, std::string_view b) {
  if (IsAscii(a) && IsAscii(b)) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
  }
  // Some non-ASCII letters upper-case to ASCII ones (dotless i to I).
  return IdentityOf(a) == IdentityOf(b);
}

bool IsPlainKey(std::string_view name) { return !name.empty() && name.size() <= kKeyMax && IsAscii(name); }

bool KeyIsOwnSpelling(std::string_view name) {
  if (IsPlainKey(name)) return true;
  const std::wstring wide = Utf8ToWide(name);
  const auto exact = WideToAnsiExact(wide);
  return exact && !exact->empty() && exact->size() <= kKeyMax && AnsiToWide(*exact) == wide;
}

std::wstring KeyIdentityOf(std::string_view key) { return UpperOf(AnsiToWide(std::string(key))); }

std::string NameTag(std::string_view name) {
  const std::string identity = WideToUtf8(IdentityOf(name));
  char tag[12];
  std::snprintf(tag, sizeof tag, "~%08lx",
                crc32(0, reinterpret_cast<const Bytef*>(identity.data()), static_cast<uInt>(identity.size())));
  return tag;
}

std::string WithTag(std::string_view name, const std::string& tag) {
  const size_t dot = ExtensionStart(name);
  return std::string(name.substr(0, dot)) + tag + std::string(name.substr(dot));
}

std::string MemberKey(std::string_view name) {
  const std::wstring wide = Utf8ToWide(name);
  if (const auto exact = WideToAnsiExact(wide); exact && exact->size() <= kKeyMax && !exact->empty()) return *exact;
  const std::string spelled = SpellOrMark(wide);
  const std::string tag = NameTag(name);
  const size_t dot = ExtensionStart(spelled);
  std::string stem = spelled.substr(0, dot);
  std::string extension = spelled.substr(dot);
  // The extension keeps the type; a long one gives way before the stem does.
  if (extension.size() > 32) extension.resize(CutPoint(extension, 32));
  stem.resize(CutPoint(stem, kKeyMax - tag.size() - extension.size()));
  return stem + tag + extension;
}
