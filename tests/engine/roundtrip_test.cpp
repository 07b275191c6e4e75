// Add, list and extract through the entry points, as the system uses them.
#include <cstring>
#if defined(_WIN32)
#include <windows.h>
#endif

#include "rawzip.h"
#include "testutil.h"

using namespace et;

namespace {

const int64_t kTime = 1299215168;  // 2011-03-04 05:06:08 UTC

struct Tree {
  TempDir dir;
  std::string src = dir / "src";
  std::string zip = dir / "a.zip";
  std::string out = dir / "out";
  Tree() {
    writeFile(src + kSep + "a.txt", compressible(100000));
    writeFile(src + kSep + "empty.txt", "");
    writeFile(src + kSep + "bin" + kSep + "noise.dat", pseudoRandom(50000, 7));
    writeFile(src + kSep + "sub" + kSep + "deep" + kSep + "x.txt", "deep file");
    fs::create_directories(src + kSep + "emptydir");
    for (auto& p : fs::recursive_directory_iterator(src))
      if (p.is_regular_file()) setMtime(p.path().string(), kTime);
    setReadOnly(src + kSep + "empty.txt", true);
  }
};

}  // namespace

TEST(RoundTrip, AddListExtractRestoresContentTimesAndAttributes) {
  Tree t;
  // As the system names them: files, directories with a trailing separator,
  // and (recursively) a directory without one.
  ASSERT_EQ(addAll(t.zip, t.src, {"a.txt", "empty.txt", "bin/", "bin/noise.dat", "emptydir/", "sub"}), 0);

  auto l = list(t.zip);
  std::vector<std::string> n;
  for (auto& x : l) n.push_back(x.name);
  EXPECT_EQ(n, (std::vector<std::string>{"a.txt", "empty.txt", "bin/", "bin/noise.dat", "emptydir/", "sub/",
                                         "sub/deep/", "sub/deep/x.txt"}));
  ASSERT_EQ(l.size(), 8u);
  EXPECT_EQ(l[0].size, 100000u);
  EXPECT_LT(l[0].csize, 20000u);                 // deflated
  EXPECT_EQ(l[3].csize, l[3].size);              // random data is stored
  EXPECT_EQ(l[1].attrs & 0x01, 0x01);            // read-only kept
  EXPECT_EQ(l[2].attrs & 0x10, 0x10);            // directory entries
  EXPECT_EQ(l[4].attrs & 0x10, 0x10);
  EXPECT_EQ(l[7].attrs & 0x11, 0);

  ASSERT_EQ(extract(t.zip, "*.*", t.out), 0);
  for (const char* f : {"a.txt", "empty.txt", "bin/noise.dat", "sub/deep/x.txt"}) {
    std::string rel = f;
    for (char& c : rel)
      if (c == '/') c = kSep;
    EXPECT_EQ(readFile(t.out + kSep + rel), readFile(t.src + kSep + rel)) << f;
    EXPECT_EQ(mtimeOf(t.out + kSep + rel), kTime) << f;
  }
  EXPECT_TRUE(fs::is_directory(t.out + kSep + "emptydir"));
  EXPECT_TRUE(isReadOnly(t.out + kSep + "empty.txt"));
  EXPECT_FALSE(isReadOnly(t.out + kSep + "a.txt"));
}

TEST(RoundTrip, FolderPathsOfTheRenameCallbacks) {
  Tree t;
  // Source C:\src\ into folder docs\: img\a.gif becomes docs/img/a.gif.
  AddRequest r(t.zip, t.src, "docs\\");
  r.items = spec({t.src + kSep + "sub" + kSep + "deep" + kSep + "x.txt"});
  ASSERT_EQ(r.run(), 0);
  EXPECT_EQ(names(t.zip), std::vector<std::string>{"docs/sub/deep/x.txt"});
  // Extracting folder docs\ strips that prefix; the callback's mixed
  // separators are accepted.
  ASSERT_EQ(extract(t.zip, "\"docs\\sub\\*.*\"", t.out, "docs/"), 0);
  EXPECT_EQ(readFile(t.out + kSep + "sub" + kSep + "deep" + kSep + "x.txt"), "deep file");
}

