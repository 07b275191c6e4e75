// String-table texts and the two formatting styles the texts use: %d for
// signed decimals, %1 and %2 for inserted strings.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "exception.h"

extern const char kApplicationName[];

// The module whose resources hold the texts: the module containing this code
// (the DLL in the product, the test program in unit tests).
HINSTANCE ResourceInstance();

// The text of a string-table entry; empty when the id has none.
std::string LoadStr(UINT id);

// Replaces each %d in turn by the next value; %% gives %.  Unmatched
// directives stay as they are, so a resource text can never read past the
// values given.
std::string FormatInts(const std::string& format, std::initializer_list<long> values);
std::string FormatInts(UINT formatId, std::initializer_list<long> values);

// Replaces %1 (and %2) by the given texts.
std::string FormatStrings(const std::string& format, std::initializer_list<std::string> values);
std::string FormatStrings(UINT formatId, std::initializer_list<std::string> values);

// UTF-8, the DLL's own text, as UTF-16 and back.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// Text of the system code page as UTF-16, for the calls that take only that.
std::wstring AnsiToWide(const std::string& text);

// The system code page's exact spelling of text, or nothing when some
// character has none.  Never the "best fit": that turns a fullwidth "＼" into
// "\" and so one path or name into another.
std::optional<std::string> WideToAnsiExact(std::wstring_view text);

// A path or name the system code page cannot spell: it is refused, never
// opened as the different one best fit would make of it.
class CUnspellableNameException : public CException {
 public:
  explicit CUnspellableNameException(std::wstring_view name);
  std::string Message() const override { return m_text; }

 private:
  std::string m_text;
};

// WideToAnsiExact, throwing CUnspellableNameException.
std::string WideToAnsiOrThrow(std::wstring_view text);

// Copies text into a buffer of size characters, cut to fit with its
// terminator: ANSI, or UTF-16 when wide (a menu's command strings).
void CopyText(const std::string& text, bool wide, char* buffer, unsigned size);
