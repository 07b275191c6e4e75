// Adding and replacing members, grow mode, and that a failed change leaves
// the archive exactly as it was.
#if defined(_WIN32)
#include <windows.h>
#endif

#include <cstdio>

#include "grow_undo.h"
#include "io_seams.h"
#include "platform.h"
#include "rawzip.h"
#include "testutil.h"

using namespace et;

namespace {

// Files in the scratch directory other than the expected ones: leftovers of
// a failed change.
std::vector<std::string> strayFiles(const std::string& dir, const std::vector<std::string>& expected) {
  std::vector<std::string> out;
  for (auto& p : fs::directory_iterator(dir)) {
    std::string n = p.path().filename().string();
    if (std::find(expected.begin(), expected.end(), n) == expected.end()) out.push_back(n);
  }
  return out;
}

struct Sources {
  TempDir d;
  std::string src = d / "src";
  std::string zip = d / "a.zip";
  Sources() {
    writeFile(src + kSep + "a.txt", "alpha");
    writeFile(src + kSep + "b.txt", compressible(20000));
    writeFile(src + kSep + "c.txt", "gamma");
  }
  std::string p(const std::string& rel) const { return src + kSep + rel; }
};

}  // namespace

TEST(Add, CreatesArchiveWithCommentAndLevels) {
  Sources s;
  AddRequest r(s.zip, s.src);
  r.items = spec({s.p("a.txt"), s.p("b.txt")});
  r.cmd.nLevel = 0;
  ASSERT_EQ(r.run(), 0);
  auto l = list(s.zip);
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[1].csize, l[1].size);  // level 0 stores
  std::string bytes = readFile(s.zip);
  EXPECT_EQ(bytes.substr(bytes.size() - r.comment.size()), r.comment);

  // Adding to an archive that is only an end record.
  std::string empty("PK\x05\x06", 4);
  empty.append(18, '\0');
  writeFile(s.d / "e.zip", empty);
  AddRequest e(s.d / "e.zip", s.src);
  e.items = spec({s.p("b.txt")});
  e.cmd.nLevel = 9;
  ASSERT_EQ(e.run(), 0);
  l = list(s.d / "e.zip");
  ASSERT_EQ(l.size(), 1u);
  EXPECT_LT(l[0].csize, l[0].size / 4);
  ASSERT_EQ(extract(s.d / "e.zip", "*.*", s.d / "out"), 0);
  EXPECT_EQ(readFile(s.d / "out" + kSep + "b.txt"), compressible(20000));
}

TEST(Add, ReplacesSameNameAsTheAnswersSay) {
  Sources s;
  ASSERT_EQ(addAll(s.zip, s.src, {"a.txt", "b.txt", "c.txt"}), 0);
  writeFile(s.p("A.TXT.new"), "");
  writeFile(s.p("a.txt"), "alpha 2");
  writeFile(s.p("c.txt"), "gamma 2");

  AddRequest no(s.zip, s.src);
  no.items = spec({s.p("a.txt"), s.p("c.txt")});
  no.query.answer = ZE_ANSWER_NO;
  ASSERT_EQ(no.run(), 0);
  EXPECT_EQ(no.query.codes, (std::vector<int>{ZE_Q_REPLACE_MEMBER, ZE_Q_REPLACE_MEMBER}));
  ASSERT_EQ(extract(s.zip, "\"a.txt\"", s.d / "o1"), 0);
  EXPECT_EQ(readFile(s.d / "o1" + kSep + "a.txt"), "alpha");

  // "All" asks once; names compare without case and separator style.
  AddRequest all(s.zip, s.src, "");
  all.items = spec({s.p("a.txt"), s.p("c.txt")});
  all.ctx.folderOrDest = "";
  all.query.answer = ZE_ANSWER_ALL;
  ASSERT_EQ(all.run(), 0);
  EXPECT_EQ(all.query.codes, std::vector<int>{ZE_Q_REPLACE_MEMBER});
  EXPECT_EQ(names(s.zip), (std::vector<std::string>{"b.txt", "a.txt", "c.txt"}));
  ASSERT_EQ(extract(s.zip, "*.*", s.d / "o2"), 0);
  EXPECT_EQ(readFile(s.d / "o2" + kSep + "a.txt"), "alpha 2");
  EXPECT_EQ(readFile(s.d / "o2" + kSep + "c.txt"), "gamma 2");
}

