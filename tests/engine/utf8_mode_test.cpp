// The engine in UTF-8 mode: real names in every direction, long paths,
// Unicode case, 64-bit sizes in the long listing, and the same refusals of
// hostile names as in ANSI mode.
#include <algorithm>
#include <cstring>
#include <memory>

#include "rawzip.h"
#include "testutil.h"

#if defined(_WIN32)
#include <windows.h>
#endif

using namespace et;

namespace {

// A UTF-8 path as the file system takes it; on Windows in the long form, so
// the tests can reach what lies past MAX_PATH.
fs::path P(const std::string& utf8) {
  fs::path p(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
#if defined(_WIN32)
  std::wstring w = p.wstring();
  std::replace(w.begin(), w.end(), L'/', L'\\');
  if (w.size() > 2 && w[1] == L':') return fs::path(L"\\\\?\\" + w);
#endif
  return p;
}

void put(const std::string& path, const std::string& content) {
  fs::create_directories(P(path).parent_path());
  std::ofstream f(P(path), std::ios::binary | std::ios::trunc);
  f.write(content.data(), std::streamsize(content.size()));
  ASSERT_TRUE(f.good()) << path;
}

std::string get(const std::string& path) { return readFile(P(path)); }

bool has(const std::string& path) {
#if defined(_WIN32)
  // The library's stat cannot take the long form.
  return GetFileAttributesW(P(path).wstring().c_str()) != INVALID_FILE_ATTRIBUTES;
#else
  std::error_code ec;
  return fs::exists(P(path), ec);
#endif
}

// Files below dir, relative, '/' separated, in UTF-8.
#if defined(_WIN32)
// By the system's own search: the library's directory walk cannot take
// the long form, nor names that end in a dot.
void walk(const std::wstring& dir, const std::string& rel, std::vector<std::string>& out) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring n = fd.cFileName;
    if (n == L"." || n == L"..") continue;
    const std::u8string u = fs::path(n).u8string();
    const std::string name = rel + std::string(u.begin(), u.end());
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) walk(dir + L"\\" + n, name + "/", out);
    else out.push_back(name);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}

std::vector<std::string> filesBelow(const std::string& dir) {
  std::vector<std::string> out;
  walk(P(dir).wstring(), "", out);
  std::sort(out.begin(), out.end());
  return out;
}
#else
std::vector<std::string> filesBelow(const std::string& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  const std::string base = P(dir).string();
  for (fs::recursive_directory_iterator it(P(dir), ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec)) out.push_back(it->path().string().substr(base.size() + 1));
  std::sort(out.begin(), out.end());
  return out;
}
#endif

