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
  if (up.size() == 4 && (up.compare(0, 3, "COM") == 0 || up.compare(0, 3, "LPT") == 0) && up[3] >= '0' &&
      up[3] <= '9')
    return true;
  return false;
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

bool resolveOutputPath(std::string_view destDir, std::string_view renamed, std::string& out) {
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
  if (full.size() <= dest.size() + 1) return false;
  for (size_t i = 0; i < dest.size(); ++i) {
#if defined(_WIN32)
    if (os::foldCase((unsigned char)full[i]) != os::foldCase((unsigned char)dest[i])) return false;
#else
    if (full[i] != dest[i]) return false;
#endif
  }
  if (dest.back() != os::kSep && full[dest.size()] != os::kSep) return false;
  std::string_view rest(full);
  rest.remove_prefix(dest.back() == os::kSep ? dest.size() : dest.size() + 1);
  while (!rest.empty() && rest.back() == os::kSep) rest.remove_suffix(1);
  if (!isSafeRelativeName(rest)) return false;
  out = dest;
  if (out.back() != os::kSep) out += os::kSep;
  out += rest;
  return true;
}

}  // namespace ze