TEST(RoundTrip, NonAsciiNamesAreStoredAsFlaggedUtf8) {
  TempDir d;
  std::string name = ansi(L"caf\u00e9.txt");
  writeFile(d / "src" + kSep + name, "bonjour");
  ASSERT_EQ(addAll(d / "a.zip", d / "src", {name}), 0);
  std::string bytes = readFile(d / "a.zip");
  EXPECT_NE(bytes.find("caf\xC3\xA9.txt"), std::string::npos);
  EXPECT_EQ(get16(bytes, 6) & 0x0800, 0x0800);
  EXPECT_EQ(names(d / "a.zip"), std::vector<std::string>{name});
  ASSERT_EQ(extract(d / "a.zip", "*.*", d / "out"), 0);
  EXPECT_EQ(readFile(d / "out" + kSep + name), "bonjour");

  // Plain ASCII names carry no flag.
  ASSERT_EQ(addAll(d / "b.zip", d / "src", {name}, 0), 0);
  writeFile(d / "src" + kSep + "plain.txt", "x");
  ASSERT_EQ(addAll(d / "c.zip", d / "src", {"plain.txt"}), 0);
  EXPECT_EQ(get16(readFile(d / "c.zip"), 6) & 0x0800, 0);
}

TEST(Listing, MemberInfoFieldsFromTheDirectory) {
  TempDir d;
  RawMember dir{"d/", ""};
  dir.madeBy = 3 << 8;  // Unix: attributes come from the mode
  dir.externalAttr = 040755u << 16;
  RawMember ro{"d/ro.txt", "x"};
  ro.madeBy = 3 << 8;
  ro.externalAttr = 0100444u << 16;
  RawMember oem{"\x82t\x82.txt", "y"};  // code page 437, unflagged
  oem.dosDate = (17 << 9) | (12 << 5) | 31;  // 1997-12-31
  oem.dosTime = (23 << 11) | (59 << 5);
  oem.externalAttr = 0x27;
  RawMember vol{"LABEL", ""};
  vol.externalAttr = 0x08;
  RawMember enc{"secret", "zz"};
  enc.flags = 1;
  RawMember win{"w\\x.txt", "backslash"};
  writeFile(d / "a.zip", buildZip({dir, ro, oem, vol, enc, win}).bytes);

  auto l = list(d / "a.zip");
  ASSERT_EQ(l.size(), 6u);
  EXPECT_EQ(l[0].attrs, 0x10);
  EXPECT_EQ(l[1].attrs, 0x01);
  EXPECT_EQ(l[1].date, "01/05/00 09:03");
  EXPECT_EQ(l[2].name, ansi(L"\u00e9t\u00e9.txt"));
  EXPECT_EQ(l[2].date, "12/31/97 23:59");
  EXPECT_EQ(l[2].attrs, 0x27);
  EXPECT_EQ(l[3].attrs & 0x80, 0x80);
  EXPECT_EQ(l[4].attrs & 0x8000, 0x8000);
  EXPECT_EQ(l[5].name, "w/x.txt");
}

TEST(Listing, CursorCountNextAndPastTheEnd) {
  TempDir d;
  writeFile(d / "a.zip", buildZip({{"one", "1"}, {"two", "2"}}).bytes);
  std::string zip = d / "a.zip";
  MEMBERINFO info;
  UNZIPCMD c{};
  c.cbSize = sizeof c;
  c.pszZipFile = zip.c_str();
  c.pMemberInfo = &info;
  // Without a count, next-member starts a listing.
  c.nFunction = ZE_UNZIP_NEXT;
  ASSERT_EQ(dunzip(&c), 0);
  EXPECT_STREQ(info.szName, "one");
  ASSERT_EQ(dunzip(&c), 0);
  EXPECT_STREQ(info.szName, "two");
  // Past the end: an empty name and success; then it starts over.
  ASSERT_EQ(dunzip(&c), 0);
  EXPECT_STREQ(info.szName, "");
  ASSERT_EQ(dunzip(&c), 0);
  EXPECT_STREQ(info.szName, "one");
  // A count restarts at the first member.
  c.nFunction = ZE_UNZIP_COUNT;
  ASSERT_EQ(dunzip(&c), 0);
  EXPECT_EQ(c.nMemberCount, 2);
  c.nFunction = ZE_UNZIP_NEXT;
  ASSERT_EQ(dunzip(&c), 0);
  EXPECT_STREQ(info.szName, "one");
  c.nFunction = ZE_UNZIP_END;
  dunzip(&c);
}