// The library's remove_all cannot take the long form on Windows.
void removeTree(const fs::path& p) {
#if defined(_WIN32)
  const std::wstring w = p.wstring();
  const DWORD a = GetFileAttributesW(w.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return;
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(w.c_str());
    return;
  }
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((w + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring n = fd.cFileName;
      if (n != L"." && n != L"..") removeTree(fs::path(w + L"\\" + n));
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(w.c_str());
#else
  std::error_code ec;
  fs::remove_all(p, ec);
#endif
}

struct LongListed {
  std::string name;
  uint64_t size, csize;
  uint16_t flags, attrs;
};

// Count, then next-member calls into the long record until bEnd.
std::vector<LongListed> listLong(const std::string& zip, bool utf8 = true) {
  std::vector<LongListed> out;
  UNZIPCMD c{};
  c.cbSize = sizeof c;
  c.nFunction = ZE_UNZIP_COUNT;
  c.pszZipFile = zip.c_str();
  c.nSpanDisk = -1;
  c.bUtf8 = utf8;
  EXPECT_EQ(dunzip(&c), 0) << "count " << zip;
  auto info = std::make_unique<MEMBERINFOLONG>();
  for (int i = 0; i <= c.nMemberCount; ++i) {
    std::memset(info.get(), 0xCC, sizeof *info);
    UNZIPCMD d{};
    d.cbSize = sizeof d;
    d.nFunction = ZE_UNZIP_NEXT;
    d.pszZipFile = zip.c_str();
    d.pMemberInfoLong = info.get();
    d.bUtf8 = utf8;
    d.pListing = c.pListing;
    EXPECT_EQ(dunzip(&d), 0) << "next " << i;
    c.pListing = d.pListing;
    if (info->bEnd) {
      EXPECT_EQ(i, c.nMemberCount);
      EXPECT_EQ(info->szName[0], '\0');
      return out;
    }
    EXPECT_EQ(info->bEnd, 0);
    out.push_back({info->szName, info->qwSize, info->qwCompressedSize, info->wFlags, info->wAttributes});
  }
  ADD_FAILURE() << "no end record after " << c.nMemberCount << " members";
  return out;
}

std::vector<std::string> longNames(const std::string& zip) {
  std::vector<std::string> n;
  for (auto& l : listLong(zip)) n.push_back(l.name);
  return n;
}

// Adds items (full UTF-8 paths) with names relative to root.
struct Utf8Add {
  ZIPCMD cmd{};
  std::string zip, items, root, workDir, drop;
  explicit Utf8Add(const std::string& z, const std::string& r) : zip(z), root("\"" + r + "\"") {
    cmd.cbSize = sizeof cmd;
    cmd.nFunction = ZE_ZIP_ADD;
    cmd.bUtf8 = 1;
    cmd.nLevel = 6;
    cmd.bRecurse = 1;
    cmd.bDirEntries = 1;
    workDir = fs::temp_directory_path().string();
  }
  int run() {
    cmd.pszZipFile = zip.c_str();
    cmd.pszItems = items.c_str();
    cmd.pszRootDir = root.c_str();
    cmd.bUseWorkDir = 1;
    cmd.pszWorkDir = workDir.c_str();
    cmd.pszDropItems = drop.empty() ? nullptr : drop.c_str();
    return dzip(&cmd);
  }
};

struct Utf8Extract {
  UNZIPCMD cmd{};
  std::string zip, spec, dest;
  Utf8Extract(const std::string& z, const std::string& s, const std::string& d, bool literal)
      : zip(z), spec(s), dest(d) {
    cmd.cbSize = sizeof cmd;
    cmd.nFunction = ZE_UNZIP_EXTRACT;
    cmd.bUtf8 = 1;
    cmd.bLiteral = literal;
    cmd.nSpanDisk = -1;
    cmd.bRecurse = 1;
  }
  int run() {
    cmd.pszZipFile = zip.c_str();
    cmd.pszSpec = spec.c_str();
    cmd.pszDestDir = dest.c_str();
    return dunzip(&cmd);
  }
};

int extractU8(const std::string& zip, const std::string& spec, const std::string& dest, bool literal) {
  return Utf8Extract(zip, spec, dest, literal).run();
}

int removeU8(const std::string& zip, const std::string& spec, bool literal) {
  ZIPCMD c{};
  c.cbSize = sizeof c;
  c.nFunction = ZE_ZIP_DELETE;
  c.bUtf8 = 1;
  c.bLiteral = literal;
  c.pszZipFile = zip.c_str();
  c.pszItems = spec.c_str();
  return dzip(&c);
}

void writeRaw(const std::string& path, const std::string& bytes) { put(path, bytes); }

// Flags of the central record whose name is `name`.
int centralFlags(const std::string& bytes, const std::string& name) {
  size_t at = bytes.find(std::string("PK\x01\x02", 4));
  while (at != std::string::npos) {
    uint16_t n = get16(bytes, at + 28);
    if (bytes.compare(at + 46, n, name) == 0) return get16(bytes, at + 8);
    at = bytes.find(std::string("PK\x01\x02", 4), at + 46);
  }
  return -1;
}

const std::string kGreekDir = "Ελληνικά";
const std::string kGreekFile = "Ελληνικά/αρχείο.txt";
const std::vector<std::string> kScriptNames = {
    kGreekFile, "Кириллица.txt", "漢字フォルダ/中文.txt", "עברית.txt", "emoji 😀.txt", "plain.txt",
};

}  // namespace

TEST(Utf8Mode, NamesOfManyScriptsRoundTrip) {
  TempDir d;
  // The archive's own folder is not ASCII either: open, create, replace,
  // temporary files and the grow record all go by UTF-8 paths.
  const std::string src = d.path() + kSep + "источник";
  const std::string zip = d.path() + kSep + "архив Ω" + kSep + "test.zip";
  fs::create_directories(P(d.path() + kSep + "архив Ω"));
  for (const std::string& n : kScriptNames) put(src + "/" + n, "data of " + n);

  Utf8Add add(zip, src);
  add.items = "\"" + src + "\"";
  ASSERT_EQ(add.run(), 0);
  const std::string bytes = get(zip);
  EXPECT_EQ(centralFlags(bytes, kGreekFile) & 0x0800, 0x0800);
  EXPECT_EQ(centralFlags(bytes, "emoji 😀.txt") & 0x0800, 0x0800);
  EXPECT_EQ(centralFlags(bytes, "plain.txt"), 0);

  auto listed = listLong(zip);
  for (const std::string& n : kScriptNames) {
    auto it = std::find_if(listed.begin(), listed.end(), [&](const LongListed& l) { return l.name == n; });
    ASSERT_NE(it, listed.end()) << n;
    EXPECT_EQ(it->size, ("data of " + n).size());
  }
  EXPECT_NE(std::find_if(listed.begin(), listed.end(), [](auto& l) { return l.name == "Ελληνικά/"; }), listed.end());

  // Literal names in another case: Greek upper case with its tonos, Cyrillic.
  const std::string out = d.path() + kSep + "выход";
  ASSERT_EQ(extractU8(zip, literal({{'M', "ΕΛΛΗΝΙΚΆ/ΑΡΧΕΊΟ.TXT"}, {'F', "КИРИЛЛИЦА.TXT"}}), out, true), 0);
  EXPECT_EQ(filesBelow(out), (std::vector<std::string>{kGreekFile, "Кириллица.txt"}));
  EXPECT_EQ(get(out + "/" + kGreekFile), "data of " + kGreekFile);
  // '?' takes one character, however many bytes it has.
  ASSERT_EQ(extractU8(zip, "\"EMOJI ?.TXT\"", out, false), 0);
  EXPECT_EQ(get(out + "/emoji 😀.txt"), "data of emoji 😀.txt");
  EXPECT_EQ(extractU8(zip, "\"EMOJI ??.TXT\"", out, false), ZE_NOT_FOUND);

  // A grow in place beside the UTF-8 archive, then deletes by real name.
  put(src + "/новый.txt", "new");
  Utf8Add grow(zip, src);
  grow.items = "\"" + src + "/новый.txt\"";
  grow.cmd.bGrow = 1;
  ASSERT_EQ(grow.run(), 0);
  ASSERT_EQ(removeU8(zip, literal({{'M', "кириллица.txt"}, {'T', "漢字フォルダ"}}), true), 0);
  ASSERT_EQ(removeU8(zip, "\"ΕΛΛΗΝΙΚΆ\\*.*\"", false), 0);
  EXPECT_EQ(longNames(zip), (std::vector<std::string>{"emoji 😀.txt", "plain.txt", "עברית.txt", "новый.txt"}));
  EXPECT_EQ(filesBelow(d.path() + kSep + "архив Ω"), std::vector<std::string>{"test.zip"});
}

TEST(Utf8Mode, UnflaggedNamesReadAsUtf8OrCodePage437) {
  TempDir d;
  std::vector<RawMember> m;
  m.emplace_back("naïve/Ωmega.txt", "utf8");             // unflagged, valid UTF-8: Info-ZIP on Linux
  m.emplace_back(std::string("\x8E") + "rger.txt", "oem");  // code page 437 Ä
  m.emplace_back(std::string("caf\x82 \xE1.txt"), "oem2");  // é and ß, not valid UTF-8
  m.emplace_back(std::string("bad\xFF\xC3.txt"), "bad");
  m.back().flags = 0x0800;                                  // flagged, but not UTF-8
  const std::string zip = d / "raw.zip";
  writeRaw(zip, buildZip(m).bytes);
  EXPECT_EQ(longNames(zip), (std::vector<std::string>{"naïve/Ωmega.txt", "Ärger.txt", "café ß.txt",
                                                      "bad\xEF\xBF\xBD\xEF\xBF\xBD.txt"}));
  // The malformed name is written under its U+FFFD form, never crashing.
  const std::string out = d / "out";
  ASSERT_EQ(extractU8(zip, "*.*", out, false), 0);
  EXPECT_EQ(get(out + "/naïve/Ωmega.txt"), "utf8");
  EXPECT_EQ(get(out + "/café ß.txt"), "oem2");
  EXPECT_EQ(get(out + "/bad\xEF\xBF\xBD\xEF\xBF\xBD.txt"), "bad");
  ASSERT_EQ(extractU8(zip, literal({{'M', "ärger.TXT"}}), d / "out2", true), 0);
  EXPECT_EQ(get(d / "out2" + "/Ärger.txt"), "oem");
}

TEST(Utf8Mode, PathsPastMaxPathListExtractAndAddBack) {
  TempDir d;
  std::string name;
  while (name.size() < 300) name += "Ω-segment-of-a-long-path-" + std::to_string(name.size()) + "/";
  name += "τέλος.txt";
  const size_t chars = size_t(std::count_if(name.begin(), name.end(), [](char c) { return (c & 0xC0) != 0x80; }));
  ASSERT_GE(chars, 300u);
  const std::string zip = d / "deep.zip";
  writeRaw(zip, buildZip({RawMember(name, "deep data")}).bytes);
  auto listed = listLong(zip);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].name, name);

  const std::string out = d / "out";
  ASSERT_GT(out.size() + chars, 260u);
  ASSERT_EQ(extractU8(zip, literal({{'M', name}}), out, true), 0);
  EXPECT_EQ(get(out + "/" + name), "deep data");

  // Added back from the extracted tree, with its folders listed recursively.
  const std::string again = d / "again.zip";
  Utf8Add add(again, out);
  add.items = "\"" + out + "\"";
  add.cmd.bDirEntries = 0;
  ASSERT_EQ(add.run(), 0);
  listed = listLong(again);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].name, name);
  EXPECT_EQ(listed[0].size, 9u);
  // Removed in the long form: the scratch directory's clean-up takes the short one.
  removeTree(P(out));
  EXPECT_FALSE(has(out));
}

