// Shared helpers of the interop tests: source trees on disk, the other
// archivers run as oracles, and the engine driven the way the system drives it.
#pragma once

#include "testutil.h"
#include "zipengine.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace interop {

namespace fs = std::filesystem;

// ---- processes ----------------------------------------------------------

struct RunResult {
  int status = -1;  // exit code, or -1 when the command did not exit normally
  std::string output;  // stdout and stderr together
};

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline RunResult Shell(const std::string& command) {
  RunResult r;
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

inline bool HaveTool(const std::string& tool) {
  return Shell("command -v " + tool + " >/dev/null").status == 0;
}

#define REQUIRE_TOOL(tool) \
  if (!::interop::HaveTool(tool)) GTEST_SKIP() << tool << " is not installed"

// ---- files --------------------------------------------------------------

inline std::string ReadAll(const fs::path& p) { return et::readFile(p); }

// Local calendar time to time_t: DOS times in archives are local.
inline time_t LocalTime(int y, int mo, int d, int h, int mi, int s) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

inline void SetMtime(const fs::path& p, time_t t) {
  struct utimbuf u{t, t};
  ASSERT_EQ(utime(p.c_str(), &u), 0) << p;
}

inline void WriteFile(const fs::path& p, const std::string& bytes, time_t mtime = 0) {
  fs::create_directories(p.parent_path());
  {
    std::ofstream f(p, std::ios::binary);
    f.write(bytes.data(), std::streamsize(bytes.size()));
    ASSERT_TRUE(f.good()) << p;
  }
  if (mtime) SetMtime(p, mtime);
}

inline std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = char(rng());
  return s;
}

inline std::string Text(size_t n, unsigned seed) {
  static const char* words[] = {"member ", "folder ", "archive ", "deflate ", "stored ",
                                "central ", "record\n", "zip ", "name ", "size "};
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < n) s += words[rng() % 10];
  s.resize(n);
  return s;
}

// What a directory holds: relative path (forward slashes, directories with a
// trailing slash) -> file content.
using Tree = std::map<std::string, std::string>;

inline Tree Snapshot(const fs::path& root) {
  Tree t;
  for (auto& e : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(e.path(), root).generic_string();
    if (e.is_directory())
      t[rel + "/"] = "";
    else
      t[rel] = ReadAll(e.path());
  }
  return t;
}

// Keys only, for readable failure messages.
inline std::string Keys(const Tree& t) {
  std::string s;
  for (auto& [k, v] : t) s += k + " (" + std::to_string(v.size()) + ")\n";
  return s;
}

// The reference tree every reader test archives: text, random, empty files,
// nested and empty folders, all with known times.
struct SourceTree {
  fs::path root;
  time_t stamp = LocalTime(2021, 3, 4, 5, 6, 8);

  explicit SourceTree(const fs::path& dir) : root(dir) {
    WriteFile(root / "a.txt", "hello\n", stamp);
    WriteFile(root / "docs/readme.md", Text(20000, 1), stamp);
    WriteFile(root / "docs/img/pic.bin", RandomBytes(70000, 2), stamp);
    WriteFile(root / "docs/zero.txt", "", stamp);
    fs::create_directories(root / "empty");
  }
};

// ---- the engine ---------------------------------------------------------

struct Member {
  std::string name;
  uint32_t size = 0, packed = 0, crc = 0;
  uint16_t method = 0, flags = 0, attributes = 0;
  std::string date;
};

struct Listing {
  int result = -1;
  int count = -1;
  std::vector<Member> members;
};

inline int ZE_CALLBACK AnswerLikeTheSystem(int32_t code, intptr_t, intptr_t, intptr_t, intptr_t,
                                           intptr_t, intptr_t, void*) {
  if (code == ZE_Q_OVERWRITE_FILE || code == ZE_Q_REPLACE_MEMBER || code == ZE_Q_OVERWRITE_READONLY)
    return ZE_ANSWER_ALL;
  return code == ZE_Q_SKIP_UNREADABLE ? ZE_ANSWER_NO : ZE_ANSWER_YES;
}

inline UNZIPCMD UnzipBlock(int function, const std::string& archive) {
  UNZIPCMD u{};
  u.cbSize = sizeof u;
  u.nFunction = function;
  u.pszZipFile = archive.c_str();
  u.nSpanDisk = -1;
  u.bRecurse = 1;
  u.pfnQuery = AnswerLikeTheSystem;
  return u;
}

