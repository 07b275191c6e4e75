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

// The platform's reading of the same block in global memory.
Paths PlatformPaths(const std::vector<BYTE>& block) {
  Paths paths;
  HGLOBAL global = GlobalBlock(block);
  const auto drop = static_cast<HDROP>(global);
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    char path[MAX_PATH] = "";
    DragQueryFileA(drop, i, path, MAX_PATH);
    paths.emplace_back(path);
  }
  GlobalFree(global);
  return paths;
}

std::string CodePage(const std::wstring& text) {
  char converted[MAX_PATH] = "";
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, converted, MAX_PATH, nullptr, nullptr);
  return converted;
}

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
      {"wide paths in the code page", DropBlock(WideList(accented + L'\0' + L'\0'), true), {CodePage(accented)}},
      {"a wide list at an odd offset", unaligned, {CodePage(accented), "D:\\b"}},
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

TEST(DropList, AWidePathTheCodePageCannotSpellRefusesTheList) {
  // Best fit would read the second as "C:\\Users\\x\\..\\secret.zip".
  const std::wstring lookAlike = L"C:\\Users\\x\\\uFF0E\uFF0E\uFF3Csecret.zip";
  const auto block = DropBlock(WideList(L"C:\\a.txt"s + L'\0' + lookAlike + L'\0' + L'\0'), true);
  GuardedBytes memory;
  const BYTE* placed = memory.Place(block);
  std::wstring unspellable;
  EXPECT_EQ(std::nullopt, ParseDropList(placed, block.size(), &unspellable));
  EXPECT_EQ(lookAlike, unspellable);
  HGLOBAL global = GlobalBlock(block);
  EXPECT_THROW(ReadDropFiles(global), CUnspellableNameException);
  GlobalFree(global);
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