TEST(Utf8Mode, TrailingDotsAndBlanksAreKept) {
  // The short path form would drop them and write another name.
  TempDir d;
  const std::string zip = d / "dots.zip";
  writeRaw(zip, buildZip({RawMember("Ωdot.", "d"), RawMember("Ωdir. /Ωblank ", "b")}).bytes);
  const std::string out = d / "out";
  ASSERT_EQ(extractU8(zip, "*.*", out, false), 0);
  EXPECT_EQ(filesBelow(out), (std::vector<std::string>{"Ωdir. /Ωblank ", "Ωdot."}));
  EXPECT_EQ(get(out + "/Ωdot."), "d");
  removeTree(P(out));
}

TEST(Utf8Mode, LongRecordCarriesSizesPastFourGiB) {
  TempDir d;
  const uint64_t five = uint64_t(5) << 30, compressed = uint64_t(5) << 29;
  RawMember big("big.bin");
  big.extra = std::string("\x01\x00\x10\x00", 4);
  for (uint64_t v : {five, compressed})
    for (int i = 0; i < 8; ++i) big.extra += char((v >> (8 * i)) & 0xFF);
  RawArchive a = buildZip({big, RawMember("small.txt", "tiny")});
  // The classic fields point to the ZIP64 block; no data is written.
  put32(a.bytes, a.centralRecords[0] + 20, 0xFFFFFFFFu);
  put32(a.bytes, a.centralRecords[0] + 24, 0xFFFFFFFFu);
  const std::string zip = d / "big.zip";
  writeRaw(zip, a.bytes);
  auto listed = listLong(zip);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].size, five);
  EXPECT_EQ(listed[0].csize, compressed);
  EXPECT_EQ(listed[1].size, 4u);
  // The ANSI long record too; the short one saturates.
  EXPECT_EQ(listLong(zip, false)[0].size, five);
  EXPECT_EQ(list(zip)[0].size, 0xFFFFFFFFu);
}

