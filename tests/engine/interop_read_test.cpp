// Archives written by other archivers list and extract correctly through
// dunzip.  Python's zipfile is the oracle for what each archive records; the
// source tree on disk is the oracle for what extraction must produce.
#include "interop_support.h"

#include <algorithm>
#include <set>

namespace interop {
namespace {

class ReadInterop : public ::testing::Test {
protected:
  void SetUp() override {
    // zipfile is the oracle of every listing here.
    REQUIRE_TOOL("python3");
    ASSERT_FALSE(tmp.path().empty());
    SourceTree t(src);
    stamp = t.stamp;
  }

  // Makes an archive by running `command` inside the source directory.
  fs::path Make(const std::string& name, const std::string& command) {
    fs::path out = tmp / name;
    RunResult r = Shell("cd " + Quote(src.string()) + " && " + command);
    EXPECT_EQ(r.status, 0) << command << "\n" << r.output;
    return out;
  }

  // Every listed field agrees with what zipfile reads from the same bytes.
  void ExpectListingMatchesOracle(const fs::path& archive) {
    std::string err;
    std::vector<OracleMember> want = OracleList(archive, &err);
    ASSERT_TRUE(err.empty()) << err;
    Listing got = List(archive);
    ASSERT_EQ(got.result, ZE_OK);
    ASSERT_EQ(got.count, int(want.size()));
    ASSERT_EQ(got.members.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
      const Member& m = got.members[i];
      const OracleMember& o = want[i];
      SCOPED_TRACE("member " + std::to_string(i) + " " + o.name);
      EXPECT_EQ(m.name, o.name);
      EXPECT_EQ(m.size, Saturate(o.size));
      EXPECT_EQ(m.packed, Saturate(o.packed));
      EXPECT_EQ(m.crc, o.crc);
      EXPECT_EQ(m.method, o.method);
      EXPECT_EQ(m.flags, o.flags);
      EXPECT_EQ(m.date, DosDateText(o));
      bool isDir = !o.name.empty() && o.name.back() == '/';
      EXPECT_EQ((m.attributes & 0x10) != 0, isDir) << "attributes " << m.attributes;
      EXPECT_EQ(m.attributes & ZE_ATTR_ENCRYPTED, 0);
    }
  }

  // Extracts everything and compares the result with `want`, file times
  // included (DOS times have two-second steps).
  void ExpectExtractsTo(const fs::path& archive, const Tree& want, time_t mtime) {
    fs::path out = tmp / ("out" + std::to_string(++extractions));
    ASSERT_EQ(Extract(archive, out), ZE_OK);
    Tree got = Snapshot(out);
    EXPECT_EQ(Keys(got), Keys(want));
    for (auto& [name, content] : want) {
      auto it = got.find(name);
      if (it == got.end()) continue;
      EXPECT_TRUE(it->second == content) << name << " differs";
      if (mtime && name.back() != '/') {
        struct stat st{};
        ASSERT_EQ(stat((out / name).c_str(), &st), 0);
        EXPECT_LE(std::llabs(static_cast<long long>(st.st_mtime - mtime)), 2) << name;
      }
    }
  }

  Tree SourceWithoutEmptyDir() {
    Tree t = Snapshot(src);
    t.erase("empty/");
    return t;
  }

