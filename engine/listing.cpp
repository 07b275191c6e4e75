// Listing: the central directory is read once and kept, with a position,
// for the next-member calls that follow.
#include "listing.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "centraldir.h"
#include "errors.h"
#include "zipformat.h"

namespace ze {

namespace {

std::unique_ptr<CentralDirectory> load(const std::string& path, os::Enc enc) {
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

void writeEnd(MEMBERINFO* info, MEMBERINFOLONG* longInfo) {
  if (longInfo) {
    std::memset(longInfo, 0, offsetof(MEMBERINFOLONG, szName));
    longInfo->szName[0] = '\0';
    longInfo->bEnd = 1;
  } else {
    std::memset(info, 0, sizeof(MEMBERINFO));
  }
}

}  // namespace

Listing::Listing(const std::string& archive, os::Enc enc) : cd_(load(archive, enc)), enc_(enc) {
  count_ = cd_->entries.size();
  if (!count_) cd_.reset();
}

Listing::~Listing() = default;

bool Listing::next(MEMBERINFO* info, MEMBERINFOLONG* longInfo) {
  if (!cd_ || next_ >= cd_->entries.size()) {
    writeEnd(info, longInfo);
    return false;
  }
  size_t index = next_++;
  std::unique_ptr<CentralDirectory> last;
  if (next_ >= cd_->entries.size()) last = std::move(cd_);  // released once the last member is out
  const CentralDirectory& cd = last ? *last : *cd_;
  if (longInfo) fillLong(*longInfo, cd, cd.entries[index], enc_);
  else fill(*info, cd, cd.entries[index], enc_);
  return true;
}

}  // namespace ze