TEST(Utf8Mode, LongListingPassesEmptyNamesAndNeverFailsForLength) {
  TempDir d;
  const std::string longName = std::string(1000, 'x') + "Ω.txt";
  const std::string zip = d / "z.zip";
  writeRaw(zip, buildZip({RawMember("./"), RawMember(longName, "l"), RawMember("a.txt", "a")}).bytes);
  auto listed = listLong(zip);
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].name, "");
  EXPECT_EQ(listed[1].name, longName);
  EXPECT_EQ(listed[2].name, "a.txt");
  // The call after the end starts over, without a count.
  auto info = std::make_unique<MEMBERINFOLONG>();
  UNZIPCMD c{};
  c.cbSize = sizeof c;
  c.nFunction = ZE_UNZIP_NEXT;
  c.pszZipFile = zip.c_str();
  c.pMemberInfoLong = info.get();
  c.bUtf8 = 1;
  ASSERT_EQ(dunzip(&c), 0);
  ASSERT_EQ(dunzip(&c), 0);
  EXPECT_EQ(std::string(info->szName), longName);
  EXPECT_EQ(info->bEnd, 0);
  c.nFunction = ZE_UNZIP_END;
  dunzip(&c);
}

TEST(Utf8Mode, HostileNamesStayRefused) {
  TempDir d;
  const std::string dest = d / "dest";
  for (const std::string& bad :
       {std::string("COM¹.txt"), std::string("Ω/lpt³"), std::string("NUL.txt"), std::string("con .Ω"),
        std::string("Ωx:stream"), std::string("Ω/AUX. .txt"), std::string("Ω/…/.. ")}) {
    const std::string zip = d / "bad.zip";
    writeRaw(zip, buildZip({RawMember("ok.txt", "ok"), RawMember(bad, "evil")}).bytes);
    EXPECT_EQ(extractU8(zip, "*.*", dest, false), ZE_DAMAGED) << bad;
    EXPECT_TRUE(filesBelow(dest).empty()) << bad;
  }
  // Climbing and absolute parts are dropped: the member lands inside.
  const std::string zip = d / "climb.zip";
  writeRaw(zip, buildZip({RawMember("../../Ωevil.txt", "a"), RawMember("/Ωroot.txt", "b"),
                          RawMember("C:/Ωdrive.txt", "c")})
                    .bytes);
  ASSERT_EQ(extractU8(zip, "*.*", dest, false), 0);
  EXPECT_EQ(filesBelow(dest), (std::vector<std::string>{"Ωdrive.txt", "Ωevil.txt", "Ωroot.txt"}));
  EXPECT_EQ(filesBelow(d.path()), (std::vector<std::string>{"bad.zip", "climb.zip", "dest/Ωdrive.txt",
                                                              "dest/Ωevil.txt", "dest/Ωroot.txt"}));
}