TEST(Add, EmptyFoldersAndDirectoryEntriesNamedTwice) {
  Sources s;
  fs::create_directories(s.p("e1"));
  fs::create_directories(s.p("tree") + kSep + "e2");
  writeFile(s.p("tree") + kSep + "f.txt", "f");
  // The directory both as an entry and recursively: each name once.
  AddRequest r(s.zip, s.src, "in\\");
  r.items = spec({s.p("e1") + kSep, s.p("tree") + kSep, s.p("tree")});
  ASSERT_EQ(r.run(), 0);
  EXPECT_EQ(names(s.zip), (std::vector<std::string>{"in/e1/", "in/tree/", "in/tree/e2/", "in/tree/f.txt"}));
  ASSERT_EQ(extract(s.zip, "*.*", s.d / "out", "in/"), 0);
  EXPECT_TRUE(fs::is_directory(s.d / "out" + kSep + "e1"));
  EXPECT_TRUE(fs::is_directory(s.d / "out" + kSep + "tree" + kSep + "e2"));
}

TEST(Add, MissingAndUnreadableFiles) {
  Sources s;
  ASSERT_EQ(addAll(s.zip, s.src, {"a.txt"}), 0);
  std::string before = readFile(s.zip);
  EXPECT_EQ(addAll(s.zip, s.src, {"b.txt", "gone.txt"}), ZE_NOT_FOUND);
  EXPECT_EQ(readFile(s.zip), before);

  ze::os::setUnreadableForTests(s.p("b.txt"));
  AddRequest refuse(s.zip, s.src);
  refuse.items = spec({s.p("c.txt"), s.p("b.txt")});
  refuse.query.answer = ZE_ANSWER_NO;  // the system's answer: do not skip
  EXPECT_EQ(refuse.run(), ZE_FILE_OPEN);
  EXPECT_EQ(refuse.query.codes, std::vector<int>{ZE_Q_SKIP_UNREADABLE});
  EXPECT_EQ(refuse.query.subjects, std::vector<std::string>{s.p("b.txt")});
  EXPECT_EQ(readFile(s.zip), before);

  AddRequest skip(s.zip, s.src);
  skip.items = spec({s.p("b.txt"), s.p("c.txt")});
  skip.query.answer = ZE_ANSWER_YES;
  EXPECT_EQ(skip.run(), 0);
  ze::os::setUnreadableForTests("");
  EXPECT_EQ(names(s.zip), (std::vector<std::string>{"a.txt", "c.txt"}));
  EXPECT_TRUE(strayFiles(s.d.path(), {"src", "a.zip"}).empty());
}

TEST(Add, WriteFailureLeavesTheOriginalUntouched) {
  Sources s;
  ASSERT_EQ(addAll(s.zip, s.src, {"a.txt", "b.txt"}), 0);
  std::string before = readFile(s.zip);
  writeFile(s.p("noise.bin"), pseudoRandom(5 << 20, 9));
  for (int64_t budget : {0, 100, 5000}) {
    ze::os::setWriteFailureAfter(budget);
    EXPECT_EQ(addAll(s.zip, s.src, {"c.txt", "noise.bin"}), ZE_ZIP_WRITE_FULL) << budget;
    ze::os::setWriteFailureAfter(-1);
    EXPECT_TRUE(readFile(s.zip) == before) << budget;
    EXPECT_TRUE(strayFiles(s.d.path(), {"src", "a.zip"}).empty()) << budget;
    ze::os::setWriteFailureAfter(budget % 200);
    EXPECT_EQ(remove(s.zip, "\"a.txt\""), ZE_ZIP_WRITE_FULL) << budget;
    ze::os::setWriteFailureAfter(-1);
    EXPECT_TRUE(readFile(s.zip) == before) << budget;
  }
  // Large runs of members are copied by the system; a failure there too.
  ASSERT_EQ(addAll(s.zip, s.src, {"noise.bin"}), 0);
  before = readFile(s.zip);
  ze::os::setWriteFailureAfter(100);
  EXPECT_EQ(remove(s.zip, "\"a.txt\""), ZE_ZIP_WRITE_FULL);
  ze::os::setWriteFailureAfter(-1);
  EXPECT_TRUE(readFile(s.zip) == before);
  ASSERT_EQ(remove(s.zip, "\"a.txt\""), 0);
  ASSERT_EQ(extract(s.zip, "*.*", s.d / "out"), 0);
  EXPECT_TRUE(readFile(s.d / "out" + kSep + "noise.bin") == readFile(s.p("noise.bin")));
  EXPECT_FALSE(exists(s.d / "out" + kSep + "a.txt"));
}

