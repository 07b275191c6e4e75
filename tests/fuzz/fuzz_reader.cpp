// libFuzzer target for the archive reader: every input is treated as an
// archive, counted, listed member by member and extracted in full.  Besides
// the sanitizers it checks what the engine promises callers: strings handed
// out are terminated, and nothing is written outside the destination.
#include "zipengine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Extraction restores attributes, so a read-only folder may block removal.
void ForceRemove(const fs::path& p) {
  std::error_code ec;
  if (fs::remove_all(p, ec) != static_cast<std::uintmax_t>(-1) && !ec) return;
  for (auto it = fs::recursive_directory_iterator(p, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(p, ec);
}

struct Sandbox {
  fs::path root;     // private to this process
  fs::path archive;  // root/in.zip
  fs::path work;     // root/w: everything below may only grow inside dest
  fs::path dest;     // root/w/d1/d2/d3/dest: deep, so that ../ names stay inside work

  Sandbox() {
    // Every run creates and removes a tree; on a disk file system that
    // history slows file creation severalfold, so memory is preferred.
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string tmpl = base + "/fuzz_reader.XXXXXX";
    if (!mkdtemp(tmpl.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    root = tmpl;
    archive = root / "in.zip";
    work = root / "w";
    dest = work / "d1" / "d2" / "d3" / "dest";
  }
  ~Sandbox() { ForceRemove(root); }
};

Sandbox& Box() {
  static Sandbox box;
  return box;
}

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "fuzz_reader: %s: %s\n", what, detail.c_str());
  std::abort();
}

void RequireTerminated(const char* field, const char* buf, size_t size) {
  if (!std::memchr(buf, 0, size)) Fail("unterminated string from the engine", field);
}

struct ExtractContext {
  std::string destWithSlash;
};

int ZE_CALLBACK Rename(NAMEMAP* map, void* context) {
  RequireTerminated("NAMEMAP.szInput", map->szInput, sizeof map->szInput);
  auto* ctx = static_cast<ExtractContext*>(context);
  // Exactly what the system's extract callback does: no cleaning of its own,
  // so the engine alone stands between member names and the file system.
  std::snprintf(map->szOutput, sizeof map->szOutput, "%s%s", ctx->destWithSlash.c_str(),
                map->szInput);
  return 0;
}

int ZE_CALLBACK Query(int32_t, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t,
                      void*) {
  return ZE_ANSWER_ALL;
}

int ZE_CALLBACK Progress(int32_t, int32_t percent, void*) {
  if (percent < 0 || percent > 100) Fail("progress out of range", std::to_string(percent));
  return 0;
}

UNZIPCMD Block(int function, const std::string& archive) {
  UNZIPCMD u{};
  u.cbSize = sizeof u;
  u.nFunction = function;
  u.pszZipFile = archive.c_str();
  u.nSpanDisk = -1;
  u.bRecurse = 1;
  u.pfnQuery = Query;
  u.pfnProgressA = Progress;
  u.pfnProgressB = Progress;
  return u;
}

// Everything under work must be dest, dest's contents or one of its parents.
void RequireContained(const Sandbox& box) {
  std::error_code ec;
  const std::string dest = box.dest.string();
  for (auto it = fs::recursive_directory_iterator(box.work, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::string p = it->path().string();
    bool insideDest = p.compare(0, dest.size(), dest) == 0 &&
                      (p.size() == dest.size() || p[dest.size()] == '/');
    bool parentOfDest = dest.compare(0, p.size(), p) == 0 && dest[p.size()] == '/';
    if (!insideDest && !parentOfDest) Fail("extraction escaped the destination", p);
  }
  for (auto& e : fs::directory_iterator(box.root, ec)) {
    if (e.path() != box.archive && e.path() != box.work)
      Fail("extraction escaped the destination", e.path().string());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Sandbox& box = Box();
  const std::string archive = box.archive.string();
  {
    FILE* f = std::fopen(archive.c_str(), "wb");
    if (!f) Fail("cannot write", archive);
    if (size && std::fwrite(data, 1, size, f) != size) Fail("cannot write", archive);
    std::fclose(f);
  }

  UNZIPCMD count = Block(ZE_UNZIP_COUNT, archive);
  if (dunzip(&count) == ZE_OK) {
    if (count.nMemberCount < 0) Fail("negative member count", std::to_string(count.nMemberCount));
    for (int32_t i = 0; i < count.nMemberCount; ++i) {
      MEMBERINFO info;
      std::memset(&info, 0xA5, sizeof info);
      UNZIPCMD next = Block(ZE_UNZIP_NEXT, archive);
      next.pMemberInfo = &info;
      next.pListing = count.pListing;
      const int rc = dunzip(&next);
      count.pListing = next.pListing;
      if (rc != ZE_OK) break;
      RequireTerminated("MEMBERINFO.szName", info.szName, sizeof info.szName);
      RequireTerminated("MEMBERINFO.szDate", info.szDate, sizeof info.szDate);
    }
    count.nFunction = ZE_UNZIP_END;
    dunzip(&count);
  }

  std::error_code ec;
  fs::create_directories(box.dest, ec);
  if (ec) Fail("cannot create", box.dest.string());
  ExtractContext ctx{box.dest.string() + "/"};
  UNZIPCMD extract = Block(ZE_UNZIP_EXTRACT, archive);
  extract.pszSpec = "*.*";
  extract.pszDestDir = ctx.destWithSlash.c_str();
  extract.pfnRename = Rename;
  extract.pRenameContext = &ctx;
  dunzip(&extract);

  RequireContained(box);
  ForceRemove(box.work);
  return 0;
}
