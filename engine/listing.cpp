// Listing: a count reads the central directory once and keeps it, with a
// position, for the next-member calls that follow.
#include <cstddef>
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

std::unique_ptr<CentralDirectory> load(const char* path, os::Enc enc) {
  auto cd = std::make_unique<CentralDirectory>();
  FileSource src(path, enc);
  readCentralDirectory(src, *cd);
  return cd;
}

void formatDate(char (&out)[18], const Entry& e) {
  unsigned year = (1980 + (e.dosDate >> 9)) % 100;
  std::snprintf(out, sizeof out, "%02u/%02u/%02u %02u:%02u", (e.dosDate >> 5) & 15u, e.dosDate & 31u, year,
                unsigned(e.dosTime >> 11), (e.dosTime >> 5) & 63u);
}

void fill(MEMBERINFO& info, const CentralDirectory& cd, const Entry& e, os::Enc enc) {
  std::memset(&info, 0, sizeof info);
  info.dwSize = e.size >= kMax32 ? kMax32 : uint32_t(e.size);
  info.dwCompressedSize = e.compressedSize >= kMax32 ? kMax32 : uint32_t(e.compressedSize);
  info.dwCrc32 = e.crc;
  info.wMethod = e.method;
  info.wFlags = e.flags;
  formatDate(info.szDate, e);
  info.wAttributes = memberAttributes(cd, e);
  std::string name = memberName(cd, e, enc);
  // Never truncate silently: a cut name would address another member.
  if (name.size() >= sizeof info.szName) fail(ZE_FAILED);
  std::memcpy(info.szName, name.data(), name.size());
}

void fillLong(MEMBERINFOLONG& info, const CentralDirectory& cd, const Entry& e, os::Enc enc) {
  std::string name = memberName(cd, e, enc);
  // A 65535-byte field of code page 437 grows at most threefold: this
  // only guards the record.
  if (name.size() >= sizeof info.szName) fail(ZE_FAILED);
  std::memset(&info, 0, offsetof(MEMBERINFOLONG, szName));
  info.qwSize = e.size;
  info.qwCompressedSize = e.compressedSize;
  info.dwCrc32 = e.crc;
  info.wMethod = e.method;
  info.wFlags = e.flags;
  info.wAttributes = memberAttributes(cd, e);
  formatDate(info.szDate, e);
  std::memcpy(info.szName, name.data(), name.size());
  info.szName[name.size()] = '\0';
}

void writeEnd(UNZIPCMD& cmd) {
  if (cmd.pMemberInfoLong) {
    std::memset(cmd.pMemberInfoLong, 0, offsetof(MEMBERINFOLONG, szName));
    cmd.pMemberInfoLong->szName[0] = '\0';
    cmd.pMemberInfoLong->bEnd = 1;
  } else {
    std::memset(cmd.pMemberInfo, 0, sizeof(MEMBERINFO));
  }
}

// One position per archive file, whichever encoding names it.
std::string keyOf(const char* path, os::Enc enc) { return os::toUtf8(path, enc); }

}  // namespace

void forgetListing(const std::string& path, os::Enc enc) {
  const std::string key = keyOf(path.c_str(), enc);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_cursors.erase(key);
}

void listCount(UNZIPCMD& cmd) {
  const os::Enc enc = encodingOf(cmd);
  std::string key = keyOf(cmd.pszZipFile, enc);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_cursors.erase(key);
  }
  auto cd = load(cmd.pszZipFile, enc);
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
  if (!cmd.pMemberInfo && !cmd.pMemberInfoLong) fail(ZE_FAILED);
  const os::Enc enc = encodingOf(cmd);
  std::string key = keyOf(cmd.pszZipFile, enc);
  std::unique_lock<std::mutex> lock(g_mutex);
  auto it = g_cursors.find(key);
  if (it == g_cursors.end()) {
    lock.unlock();
    auto cd = load(cmd.pszZipFile, enc);
    lock.lock();
    if (g_cursors.size() >= kMaxCursors) g_cursors.erase(g_cursors.begin());
    it = g_cursors.insert_or_assign(key, Cursor{}).first;
    if (!cd->entries.empty()) it->second.cd = std::move(cd);
  }
  Cursor& c = it->second;
  if (!c.cd || c.next >= c.cd->entries.size()) {
    // Past the end: an empty name, and the next call starts over.
    writeEnd(cmd);
    g_cursors.erase(it);
    return;
  }
  size_t index = c.next++;
  std::unique_ptr<CentralDirectory> last;
  if (c.next >= c.cd->entries.size()) last = std::move(c.cd);
  const CentralDirectory& cd = last ? *last : *c.cd;
  if (cmd.pMemberInfoLong) fillLong(*cmd.pMemberInfoLong, cd, cd.entries[index], enc);
  else fill(*cmd.pMemberInfo, cd, cd.entries[index], enc);
}

}  // namespace ze