  TempDir tmp;
  fs::path src = tmp / "src";
  time_t stamp = 0;
  int extractions = 0;
};

bool Contains(const fs::path& file, const std::string& bytes) {
  return ReadAll(file).find(bytes) != std::string::npos;
}

const std::string kZip64End("PK\x06\x06", 4);

TEST_F(ReadInterop, InfoZipDeflatedStoredAndWithoutDirectoryEntries) {
  REQUIRE_TOOL("zip");
  fs::path deflated = Make("deflated.zip", "zip -q -r ../deflated.zip a.txt docs empty");
  ExpectListingMatchesOracle(deflated);
  ExpectExtractsTo(deflated, Snapshot(src), stamp);

  fs::path stored = Make("stored.zip", "zip -q -r -0 ../stored.zip a.txt docs empty");
  ExpectListingMatchesOracle(stored);
  for (const Member& m : List(stored).members) EXPECT_EQ(m.method, 0) << m.name;
  ExpectExtractsTo(stored, Snapshot(src), stamp);

  // -D: no directory entries at all; extraction still creates the parents.
  fs::path nodirs = Make("nodirs.zip", "zip -q -r -D ../nodirs.zip a.txt docs");
  ExpectListingMatchesOracle(nodirs);
  ExpectExtractsTo(nodirs, SourceWithoutEmptyDir(), stamp);
}

TEST_F(ReadInterop, InfoZipStreamedWithDataDescriptors) {
  REQUIRE_TOOL("zip");
  // Writing to a pipe leaves sizes and CRCs to descriptors after the data.
  fs::path streamed = Make("streamed.zip", "zip -q -r - a.txt docs empty | cat > ../streamed.zip");
  std::string err;
  auto oracle = OracleList(streamed, &err);
  ASSERT_TRUE(std::any_of(oracle.begin(), oracle.end(), [](auto& m) { return m.flags & 8; }))
      << "zip wrote no data descriptor; the case tests nothing";
  ExpectListingMatchesOracle(streamed);
  ExpectExtractsTo(streamed, Snapshot(src), stamp);

  // Input from a pipe too: size unknown up front, so ZIP64 local sizes.
  fs::path piped = Make("piped.zip", "cat docs/readme.md | zip -q - - | cat > ../piped.zip");
  ExpectListingMatchesOracle(piped);
  ExpectExtractsTo(piped, {{"-", ReadAll(src / "docs/readme.md")}}, 0);
}

TEST_F(ReadInterop, InfoZipForcedZip64) {
  REQUIRE_TOOL("zip");
  fs::path z64 = Make("z64.zip", "zip -q -r -fz ../z64.zip a.txt docs empty");
  ASSERT_TRUE(Contains(z64, kZip64End)) << "zip -fz wrote no ZIP64 end record";
  ExpectListingMatchesOracle(z64);
  ExpectExtractsTo(z64, Snapshot(src), stamp);
}

TEST_F(ReadInterop, InfoZipCommentAndSelfExtractorPrefix) {
  REQUIRE_TOOL("zip");
  fs::path commented = Make("c.zip", "echo 'an archive comment' | zip -q -r -z ../c.zip a.txt docs empty");
  ExpectListingMatchesOracle(commented);
  ExpectExtractsTo(commented, Snapshot(src), stamp);

  // A stub before the first member, as in a self-extractor: once with the
  // offsets adjusted by `zip -A`, once left pointing at the unshifted places.
  std::string stub = "MZ" + RandomBytes(4094, 7);
  std::string body = ReadAll(commented);
  for (bool adjust : {true, false}) {
    SCOPED_TRACE(adjust ? "offsets adjusted" : "offsets not adjusted");
    fs::path sfx = tmp / (adjust ? "adjusted.exe" : "unadjusted.exe");
    WriteFile(sfx, stub + body);
    if (adjust) {
      RunResult r = Shell("zip -q -A " + Quote(sfx.string()));
      ASSERT_EQ(r.status, 0) << r.output;
    }
    ExpectListingMatchesOracle(sfx);
    ExpectExtractsTo(sfx, Snapshot(src), stamp);
  }
}

TEST_F(ReadInterop, SevenZipDeflatedAndStored) {
  REQUIRE_TOOL("7zz");
  WriteFile(src / "docs/caf\xc3\xa9 na\xc3\xafve.txt", "accents\n", stamp);
  fs::path deflated =
      Make("7d.zip", "7zz a -tzip -bd -bso0 -bsp0 ../7d.zip a.txt docs empty");
  ExpectListingMatchesOracle(deflated);
  ExpectExtractsTo(deflated, Snapshot(src), stamp);

  fs::path stored = Make("7s.zip", "7zz a -tzip -mx0 -bd -bso0 -bsp0 ../7s.zip a.txt docs empty");
  ExpectListingMatchesOracle(stored);
  ExpectExtractsTo(stored, Snapshot(src), stamp);
}

TEST_F(ReadInterop, BsdtarZip) {
  REQUIRE_TOOL("bsdtar");
  WriteFile(src / "docs/caf\xc3\xa9 na\xc3\xafve.txt", "accents\n", stamp);
  fs::path z = Make("b.zip", "bsdtar -a -cf ../b.zip a.txt docs empty");
  ExpectListingMatchesOracle(z);
  ExpectExtractsTo(z, Snapshot(src), stamp);
}

// bsdtar, the tar of current Windows, names everything "./...": those read
// exactly as the names without the prefix.
TEST_F(ReadInterop, BsdtarDotPrefixedNamesReadAsPlainOnes) {
  REQUIRE_TOOL("bsdtar");
  fs::path dotted = Make("dotted.zip", "bsdtar -a -cf ../dotted.zip .");
  fs::path plain = Make("plain.zip", "bsdtar -a -cf ../plain.zip a.txt docs empty");
  ASSERT_NE(ReadAll(dotted).find("./docs/"), std::string::npos);
  auto sortedNames = [](const fs::path& zip) {
    std::vector<std::string> n;
    for (const Member& m : List(zip).members)
      if (!m.name.empty()) n.push_back(m.name);
    std::sort(n.begin(), n.end());
    return n;
  };
  EXPECT_EQ(sortedNames(dotted), sortedNames(plain));
  ExpectExtractsTo(dotted, Snapshot(src), stamp);
}

// Runs a Python snippet with `out` bound to the archive path.
void Python(const fs::path& out, const std::string& body) {
  RunResult r = Shell("python3 -c " +
                    Quote("import sys, zipfile\nout = sys.argv[1]\n" + body) + " " +
                    Quote(out.string()));
  ASSERT_EQ(r.status, 0) << r.output;
}

TEST_F(ReadInterop, PythonNamesAttributesAndZip64) {
  fs::path z = tmp / "py.zip";
  // Text for each member is derived from its name, so the expected tree is
  // rebuilt here without trusting the archive.
  Python(z, R"PY(
def info(name, dt=(2019, 12, 31, 23, 58, 0), unix=None, dos=None):
    i = zipfile.ZipInfo(name, dt)
    if unix is not None:
        i.create_system, i.external_attr = 3, unix << 16
    if dos is not None:
        i.create_system, i.external_attr = 0, dos
    return i
def body(name):
    return ("content of %s\n" % name * 50).encode()
# A name without the UTF-8 flag is code page 437 (0x81 is u-umlaut).
class Cp437Info(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        return self.filename.encode("cp437"), self.flag_bits
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    for n in ["caf\u00e9/na\u00efve \u00fcber.txt", "\u65e5\u672c/\u6587\u5b57.txt"]:
        z.writestr(info(n), body(n))
    oem = Cp437Info("m\u00fcller.txt", (2019, 12, 31, 23, 58, 0))
    z.writestr(oem, body(oem.filename))
    z.writestr(info("unix/ro.txt", unix=0o100444), body("unix/ro.txt"))
    z.writestr(info("unix/rw.txt", unix=0o100644), body("unix/rw.txt"))
    z.writestr(info("unix/sub/", unix=0o040755), b"")
    z.writestr(info("dos/hidden.txt", dos=0x22), body("dos/hidden.txt"))
    z.writestr(info("dos/ro.txt", dos=0x21), body("dos/ro.txt"))
    z.writestr(info("dos/folder/", dos=0x10), b"")
    with z.open(info("zip64/forced.txt"), "w", force_zip64=True) as f:
        f.write(body("zip64/forced.txt"))
    z.writestr(info("stored.txt"), body("stored.txt"), compress_type=zipfile.ZIP_STORED)
)PY");
  ASSERT_NO_FATAL_FAILURE(ExpectListingMatchesOracle(z));

  Listing l = List(z);
  std::map<std::string, uint16_t> attrs;
  for (auto& m : l.members) attrs[m.name] = m.attributes;
  EXPECT_EQ(attrs["unix/ro.txt"] & ZE_ATTR_DOS_MASK & 0x01, 0x01) << "mode 0444 is read-only";
  EXPECT_EQ(attrs["unix/rw.txt"] & 0x01, 0);
  EXPECT_EQ(attrs["dos/hidden.txt"] & ZE_ATTR_DOS_MASK, 0x22);
  EXPECT_EQ(attrs["dos/ro.txt"] & ZE_ATTR_DOS_MASK, 0x21);
  EXPECT_EQ(l.members.front().date, "12/31/19 23:58");

  Tree want;
  for (const char* n : {"caf\xc3\xa9/na\xc3\xafve \xc3\xbc" "ber.txt", "\xe6\x97\xa5\xe6\x9c\xac/\xe6\x96\x87\xe5\xad\x97.txt",
                        "m\xc3\xbcller.txt", "unix/ro.txt", "unix/rw.txt", "dos/hidden.txt",
                        "dos/ro.txt", "zip64/forced.txt", "stored.txt"}) {
    std::string c;
    for (int i = 0; i < 50; ++i) c += std::string("content of ") + n + "\n";
    want[n] = c;
  }
  for (const char* d : {"caf\xc3\xa9/", "\xe6\x97\xa5\xe6\x9c\xac/", "unix/", "unix/sub/", "dos/",
                        "dos/folder/", "zip64/"})
    want[d] = "";
  ExpectExtractsTo(z, want, LocalTime(2019, 12, 31, 23, 58, 0));
  fs::path out = tmp / ("out" + std::to_string(extractions));
  EXPECT_EQ(fs::status(out / "unix/ro.txt").permissions() & fs::perms::owner_write,
            fs::perms::none)
      << "read-only member extracted with write permission";
  EXPECT_NE(fs::status(out / "unix/rw.txt").permissions() & fs::perms::owner_write,
            fs::perms::none);
}

TEST_F(ReadInterop, PythonMoreThan65535Members) {
  fs::path z = tmp / "many.zip";
  const int n = 70000;
  Python(z, R"PY(
with zipfile.ZipFile(out, "w", zipfile.ZIP_STORED) as z:
    for i in range(70000):
        z.writestr(zipfile.ZipInfo("d%03d/f%05d.txt" % (i // 1000, i), (2020, 1, 2, 3, 4, 0)),
                   b"%d\n" % i)
)PY");
  ASSERT_TRUE(Contains(z, kZip64End));
  Listing l = List(z);
  ASSERT_EQ(l.result, ZE_OK);
  ASSERT_EQ(l.count, n);
  std::set<std::string> names;
  for (auto& m : l.members) names.insert(m.name);
  EXPECT_EQ(names.size(), size_t(n)) << "members listed twice or lost";
  EXPECT_EQ(l.members[65535].name, "d065/f65535.txt");
  EXPECT_EQ(l.members.back().name, "d069/f69999.txt");
  EXPECT_EQ(l.members.back().date, "01/02/20 03:04");

  // Members past index 65,535 extract from their ZIP64 positions; a folder
  // of them is enough (70,000 files would only time the file system).
  fs::path out = tmp / "many";
  ASSERT_EQ(Extract(z, out, "\"d069\\*.*\" \"d065\\f65535.txt\""), ZE_OK);
  size_t files = 0;
  for (auto& e : fs::recursive_directory_iterator(out)) files += e.is_regular_file();
  EXPECT_EQ(files, size_t(1001));
  EXPECT_EQ(ReadAll(out / "d069/f69999.txt"), "69999\n");
  EXPECT_EQ(ReadAll(out / "d065/f65535.txt"), "65535\n");
}

}  // namespace
}  // namespace interop
