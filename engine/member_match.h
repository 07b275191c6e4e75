// Member specifications: which members a delete or extract names.
//
// Items are enclosed in double quotes and separated by blanks; a text
// without any double quote is one item.  Names compare without regard to
// case, and '\' equals '/'.  An item
//   - "*.*" or "*" matches every member;
//   - ending in a separator and "*.*" (docs\*.*) matches every member below
//     that folder at any depth and the folder's own entry (docs/);
//   - ending in a separator (docs\) matches the directory entry docs/ only;
//   - holding other wildcards is a pattern: '*' matches any run of
//     characters, separators included, '?' one character other than a
//     separator, and a final "*.*" means "*";
//   - otherwise matches the member of exactly that name, or the directory
//     entry of that name (docs matches docs/).
// A literal list (zipengine.h) names members without any of these rules.
// In UTF-8 mode case is ignored by Unicode upper-casing and '?' stands for
// one character, not one byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform.h"

namespace ze {

class MemberSpec {
public:
  explicit MemberSpec(std::string_view spec, os::Enc enc = os::Enc::Ansi);
  // A literal list; throws ZE_FAILED for a malformed one.
  static MemberSpec literal(const char* list, os::Enc enc = os::Enc::Ansi);
  // What a command block names: a literal list or a specification.
  static MemberSpec of(const char* text, int32_t literalList, os::Enc enc) {
    return literalList ? literal(text, enc) : MemberSpec(text ? text : "", enc);
  }
  bool empty() const {
    return !all_ && exact_.empty() && files_.empty() && entries_.empty() && prefixes_.empty() && patterns_.empty();
  }
  // name: the member's name as the caller sees it (ANSI, or UTF-8 in UTF-8 mode).
  bool matches(std::string_view name) const;

  // Splits a quoted item list; shared with the add specification.
  static std::vector<std::string> splitItems(std::string_view spec);
  // Upper-cased, forward slashes: the form names are compared in.
  static std::string normalize(std::string_view name, os::Enc enc = os::Enc::Ansi);

private:
  explicit MemberSpec(os::Enc enc) : enc_(enc) {}

  os::Enc enc_ = os::Enc::Ansi;
  bool all_ = false;
  std::unordered_set<std::string> exact_;
  std::unordered_set<std::string> files_;     // file members only, never ending in '/'
  std::unordered_set<std::string> entries_;   // directory entries, each ends in '/'
  std::unordered_set<std::string> prefixes_;  // each ends in '/'
  std::vector<std::string> patterns_;
};

// Wildcard match on normalized text ('*' crosses separators); with
// utf8, '?' takes a whole character.
bool wildcardMatch(std::string_view pattern, std::string_view text, bool utf8 = false);

}  // namespace ze
