#include "member_match.h"

#include <cstring>

#include "errors.h"
#include "platform.h"

namespace ze {

std::vector<std::string> MemberSpec::splitItems(std::string_view spec) {
  std::vector<std::string> items;
  if (spec.find('"') == std::string_view::npos) {
    size_t b = spec.find_first_not_of(' ');
    size_t e = spec.find_last_not_of(' ');
    if (b != std::string_view::npos) items.emplace_back(spec.substr(b, e - b + 1));
    return items;
  }
  size_t i = 0;
  while (i < spec.size()) {
    if (spec[i] == ' ' || spec[i] == '\t') {
      ++i;
    } else if (spec[i] == '"') {
      size_t close = spec.find('"', i + 1);
      if (close == std::string_view::npos) close = spec.size();
      if (close > i + 1) items.emplace_back(spec.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      size_t stop = spec.find_first_of(" \t\"", i);
      if (stop == std::string_view::npos) stop = spec.size();
      items.emplace_back(spec.substr(i, stop - i));
      i = stop;
    }
  }
  return items;
}

std::string MemberSpec::normalize(std::string_view name, os::Enc enc) {
  std::string out = enc == os::Enc::Utf8 ? os::upperUtf8(name) : std::string(name);
  for (char& c : out) {
    if (c == '\\') c = '/';
    else if (enc == os::Enc::Ansi) c = char(os::foldCase((unsigned char)c));
  }
  return out;
}

MemberSpec::MemberSpec(std::string_view spec, os::Enc enc) : enc_(enc) {
  for (const std::string& raw : splitItems(spec)) {
    std::string item = normalize(raw, enc);
    if (item == "*.*" || item == "*") {
      all_ = true;
    } else if (item.size() > 4 && item.compare(item.size() - 4, 4, "/*.*") == 0 &&
               item.find_first_of("*?") == item.size() - 3) {
      prefixes_.insert(item.substr(0, item.size() - 3));
    } else if (item.size() > 2 && item.compare(item.size() - 2, 2, "/*") == 0 &&
               item.find_first_of("*?") == item.size() - 1) {
      prefixes_.insert(item.substr(0, item.size() - 1));
    } else if (item.find_first_of("*?") != std::string::npos) {
      if (item.size() >= 3 && item.compare(item.size() - 3, 3, "*.*") == 0) item.resize(item.size() - 2);
      patterns_.push_back(item);
    } else {
      exact_.insert(item);
    }
  }
}

MemberSpec MemberSpec::literal(const char* list, os::Enc enc) {
  MemberSpec spec(enc);
  if (list == nullptr) return spec;
  for (const char* item = list; *item != '\0'; item += strlen(item) + 1) {
    const char kind = item[0];
    std::string name = normalize(item + 1, enc);
    if (kind == ZE_ITEM_ALL && name.empty()) {
      spec.all_ = true;
      continue;
    }
    // An empty name would name the top folder, that is everything: a
    // caller's slip must not turn into that.
    if (name.empty()) fail(ZE_FAILED);
    switch (kind) {
      case ZE_ITEM_MEMBER: spec.exact_.insert(name); break;
      case ZE_ITEM_FILE:
        // A name ending in a separator names no file.
        if (name.back() == '/') fail(ZE_FAILED);
        spec.files_.insert(name);
        break;
      case ZE_ITEM_ENTRY:
      case ZE_ITEM_TREE:
        if (name.back() != '/') name += '/';
        (kind == ZE_ITEM_ENTRY ? spec.entries_ : spec.prefixes_).insert(name);
        break;
      default: fail(ZE_FAILED);
    }
  }
  return spec;
}

bool MemberSpec::matches(std::string_view name) const {
  if (all_) return true;
  std::string n = normalize(name, enc_);
  if (entries_.count(n) || files_.count(n)) return true;
  if (!exact_.empty()) {
    if (exact_.count(n)) return true;
    if (!n.empty() && n.back() == '/' && exact_.count(n.substr(0, n.size() - 1))) return true;
  }
  if (!prefixes_.empty()) {
    // Every folder the member lies in, and the member itself if it is a folder.
    for (size_t i = n.find('/'); i != std::string::npos; i = n.find('/', i + 1))
      if (prefixes_.count(n.substr(0, i + 1))) return true;
  }
  for (const std::string& p : patterns_)
    if (wildcardMatch(p, n, enc_ == os::Enc::Utf8)) return true;
  return false;
}

bool wildcardMatch(std::string_view p, std::string_view t, bool utf8) {
  // Bytes of one character: normalized UTF-8 is well formed, so its lead
  // byte tells.
  auto step = [&](size_t i) {
    if (!utf8) return size_t(1);
    size_t n = 1;
    while (i + n < t.size() && ((unsigned char)t[i + n] & 0xC0) == 0x80) ++n;
    return n;
  };
  // Greedy matching with one backtrack point: linear enough, never exponential.
  size_t pi = 0, ti = 0, starP = std::string_view::npos, starT = 0;
  while (ti < t.size()) {
    if (pi < p.size() && p[pi] == '*') {
      starP = pi++;
      starT = ti;
    } else if (pi < p.size() && p[pi] == '?' && t[ti] != '/') {
      ++pi;
      ti += step(ti);
    } else if (pi < p.size() && p[pi] == t[ti]) {
      ++pi;
      ++ti;
    } else if (starP != std::string_view::npos) {
      pi = starP + 1;
      starT += step(starT);
      ti = starT;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

}  // namespace ze
