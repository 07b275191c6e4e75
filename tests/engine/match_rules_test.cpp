// The member specification rules, and what delete and extract do with them.
#if defined(_WIN32)
#include <windows.h>
#endif

#include "member_match.h"
#include "rawzip.h"
#include "testutil.h"

using namespace et;
using ze::MemberSpec;

namespace {
bool m(const char* spec, const char* name) { return MemberSpec(spec).matches(name); }
}  // namespace

TEST(MemberSpec, Items) {
  EXPECT_EQ(MemberSpec::splitItems("\"a b.txt\" \"docs\\*.*\"  \"c\""),
            (std::vector<std::string>{"a b.txt", "docs\\*.*", "c"}));
  // Without any quote the whole text is one item (folder names hold blanks).
  EXPECT_EQ(MemberSpec::splitItems("my docs\\*.*"), std::vector<std::string>{"my docs\\*.*"});
  EXPECT_TRUE(MemberSpec("").empty());
  EXPECT_TRUE(MemberSpec("\"\"").empty());
}

TEST(MemberSpec, EverythingAndFolders) {
  EXPECT_TRUE(m("*.*", "a/b/c"));
  EXPECT_TRUE(m("\"*\"", "noext"));
  // A folder's contents at any depth, and its own entry.
  EXPECT_TRUE(m("\"docs\\*.*\"", "docs/"));
  EXPECT_TRUE(m("\"docs\\*.*\"", "docs/a.txt"));
  EXPECT_TRUE(m("\"docs\\*.*\"", "docs/img/b/c"));
  EXPECT_TRUE(m("\"docs\\*.*\"", "DOCS/Readme"));
  EXPECT_FALSE(m("\"docs\\*.*\"", "docs"));  // a file of that name is not the folder
  EXPECT_FALSE(m("\"docs\\*.*\"", "docsx/a"));
  EXPECT_FALSE(m("\"docs\\*.*\"", "other/docs/a"));
  EXPECT_TRUE(m("\"a\\b\\*.*\"", "a/b/c.txt"));
  EXPECT_FALSE(m("\"a\\b\\*.*\"", "a/c.txt"));
}

TEST(MemberSpec, ExactNamesAndDirectoryEntries) {
  EXPECT_TRUE(m("\"docs\\a.txt\"", "docs/a.txt"));
  EXPECT_TRUE(m("\"DOCS/A.TXT\"", "docs/a.txt"));
  EXPECT_FALSE(m("\"docs\\a.txt\"", "docs/a.txt.bak"));
  EXPECT_FALSE(m("\"a.txt\"", "docs/a.txt"));
  // A trailing separator names the directory entry only.
  EXPECT_TRUE(m("\"docs\\\"", "docs/"));
  EXPECT_FALSE(m("\"docs\\\"", "docs/a.txt"));
  EXPECT_FALSE(m("\"docs\\\"", "docs"));
  // Without it, the entry of that name, file or directory.
  EXPECT_TRUE(m("\"docs\"", "docs/"));
  EXPECT_TRUE(m("\"docs\"", "docs"));
  EXPECT_FALSE(m("\"docs\"", "docs/a"));
}

TEST(MemberSpec, Patterns) {
  EXPECT_TRUE(m("\"*.txt\"", "a.txt"));
  EXPECT_TRUE(m("\"*.txt\"", "deep/dir/a.txt"));  // '*' crosses folders
  EXPECT_FALSE(m("\"*.txt\"", "a.txt.gz"));
  EXPECT_TRUE(m("\"a?.txt\"", "ab.txt"));
  EXPECT_FALSE(m("\"a?.txt\"", "a/.txt"));  // '?' is not a separator
  EXPECT_TRUE(m("\"img\\a*.*\"", "img/a"));  // a final *.* means *
  EXPECT_TRUE(m("\"img\\a*.*\"", "img/abc.gif"));
  EXPECT_FALSE(m("\"img\\a*.*\"", "img/b.gif"));
  // Many stars against a long name stays quick and correct.
  EXPECT_FALSE(ze::wildcardMatch("*A*A*A*A*A*A*A*B", std::string(5000, 'A')));
}

TEST(MemberSpec, CaseFoldingOfTheCodePage) {
#if defined(_WIN32)
  // The ANSI code page folds its letters when it is a single-byte one.
  CPINFO info;
  if (GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1) {
    EXPECT_TRUE(MemberSpec("\"" + ansi(L"\u00c9t\u00c9") + "\"").matches(ansi(L"\u00e9t\u00e9")));
  }
#endif
  EXPECT_TRUE(m("\"ReadMe.TXT\"", "readme.txt"));
}

TEST(Delete, FolderDisappearsWithItsEntryAndContents) {
  TempDir d;
  writeFile(d / "a.zip",
            buildZip({{"docs/", ""}, {"docs/a.txt", "a"}, {"docs/img/", ""}, {"docs/img/b", "b"}, {"docsx", "x"},
                      {"top.txt", "t"}})
                .bytes);
  ASSERT_EQ(remove(d / "a.zip", "\"docs\\*.*\""), 0);
  EXPECT_EQ(names(d / "a.zip"), (std::vector<std::string>{"docsx", "top.txt"}));
  ASSERT_EQ(extract(d / "a.zip", "*.*", d / "out"), 0);
  EXPECT_EQ(readFile(d / "out" + kSep + "docsx"), "x");
}

TEST(Delete, SelectionOfFileAndFolderAndNothingMatched) {
  TempDir d;
  writeFile(d / "a.zip", buildZip({{"f/", ""}, {"f/x", "1"}, {"g.txt", "2"}, {"h.txt", "3"}}).bytes);
  std::string before = readFile(d / "a.zip");
  EXPECT_EQ(remove(d / "a.zip", "\"nothing\" \"f\\zzz\""), ZE_NOT_FOUND);
  EXPECT_EQ(readFile(d / "a.zip"), before);
  EXPECT_EQ(remove(d / "a.zip", ""), ZE_NOT_FOUND);
  ASSERT_EQ(remove(d / "a.zip", "\"G.TXT\" \"f\\*.*\""), 0);
  EXPECT_EQ(names(d / "a.zip"), std::vector<std::string>{"h.txt"});
  // The last member leaves an empty, valid archive.
  ASSERT_EQ(remove(d / "a.zip", "\"h.txt\""), 0);
  EXPECT_EQ(fs::file_size(d / "a.zip"), 22u);
  EXPECT_TRUE(list(d / "a.zip").empty());
  EXPECT_EQ(remove(d / "missing.zip", "*.*"), ZE_NOT_FOUND);
}

TEST(Extract, OnlyWhatTheSpecificationNames) {
  TempDir d;
  writeFile(d / "a.zip", buildZip({{"docs/", ""}, {"docs/a.txt", "a"}, {"docs/img/b", "b"}, {"top.txt", "t"}}).bytes);
  ASSERT_EQ(extract(d / "a.zip", "\"docs\\img\\*.*\" \"top.txt\"", d / "out"), 0);
  EXPECT_EQ(readFile(d / "out" + kSep + "docs" + kSep + "img" + kSep + "b"), "b");
  EXPECT_EQ(readFile(d / "out" + kSep + "top.txt"), "t");
  EXPECT_FALSE(exists(d / "out" + kSep + "docs" + kSep + "a.txt"));
  EXPECT_EQ(extract(d / "a.zip", "\"nope\"", d / "out2"), ZE_NOT_FOUND);
  EXPECT_FALSE(exists(d / "out2"));
}