TEST(Listing, TwoListingsOfOneArchiveKeepTheirOwnPositions) {
  TempDir d;
  writeFile(d / "a.zip", buildZip({{"one", "1"}, {"two", "2"}}).bytes);
  std::string zip = d / "a.zip";
  MEMBERINFO first, second;
  UNZIPCMD a{}, b{};
  for (UNZIPCMD* c : {&a, &b}) {
    c->cbSize = sizeof *c;
    c->pszZipFile = zip.c_str();
    c->nFunction = ZE_UNZIP_COUNT;
    ASSERT_EQ(dunzip(c), 0);
    c->nFunction = ZE_UNZIP_NEXT;
  }
  a.pMemberInfo = &first;
  b.pMemberInfo = &second;
  ASSERT_EQ(dunzip(&a), 0);
  ASSERT_EQ(dunzip(&a), 0);
  ASSERT_EQ(dunzip(&b), 0);
  EXPECT_STREQ(first.szName, "two");
  EXPECT_STREQ(second.szName, "one");
  // Ending one before its end leaves the other where it was.
  a.nFunction = ZE_UNZIP_END;
  EXPECT_EQ(dunzip(&a), 0);
  EXPECT_EQ(a.pListing, nullptr);
  ASSERT_EQ(dunzip(&b), 0);
  EXPECT_STREQ(second.szName, "two");
  b.nFunction = ZE_UNZIP_END;
  dunzip(&b);
}

TEST(Listing, EmptyArchiveListsNothing) {
  TempDir d;
  std::string empty("PK\x05\x06", 4);
  empty.append(18, '\0');
  writeFile(d / "e.zip", empty);
  EXPECT_TRUE(list(d / "e.zip").empty());
}

TEST(Listing, MissingArchiveIsNotFound) {
  TempDir d;
  std::string missing = d / "none.zip";
  UNZIPCMD c{};
  c.cbSize = sizeof c;
  c.nFunction = ZE_UNZIP_COUNT;
  c.pszZipFile = missing.c_str();
  EXPECT_EQ(dunzip(&c), ZE_NOT_FOUND);
  c.nFunction = ZE_UNZIP_EXTRACT;
  c.pszSpec = "*.*";
  c.pszDestDir = d.path().c_str();
  EXPECT_EQ(dunzip(&c), ZE_NOT_FOUND);
}

TEST(Listing, NameTooLongForTheRecordFailsInsteadOfTruncating) {
  TempDir d;
  writeFile(d / "a.zip", buildZip({{std::string(300, 'n'), "x"}, {"short", "y"}}).bytes);
  std::string zip = d / "a.zip";
  MEMBERINFO info;
  UNZIPCMD c{};
  c.cbSize = sizeof c;
  c.pszZipFile = zip.c_str();
  c.pMemberInfo = &info;
  c.nFunction = ZE_UNZIP_COUNT;
  ASSERT_EQ(dunzip(&c), 0);
  c.nFunction = ZE_UNZIP_NEXT;
  EXPECT_EQ(dunzip(&c), ZE_FAILED);
  // The position has moved past it.
  ASSERT_EQ(dunzip(&c), 0);
  EXPECT_STREQ(info.szName, "short");
  c.nFunction = ZE_UNZIP_END;
  dunzip(&c);
}

TEST(Listing, BadBlocksAreRefused) {
  EXPECT_NE(dunzip(nullptr), 0);
  EXPECT_NE(dzip(nullptr), 0);
  UNZIPCMD u{};
  u.cbSize = sizeof u - 1;
  u.nFunction = ZE_UNZIP_COUNT;
  u.pszZipFile = "x.zip";
  EXPECT_NE(dunzip(&u), 0);
  u.cbSize = sizeof u;
  u.nFunction = 5;
  EXPECT_NE(dunzip(&u), 0);
  u.nFunction = ZE_UNZIP_NEXT;  // no MEMBERINFO buffer
  EXPECT_NE(dunzip(&u), 0);
  u.pszZipFile = nullptr;
  EXPECT_NE(dunzip(&u), 0);
  ZIPCMD z{};
  z.cbSize = sizeof z;
  z.nFunction = 3;
  z.pszZipFile = "x.zip";
  EXPECT_NE(dzip(&z), 0);
}

