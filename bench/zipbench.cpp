// zipbench: a command-line front end over dzip/dunzip, so the benchmark can
// time the engine exactly as the peers are timed (one process per operation).
//
//   zipbench create  ARCHIVE DIR [LEVEL]   add DIR recursively, names relative to DIR's parent
//   zipbench list    ARCHIVE               count, then every member (size, packed, date, name)
//   zipbench extract ARCHIVE DEST [SPEC]   SPEC defaults to *.*
//   zipbench delete  ARCHIVE SPEC
//   zipbench add     ARCHIVE FILE [NAME]   NAME defaults to FILE's base name
//
// Options before the command: -grow (append in place), -level N (for add).
#include "zipengine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

struct AddContext {
  std::string sourceDir;  // prefix stripped from full paths, ends with '/'
  std::string fixedName;  // when set, every input maps to this name
};

int ZE_CALLBACK AddRename(NAMEMAP* map, void* context) {
  auto* ctx = static_cast<AddContext*>(context);
  std::string in = map->szInput;
  std::string out;
  if (!ctx->fixedName.empty()) {
    out = ctx->fixedName;
  } else {
    for (char& c : in) {
      if (c == '\\') c = '/';
    }
    out = in.compare(0, ctx->sourceDir.size(), ctx->sourceDir) == 0 ? in.substr(ctx->sourceDir.size())
                                                                   : in;
  }
  std::snprintf(map->szOutput, sizeof map->szOutput, "%s", out.c_str());
  return 0;
}

int ZE_CALLBACK ExtractRename(NAMEMAP* map, void* context) {
  auto* dest = static_cast<std::string*>(context);
  std::snprintf(map->szOutput, sizeof map->szOutput, "%s%s", dest->c_str(), map->szInput);
  return 0;
}

// Answers like the system does: replace and overwrite all, skip nothing silently.
int ZE_CALLBACK Query(int32_t code, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t,
                      void*) {
  if (code == ZE_Q_OVERWRITE_FILE || code == ZE_Q_REPLACE_MEMBER || code == ZE_Q_OVERWRITE_READONLY)
    return ZE_ANSWER_ALL;
  return code == ZE_Q_SKIP_UNREADABLE ? ZE_ANSWER_NO : ZE_ANSWER_YES;
}

std::string WithSlash(std::string s) {
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

std::string Absolute(const std::string& p) {
  if (!p.empty() && p[0] == '/') return p;
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) return p;
  std::string s = cwd;
  return WithSlash(s) + (p.rfind("./", 0) == 0 ? p.substr(2) : p);
}

std::string Parent(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  auto k = p.rfind('/');
  return k == std::string::npos ? "./" : p.substr(0, k + 1);
}

std::string BaseName(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  auto k = p.rfind('/');
  return k == std::string::npos ? p : p.substr(k + 1);
}

ZIPCMD ZipBlock(int function, const char* archive, bool grow) {
  ZIPCMD z{};
  z.cbSize = sizeof z;
  z.nFunction = function;
  z.pszZipFile = archive;
  z.nLevel = 6;
  z.bGrow = grow ? 1 : 0;
  z.bDirEntries = 1;
  z.pfnQuery = Query;
  return z;
}

UNZIPCMD UnzipBlock(int function, const char* archive) {
  UNZIPCMD u{};
  u.cbSize = sizeof u;
  u.nFunction = function;
  u.pszZipFile = archive;
  u.nSpanDisk = -1;
  u.bRecurse = 1;
  u.pfnQuery = Query;
  return u;
}

int Usage() {
  std::fprintf(stderr,
               "usage: zipbench [-grow] [-level N] create ARCHIVE DIR [LEVEL]\n"
               "                                   list ARCHIVE\n"
               "                                   extract ARCHIVE DEST [SPEC]\n"
               "                                   delete ARCHIVE SPEC\n"
               "                                   add ARCHIVE FILE [NAME]\n");
  return 2;
}

