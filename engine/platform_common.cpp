// Pieces of the platform layer shared by both implementations.
#include <cstdio>
#include <string>

#include "platform.h"

namespace ze::os {

namespace {
thread_local uint32_t t_systemError = 0;

constexpr uint64_t kUniqueMask = (uint64_t(1) << 48) - 1;

// A keyed mix of the unique part: tells our names from look-alikes made by
// chance or by hand, not from a forger (who could remove the file himself).
uint32_t tempCheck(uint64_t unique) {
  uint64_t z = (unique & kUniqueMask) ^ 0x6d62782d74656d70ull;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return uint32_t((z ^ (z >> 31)) >> 16);
}

}  // namespace

uint32_t lastSystemError() { return t_systemError; }

void noteSystemError(uint32_t code) { t_systemError = code; }

std::string tempFileName(uint64_t unique) {
  char name[40];
  std::snprintf(name, sizeof name, "~mbx%012llx%08lx.tmp", static_cast<unsigned long long>(unique & kUniqueMask),
                static_cast<unsigned long>(tempCheck(unique)));
  return name;
}

bool isTempFileName(std::string_view name) {
  constexpr size_t kLength = 4 + 12 + 8 + 4;
  if (name.size() != kLength || name.substr(0, 4) != "~mbx" || name.substr(kLength - 4) != ".tmp") return false;
  uint64_t unique = 0;
  uint32_t check = 0;
  for (size_t i = 4; i < 24; ++i) {
    const char c = name[i];
    unsigned digit;
    if (c >= '0' && c <= '9') digit = unsigned(c - '0');
    else if (c >= 'a' && c <= 'f') digit = unsigned(c - 'a' + 10);
    else return false;
    if (i < 16) unique = (unique << 4) | digit;
    else check = (check << 4) | digit;
  }
  return check == tempCheck(unique);
}

uint32_t nextCodePoint(std::string_view s, size_t& i) {
  const unsigned char c = (unsigned char)s[i++];
  if (c < 0x80) return c;
  int more;
  uint32_t cp, min;
  if (c >= 0xC2 && c <= 0xDF) more = 1, cp = c & 0x1Fu, min = 0x80;
  else if (c >= 0xE0 && c <= 0xEF) more = 2, cp = c & 0x0Fu, min = 0x800;
  else if (c >= 0xF0 && c <= 0xF4) more = 3, cp = c & 0x07u, min = 0x10000;
  else return 0xFFFD;
  size_t j = i;
  for (int k = 0; k < more; ++k, ++j) {
    if (j >= s.size() || ((unsigned char)s[j] & 0xC0) != 0x80) return 0xFFFD;  // i stays past the lead byte only
    cp = (cp << 6) | ((unsigned char)s[j] & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
  i = j;
  return cp;
}

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

bool isValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t at = i;
    if (nextCodePoint(s, i) == 0xFFFD && s.compare(at, 3, "\xEF\xBF\xBD") != 0) return false;
  }
  return true;
}

}  // namespace ze::os
