// Damaged, hostile and lying archives end in the right result code, without
// writing anything they should not.
#include <cstring>

#include "centraldir.h"
#include "errors.h"
#include "rawzip.h"
#include "safepath.h"
#include "testutil.h"

using namespace et;

namespace {

int countOf(const std::string& zip) {
  UNZIPCMD c{};
  c.cbSize = sizeof c;
  c.nFunction = ZE_UNZIP_COUNT;
  c.pszZipFile = zip.c_str();
  const int rc = dunzip(&c);
  c.nFunction = ZE_UNZIP_END;
  dunzip(&c);
  return rc;
}

size_t entriesBelow(const std::string& dir) {
  size_t n = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator(); ++it) ++n;
  return n;
}

int ZE_CALLBACK fixedRename(NAMEMAP* map, void* ctx) {
  std::strcpy(map->szOutput, static_cast<std::string*>(ctx)->c_str());
  return 0;
}

}  // namespace

TEST(Malformed, TruncatedAtAnyLengthIsDamaged) {
  TempDir d;
  RawMember a{"a.txt", compressible(2000), true};
  std::string full = buildZip({a, {"b", "bb"}}).bytes;
  for (size_t len = 0; len < full.size(); ++len) {
    writeFile(d / "t.zip", full.substr(0, len));
    ASSERT_EQ(countOf(d / "t.zip"), ZE_DAMAGED) << len;
  }
  // Memory parser, as the fuzz target drives it: no crash on any prefix.
  for (size_t len = 0; len <= full.size(); ++len) {
    ze::MemorySource src(full.data(), len);
    ze::CentralDirectory cd;
    try {
      ze::readCentralDirectory(src, cd);
      EXPECT_EQ(len, full.size());
    } catch (const ze::EngineError& e) {
      EXPECT_EQ(e.code, ZE_DAMAGED);
    }
  }
  writeFile(d / "g.zip", pseudoRandom(5000, 1));
  EXPECT_EQ(countOf(d / "g.zip"), ZE_DAMAGED);
}

TEST(Malformed, LyingCountsSizesAndOffsets) {
  TempDir d;
  RawArchive base = buildZip({{"a", "aaaa"}, {"b", "bbbb"}});
  std::string z = d / "z.zip", out = d / "out";

  std::string s = base.bytes;  // more members claimed than the directory holds
  put16(s, base.endRecord + 8, 0xFFFF);
  put16(s, base.endRecord + 10, 0xFFFF);
  writeFile(z, s);
  EXPECT_EQ(countOf(z), ZE_DAMAGED);

  s = base.bytes;  // directory larger than the file
  put32(s, base.endRecord + 12, 0x7FFFFFF0);
  writeFile(z, s);
  EXPECT_EQ(countOf(z), ZE_DAMAGED);

  s = base.bytes;  // member offset past the directory
  put32(s, base.centralRecords[1] + 42, 0x00FFFFFF);
  writeFile(z, s);
  EXPECT_EQ(countOf(z), ZE_DAMAGED);

  s = base.bytes;  // two members on one local header
  put32(s, base.centralRecords[1] + 42, 0);
  writeFile(z, s);
  EXPECT_EQ(countOf(z), 0);  // listing needs no member data
  EXPECT_EQ(extract(z, "*.*", out), ZE_DAMAGED);
  EXPECT_EQ(remove(z, "\"a\""), ZE_DAMAGED);
  EXPECT_EQ(entriesBelow(out), 0u);

  s = base.bytes;  // offset lands on something that is not a local header
  put32(s, base.centralRecords[1] + 42, 1);
  writeFile(z, s);
  EXPECT_NE(extract(z, "\"b\"", out), 0);

  s = base.bytes;  // compressed size running into the directory
  put32(s, base.centralRecords[1] + 20, 100000);
  writeFile(z, s);
  EXPECT_EQ(extract(z, "\"b\"", out), ZE_DAMAGED);

  RawMember big{"big", compressible(1000), true};
  big.sizeOverride = 0xFFFFFFF0;  // declared far larger than the data
  writeFile(z, buildZip({big}).bytes);
  EXPECT_EQ(extract(z, "*.*", out), ZE_FAILED);
  EXPECT_FALSE(exists(out + kSep + "big"));

  RawMember stored{"s", "12345"};
  stored.sizeOverride = 4;  // stored, sizes disagree
  writeFile(z, buildZip({stored}).bytes);
  EXPECT_EQ(extract(z, "*.*", out), ZE_FAILED);

  RawMember odd{"m", "data"};
  odd.method = 12;  // a method we do not decode
  writeFile(z, buildZip({odd}).bytes);
  EXPECT_EQ(extract(z, "*.*", out), ZE_FAILED);
  EXPECT_EQ(entriesBelow(out), 0u);
}

