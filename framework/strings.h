// String-table texts and the two formatting styles the texts use: %d for
// signed decimals, %1 and %2 for inserted strings.
#pragma once

#include <windows.h>

#include <initializer_list>
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

// Every path and text inside the library is UTF-8; Windows gets and gives
// UTF-16 at each call.
std::wstring Utf8ToWide(std::string_view text);
// Throws CUnspellableNameException for a lone surrogate: UTF-8 has no
// spelling for it, and any stand-in would name a different file.
std::string WideToUtf8(std::wstring_view text);

// The wide path to give the file-system calls: in the long-path form
// ("\\?\C:\..." or "\\?\UNC\server\share\...", absolute, backslashed)
// once it is too long for the plain form, so nothing is cut at MAX_PATH.
std::wstring FileSystemPath(const std::string& utf8);
// From how many characters on FileSystemPath gives the long form:
// CreateDirectory's plain form leaves room for an 8.3 name below MAX_PATH.
inline constexpr size_t kLongPathFrom = MAX_PATH - 12;

// Text of the system code page as UTF-16: file lists of programs that
// still write them in the code page.
std::wstring AnsiToWide(std::string_view text);

// A name that cannot be used: a lone surrogate has no UTF-8 spelling.
class CUnspellableNameException : public CException {
 public:
  explicit CUnspellableNameException(std::wstring_view name);
  std::string Message() const override { return m_text; }

 private:
  std::string m_text;
};

// Copies text into a buffer of size characters, cut to fit with its
// terminator: in the code page, or UTF-16 when wide (a menu's command
// strings).
void CopyText(const std::string& text, bool wide, char* buffer, unsigned size);