TEST(Reading, DescriptorsStubsAndComments) {
  TempDir d;
  RawMember a{"a.txt", compressible(5000)};
  a.deflate = true;
  a.descriptor = true;
  RawMember b{"b.txt", "stored with descriptor, no signature"};
  b.descriptor = true;
  b.descriptorSignature = false;
  RawMember c{"c.txt", compressible(3000)};
  c.deflate = true;
  // A stub before the archive, as self-extractors have; offsets stay
  // relative to the archive's own start.
  writeFile(d / "s.zip", buildZip({a, b, c}, std::string(777, 'S'), "the comment").bytes);
  EXPECT_EQ(names(d / "s.zip"), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  ASSERT_EQ(extract(d / "s.zip", "*.*", d / "out"), 0);
  EXPECT_EQ(readFile(d / "out" + kSep + "a.txt"), a.data);
  EXPECT_EQ(readFile(d / "out" + kSep + "b.txt"), b.data);
  EXPECT_EQ(readFile(d / "out" + kSep + "c.txt"), c.data);

  // Deleting keeps the stub, the comment and the other members intact.
  ASSERT_EQ(remove(d / "s.zip", "\"b.txt\""), 0);
  std::string after = readFile(d / "s.zip");
  EXPECT_EQ(after.substr(0, 777), std::string(777, 'S'));
  EXPECT_EQ(after.substr(after.size() - 11), "the comment");
  ASSERT_EQ(extract(d / "s.zip", "*.*", d / "out2"), 0);
  EXPECT_EQ(readFile(d / "out2" + kSep + "c.txt"), c.data);
  EXPECT_FALSE(exists(d / "out2" + kSep + "b.txt"));
}

TEST(Extract, ExistingFilesFollowTheAnswers) {
  TempDir d;
  writeFile(d / "a.zip", buildZip({{"f.txt", "new"}, {"r.txt", "new"}}).bytes);
  writeFile(d / "out" + kSep + "f.txt", "old");
  writeFile(d / "out" + kSep + "r.txt", "old");
  setReadOnly(d / "out" + kSep + "r.txt", true);

  QueryLog no;
  no.answer = ZE_ANSWER_NO;
  ASSERT_EQ(extract(d / "a.zip", "*.*", d / "out", "", &no), 0);
  EXPECT_EQ(no.codes, (std::vector<int>{ZE_Q_OVERWRITE_FILE, ZE_Q_OVERWRITE_FILE}));
  EXPECT_EQ(readFile(d / "out" + kSep + "f.txt"), "old");

  QueryLog yes;
  yes.answer = ZE_ANSWER_YES;
  ASSERT_EQ(extract(d / "a.zip", "*.*", d / "out", "", &yes), 0);
  EXPECT_EQ(yes.codes, (std::vector<int>{ZE_Q_OVERWRITE_FILE, ZE_Q_OVERWRITE_FILE, ZE_Q_OVERWRITE_READONLY}));
  EXPECT_EQ(readFile(d / "out" + kSep + "f.txt"), "new");
  EXPECT_EQ(readFile(d / "out" + kSep + "r.txt"), "new");

  // "All" is asked once per kind.
  QueryLog all;
  ASSERT_EQ(extract(d / "a.zip", "*.*", d / "out", "", &all), 0);
  EXPECT_EQ(all.codes, std::vector<int>{ZE_Q_OVERWRITE_FILE});
}

TEST(Extract, ProgressRunsFromZeroToHundredWithoutFlooding) {
  TempDir d;
  std::vector<RawMember> m;
  for (int i = 0; i < 300; ++i) m.push_back({"f" + std::to_string(i), std::string(100, 'x')});
  m.push_back({"big", compressible(3 << 20), true});
  writeFile(d / "a.zip", buildZip(m).bytes);
  std::string zip = d / "a.zip", dest = d / "out";
  ProgressLog a, b;
  UNZIPCMD c{};
  c.cbSize = sizeof c;
  c.nFunction = ZE_UNZIP_EXTRACT;
  c.pszZipFile = zip.c_str();
  c.pszSpec = "*.*";
  c.pszDestDir = dest.c_str();
  c.pfnProgressA = recordProgress;
  c.pProgressAUser = &a;
  c.pfnProgressB = recordProgress;
  c.pProgressBUser = &b;
  ASSERT_EQ(dunzip(&c), 0);
  ASSERT_FALSE(b.values.empty());
  EXPECT_EQ(b.values.front(), 0);
  EXPECT_EQ(b.values.back(), 100);
  EXPECT_TRUE(std::is_sorted(b.values.begin(), b.values.end()));
  EXPECT_LE(b.values.size(), 101u);
  EXPECT_GT(b.values.size(), 20u);  // moves during the run, not only at the end
  // The large file reports its own progress in steps; the many small ones
  // do not each cost a call.
  EXPECT_GT(a.values.size(), 10u);
  EXPECT_LT(a.values.size(), 150u);
}

TEST(Listing, UnicodePathFieldWhileItMatchesTheName) {
  TempDir d;
  auto unicodeField = [](const std::string& raw, const std::string& utf8) {
    std::string f("\x75\x70\0\0\x01\0\0\0\0", 9);
    put16(f, 2, uint16_t(5 + utf8.size()));
    put32(f, 5, crcOf(raw));
    return f + utf8;
  };
  RawMember fresh{"caf\x82.txt", "a"};
  fresh.extra = unicodeField(fresh.name, "caf\xC3\xA9-new.txt");
  RawMember stale{"caf\x82.txt", "b"};
  stale.extra = unicodeField("renamed since", "other.txt");
  writeFile(d / "u.zip", buildZip({fresh, stale}).bytes);
  EXPECT_EQ(names(d / "u.zip"), (std::vector<std::string>{ansi(L"caf\u00e9-new.txt"), ansi(L"caf\u00e9.txt")}));
}

TEST(Extract, TimesComeFromTheExtendedTimestampFirst) {
  TempDir d;
  auto stamp = [](uint32_t t) {
    std::string f("\x55\x54\x05\0\x01\0\0\0\0", 9);
    put32(f, 5, t);
    return f;
  };
  RawMember dir{"dir/", ""};
  dir.extra = stamp(1000000000);  // 2001-09-09 01:46:40 UTC
  RawMember file{"dir/f.txt", "f"};
  file.extra = stamp(1234567890);
  writeFile(d / "t.zip", buildZip({dir, file}).bytes);
  ASSERT_EQ(extract(d / "t.zip", "*.*", d / "out"), 0);
  EXPECT_EQ(mtimeOf(d / "out" + kSep + "dir" + kSep + "f.txt"), 1234567890);
  EXPECT_EQ(mtimeOf(d / "out" + kSep + "dir"), 1000000000);
}

#if defined(_WIN32)
TEST(Extract, ReplacesHiddenAndSystemFiles) {
  TempDir d;
  writeFile(d / "a.zip", buildZip({{"h.txt", "new"}}).bytes);
  writeFile(d / "out" + kSep + "h.txt", "old");
  SetFileAttributesA((d / "out" + kSep + "h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  ASSERT_EQ(extract(d / "a.zip", "*.*", d / "out"), 0);
  EXPECT_EQ(readFile(d / "out" + kSep + "h.txt"), "new");
}
#endif

#if defined(_WIN32)
namespace {

std::string ReadWide(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(missing)";
  char buffer[64];
  DWORD got = 0;
  ReadFile(file, buffer, sizeof buffer, &got, nullptr);
  CloseHandle(file);
  return std::string(buffer, got);
}

std::wstring Wide(const std::string& ansi) {
  std::wstring w(ansi.size(), L'\0');
  w.resize(size_t(MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), w.data(), int(w.size()))));
  return w;
}

}  // namespace

// Greek under a Western code page: every such name would be "?.txt".
TEST(Extract, NamesTheCodePageLacksStayDistinctAndAreWrittenUnderTheirRealNames) {
  if (GetACP() == CP_UTF8) GTEST_SKIP() << "the ANSI code page spells every name";
  TempDir d;
  RawMember alpha{"\xce\xb1\xce\xbb\xcf\x86\xce\xb1/\xce\xb1.txt", "alpha"};  // αλφα/α.txt
  RawMember beta{"\xce\xb1\xce\xbb\xcf\x86\xce\xb1/\xce\xb2.txt", "beta"};
  alpha.flags = beta.flags = 0x0800;
  writeFile(d / "g.zip", buildZip({alpha, beta}).bytes);
  const std::vector<std::string> listed = names(d / "g.zip");
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_NE(listed[0], listed[1]);
  EXPECT_EQ(listed[0].substr(0, listed[0].find('/')), listed[1].substr(0, listed[1].find('/')))
      << "one folder for both";
  EXPECT_EQ(listed, names(d / "g.zip")) << "the same names every time";
  for (const std::string& name : listed) EXPECT_EQ(name.find('?'), std::string::npos) << name;

  // The listed name reaches its member alone; the file gets the real name.
  ASSERT_EQ(extract(d / "g.zip", "\"" + listed[1] + "\"", d / "out"), 0);
  const std::wstring folder = Wide(d / "out") + L"\\\u03b1\u03bb\u03c6\u03b1\\";
  EXPECT_EQ(ReadWide(folder + L"\u03b2.txt"), "beta");
  EXPECT_EQ(ReadWide(folder + L"\u03b1.txt"), "(missing)");
  ASSERT_EQ(extract(d / "g.zip", "*.*", d / "out"), 0);
  EXPECT_EQ(ReadWide(folder + L"\u03b1.txt"), "alpha");
}
#endif
