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

TEST(ExactSpelling, CharactersBestFitWouldReplaceAreRefused) {
  // Each of these has a look-alike in the code page that best fit would
  // put in its place, making one path another.
  const std::wstring lookAlikes[] = {
      L"..\uFF3CDocuments\uFF3Ctaxes.zip",  // fullwidth reverse solidus
      L"C:\\x\uFF0Fy.zip",                   // fullwidth solidus
      L"C:\\x\u2215y.zip",                   // division slash
      L"C:\\x\uFF0E\uFF0E\\y.zip",             // fullwidth full stops
      L"C:\\x\uFF1Ay.zip",                   // fullwidth colon
      L"C:\\a\u0131.zip",                    // dotless i
  };
  for (const std::wstring& text : lookAlikes) {
    EXPECT_EQ(std::nullopt, WideToAnsiExact(text));
    EXPECT_THROW(WideToAnsiOrThrow(text), CUnspellableNameException);
  }
  // The message names the file without turning it into the other one.
  try {
    WideToAnsiOrThrow(lookAlikes[0]);
  } catch (const CUnspellableNameException& e) {
    EXPECT_NE(std::string::npos, e.Message().find("..?Documents?taxes.zip")) << e.Message();
  }

  // What the code page spells exactly passes unchanged.
  EXPECT_EQ("C:\\dir\\a b.zip", WideToAnsiExact(L"C:\\dir\\a b.zip"));
  EXPECT_EQ("caf\xE9.zip", WideToAnsiExact(L"caf\u00E9.zip"));
  EXPECT_EQ("", WideToAnsiExact(L""));
}

}  // namespace