// Count, then one next-member call per member, as the listing does.
inline Listing List(const fs::path& archive) {
  Listing l;
  std::string a = archive.string();
  UNZIPCMD u = UnzipBlock(ZE_UNZIP_COUNT, a);
  l.result = dunzip(&u);
  if (l.result != ZE_OK) return l;
  l.count = u.nMemberCount;
  for (int i = 0; i < l.count; ++i) {
    MEMBERINFO info{};
    UNZIPCMD n = UnzipBlock(ZE_UNZIP_NEXT, a);
    n.pMemberInfo = &info;
    n.pListing = u.pListing;
    l.result = dunzip(&n);
    u.pListing = n.pListing;
    if (l.result != ZE_OK) break;
    Member m;
    m.name = info.szName;
    m.size = info.dwSize;
    m.packed = info.dwCompressedSize;
    m.crc = info.dwCrc32;
    m.method = info.wMethod;
    m.flags = info.wFlags;
    m.attributes = info.wAttributes;
    m.date = info.szDate;
    l.members.push_back(m);
  }
  u.nFunction = ZE_UNZIP_END;
  dunzip(&u);
  return l;
}

inline int ZE_CALLBACK ExtractRename(NAMEMAP* map, void* context) {
  // The system's extract callback: destination followed by the stored name.
  auto* dest = static_cast<std::string*>(context);
  std::snprintf(map->szOutput, sizeof map->szOutput, "%s%s", dest->c_str(), map->szInput);
  return 0;
}

inline int Extract(const fs::path& archive, const fs::path& dest, const std::string& spec = "*.*") {
  fs::create_directories(dest);
  std::string a = archive.string();
  std::string d = dest.string() + "/";
  UNZIPCMD u = UnzipBlock(ZE_UNZIP_EXTRACT, a);
  u.pszSpec = spec.c_str();
  u.pszDestDir = d.c_str();
  u.pfnRename = ExtractRename;
  u.pRenameContext = &d;
  return dunzip(&u);
}

struct AddContext {
  std::string sourceDir;  // with a trailing slash
  std::string folder;     // the folder inside the archive, "" or ending in '/'
};

inline int ZE_CALLBACK AddRename(NAMEMAP* map, void* context) {
  // The system's add callback: the folder inside the archive, then the full
  // path without the source directory, forward slashes.
  auto* ctx = static_cast<AddContext*>(context);
  std::string in = map->szInput;
  for (char& c : in)
    if (c == '\\') c = '/';
  std::string out = ctx->folder + (in.compare(0, ctx->sourceDir.size(), ctx->sourceDir) == 0
                                       ? in.substr(ctx->sourceDir.size())
                                       : in);
  std::snprintf(map->szOutput, sizeof map->szOutput, "%s", out.c_str());
  return 0;
}

struct AddOptions {
  int level = 6;
  bool grow = false;
  const char* comment = "Zip file created using Marrowbox";
  std::string folder;  // stored names go below this folder ("" or ending in '/')
};

// Adds items (paths below sourceDir; a trailing '/' names the directory
// entry alone, otherwise directories are added with their contents).
inline int Add(const fs::path& archive, const fs::path& sourceDir,
               const std::vector<std::string>& items, AddOptions opt = {}) {
  std::string a = archive.string();
  std::string spec;
  for (auto& i : items) {
    if (!spec.empty()) spec += ' ';
    spec += "\"" + (sourceDir / i).string() + "\"";
  }
  AddContext ctx{sourceDir.string() + "/", opt.folder};
  std::string root = "\"" + ctx.sourceDir + "\"";
  fs::path work = fs::temp_directory_path();
  std::string workDir = work.string();
  ZIPCMD z{};
  z.cbSize = sizeof z;
  z.nFunction = ZE_ZIP_ADD;
  z.pszZipFile = a.c_str();
  z.pszItems = spec.c_str();
  z.nLevel = opt.level;
  z.bUseWorkDir = 1;
  z.pszWorkDir = workDir.c_str();
  z.bGrow = opt.grow ? 1 : 0;
  z.bSetComment = 1;
  z.pszComment = opt.comment;
  z.bRecurse = 1;
  z.pszRootDir = root.c_str();
  z.bDirEntries = 1;
  z.pfnQuery = AnswerLikeTheSystem;
  z.pfnRename = AddRename;
  z.pRenameContext = &ctx;
  return dzip(&z);
}

inline int Delete(const fs::path& archive, const std::string& spec, bool grow = false) {
  std::string a = archive.string();
  std::string workDir = fs::temp_directory_path().string();
  ZIPCMD z{};
  z.cbSize = sizeof z;
  z.nFunction = ZE_ZIP_DELETE;
  z.pszZipFile = a.c_str();
  z.pszItems = spec.c_str();
  z.bUseWorkDir = 1;
  z.pszWorkDir = workDir.c_str();
  z.bGrow = grow ? 1 : 0;
  z.bDirEntries = 1;
  z.pfnQuery = AnswerLikeTheSystem;
  return dzip(&z);
}

