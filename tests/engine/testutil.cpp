#include "testutil.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <random>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace et {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::string base;
#if defined(_WIN32)
  char buf[MAX_PATH];
  GetTempPathA(MAX_PATH, buf);
  base = buf;
  unsigned pid = unsigned(GetCurrentProcessId());
#else
  const char* t = std::getenv("TMPDIR");
  base = t && *t ? t : "/tmp";
  unsigned pid = unsigned(getpid());
#endif
  if (base.back() != kSep) base += kSep;
  path_ = base + "zetest-" + std::to_string(pid) + "-" + std::to_string(counter++);
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files are cleared first so the tree can go.
  for (auto& p : fs::recursive_directory_iterator(path_, ec))
    fs::permissions(p.path(), fs::perms::owner_write, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string TempDir::operator/(const std::string& rel) const {
  std::string r = rel;
  for (char& c : r)
    if (c == '/') c = kSep;
  return path_ + kSep + r;
}

void writeFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(content.data(), std::streamsize(content.size()));
  ASSERT_TRUE(f.good()) << path;
}

std::string readFile(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) { return fs::exists(path); }

std::string pseudoRandom(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = char(gen());
  return s;
}

std::string compressible(size_t n) {
  std::string s;
  for (size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i % 97) + " of some text\n";
  s.resize(n);
  return s;
}

std::string ansi(const std::wstring& w) {
#if defined(_WIN32)
  int n = WideCharToMultiByte(CP_ACP, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
  return s;
#else
  std::string s;
  for (wchar_t c : w) {
    unsigned u = unsigned(c);
    if (u < 0x80) {
      s += char(u);
    } else if (u < 0x800) {
      s += char(0xC0 | (u >> 6));
      s += char(0x80 | (u & 0x3F));
    } else {
      s += char(0xE0 | (u >> 12));
      s += char(0x80 | ((u >> 6) & 0x3F));
      s += char(0x80 | (u & 0x3F));
    }
  }
  return s;
#endif
}

#if defined(_WIN32)
int64_t mtimeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return -1;
  int64_t v = int64_t((uint64_t(d.ftLastWriteTime.dwHighDateTime) << 32) | d.ftLastWriteTime.dwLowDateTime);
  return (v - 116444736000000000LL) / 10000000LL;
}
void setMtime(const std::string& path, int64_t t) {
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  uint64_t v = uint64_t(t * 10000000LL + 116444736000000000LL);
  FILETIME ft{DWORD(v), DWORD(v >> 32)};
  SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
}
bool isReadOnly(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}
void setReadOnly(const std::string& path, bool on) {
  DWORD a = GetFileAttributesA(path.c_str());
  SetFileAttributesA(path.c_str(), on ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~DWORD(FILE_ATTRIBUTE_READONLY)));
}
#else
int64_t mtimeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? int64_t(st.st_mtime) : -1;
}
void setMtime(const std::string& path, int64_t t) {
  struct timespec ts[2] = {{0, UTIME_OMIT}, {time_t(t), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), ts, 0), 0);
}
bool isReadOnly(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
}
void setReadOnly(const std::string& path, bool on) {
  struct stat st;
  ::stat(path.c_str(), &st);
  ::chmod(path.c_str(), on ? (st.st_mode & ~mode_t(0222)) : (st.st_mode | S_IWUSR));
}
#endif

std::vector<Listed> list(const std::string& zip) {
  std::vector<Listed> out;
  UNZIPCMD c{};
  c.cbSize = sizeof c;
  c.nFunction = ZE_UNZIP_COUNT;
  c.pszZipFile = zip.c_str();
  c.nSpanDisk = -1;
  c.bRecurse = 1;
  int rc = dunzip(&c);
  EXPECT_EQ(rc, 0) << "count " << zip;
  if (rc) return out;
  int n = c.nMemberCount;
  for (int i = 0; i < n; ++i) {
    MEMBERINFO info;
    std::memset(&info, 0xCC, sizeof info);
    UNZIPCMD d{};
    d.cbSize = sizeof d;
    d.nFunction = ZE_UNZIP_NEXT;
    d.pszZipFile = zip.c_str();
    d.pMemberInfo = &info;
    d.pListing = c.pListing;
    rc = dunzip(&d);
    c.pListing = d.pListing;
    EXPECT_EQ(rc, 0) << "next " << i;
    if (rc) break;
    out.push_back({info.szName, info.dwSize, info.dwCompressedSize, info.szDate, info.wAttributes});
  }
  c.nFunction = ZE_UNZIP_END;
  dunzip(&c);
  return out;
}

std::vector<std::string> names(const std::string& zip) {
  std::vector<std::string> n;
  for (auto& l : list(zip)) n.push_back(l.name);
  return n;
}