namespace {

struct LongRenameLog {
  LongRenameLog(std::string p, size_t c, int r = 0) : prefix(std::move(p)), cut(c), refuse(r) {}
  std::string prefix;  // what is put before the input's tail
  size_t cut;          // bytes of the input dropped
  int refuse;
  std::vector<std::string> inputs;
};

int ZE_CALLBACK longRename(NAMEMAPLONG* map, void* context) {
  auto* log = static_cast<LongRenameLog*>(context);
  std::string in = map->szInput;
  log->inputs.push_back(in);
  std::string out = log->prefix + in.substr(std::min(in.size(), log->cut));
  std::replace(out.begin(), out.end(), '\\', '/');
  std::memcpy(map->szOutput, out.c_str(), out.size() + 1);
  return log->refuse;
}

int ZE_CALLBACK shortRenameMustNotRun(NAMEMAP*, void*) {
  ADD_FAILURE() << "the short rename callback ran in UTF-8 mode";
  return 1;
}

}  // namespace

TEST(Utf8Mode, LongRenameCallbacksGetAndGiveUtf8) {
  TempDir d;
  const std::string src = d / "ソース";
  put(src + "/файл.txt", "f");
  const std::string zip = d / "r.zip";

  // Add: the input is the source path, the output the member name; a name
  // longer than the short map holds is fine.
  const std::string folder = std::string(300, 'p') + "/Папка/";
  LongRenameLog addLog{folder, src.size() + 1};
  Utf8Add add(zip, src);
  add.items = "\"" + src + kSep + "файл.txt\"";
  add.cmd.pfnRename = shortRenameMustNotRun;
  add.cmd.pfnRenameLong = longRename;
  add.cmd.pRenameContext = &addLog;
  ASSERT_EQ(add.run(), 0);
  EXPECT_EQ(addLog.inputs, std::vector<std::string>{src + kSep + "файл.txt"});
  EXPECT_EQ(longNames(zip), std::vector<std::string>{folder + "файл.txt"});

  // Extract: the input is the member name, the output a path in the destination.
  const std::string dest = d / "назначение";
  LongRenameLog exLog{dest + kSep + "плоско-", folder.size()};
  Utf8Extract ex(zip, "*.*", dest, false);
  ex.cmd.pfnRename = shortRenameMustNotRun;
  ex.cmd.pfnRenameLong = longRename;
  ex.cmd.pRenameContext = &exLog;
  ASSERT_EQ(ex.run(), 0);
  EXPECT_EQ(exLog.inputs, std::vector<std::string>{folder + "файл.txt"});
  EXPECT_EQ(filesBelow(dest), std::vector<std::string>{"плоско-файл.txt"});

  // An output outside the destination is refused before anything is written.
  LongRenameLog outside{d.path() + kSep + "назначение2" + kSep + ".." + kSep + "вне-", folder.size()};
  Utf8Extract ex2(zip, "*.*", d / "назначение2", false);
  ex2.cmd.pfnRenameLong = longRename;
  ex2.cmd.pRenameContext = &outside;
  EXPECT_EQ(ex2.run(), ZE_DAMAGED);
  EXPECT_FALSE(has(d / "вне-файл.txt"));

  // A refusal stops the run.
  LongRenameLog refused{dest + kSep, folder.size(), 1};
  Utf8Extract ex3(zip, "*.*", d / "назначение3", false);
  ex3.cmd.pfnRenameLong = longRename;
  ex3.cmd.pRenameContext = &refused;
  EXPECT_EQ(ex3.run(), ZE_NAME_TOO_LONG);
}