// ---- oracles ------------------------------------------------------------

// One member as Python's zipfile sees it.
struct OracleMember {
  std::string name;
  uint64_t size = 0, packed = 0;
  uint32_t crc = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  uint32_t externalAttr = 0;
  unsigned flags = 0;
  int method = 0;
};

inline const char* kOracleScript = R"PY(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for i in z.infolist():
        y, mo, d, h, mi, s = i.date_time
        sys.stdout.buffer.write(b"%s\t%d\t%d\t%d\t%d %d %d %d %d\t%d\t%d\t%d\n" % (
            i.filename.encode("utf-8"), i.file_size, i.compress_size, i.CRC,
            y, mo, d, h, mi, i.external_attr, i.flag_bits, i.compress_type))
)PY";

inline std::vector<OracleMember> OracleList(const fs::path& archive, std::string* error) {
  std::vector<OracleMember> v;
  RunResult r = Shell("python3 -c " + Quote(kOracleScript) + " " + Quote(archive.string()));
  if (r.status != 0) {
    *error = r.output;
    return v;
  }
  std::istringstream in(r.output);
  std::string line;
  while (std::getline(in, line)) {
    OracleMember m;
    std::istringstream f(line);
    std::string field;
    std::getline(f, m.name, '\t');
    f >> m.size >> m.packed >> m.crc >> m.year >> m.month >> m.day >> m.hour >> m.minute >>
        m.externalAttr >> m.flags >> m.method;
    v.push_back(m);
  }
  return v;
}

inline std::string DosDateText(const OracleMember& m) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %02d:%02d", m.month, m.day, m.year % 100, m.hour,
                m.minute);
  return buf;
}

inline uint32_t Saturate(uint64_t v) { return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(v); }

// `unzip -t`, `7zz t` and zipfile.testzip() all accept the archive, and
// none of them warns.  7-Zip always warns that an archive with a stub before
// its first member "is open with offset"; with `stub` that warning alone is
// allowed.
inline void ExpectOraclesAccept(const fs::path& archive, bool stub = false) {
  std::string a = Quote(archive.string());
  if (HaveTool("unzip")) {
    RunResult t = Shell("unzip -t " + a);
    EXPECT_EQ(t.status, 0) << "unzip -t:\n" << t.output;
    RunResult q = Shell("unzip -tq " + a);
    EXPECT_EQ(q.status, 0) << q.output;
    EXPECT_EQ(q.output, "No errors detected in compressed data of " + archive.string() + ".\n")
        << "unzip -tq says more than that the archive is fine";
  }
  if (HaveTool("7zz")) {
    RunResult t = Shell("7zz t -bd " + a);
    EXPECT_EQ(t.status, 0) << "7zz t:\n" << t.output;
    EXPECT_NE(t.output.find("Everything is Ok"), std::string::npos) << t.output;
    std::string rest = t.output;
    if (stub) {
      for (const char* allowed :
           {"WARNING:\n" , "Warning: The archive is open with offset\n",
            "The archive is open with offset\n", "Archives with Warnings: 1\n"}) {
        for (size_t k; (k = rest.find(allowed)) != std::string::npos;)
          rest.erase(k, std::strlen(allowed));
      }
    }
    for (const char* bad : {"WARNING", "Warnings", "ERROR", "Headers Error", "Unexpected end",
                            "There are data after the end"}) {
      EXPECT_EQ(rest.find(bad), std::string::npos) << "7zz t reports '" << bad << "':\n"
                                                       << t.output;
    }
  }
  if (HaveTool("python3")) {
    RunResult p = Shell("python3 -W error -c " +
                      Quote("import sys, zipfile\n"
                            "with zipfile.ZipFile(sys.argv[1]) as z:\n"
                            "    bad = z.testzip()\n"
                            "    assert bad is None, 'bad member: %r' % bad\n"
                            "print('ok')\n") +
                      " " + a);
    EXPECT_EQ(p.status, 0) << "zipfile.testzip():\n" << p.output;
    EXPECT_EQ(p.output, "ok\n") << "zipfile printed warnings";
  }
}

// A private directory below the system's temporary directory.
class TempDir {
public:
  TempDir() {
    std::string t = (fs::temp_directory_path() / "interop.XXXXXX").string();
    if (mkdtemp(t.data())) path_ = t;
  }
  ~TempDir() {
    std::error_code ec;
    // Extraction restores read-only attributes; make everything removable.
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& s) const { return path_ / s; }

private:
  fs::path path_;
};

}  // namespace interop