TEST(Malformed, BombStopsAtTheDeclaredSize) {
  TempDir d;
  RawMember bomb{"bomb", std::string(20 << 20, '\0'), true};
  bomb.sizeOverride = 1000;
  bomb.crcOverride = 0;
  writeFile(d / "b.zip", buildZip({{"ok", "fine"}, bomb}).bytes);
  EXPECT_LT(fs::file_size(d / "b.zip"), 100000u);
  EXPECT_EQ(extract(d / "b.zip", "*.*", d / "out"), ZE_FAILED);
  EXPECT_FALSE(exists(d / "out" + kSep + "bomb"));
}

TEST(Malformed, CrcMismatchRemovesThePartialFile) {
  TempDir d;
  RawMember bad{"bad.txt", compressible(400000), true};
  bad.crcOverride = 0x12345678;
  writeFile(d / "c.zip", buildZip({{"good.txt", "good"}, bad}).bytes);
  EXPECT_EQ(extract(d / "c.zip", "*.*", d / "out"), ZE_FAILED);
  EXPECT_FALSE(exists(d / "out" + kSep + "bad.txt"));
  EXPECT_EQ(readFile(d / "out" + kSep + "good.txt"), "good");

  // A corrupt deflate stream.
  RawArchive a = buildZip({{"z.txt", compressible(5000), true}});
  a.bytes[30 + 5 + 10] ^= 0x55;
  a.bytes[30 + 5 + 11] ^= 0x55;
  writeFile(d / "d.zip", a.bytes);
  EXPECT_EQ(extract(d / "d.zip", "*.*", d / "out2"), ZE_FAILED);
  EXPECT_FALSE(exists(d / "out2" + kSep + "z.txt"));
}

// Members of several megabytes are inflated on a second thread; their
// failures must end the same way, with the partial file gone.
TEST(Malformed, LargeMembersFailLikeSmallOnes) {
  TempDir d;
  const std::string text = compressible(6 << 20);
  RawMember bomb{"bomb", std::string(40 << 20, '\0'), true};
  bomb.sizeOverride = 3 << 20;
  bomb.crcOverride = 0;
  writeFile(d / "b.zip", buildZip({{"ok", "fine"}, bomb}).bytes);
  EXPECT_EQ(extract(d / "b.zip", "*.*", d / "out"), ZE_FAILED);
  EXPECT_FALSE(exists(d / "out" + kSep + "bomb"));
  EXPECT_EQ(readFile(d / "out" + kSep + "ok"), "fine");

  RawMember bad{"bad.txt", text, true};
  bad.crcOverride = 0x12345678;
  writeFile(d / "c.zip", buildZip({bad, {"after.txt", "after"}}).bytes);
  EXPECT_EQ(extract(d / "c.zip", "*.*", d / "out2"), ZE_FAILED);
  EXPECT_EQ(entriesBelow(d / "out2"), 0u);

  // Damage well into the stream: pieces before it were already written.
  RawArchive a = buildZip({{"z.txt", text, true}});
  const size_t mid = 30 + 5 + (a.bytes.size() - 30 - 5) / 2;
  for (size_t i = 0; i < 64; ++i) a.bytes[mid + i] ^= 0x55;
  writeFile(d / "d.zip", a.bytes);
  EXPECT_EQ(extract(d / "d.zip", "*.*", d / "out3"), ZE_FAILED);
  EXPECT_FALSE(exists(d / "out3" + kSep + "z.txt"));

  // Intact, the same member comes out whole.
  writeFile(d / "e.zip", buildZip({{"z.txt", text, true}}).bytes);
  ASSERT_EQ(extract(d / "e.zip", "*.*", d / "out4"), 0);
  EXPECT_TRUE(readFile(d / "out4" + kSep + "z.txt") == text);
}

