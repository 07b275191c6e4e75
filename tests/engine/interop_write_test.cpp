// Archives the engine writes -- created, changed, grown -- are accepted
// without a warning by unzip, 7-Zip and Python's zipfile, and those tools
// read back exactly the names, times and bytes that went in.
#include "interop_support.h"

#include <algorithm>
#include <set>

namespace interop {
namespace {

const std::string kZip64End("PK\x06\x06", 4);
const char* kCafe = "caf\xc3\xa9/na\xc3\xafve \xc3\xbc" "ber.txt";
const char* kCjk = "\xe6\x97\xa5\xe6\x9c\xac/\xe6\x96\x87\xe5\xad\x97.txt";

class WriteInterop : public ::testing::Test {
protected:
  void SetUp() override {
    // zipfile and unzip are the oracles of every case here.
    REQUIRE_TOOL("python3");
    REQUIRE_TOOL("unzip");
    ASSERT_FALSE(tmp.path().empty());
    SourceTree t(src);
    stamp = t.stamp;
  }

  // Member names as zipfile reads them; a name stored twice fails.
  std::set<std::string> Names(const fs::path& archive) {
    std::string err;
    std::set<std::string> names;
    for (auto& m : OracleList(archive, &err)) {
      EXPECT_TRUE(names.insert(m.name).second) << "duplicate member " << m.name;
    }
    EXPECT_TRUE(err.empty()) << err;
    return names;
  }

  // Info-ZIP's unzip extracts exactly `want`.
  void ExpectUnzipExtracts(const fs::path& archive, const Tree& want) {
    fs::path out = tmp / ("unzipped" + std::to_string(++extractions));
    RunResult r = Shell("unzip -q -o " + Quote(archive.string()) + " -d " + Quote(out.string()));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, "") << "unzip complained while extracting";
    Tree got = Snapshot(out);
    EXPECT_EQ(Keys(got), Keys(want));
    for (auto& [name, content] : want) {
      auto it = got.find(name);
      if (it != got.end()) EXPECT_TRUE(it->second == content) << name << " differs";
    }
  }

  TempDir tmp;
  fs::path src = tmp / "src";
  time_t stamp = 0;
  int extractions = 0;
};

const std::vector<std::string> kAll = {"a.txt", "docs", "empty/"};
const std::set<std::string> kAllNames = {"a.txt",          "docs/",        "docs/readme.md",
                                         "docs/img/",      "docs/img/pic.bin", "docs/zero.txt",
                                         "empty/"};

TEST_F(WriteInterop, CreatedAtLevel6WithEmptyFolderAndComment) {
  fs::path z = tmp / "ours.zip";
  ASSERT_EQ(Add(z, src, kAll), ZE_OK);
  ExpectOraclesAccept(z);
  EXPECT_EQ(Names(z), kAllNames);
  EXPECT_FALSE(ReadAll(z).find(kZip64End) != std::string::npos)
      << "ZIP64 end record written for a small archive";

  std::string err;
  for (auto& m : OracleList(z, &err)) {
    SCOPED_TRACE(m.name);
    if (m.name.back() != '/') EXPECT_EQ(DosDateText(m), "03/04/21 05:06");
    EXPECT_EQ(m.flags & 1, 0u) << "marked encrypted";
    EXPECT_EQ(m.flags & 0x800, 0u) << "ASCII name flagged as UTF-8";
    if (m.name == "docs/readme.md") EXPECT_EQ(m.method, 8) << "compressible text not deflated";
    if (m.name.back() == '/') EXPECT_EQ(m.externalAttr & 0x10, 0x10u) << "directory attribute";
  }
  RunResult c = Shell("python3 -c " +
                      Quote("import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).comment.decode())") +
                      " " + Quote(z.string()));
  EXPECT_EQ(c.output, "Zip file created using Marrowbox\n");
  ExpectUnzipExtracts(z, Snapshot(src));
}

TEST_F(WriteInterop, StoredAtLevel0) {
  fs::path z = tmp / "stored.zip";
  ASSERT_EQ(Add(z, src, kAll, {.level = 0}), ZE_OK);
  ExpectOraclesAccept(z);
  std::string err;
  for (auto& m : OracleList(z, &err)) {
    EXPECT_EQ(m.method, 0) << m.name;
    EXPECT_EQ(m.size, m.packed) << m.name;
  }
  ExpectUnzipExtracts(z, Snapshot(src));
}

TEST_F(WriteInterop, NonAsciiNamesStoredAsFlaggedUtf8) {
  WriteFile(src / kCafe, "accents\n", stamp);
  WriteFile(src / kCjk, "cjk\n", stamp);
  fs::path z = tmp / "utf8.zip";
  ASSERT_EQ(Add(z, src, {"a.txt", "caf\xc3\xa9", "\xe6\x97\xa5\xe6\x9c\xac"}), ZE_OK);
  ExpectOraclesAccept(z);
  std::string err;
  std::set<std::string> names;
  for (auto& m : OracleList(z, &err)) {
    names.insert(m.name);
    bool ascii = std::all_of(m.name.begin(), m.name.end(), [](char c) { return c > 0; });
    EXPECT_EQ((m.flags & 0x800) != 0, !ascii) << m.name;
  }
  EXPECT_EQ(names.count(kCafe), 1u);
  EXPECT_EQ(names.count(kCjk), 1u);
  Tree want = Snapshot(src);
  for (auto it = want.begin(); it != want.end();) {
    bool keep = it->first == "a.txt" || it->first.rfind("caf\xc3\xa9", 0) == 0 ||
                it->first.rfind("\xe6\x97\xa5", 0) == 0;
    it = keep ? std::next(it) : want.erase(it);
  }
  ExpectUnzipExtracts(z, want);
}

TEST_F(WriteInterop, DeleteMembersAndAFolder) {
  fs::path z = tmp / "del.zip";
  ASSERT_EQ(Add(z, src, kAll), ZE_OK);
  ASSERT_EQ(Delete(z, "\"a.txt\" \"docs\\img\\*.*\""), ZE_OK);
  ExpectOraclesAccept(z);
  EXPECT_EQ(Names(z), (std::set<std::string>{"docs/", "docs/readme.md", "docs/zero.txt", "empty/"}));
  Tree want = Snapshot(src);
  for (const char* gone : {"a.txt", "docs/img/", "docs/img/pic.bin"}) want.erase(gone);
  ExpectUnzipExtracts(z, want);
}

TEST_F(WriteInterop, ChangesToArchivesOfOtherTools) {
  REQUIRE_TOOL("zip");
  REQUIRE_TOOL("7zz");
  WriteFile(tmp / "more/new.txt", Text(5000, 9), stamp);
  struct Case {
    const char* name;
    std::string command;
  };
  // Data descriptors, a ZIP64 layout, a self-extractor stub, another writer.
  const Case cases[] = {
      {"streamed.zip", "zip -q -r - a.txt docs empty | cat > ../streamed.zip"},
      {"zip64.zip", "zip -q -r -fz ../zip64.zip a.txt docs empty"},
      {"sfx.zip", "rm -f ../plain.zip && zip -q -r ../plain.zip a.txt docs empty && (head -c 3000 /dev/urandom; "
                  "cat ../plain.zip) > ../sfx.zip && zip -q -A ../sfx.zip"},
      {"7z.zip", "7zz a -tzip -bd -bso0 -bsp0 ../7z.zip a.txt docs empty"},
  };
  for (const Case& c : cases) {
    for (bool grow : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (grow ? " grown" : " rewritten"));
      fs::path z = tmp / c.name;
      RunResult r = Shell("cd " + Quote(src.string()) + " && rm -f ../" + c.name + " && " + c.command);
      ASSERT_EQ(r.status, 0) << r.output;
      ASSERT_EQ(Delete(z, "\"docs\\readme.md\"", grow), ZE_OK);
      ASSERT_EQ(Add(z, tmp / "more", {"new.txt"}, {.grow = grow}), ZE_OK);
      ExpectOraclesAccept(z, std::string(c.name) == "sfx.zip");
      Tree want = Snapshot(src);
      want.erase("docs/readme.md");
      want["new.txt"] = Text(5000, 9);
      ExpectUnzipExtracts(z, want);
    }
  }
}

