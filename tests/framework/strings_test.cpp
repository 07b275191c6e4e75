#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resource.h"
#include "strings.h"

namespace {

struct ResourceId {
  UINT id;
  const char* name;
};
const ResourceId kAllIds[] = {
#include "all_resource_ids.inc"
};

TEST(StringTable, EveryNamedIdLoadsFromTheBuiltLibrary) {
  // Z: is the whole Unix file system in every Wine prefix.
  const std::string path = std::string("Z:") + MBX_DLL_PATH;
  const HMODULE dll = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, dll) << path;
  ASSERT_GT(std::size(kAllIds), 90u);
  for (const ResourceId& r : kAllIds) {
    char text[512] = "";
    EXPECT_GT(LoadStringA(dll, r.id, text, sizeof(text)), 0) << r.name << " (" << r.id << ") is missing";
  }
  FreeLibrary(dll);
}

TEST(StringTable, TextsKeepTheirQuotesAndLineBreaks) {
  EXPECT_EQ("Displays items by using large icons.\nLarge icons", LoadStr(ID_VIEW_LARGEICONS));
  EXPECT_EQ("%1\nmodified on %2", LoadStr(IDS_SIZE_MODIFIED));
  EXPECT_EQ("A zip file called \"%1\" already exists in this folder.", LoadStr(IDS_ZIP_EXISTS));
  EXPECT_EQ("%", LoadStr(IDS_COL_RATIO));
  EXPECT_EQ("", LoadStr(IDM_PASTE_KEY));
}

TEST(FormatInts, ReplacesEachDirectiveInTurn) {
  EXPECT_EQ("Zipping Error: 0-9", FormatInts("Zipping Error: %d-%d", {0, 9}));
  EXPECT_EQ("-5 object(s)", FormatInts("%d object(s)", {-5}));
  EXPECT_EQ("100% of 3", FormatInts("100%% of %d", {3}));
  // A text asking for more values than given never reads past them.
  EXPECT_EQ("1 and %d", FormatInts("%d and %d", {1}));
  EXPECT_EQ("2 Files, 1 Folders", FormatInts(IDS_FILES_FOLDERS, {2, 1}));
}

TEST(FormatStrings, InsertsNumberedTexts) {
  EXPECT_EQ("All of type Text Document", FormatStrings(IDS_ALL_OF_TYPE, {"Text Document"}));
  EXPECT_EQ("12 KB\nmodified on today", FormatStrings(IDS_SIZE_MODIFIED, {"12 KB", "today"}));
  // Inserted text is not scanned again, and missing values leave the marker.
  EXPECT_EQ("%2 and %2", FormatStrings("%1 and %2", {"%2"}));
}

TEST(Utf8, EveryScriptGoesThereAndBackUnchanged) {
  const std::wstring texts[] = {
      L"C:\\dir\\a b.zip",
      L"caf\u00E9 na\u00EFve",                          // Latin
      L"\u03B1\u03C1\u03C7\u03B5\u03AF\u03BF",       // Greek
      L"\u0444\u0430\u0439\u043B",                     // Cyrillic
      L"\u05E7\u05D5\u05D1\u05E5",                     // Hebrew
      L"\u0645\u0644\u0641",                            // Arabic
      L"\u0926\u0938\u094D\u0924\u093E\u0935\u0947\u091C\u093C",  // Devanagari
      L"\u6587\u4EF6\u5939 \u30D5\u30A1\u30A4\u30EB \uD55C\uAD6D\uC5B4",  // CJK, kana, Hangul
      L"\U0001F600\U0001F4C1\U00020000",                // beyond the first plane: pairs
      L"..\uFF3CDocuments\uFF3Ctaxes.zip",               // look-alikes stay what they are
  };
  for (const std::wstring& text : texts) {
    const std::string utf8 = WideToUtf8(text);
    EXPECT_EQ(text, Utf8ToWide(utf8));
  }
  EXPECT_EQ("\xCE\xB1", WideToUtf8(L"\u03B1"));
  EXPECT_EQ("\xF0\x9F\x98\x80", WideToUtf8(L"\U0001F600"));
  EXPECT_EQ(L"\U0001F600", Utf8ToWide("\xF0\x9F\x98\x80"));
  // A fullwidth reverse solidus is a character of its own, never a separator.
  EXPECT_EQ("..\xEF\xBC\xBC" "x", WideToUtf8(L"..\uFF3Cx"));
  EXPECT_EQ("", WideToUtf8(L""));
  EXPECT_EQ(L"", Utf8ToWide(""));
}

TEST(Utf8, ALoneSurrogateCannotBeUsed) {
  const std::wstring lone[] = {std::wstring(L"a") + wchar_t(0xD83D) + L"b.zip",
                               std::wstring(L"a") + wchar_t(0xDE00) + L".zip", std::wstring(1, wchar_t(0xD800))};
  for (const std::wstring& text : lone) EXPECT_THROW(WideToUtf8(text), CUnspellableNameException);
  // The message names the file, the lone half shown as a replacement.
  try {
    WideToUtf8(lone[0]);
    ADD_FAILURE() << "accepted";
  } catch (const CUnspellableNameException& e) {
    EXPECT_NE(std::string::npos, e.Message().find("a\xEF\xBF\xBD" "b.zip")) << e.Message();
    EXPECT_NE(std::string::npos, e.Message().find("cannot be used")) << e.Message();
  }
}

TEST(FileSystemPath, LongPathsTakeTheLongForm) {
  const std::string dir = "C:\\" + std::string(120, 'a') + "\\" + std::string(120, 'b');
  const std::string shortPath = "C:\\dir\\\xCE\xB1.txt";
  EXPECT_EQ(L"C:\\dir\\\u03B1.txt", FileSystemPath(shortPath));
  EXPECT_EQ(L"rel\\x.txt", FileSystemPath("rel\\x.txt"));

  // Below the limit the plain form; from it on the long one.
  const std::string below = dir + std::string(kLongPathFrom - 1 - dir.size(), 'c');
  ASSERT_EQ(kLongPathFrom - 1, below.size());
  EXPECT_EQ(Utf8ToWide(below), FileSystemPath(below));
  const std::string at = below + "c";
  EXPECT_EQ(L"\\\\?\\" + Utf8ToWide(at), FileSystemPath(at));
  const std::string maxPath = dir + "\\" + std::string(MAX_PATH - dir.size() - 1, 'c');
  ASSERT_EQ(static_cast<size_t>(MAX_PATH), maxPath.size());
  EXPECT_EQ(L"\\\\?\\" + Utf8ToWide(maxPath), FileSystemPath(maxPath));

  // Beyond: UTF-8 in every script, forward slashes and dots resolved, since
  // the long form is taken literally.
  const std::string name = "\xE6\x96\x87\xF0\x9F\x98\x80";
  const std::string beyond = dir + "/./" + std::string(100, 'c') + "\\..\\" + name + ".txt";
  EXPECT_EQ(L"\\\\?\\" + Utf8ToWide(dir + "\\" + name + ".txt"), FileSystemPath(beyond));

  const std::string share = "\\\\server\\share\\" + std::string(150, 'd') + "\\" + std::string(150, 'e');
  EXPECT_EQ(L"\\\\?\\UNC\\server\\share\\" + Utf8ToWide(share.substr(15)), FileSystemPath(share));

  // Already long: as it is.
  const std::string already = "\\\\?\\" + dir + "\\" + std::string(50, 'f');
  EXPECT_EQ(Utf8ToWide(already), FileSystemPath(already));
}

}  // namespace