TEST(Malformed, NamesThatWouldEscapeTheDestination) {
  TempDir d;
  // Parts that name no place below the destination are dropped: the member
  // lands inside it, listed under the same name.
  const std::pair<const char*, const char*> relative[] = {
      {"../x", "x"},   {"/abs", "abs"}, {"\\abs", "abs"},       {"C:\\x", "x"},
      {"c:x", "x"},    {"a/../../x", "a/x"}, {"./a/./b.txt", "a/b.txt"}, {"//two/x", "two/x"}};
  for (const auto& [name, landed] : relative) {
    std::string dest = d / "dest";
    fs::create_directories(dest);
    writeFile(d / "h.zip", buildZip({{"fine.txt", "ok"}, {name, "evil"}}).bytes);
    EXPECT_EQ(names(d / "h.zip"), (std::vector<std::string>{"fine.txt", landed})) << name;
    EXPECT_EQ(extract(d / "h.zip", "*.*", dest), ZE_OK) << name;
    std::string expected = landed;
    for (char& c : expected)
      if (c == '/') c = kSep;
    EXPECT_EQ(readFile(dest + kSep + expected), "evil") << name;
    EXPECT_EQ(entriesBelow(d.path()), 4u + (expected.find(kSep) != std::string::npos)) << name;
    fs::remove_all(dest);
  }
  // ".." or "./" alone names only the top: nothing to list by name or write.
  writeFile(d / "h.zip", buildZip({{"fine.txt", "ok"}, {"..", "evil"}, {"./", ""}}).bytes);
  EXPECT_EQ(names(d / "h.zip"), (std::vector<std::string>{"fine.txt", "", ""}));
  ASSERT_EQ(extract(d / "h.zip", "*.*", d / "dest"), ZE_OK);
  EXPECT_EQ(entriesBelow(d.path()), 3u);  // h.zip, dest and fine.txt
  fs::remove_all(d / "dest");

  const char* hostile[] = {"CON", "nul.txt", "d/LPT1", "com9.a.b", "a/b:c", "...", "a/ ../b"};
  for (const char* name : hostile) {
    std::string dest = d / "dest";
    fs::create_directories(dest);
    // A harmless member first: the run must fail before writing even that.
    writeFile(d / "h.zip", buildZip({{"fine.txt", "ok"}, {name, "evil"}}).bytes);
    EXPECT_EQ(extract(d / "h.zip", "*.*", dest), ZE_DAMAGED) << name;
    EXPECT_EQ(entriesBelow(d.path()), 2u) << name;  // h.zip and dest only
    fs::remove_all(dest);
  }
  // A rename callback that leaves the destination is refused too.
  writeFile(d / "h.zip", buildZip({{"fine.txt", "ok"}}).bytes);
  for (const char* out : {"/../escape.txt", "x/../../escape.txt", "2/escape.txt", ""}) {
    std::string dest = d / "dest", target = dest + out;
    UNZIPCMD c{};
    c.cbSize = sizeof c;
    c.nFunction = ZE_UNZIP_EXTRACT;
    std::string zip = d / "h.zip";
    c.pszZipFile = zip.c_str();
    c.pszSpec = "*.*";
    c.pszDestDir = dest.c_str();
    c.pfnRename = fixedRename;
    c.pRenameContext = &target;
    EXPECT_EQ(dunzip(&c), ZE_DAMAGED) << out;
    EXPECT_EQ(entriesBelow(d.path()), 1u) << out;
  }
}

TEST(SafePath, Rules) {
  EXPECT_TRUE(ze::isSafeRelativeName("a/b/c.txt"));
  EXPECT_TRUE(ze::isSafeRelativeName("a..b/..c"));
  EXPECT_TRUE(ze::isSafeRelativeName("console.txt"));
  EXPECT_TRUE(ze::isSafeRelativeName("dir/"));
  EXPECT_FALSE(ze::isSafeRelativeName(""));
  EXPECT_FALSE(ze::isSafeRelativeName("a/./b"));
  EXPECT_FALSE(ze::isSafeRelativeName("Aux.h"));
  EXPECT_FALSE(ze::isSafeRelativeName("x/conin$"));
  std::string out;
  std::string base = std::string("base") + kSep + "dir";
  EXPECT_TRUE(ze::resolveOutputPath(base + kSep, base + "\\img/a.gif", out));
  EXPECT_EQ(out, base + kSep + "img" + kSep + "a.gif");
  EXPECT_FALSE(ze::resolveOutputPath(base, base + "x/a", out));
  EXPECT_FALSE(ze::resolveOutputPath(base, base + kSep, out));
  EXPECT_FALSE(ze::resolveOutputPath(base, "elsewhere/a", out));
}
