// How a member is named to the shell and found again.  The identifier's
// szName is an ANSI key that must stay stable across listings, because the
// shell stores identifiers; a member's identity is its real name, compared
// without regard to case but never through locale sort keys, which ignore
// some characters altogether.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The system code page's exact spelling of text, or nothing when some
// character has none.  Never the "best fit": that turns a fullwidth "＼" into
// "\" and so one name into another.
std::optional<std::string> WideToAnsiExact(std::wstring_view text);

// The identifier key of a member shown under `name` (UTF-8, one component):
// the system code page's exact spelling when there is one that fits the
// record, else the name with '_' for each character the code page cannot
// spell, shortened on a character boundary, and "~" with 8 hex digits of the
// name's checksum before its extension.  Always shorter than 260 bytes.
std::string MemberKey(std::string_view name);

// The form two names compare equal in: upper-cased UTF-16 under the
// invariant locale, compared ordinally.
std::wstring IdentityOf(std::string_view name);

// The same for an ANSI key, as identifiers carry it.
std::wstring KeyIdentityOf(std::string_view key);

// A hash of IdentityOf(name), and whether two names have one identity; both
// skip the conversion for names in plain ASCII, which most members have.
uint32_t IdentityHash(std::string_view name);
bool SameIdentity(std::string_view a, std::string_view b);

// True for a name in plain ASCII that fits the record: its key is the name
// itself (MemberKey(name) == name).
bool IsPlainKey(std::string_view name);

// True when MemberKey(name) is the code page's exact spelling of the name,
// one that reads back as the name: the key's identity is then the name's.
bool KeyIsOwnSpelling(std::string_view name);

// "~" and 8 hex digits of the CRC-32 of the name's identity, the same for
// every spelling that names the same member.
std::string NameTag(std::string_view name);

// The name with the tag placed before its extension ("x.txt" -> "x~tag.txt").
std::string WithTag(std::string_view name, const std::string& tag);