int ZE_CALLBACK addRename(NAMEMAP* map, void* context) {
  auto* ctx = static_cast<RenameContext*>(context);
  std::string in = map->szInput;
  for (char& c : in)
    if (c == '/') c = '\\';
  std::string src = ctx->sourceOrFolder;
  for (char& c : src)
    if (c == '/') c = '\\';
  std::string out = ctx->folderOrDest + in.substr(std::min(in.size(), src.size()));
  for (char& c : out)
    if (c == '\\') c = '/';
  std::strcpy(map->szOutput, out.c_str());
  return 0;
}

int ZE_CALLBACK extractRename(NAMEMAP* map, void* context) {
  auto* ctx = static_cast<RenameContext*>(context);
  std::string in = map->szInput;
  std::string out = ctx->folderOrDest + in.substr(std::min(in.size(), ctx->sourceOrFolder.size()));
  std::strcpy(map->szOutput, out.c_str());
  return 0;
}

int ZE_CALLBACK recordQuery(int32_t code, intptr_t a1, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t,
                            void* user) {
  auto* log = static_cast<QueryLog*>(user);
  log->codes.push_back(code);
  log->subjects.push_back(a1 ? reinterpret_cast<const char*>(a1) : "");
  return log->answer;
}

int ZE_CALLBACK recordProgress(int32_t, int32_t percent, void* user) {
  static_cast<ProgressLog*>(user)->values.push_back(percent);
  return 0;
}

AddRequest::AddRequest(const std::string& zip, const std::string& sourceDir, const std::string& folder) : zip_(zip) {
  std::string src = sourceDir;
  if (src.back() != kSep) src += kSep;
  ctx.sourceOrFolder = src;
  ctx.folderOrDest = folder;
  root = "\"" + src + "\"";
  cmd.cbSize = sizeof cmd;
  cmd.nFunction = ZE_ZIP_ADD;
  cmd.nLevel = 4;
  cmd.bUseWorkDir = 1;
  cmd.bSetComment = 1;
  cmd.bRecurse = 1;
  cmd.bDirEntries = 1;
  cmd.pfnRename = addRename;
  cmd.pRenameContext = &ctx;
  cmd.pfnQuery = recordQuery;
  cmd.pQueryUser = &query;
  workDir = fs::temp_directory_path().string();
  while (!workDir.empty() && (workDir.back() == '/' || workDir.back() == '\\')) workDir.pop_back();
}

int AddRequest::run() {
  cmd.pszZipFile = zip_.c_str();
  cmd.pszItems = items.c_str();
  cmd.pszRootDir = root.c_str();
  cmd.pszWorkDir = workDir.c_str();
  cmd.pszComment = comment.c_str();
  return dzip(&cmd);
}

std::string spec(const std::vector<std::string>& items) {
  std::string s;
  for (auto& i : items) s += (s.empty() ? "\"" : " \"") + i + "\"";
  return s;
}

int addAll(const std::string& zip, const std::string& sourceDir, const std::vector<std::string>& rel, int level) {
  AddRequest r(zip, sourceDir);
  std::vector<std::string> full;
  for (auto& x : rel) {
    std::string p = r.ctx.sourceOrFolder + x;
    for (char& c : p)
      if (c == '/') c = kSep;
    full.push_back(p);
  }
  r.items = spec(full);
  r.cmd.nLevel = level;
  return r.run();
}

std::string literal(const std::vector<std::pair<char, std::string>>& items) {
  std::string list;
  for (const auto& [kind, name] : items) {
    list += kind;
    list += name;
    list += '\0';
  }
  return list;  // c_str()'s terminator is the closing empty item
}

int remove(const std::string& zip, const std::string& memberSpec, bool literal) {
  ZIPCMD c{};
  c.bLiteral = literal ? 1 : 0;
  c.cbSize = sizeof c;
  c.nFunction = ZE_ZIP_DELETE;
  c.pszZipFile = zip.c_str();
  c.pszItems = memberSpec.c_str();
  c.nLevel = 4;
  c.bDirEntries = 1;
  return dzip(&c);
}

int extract(const std::string& zip, const std::string& memberSpec, const std::string& destDir,
            const std::string& folder, QueryLog* query, bool literal) {
  RenameContext ctx{folder, destDir + kSep};
  UNZIPCMD c{};
  c.cbSize = sizeof c;
  c.nFunction = ZE_UNZIP_EXTRACT;
  c.pszZipFile = zip.c_str();
  c.pszSpec = memberSpec.c_str();
  c.bLiteral = literal ? 1 : 0;
  c.nSpanDisk = -1;
  c.pszDestDir = destDir.c_str();
  c.bRecurse = 1;
  c.pfnRename = extractRename;
  c.pRenameContext = &ctx;
  QueryLog all;
  c.pfnQuery = recordQuery;
  c.pQueryUser = query ? query : &all;
  return dunzip(&c);
}

}  // namespace et
