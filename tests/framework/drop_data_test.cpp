// File lists from other programs: what a well-formed CF_HDROP block gives,
// and that a malformed one is refused without a byte read past its end (the
// blocks end where readable memory ends, so such a read faults).
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "drop_data.h"
#include "strings.h"
#include "forged_input.h"
#include "shell_data.h"

namespace {

using Paths = std::vector<std::string>;
using namespace std::string_literals;

std::optional<Paths> ParseGuarded(const std::vector<BYTE>& block) {
  GuardedBytes memory;
  const BYTE* placed = memory.Place(block);
  EXPECT_NE(nullptr, placed);
  return ParseDropList(placed, block.size());
}

// The platform's wide reading of a block in global memory, in UTF-8.
Paths PlatformPaths(HGLOBAL global) {
  Paths paths;
  const auto drop = static_cast<HDROP>(global);
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
    paths.push_back(WideToUtf8(path));
  }
  return paths;
}

Paths PlatformPaths(const std::vector<BYTE>& block) {
  HGLOBAL global = GlobalBlock(block);
  Paths paths = PlatformPaths(global);
  GlobalFree(global);
  return paths;
}

// Names of several scripts, and a path longer than MAX_PATH.
const std::wstring kGreek = L"C:\\\u03C6\u03AC\u03BA\u03B5\u03BB\u03BF\u03C2\\\u03B1.txt";
const std::wstring kCjk = L"C:\\\u6587\u4EF6\u5939\\\u30D5\u30A1\u30A4\u30EB.txt";
const std::wstring kEmoji = L"D:\\\U0001F4C1\\\U0001F600.txt";
const std::wstring kDeep = L"C:\\" + std::wstring(140, L'a') + L"\\" + std::wstring(140, L'b') + L"\\\u00E9t\u00E9.txt";