TEST(Grow, AppendsInPlaceAndRestoresOnFailure) {
  Sources s;
  ASSERT_EQ(addAll(s.zip, s.src, {"a.txt", "b.txt"}), 0);
  std::string before = readFile(s.zip);
  size_t comment = get16(before, before.size() - 2 - 32);
  ASSERT_EQ(comment, 32u);
  size_t cdStart = get32(before, before.size() - 22 - comment + 16);

  writeFile(s.p("noise.bin"), pseudoRandom(5 << 20, 9));
  AddRequest g(s.zip, s.src);
  g.items = spec({s.p("c.txt"), s.p("noise.bin")});
  g.cmd.bGrow = 1;
  // Fails after the new header overwrote the old directory (the undo record
  // is written first).
  ze::os::setWriteFailureAfter(int64_t(ze::GrowUndo::recordSize(cdStart, before.size() - cdStart) + 100));
  EXPECT_EQ(g.run(), ZE_ZIP_WRITE_FULL);
  ze::os::setWriteFailureAfter(-1);
  EXPECT_TRUE(readFile(s.zip) == before);

  ASSERT_EQ(g.run(), 0);
  std::string after = readFile(s.zip);
  // The members' bytes were not rewritten: the new one follows them.
  EXPECT_EQ(after.substr(0, cdStart), before.substr(0, cdStart));
  EXPECT_EQ(get32(after, cdStart), 0x04034b50u);
  EXPECT_EQ(names(s.zip), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "noise.bin"}));
  ASSERT_EQ(extract(s.zip, "*.*", s.d / "out"), 0);
  EXPECT_EQ(readFile(s.d / "out" + kSep + "c.txt"), "gamma");
}

TEST(Add, LargeFilesStreamAndIncompressibleOnesAreStored) {
  Sources s;
  std::string big = compressible(9 << 20);
  std::string noise = pseudoRandom(9 << 20, 3);
  writeFile(s.p("big.txt"), big);
  writeFile(s.p("noise.bin"), noise);
  ProgressLog a, b;
  AddRequest r(s.zip, s.src);
  r.items = spec({s.p("big.txt"), s.p("noise.bin"), s.p("a.txt")});
  r.cmd.pfnProgressA = recordProgress;
  r.cmd.pProgressAUser = &a;
  r.cmd.pfnProgressB = recordProgress;
  r.cmd.pProgressBUser = &b;
  ASSERT_EQ(r.run(), 0);
  auto l = list(s.zip);
  ASSERT_EQ(l.size(), 3u);
  EXPECT_LT(l[0].csize, l[0].size / 4);
  EXPECT_EQ(l[1].csize, l[1].size);
  EXPECT_TRUE(std::is_sorted(b.values.begin(), b.values.end()));
  EXPECT_EQ(b.values.back(), 100);
  EXPECT_GT(a.values.size(), 10u);  // the big files report their own steps
  ASSERT_EQ(extract(s.zip, "*.*", s.d / "out"), 0);
  EXPECT_TRUE(readFile(s.d / "out" + kSep + "big.txt") == big);
  EXPECT_TRUE(readFile(s.d / "out" + kSep + "noise.bin") == noise);
}

