#include "safepath.h"

#include <cctype>

#include "platform.h"

namespace ze {

namespace {

bool isSep(char c) { return c == '/' || c == '\\'; }

bool isDeviceName(std::string_view comp) {
  // Windows opens the device for the base name, whatever the extension.
  size_t dot = comp.find('.');
  std::string_view base = comp.substr(0, dot);
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  std::string up;
  for (char c : base) up += char(std::toupper((unsigned char)c));
  if (up == "CON" || up == "PRN" || up == "AUX" || up == "NUL" || up == "CONIN$" || up == "CONOUT$")
    return true;
  if (up.size() < 4 || (up.compare(0, 3, "COM") != 0 && up.compare(0, 3, "LPT") != 0)) return false;
  if (up.size() == 4 && up[3] >= '0' && up[3] <= '9') return true;
  // Windows also opens COM1 for COM¹ (and ², ³); their UTF-8 forms.
  return up.size() == 5 && up[3] == '\xC2' && (up[4] == '\xB9' || up[4] == '\xB2' || up[4] == '\xB3');
}

bool isSafeComponent(std::string_view comp) {
  if (comp.find(':') != std::string_view::npos) return false;
  if (comp.find('\0') != std::string_view::npos) return false;
  bool onlyDots = true;
  for (char c : comp)
    if (c != '.' && c != ' ') onlyDots = false;
  if (onlyDots) return false;
  return !isDeviceName(comp);
}

}  // namespace

bool isSafeRelativeName(std::string_view name) {
  if (name.empty() || isSep(name[0])) return false;
  if (name.find(':') != std::string_view::npos) return false;
  size_t i = 0;
  while (i < name.size()) {
    size_t j = i;
    while (j < name.size() && !isSep(name[j])) ++j;
    if (j > i && !isSafeComponent(name.substr(i, j - i))) return false;
    i = j + 1;
  }
  return true;
}

namespace {

// Whether `full` begins with the directory `dest` (both unified), by
// whole characters: case-blind by Unicode rules on Windows.
bool startsWithDirUtf8(const std::string& full, const std::string& dest, size_t& restAt) {
#if defined(_WIN32)
  // Upper-casing may change a part's length, so parts are compared whole.
  size_t i = 0, j = 0;
  while (j < dest.size()) {
    size_t dEnd = dest.find(os::kSep, j);
    if (dEnd == std::string::npos) dEnd = dest.size();
    size_t fEnd = full.find(os::kSep, i);
    if (fEnd == std::string::npos) return false;  // the last part of full is the member, never the destination
    if (os::upperUtf8(std::string_view(dest).substr(j, dEnd - j)) !=
        os::upperUtf8(std::string_view(full).substr(i, fEnd - i)))
      return false;
    i = fEnd + 1;
    j = dEnd + 1;
    if (dEnd == dest.size() || j == dest.size()) break;
  }
  restAt = i;
  return true;
#else
  if (full.size() <= dest.size() || full.compare(0, dest.size(), dest) != 0) return false;
  if (dest.back() == os::kSep) {
    restAt = dest.size();
    return true;
  }
  if (full[dest.size()] != os::kSep) return false;
  restAt = dest.size() + 1;
  return true;
#endif
}

}  // namespace

bool resolveOutputPath(std::string_view destDir, std::string_view renamed, std::string& out, os::Enc enc) {
  // Unify separators and drop repeats (except a leading pair, for UNC).
  auto unify = [](std::string_view s) {
    std::string r;
    for (size_t i = 0; i < s.size(); ++i) {
      char c = isSep(s[i]) ? os::kSep : s[i];
      if (c == os::kSep && !r.empty() && r.back() == os::kSep && r.size() > 1) continue;
      r += c;
    }
    return r;
  };
  std::string dest = unify(destDir);
  std::string full = unify(renamed);
  while (dest.size() > 1 && dest.back() == os::kSep) dest.pop_back();
  if (dest.empty()) return false;
  if (full.size() <= dest.size() + 1 && enc == os::Enc::Ansi) return false;
  size_t restAt = 0;
  if (enc == os::Enc::Utf8) {
    if (!startsWithDirUtf8(full, dest, restAt)) return false;
  } else {
    for (size_t i = 0; i < dest.size(); ++i) {
#if defined(_WIN32)
      if (os::foldCase((unsigned char)full[i]) != os::foldCase((unsigned char)dest[i])) return false;
#else
      if (full[i] != dest[i]) return false;
#endif
    }
    if (dest.back() != os::kSep && full[dest.size()] != os::kSep) return false;
    restAt = dest.back() == os::kSep ? dest.size() : dest.size() + 1;
  }
  std::string_view rest(full);
  rest.remove_prefix(restAt);
  while (!rest.empty() && rest.back() == os::kSep) rest.remove_suffix(1);
  if (!isSafeRelativeName(rest)) return false;
  out = dest;
  if (out.back() != os::kSep) out += os::kSep;
  out += rest;
  return true;
}

}  // namespace ze