TEST(FileItem, NamesTheFileNotTheFolderOfThatName) {
  TempDir d;
  const std::string zip = d / "x.zip";
  auto make = [&] {
    writeRaw(zip, buildZip({RawMember("x", "file x"), RawMember("x/"), RawMember("x/in.txt", "in"),
                            RawMember("y/x", "other")})
                      .bytes);
  };
  make();
  for (bool utf8 : {true, false}) {
    const std::string out = d / (utf8 ? "out8" : "outA");
    const std::string items = literal({{'F', "X"}});
    if (utf8) {
      ASSERT_EQ(extractU8(zip, items, out, true), 0);
    } else {
      ASSERT_EQ(extract(zip, items, out, "", nullptr, true), 0);
    }
    EXPECT_EQ(filesBelow(out), std::vector<std::string>{"x"});
    EXPECT_EQ(get(out + "/x"), "file x");
  }
  ASSERT_EQ(removeU8(zip, literal({{'F', "x"}}), true), 0);
  EXPECT_EQ(longNames(zip), (std::vector<std::string>{"x/", "x/in.txt", "y/x"}));
  make();
  ASSERT_EQ(remove(zip, literal({{'F', "x"}}), true), 0);
  EXPECT_EQ(names(zip), (std::vector<std::string>{"x/", "x/in.txt", "y/x"}));

  // In a drop list: the new file takes the old file's place; the folder stays.
  make();
  const std::string src = d / "src";
  put(src + "/x", "new x");
  Utf8Add add(zip, src);
  add.items = "\"" + src + kSep + "x\"";
  add.drop = literal({{'F', "x"}});
  ASSERT_EQ(add.run(), 0);
  EXPECT_EQ(longNames(zip), (std::vector<std::string>{"x/", "x/in.txt", "y/x", "x"}));
  ASSERT_EQ(extractU8(zip, literal({{'F', "x"}}), d / "after", true), 0);
  EXPECT_EQ(get(d / "after" + "/x"), "new x");

  // A file item naming a folder is a caller's slip.
  EXPECT_EQ(extractU8(zip, literal({{'F', "x/"}}), d / "slip", true), ZE_FAILED);
}