TEST_F(WriteInterop, AddToExistingRewrittenAndGrown) {
  WriteFile(tmp / "more/new.txt", Text(5000, 9), stamp);
  WriteFile(tmp / "more/a.txt", "replaced\n", stamp);
  for (bool grow : {false, true}) {
    SCOPED_TRACE(grow ? "grow" : "rewrite");
    fs::path z = tmp / (grow ? "grown.zip" : "rewritten.zip");
    ASSERT_EQ(Add(z, src, kAll), ZE_OK);
    ASSERT_EQ(Add(z, tmp / "more", {"new.txt"}, {.grow = grow}), ZE_OK);
    // Adding a name that exists replaces the member (the query says yes).
    ASSERT_EQ(Add(z, tmp / "more", {"a.txt"}, {.grow = grow}), ZE_OK);
    ExpectOraclesAccept(z);
    std::set<std::string> want = kAllNames;
    want.insert("new.txt");
    EXPECT_EQ(Names(z), want);
    Tree tree = Snapshot(src);
    tree["new.txt"] = Text(5000, 9);
    tree["a.txt"] = "replaced\n";
    ExpectUnzipExtracts(z, tree);
  }
}

TEST_F(WriteInterop, MoreThan65535MembersUseZip64) {
  // One folder of 1,000 files added 70 times under different folders: the
  // member count passes 65,535 without 70,000 files on disk.  Most rounds
  // grow the archive in place, so the switch to ZIP64 happens while growing.
  fs::path many = tmp / "many";
  for (int i = 0; i < 1000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%04d.txt", i);
    WriteFile(many / name, std::to_string(i) + "\n");
  }
  fs::path z = tmp / "many.zip";
  const int rounds = 70, perRound = 1001;  // the files and many/
  for (int r = 0; r < rounds; ++r) {
    char folder[16];
    std::snprintf(folder, sizeof folder, "d%02d/", r);
    ASSERT_EQ(Add(z, tmp.path(), {"many"}, {.level = 1, .grow = r % 10 != 0, .folder = folder}),
              ZE_OK)
        << "round " << r;
  }
  ASSERT_TRUE(ReadAll(z).find(kZip64End) != std::string::npos) << "no ZIP64 end record";
  ExpectOraclesAccept(z);
  std::set<std::string> names = Names(z);
  EXPECT_EQ(names.size(), size_t(rounds * perRound));
  EXPECT_TRUE(names.count("d69/many/f0999.txt"));
  Listing l = List(z);
  ASSERT_EQ(l.result, ZE_OK);
  EXPECT_EQ(l.count, rounds * perRound);

  // Deleting keeps it valid and still ZIP64 while above the limit.
  ASSERT_EQ(Delete(z, "\"d00\\*.*\""), ZE_OK);
  ExpectOraclesAccept(z);
  EXPECT_EQ(Names(z).size(), size_t((rounds - 1) * perRound));
  fs::path out = tmp / "out";
  ASSERT_EQ(Extract(z, out, "\"d69\\many\\f0999.txt\""), ZE_OK);
  EXPECT_EQ(ReadAll(out / "d69/many/f0999.txt"), "999\n");
}

}  // namespace
}  // namespace interop