int Report(const char* what, int rc) {
  if (rc != ZE_OK) std::fprintf(stderr, "zipbench: %s failed with engine result %d\n", what, rc);
  return rc == ZE_OK ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  bool grow = false;
  int level = 6;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    if (!std::strcmp(argv[i], "-grow")) {
      grow = true;
    } else if (!std::strcmp(argv[i], "-level") && i + 1 < argc) {
      level = std::atoi(argv[++i]);
    } else {
      return Usage();
    }
  }
  if (argc - i < 2) return Usage();
  std::string cmd = argv[i];
  std::string archive = Absolute(argv[i + 1]);
  int rest = argc - i - 2;
  char** args = argv + i + 2;

  if (cmd == "create" && rest >= 1) {
    std::string dir = Absolute(args[0]);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    std::string items = "\"" + dir + "\"";
    std::string root = "\"" + Parent(dir) + "\"";
    AddContext ctx{Parent(dir), {}};
    ZIPCMD z = ZipBlock(ZE_ZIP_ADD, archive.c_str(), grow);
    z.nLevel = rest >= 2 ? std::atoi(args[1]) : level;
    z.pszItems = items.c_str();
    z.bRecurse = 1;
    z.pszRootDir = root.c_str();
    z.pfnRename = AddRename;
    z.pRenameContext = &ctx;
    return Report("create", dzip(&z));
  }
  if (cmd == "add" && rest >= 1) {
    std::string file = Absolute(args[0]);
    std::string items = "\"" + file + "\"";
    std::string root = "\"" + Parent(file) + "\"";
    AddContext ctx{Parent(file), rest >= 2 ? args[1] : BaseName(file)};
    ZIPCMD z = ZipBlock(ZE_ZIP_ADD, archive.c_str(), grow);
    z.nLevel = level;
    z.pszItems = items.c_str();
    z.bRecurse = 1;
    z.pszRootDir = root.c_str();
    z.pfnRename = AddRename;
    z.pRenameContext = &ctx;
    return Report("add", dzip(&z));
  }
  if (cmd == "delete" && rest >= 1) {
    ZIPCMD z = ZipBlock(ZE_ZIP_DELETE, archive.c_str(), grow);
    z.pszItems = args[0];
    return Report("delete", dzip(&z));
  }
  if (cmd == "list" && rest == 0) {
    UNZIPCMD u = UnzipBlock(ZE_UNZIP_COUNT, archive.c_str());
    int rc = dunzip(&u);
    if (rc != ZE_OK) return Report("count", rc);
    int n = u.nMemberCount;
    MEMBERINFO info;
    // A large stdout buffer: the listing is measured, not the terminal.
    static char buf[1 << 16];
    std::setvbuf(stdout, buf, _IOFBF, sizeof buf);
    for (int k = 0; k < n; ++k) {
      std::memset(&info, 0, sizeof info);
      ZE_LISTING* listing = u.pListing;
      u = UnzipBlock(ZE_UNZIP_NEXT, archive.c_str());
      u.pMemberInfo = &info;
      u.pListing = listing;
      rc = dunzip(&u);
      if (rc != ZE_OK) return Report("next member", rc);
      std::printf("%10u %10u %s %s\n", info.dwSize, info.dwCompressedSize, info.szDate, info.szName);
    }
    return 0;
  }
  if (cmd == "extract" && rest >= 1) {
    std::string dest = WithSlash(Absolute(args[0]));
    const char* spec = rest >= 2 ? args[1] : "*.*";
    UNZIPCMD u = UnzipBlock(ZE_UNZIP_EXTRACT, archive.c_str());
    u.pszSpec = spec;
    u.pszDestDir = dest.c_str();
    u.pfnRename = ExtractRename;
    u.pRenameContext = &dest;
    return Report("extract", dunzip(&u));
  }
  return Usage();
}
