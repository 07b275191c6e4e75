// Listing: a count reads the central directory once and keeps it, with a
// position, for the next-member calls that follow.
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "centraldir.h"
#include "errors.h"
#include "ops.h"
#include "zipformat.h"

namespace ze {

namespace {

struct Cursor {
  std::unique_ptr<CentralDirectory> cd;  // released once the last member is out
  size_t next = 0;
};

constexpr size_t kMaxCursors = 32;
std::mutex g_mutex;
std::map<std::string, Cursor> g_cursors;

std::unique_ptr<CentralDirectory> load(const char* path) {
  auto cd = std::make_unique<CentralDirectory>();
  FileSource src(path);
  readCentralDirectory(src, *cd);
  return cd;
}

void fill(MEMBERINFO& info, const CentralDirectory& cd, const Entry& e) {
  std::memset(&info, 0, sizeof info);
  info.dwSize = e.size >= kMax32 ? kMax32 : uint32_t(e.size);
  info.dwCompressedSize = e.compressedSize >= kMax32 ? kMax32 : uint32_t(e.compressedSize);
  info.dwCrc32 = e.crc;
  info.wMethod = e.method;
  info.wFlags = e.flags;
  unsigned year = (1980 + (e.dosDate >> 9)) % 100;
  std::snprintf(info.szDate, sizeof info.szDate, "%02u/%02u/%02u %02u:%02u", (e.dosDate >> 5) & 15u,
                e.dosDate & 31u, year, unsigned(e.dosTime >> 11), (e.dosTime >> 5) & 63u);
  info.wAttributes = memberAttributes(cd, e);
  std::string name = memberName(cd, e);
  // Never truncate silently: a cut name would address another member.
  if (name.size() >= sizeof info.szName) fail(ZE_FAILED);
  std::memcpy(info.szName, name.data(), name.size());
}

}  // namespace

void forgetListing(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_cursors.erase(path);
}

void listCount(UNZIPCMD& cmd) {
  std::string key = cmd.pszZipFile;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_cursors.erase(key);
  }
  auto cd = load(cmd.pszZipFile);
  size_t n = cd->entries.size();
  cmd.nMemberCount = n > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(n);
  std::lock_guard<std::mutex> lock(g_mutex);
  // Listings abandoned half-way must not pile up.
  if (g_cursors.size() >= kMaxCursors && !g_cursors.count(key)) g_cursors.erase(g_cursors.begin());
  Cursor& c = g_cursors[key];
  c.cd = n ? std::move(cd) : nullptr;
  c.next = 0;
}

void listNext(UNZIPCMD& cmd) {
  if (!cmd.pMemberInfo) fail(ZE_FAILED);
  std::string key = cmd.pszZipFile;
  std::unique_lock<std::mutex> lock(g_mutex);
  auto it = g_cursors.find(key);
  if (it == g_cursors.end()) {
    lock.unlock();
    auto cd = load(cmd.pszZipFile);
    lock.lock();
    if (g_cursors.size() >= kMaxCursors) g_cursors.erase(g_cursors.begin());
    it = g_cursors.insert_or_assign(key, Cursor{}).first;
    if (!cd->entries.empty()) it->second.cd = std::move(cd);
  }
  Cursor& c = it->second;
  if (!c.cd || c.next >= c.cd->entries.size()) {
    // Past the end: an empty name, and the next call starts over.
    std::memset(cmd.pMemberInfo, 0, sizeof(MEMBERINFO));
    g_cursors.erase(it);
    return;
  }
  size_t index = c.next++;
  std::unique_ptr<CentralDirectory> last;
  if (c.next >= c.cd->entries.size()) last = std::move(c.cd);
  const CentralDirectory& cd = last ? *last : *c.cd;
  fill(*cmd.pMemberInfo, cd, cd.entries[index]);
}

}  // namespace ze