TEST(DropList, WellFormedListsGiveThePathsThePlatformGives) {
  const std::wstring accented = L"C:\\caf\u00e9\\men\u00fc.txt";
  std::vector<BYTE> unaligned = DropBlock({0}, true, sizeof(DROPFILES) + 1);
  const auto wideBytes = WideList(accented + L'\0' + L"D:\\b" + L'\0' + L'\0');
  unaligned.insert(unaligned.end(), wideBytes.begin(), wideBytes.end());
  struct Case {
    const char* what;
    std::vector<BYTE> block;
    Paths expected;
  } cases[] = {
      {"two ANSI paths", DropBlock(AnsiList("C:\\a.txt\0C:\\dir\0\0"s)), {"C:\\a.txt", "C:\\dir"}},
      {"wide paths", DropBlock(WideList(accented + L'\0' + L'\0'), true), {WideToUtf8(accented)}},
      {"a wide list at an odd offset", unaligned, {WideToUtf8(accented), "D:\\b"}},
      {"an ANSI path read through the code page", DropBlock(AnsiList("C:\\caf\xE9.txt\0\0"s)),
       {"C:\\caf\xC3\xA9.txt"}},
      {"wide paths of every script, one beyond MAX_PATH",
       DropBlock(WideList(kGreek + L'\0' + kCjk + L'\0' + kEmoji + L'\0' + kDeep + L'\0' + L'\0'), true),
       {WideToUtf8(kGreek), WideToUtf8(kCjk), WideToUtf8(kEmoji), WideToUtf8(kDeep)}},
      {"a list after a gap", DropBlock(AnsiList("\x7f\x7f\x7f\x7f" "C:\\x\0\0"s), false, sizeof(DROPFILES) + 4),
       {"C:\\x"}},
      {"bytes after the list", DropBlock(AnsiList("C:\\x\0\0junk"s)), {"C:\\x"}},
      {"no paths", DropBlock(AnsiList("\0"s)), {}},
      {"no wide paths", DropBlock(WideList(std::wstring(1, L'\0')), true), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto paths = ParseGuarded(c.block);
    ASSERT_TRUE(paths.has_value());
    EXPECT_EQ(c.expected, *paths);
    HGLOBAL global = GlobalBlock(c.block);
    EXPECT_EQ(paths, ReadDropFiles(global));
    GlobalFree(global);
    if (!c.expected.empty()) {
      EXPECT_EQ(c.expected, PlatformPaths(c.block));
    }
  }
}

TEST(DropList, OnlyALoneSurrogateRefusesTheList) {
  // Look-alikes of separators are characters of their own: accepted as
  // they are, never read as "C:\\Users\\x\\..\\secret.zip".
  const std::wstring lookAlike = L"C:\\Users\\x\\\uFF0E\uFF0E\uFF3Csecret.zip";
  EXPECT_EQ(Paths{WideToUtf8(lookAlike)},
            ParseGuarded(DropBlock(WideList(lookAlike + L'\0' + L'\0'), true)).value_or(Paths{}));

  const std::wstring lone = L"C:\\x" + std::wstring(1, wchar_t(0xD83D)) + L".zip";
  const auto block = DropBlock(WideList(L"C:\\a.txt"s + L'\0' + lone + L'\0' + L'\0'), true);
  GuardedBytes memory;
  const BYTE* placed = memory.Place(block);
  std::wstring unspellable;
  EXPECT_EQ(std::nullopt, ParseDropList(placed, block.size(), &unspellable));
  EXPECT_EQ(lone, unspellable);
  HGLOBAL global = GlobalBlock(block);
  EXPECT_THROW(ReadDropFiles(global), CUnspellableNameException);
  GlobalFree(global);
}

TEST(DropList, BuiltListsAreWideAndReadBackWhole) {
  const Paths paths{WideToUtf8(kGreek), WideToUtf8(kCjk), WideToUtf8(kEmoji), WideToUtf8(kDeep), "C:\\plain.txt"};
  HGLOBAL global = MakeWideDropFiles(paths);
  ASSERT_NE(nullptr, global);
  // A movable block's handle is not its address; a fixed one cannot be
  // handed to the clipboard.
  EXPECT_NE(static_cast<void*>(global), GlobalLock(global));
  GlobalUnlock(global);
  size_t chars = 1;
  for (const std::string& path : paths) chars += Utf8ToWide(path).size() + 1;
  ASSERT_EQ(sizeof(DROPFILES) + chars * sizeof(WCHAR), GlobalSize(global));
  const auto* bytes = static_cast<const BYTE*>(GlobalLock(global));
  DROPFILES header;
  memcpy(&header, bytes, sizeof(header));
  EXPECT_EQ(sizeof(DROPFILES), header.pFiles);
  EXPECT_TRUE(header.fWide);
  // The list's own end: two NULs after the last path.
  const auto* last = reinterpret_cast<const WCHAR*>(bytes + GlobalSize(global)) - 2;
  EXPECT_EQ(0, last[0]);
  EXPECT_EQ(0, last[1]);
  GlobalUnlock(global);
  EXPECT_EQ(paths, ReadDropFiles(global));
  EXPECT_EQ(paths, PlatformPaths(global));
  GlobalFree(global);

  HGLOBAL empty = MakeWideDropFiles({});
  EXPECT_EQ(Paths{}, ReadDropFiles(empty));
  GlobalFree(empty);
}

TEST(DropList, MalformedBlocksAreRefusedWithoutReadingPastTheirEnd) {
  const auto path = AnsiList("C:\\a.txt\0\0"s);
  std::vector<BYTE> wideOddEnd = DropBlock(WideList(L"C:\\a.txt"s + L'\0'), true);
  wideOddEnd.push_back(0);
  std::vector<BYTE> shortHeader = DropBlock(path);
  shortHeader.resize(sizeof(DROPFILES) - 1);
  struct Case {
    const char* what;
    std::vector<BYTE> block;
  } cases[] = {
      {"nothing at all", {}},
      {"a header cut short", shortHeader},
      {"a header and no list", DropBlock({})},
      {"a list inside the header", DropBlock(path, false, 8)},
      {"a list starting at the end", DropBlock(path, false, static_cast<DWORD>(sizeof(DROPFILES) + path.size()))},
      {"a list starting far past the end", DropBlock(path, false, 0x7FFFFFF0)},
      {"a list starting at the top of memory", DropBlock(path, false, 0xFFFFFFFF)},
      {"a path without its NUL", DropBlock(AnsiList("C:\\a.txt"))},
      {"a list without its terminating NUL", DropBlock(AnsiList("C:\\a.txt\0C:\\b.txt\0"s))},
      {"a wide list ended by one zero byte", wideOddEnd},
      {"an ANSI list flagged wide", DropBlock(AnsiList("C:\\a.txt\0\0"s), true)},
      {"a wide list without its terminator", DropBlock(WideList(L"C:\\a.txt"s + L'\0'), true)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(std::nullopt, ParseGuarded(c.block));
    HGLOBAL global = GlobalBlock(c.block);
    EXPECT_EQ(std::nullopt, ReadDropFiles(global));
    GlobalFree(global);
  }
  EXPECT_EQ(std::nullopt, ReadDropFiles(nullptr));
}

TEST(DropList, AHolderTellsAMalformedListFromAnAbsentOne) {
  OneFormatData good(CF_HDROP, GlobalBlock(DropBlock(AnsiList("C:\\a.txt\0\0"s))));
  OneFormatData bad(CF_HDROP, GlobalBlock(DropBlock(AnsiList("C:\\a.txt\0"s))));
  OneFormatData text(CF_TEXT, TextBlock("C:\\a.txt"));
  const DropFilesMedium fromGood(&good), fromBad(&bad), fromText(&text);
  EXPECT_TRUE(fromGood.Offered());
  EXPECT_TRUE(static_cast<bool>(fromGood));
  EXPECT_EQ(Paths{"C:\\a.txt"}, ReadDropFiles(fromGood.get()));
  EXPECT_TRUE(fromBad.Offered());
  EXPECT_FALSE(static_cast<bool>(fromBad));
  EXPECT_FALSE(fromText.Offered());
  EXPECT_FALSE(static_cast<bool>(fromText));
}

}  // namespace