TEST(Add, RewrittenArchiveKeepsItsAttributes) {
  Sources s;
  ASSERT_EQ(addAll(s.zip, s.src, {"a.txt", "b.txt"}), 0);
#if defined(_WIN32)
  SetFileAttributesA(s.zip.c_str(), FILE_ATTRIBUTE_HIDDEN);
  ASSERT_EQ(remove(s.zip, "\"a.txt\""), 0);
  EXPECT_TRUE(GetFileAttributesA(s.zip.c_str()) & FILE_ATTRIBUTE_HIDDEN);
#else
  fs::permissions(s.zip, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(remove(s.zip, "\"a.txt\""), 0);
  EXPECT_EQ(fs::status(s.zip).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
  EXPECT_EQ(names(s.zip), std::vector<std::string>{"b.txt"});
}

TEST(Add, TheArchiveIsNotAddedToItself) {
  Sources s;
  std::string inside = s.p("self.zip");
  ASSERT_EQ(addAll(inside, s.src, {"a.txt"}), 0);
  AddRequest r(inside, s.src);
  r.items = spec({s.src});  // the whole folder, archive included
  r.root = "\"" + s.src + "\"";
  r.cmd.pfnRename = nullptr;  // names relative to the root directory
  ASSERT_EQ(r.run(), 0);
  EXPECT_EQ(names(inside), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
}

namespace {

// What a careless rename callback does with a long name: snprintf cuts it to
// the buffer, so "x.exe.txt" may end as "x.exe"; or it says it refused.
struct CuttingRename {
  std::string name;
  int result = 0;
};
int ZE_CALLBACK cutRename(NAMEMAP* map, void* context) {
  auto* rename = static_cast<CuttingRename*>(context);
  std::snprintf(map->szOutput, sizeof map->szOutput, "%s", rename->name.c_str());
  return rename->result;
}

}  // namespace

TEST(Rename, ANameThatDoesNotFitIsRefusedNotCut) {
  Sources s;
  ASSERT_EQ(addAll(s.zip, s.src, {"a.txt"}), 0);
  const std::string before = readFile(s.zip);
  const std::string longName = std::string(sizeof(NAMEMAP::szOutput) - 5, 'd') + "/x.exe.txt";
  for (int result : {0, 1}) {
    CuttingRename rename{result == 0 ? longName : "fits.txt", result};
    AddRequest add(s.zip, s.src);
    add.items = spec({s.p("b.txt")});
    add.cmd.pfnRename = cutRename;
    add.cmd.pRenameContext = &rename;
    EXPECT_EQ(add.run(), ZE_NAME_TOO_LONG) << result;
    EXPECT_TRUE(readFile(s.zip) == before) << result;

    const std::string dest = s.d / "out";
    fs::create_directories(dest);
    rename.name = result == 0 ? dest + kSep + longName : dest + kSep + "fits.txt";
    UNZIPCMD c{};
    c.cbSize = sizeof c;
    c.nFunction = ZE_UNZIP_EXTRACT;
    c.pszZipFile = s.zip.c_str();
    c.pszSpec = "*.*";
    c.pszDestDir = dest.c_str();
    c.pfnRename = cutRename;
    c.pRenameContext = &rename;
    EXPECT_EQ(dunzip(&c), ZE_NAME_TOO_LONG) << result;
    EXPECT_TRUE(fs::is_empty(dest)) << result;
  }
}

TEST(Add, TheCleanUpRemovesOnlyTemporariesThisEngineLeft) {
  Sources s;
  ASSERT_EQ(addAll(s.zip, s.src, {"a.txt", "b.txt"}), 0);
  // The user's own files that look like ours: kept.
  const std::vector<std::string> users = {"~mbx1234.tmp", "~mbx0000000000000000000.tmp",
                                          "~MBX00001a2b3c4d5e6f7a8b.tmp"};
  for (const std::string& n : users) writeFile(s.d / n, "mine");
  // One left by a change that died, and one a running change still holds.
  ze::os::File dead, held;
  std::string deadPath, heldPath;
  ASSERT_EQ(ze::os::createTemp(s.d.path(), dead, deadPath), ze::os::Err::None);
  ASSERT_EQ(dead.write("PK", 2), ze::os::Err::None);
  dead.close();
  ASSERT_EQ(ze::os::createTemp(s.d.path(), held, heldPath), ze::os::Err::None);

  ASSERT_EQ(remove(s.zip, "\"a.txt\""), 0);
  EXPECT_FALSE(exists(deadPath));
  EXPECT_TRUE(exists(heldPath));
  for (const std::string& n : users) EXPECT_EQ(readFile(s.d / n), "mine") << n;
  held.close();
}
