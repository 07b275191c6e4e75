#include "centraldir.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string_view>

#include "bytes.h"
#include "errors.h"
#include "grow_undo.h"
#include "platform.h"
#include "zipformat.h"

namespace ze {

FileSource::FileSource(const std::string& path, os::Enc enc) {
  // Every open of an archive first puts back a grow that a crash cut short.
  recoverInterruptedGrow(path, enc);
  os::Err e = file_.openRead(path, enc);
  if (e == os::Err::NotFound) failSystem(ZE_NOT_FOUND);
  if (e != os::Err::None) failSystem(ZE_ZIP_OPEN);
  e = file_.size(size_);
  if (e == os::Err::IsDir) fail(ZE_ZIP_OPEN);
  if (e != os::Err::None) failSystem(ZE_ZIP_READ);
}

namespace {

void readExact(Source& src, uint64_t offset, void* buf, size_t len) {
  size_t got = 0;
  if (!src.readAt(offset, buf, len, got)) failSystem(ZE_ZIP_READ);
  if (got != len) fail(ZE_DAMAGED);
}

template <class T>
void resizeOrFail(T& v, size_t n) {
  try {
    v.resize(n);
  } catch (const std::bad_alloc&) {
    fail(ZE_MEMORY);
  } catch (const std::length_error&) {
    fail(ZE_MEMORY);
  }
}

// Replaces the saturated 32-bit fields by their values from the ZIP64 block.
void applyZip64(Entry& e, const uint8_t* extra, size_t extraLen, uint32_t size32, uint32_t csize32,
                uint32_t offset32) {
  const uint8_t* p;
  uint16_t n;
  bool needed = size32 == kMax32 || csize32 == kMax32 || offset32 == kMax32;
  if (!needed) return;
  if (!findExtra(extra, extraLen, kExtraZip64, p, n)) fail(ZE_DAMAGED);
  size_t pos = 0;
  auto take = [&](uint64_t& field) {
    if (pos + 8 > n) fail(ZE_DAMAGED);
    field = get64(p + pos);
    pos += 8;
  };
  if (size32 == kMax32) take(e.size);
  if (csize32 == kMax32) take(e.compressedSize);
  if (offset32 == kMax32) take(e.localOffset);
}

}  // namespace

bool findExtra(const uint8_t* p, size_t len, uint16_t id, const uint8_t*& payload, uint16_t& payloadLen) {
  size_t pos = 0;
  while (pos + 4 <= len) {
    uint16_t tag = get16(p + pos);
    uint16_t n = get16(p + pos + 2);
    if (pos + 4 + n > len) return false;
    if (tag == id) {
      payload = p + pos + 4;
      payloadLen = n;
      return true;
    }
    pos += 4 + size_t(n);
  }
  return false;
}

void readCentralDirectory(Source& src, CentralDirectory& cd) {
  const uint64_t fileSize = src.size();
  cd.fileSize = fileSize;
  if (fileSize < kEndSize) fail(ZE_DAMAGED);

  // The end record sits within the last 64 KiB + 22 bytes; one read finds it.
  const size_t tailLen = size_t(std::min<uint64_t>(fileSize, kEndSize + kMaxComment + kLocator64Size));
  const uint64_t tailStart = fileSize - tailLen;
  std::vector<uint8_t> tail;
  resizeOrFail(tail, tailLen);
  readExact(src, tailStart, tail.data(), tailLen);

  // The last signature whose comment fits in the file wins, as most readers do.
  int64_t endPos = -1;
  for (size_t i = tailLen - kEndSize + 1; i-- > 0;) {
    if (tail[i] == 0x50 && get32(&tail[i]) == kSigEnd) {
      uint16_t commentLen = get16(&tail[i + 20]);
      if (i + kEndSize + commentLen <= tailLen) {
        endPos = int64_t(i);
        break;
      }
    }
  }
  if (endPos < 0) fail(ZE_DAMAGED);
  const uint8_t* end = &tail[size_t(endPos)];
  const uint64_t endAbs = tailStart + uint64_t(endPos);
  uint16_t disk = get16(end + 4), cdDisk = get16(end + 6);
  uint64_t count = get16(end + 10);
  uint64_t cdSize = get32(end + 12);
  uint64_t cdOffset = get32(end + 16);
  cd.comment.assign(reinterpret_cast<const char*>(end + 22), get16(end + 20));
  bool count16 = true;

  uint64_t cdEnd = endAbs;  // where the directory's bytes end
  if (endAbs >= kLocator64Size + kEnd64Size) {
    uint8_t loc[kLocator64Size];
    readExact(src, endAbs - kLocator64Size, loc, kLocator64Size);
    if (get32(loc) == kSigLocator64) {
      uint64_t stated = get64(loc + 8);
      uint64_t expected = endAbs - kLocator64Size - kEnd64Size;
      uint8_t rec[kEnd64Size];
      uint64_t at = stated;
      bool ok = stated + kEnd64Size <= fileSize;
      if (ok) {
        readExact(src, stated, rec, kEnd64Size);
        ok = get32(rec) == kSigEnd64;
      }
      if (!ok) {
        // A leading stub shifts everything; the record sits right before the locator.
        at = expected;
        readExact(src, at, rec, kEnd64Size);
        if (get32(rec) != kSigEnd64) fail(ZE_DAMAGED);
      }
      disk = uint16_t(get32(rec + 16));
      cdDisk = uint16_t(get32(rec + 20));
      count = get64(rec + 32);
      cdSize = get64(rec + 40);
      cdOffset = get64(rec + 48);
      cdEnd = at;
      count16 = false;
    }
  }
  if (disk != 0 || cdDisk != 0) fail(ZE_DAMAGED);  // split archives are not supported
  if (cdSize > cdEnd) fail(ZE_DAMAGED);

  // Data before the first member (a self-extractor stub, for instance)
  // shifts every stated offset by the same amount.
  uint64_t cdStart = cdEnd - cdSize;
  if (cdOffset != cdStart && cdOffset < cdStart && count > 0) {
    uint8_t sig[4];
    size_t got = 0;
    if (src.readAt(cdOffset, sig, 4, got) && got == 4 && get32(sig) == kSigCentral) {
      uint8_t sig2[4];
      if (!src.readAt(cdStart, sig2, 4, got) || got != 4 || get32(sig2) != kSigCentral) cdStart = cdOffset;
    }
  }
  if (cdOffset > cdStart) fail(ZE_DAMAGED);
  const uint64_t shift = cdStart - cdOffset;
  cd.cdStart = cdStart;

  if (count > cdSize / kCentralHeaderSize + 1) fail(ZE_DAMAGED);
  if (cdSize > 0xFFFFFFFFull) fail(ZE_MEMORY);  // our record positions are 32-bit
  resizeOrFail(cd.data, size_t(cdSize));
  if (cdSize) readExact(src, cdStart, cd.data.data(), size_t(cdSize));

  cd.entries.clear();
  try {
    cd.entries.reserve(size_t(std::min<uint64_t>(count, cdSize / kCentralHeaderSize)));
  } catch (const std::bad_alloc&) {
    fail(ZE_MEMORY);
  }
  uint64_t firstMember = cdStart;
  size_t pos = 0;
  const size_t total = cd.data.size();
  const uint8_t* d = cd.data.data();
  while (pos + kCentralHeaderSize <= total && get32(d + pos) == kSigCentral) {
    const uint8_t* r = d + pos;
    Entry e;
    e.recordPos = uint32_t(pos);
    e.versionMadeBy = get16(r + 4);
    e.versionNeeded = get16(r + 6);
    e.flags = get16(r + 8);
    e.method = get16(r + 10);
    e.dosTime = get16(r + 12);
    e.dosDate = get16(r + 14);
    e.crc = get32(r + 16);
    uint32_t csize32 = get32(r + 20), size32 = get32(r + 24);
    e.nameLen = get16(r + 28);
    e.extraLen = get16(r + 30);
    e.commentLen = get16(r + 32);
    e.internalAttr = get16(r + 36);
    e.externalAttr = get32(r + 38);
    uint32_t offset32 = get32(r + 42);
    size_t recLen = kCentralHeaderSize + size_t(e.nameLen) + e.extraLen + e.commentLen;
    if (pos + recLen > total) fail(ZE_DAMAGED);
    e.size = size32;
    e.compressedSize = csize32;
    e.localOffset = offset32;
    applyZip64(e, r + 46 + e.nameLen, e.extraLen, size32, csize32, offset32);
    if (e.localOffset > cdOffset) fail(ZE_DAMAGED);
    e.localOffset += shift;
    firstMember = std::min(firstMember, e.localOffset);
    cd.entries.push_back(e);
    pos += recLen;
  }
  // Writers that ignore ZIP64 keep the count modulo 65536 in the end record.
  uint64_t parsed = cd.entries.size();
  if (parsed != count && !(count16 && (parsed & 0xFFFF) == count)) fail(ZE_DAMAGED);
  cd.firstMember = firstMember;
}

int64_t memberMtime(const CentralDirectory& cd, const Entry& e) {
  const uint8_t* p;
  uint16_t n;
  if (findExtra(cd.extra(e), e.extraLen, kExtraTimestamp, p, n) && n >= 5 && (p[0] & 1))
    return int64_t(int32_t(get32(p + 1)));
  return os::dosToUnix(e.dosDate, e.dosTime);
}

namespace {

// Other tools write "./a.txt" (bsdtar, the tar of current Windows), and
// hostile archives "../x", "/x" or "C:/x".  Such parts name no place below
// a destination: they are dropped, as other extractors drop them, so every
// name listed, matched or extracted is relative.  "./" alone names nothing.
std::string relativeName(const std::string& name) {
  std::string out;
  bool first = true;
  size_t i = 0;
  while (i < name.size()) {
    size_t j = name.find('/', i);
    if (j == std::string::npos) j = name.size();
    std::string_view part(name.data() + i, j - i);
    if (first && !part.empty()) {
      if (part.size() >= 2 && part[1] == ':' && std::isalpha(static_cast<unsigned char>(part[0])))
        part.remove_prefix(2);
      first = false;
    }
    if (!part.empty() && part != "." && part != "..") {
      if (!out.empty()) out += '/';
      out += part;
    }
    i = j + 1;
  }
  if (!out.empty() && !name.empty() && name.back() == '/') out += '/';
  return out;
}

// A part the ANSI code page cannot spell gets a tag made from its real
// bytes, so two such names never collapse into one.
std::string tagged(const std::string& ansi, std::string_view raw) {
  char tag[12];
  std::snprintf(tag, sizeof tag, "~%08x",
                unsigned(crc32(0, reinterpret_cast<const Bytef*>(raw.data()), uInt(raw.size()))));
  const size_t dot = ansi.rfind('.');
  if (dot == std::string::npos || dot == 0) return ansi + tag;
  return ansi.substr(0, dot) + tag + ansi.substr(dot);
}

// Malformed bytes of a flagged name become U+FFFD: the real name is always
// UTF-8 that every system can take.
std::string wellFormed(std::string_view s) {
  if (os::isValidUtf8(s)) return std::string(s);
  std::string out;
  for (size_t i = 0; i < s.size();) os::appendUtf8(out, os::nextCodePoint(s, i));
  return out;
}

}  // namespace

void memberNames(const CentralDirectory& cd, const Entry& e, std::string* ansi, std::string* utf8) {
  std::string text(cd.rawName(e));
  bool isUtf8 = (e.flags & kFlagUtf8) != 0;
  // An unflagged name may carry its UTF-8 form in a Unicode path field,
  // valid while its checksum still matches the name beside it.
  const uint8_t* up;
  uint16_t upLen;
  if (!isUtf8 && findExtra(cd.extra(e), e.extraLen, kExtraUnicodePath, up, upLen) && upLen > 5 && up[0] == 1 &&
      get32(up + 1) == uint32_t(crc32(0, reinterpret_cast<const Bytef*>(text.data()), uInt(text.size())))) {
    text.assign(reinterpret_cast<const char*>(up + 5), upLen - 5u);
    isUtf8 = true;
  }
  // Tools on systems that speak UTF-8 write unflagged UTF-8; code page 437
  // text that is also valid UTF-8 and not ASCII is rare enough to lose.
  bool ascii = true;
  for (unsigned char c : text)
    if (c >= 0x80) ascii = false;
  if (!isUtf8 && !ascii && os::isValidUtf8(text)) isUtf8 = true;
  // Some writers store backslashes; inside UTF-8 and code page 437 0x5C is
  // always a separator, so turning it into '/' is safe before conversion.
  for (char& c : text)
    if (c == '\\') c = '/';
  std::string a, u;
  size_t i = 0;
  for (;;) {
    size_t j = text.find('/', i);
    if (j == std::string::npos) j = text.size();
    std::string_view part(text.data() + i, j - i);
    bool lossy = false;
    std::string converted = isUtf8 ? os::utf8ToAnsi(part, &lossy) : os::oemToAnsi(part, &lossy);
    a += lossy ? tagged(converted, part) : converted;
    if (utf8) u += isUtf8 ? wellFormed(part) : os::oemToUtf8(part);
    if (j == text.size()) break;
    a += '/';
    u += '/';
    i = j + 1;
  }
  if (ansi) *ansi = relativeName(a);
  if (utf8) *utf8 = relativeName(u);
}

std::string memberName(const CentralDirectory& cd, const Entry& e) {
  std::string name;
  memberNames(cd, e, &name, nullptr);
  return name;
}

std::string memberName(const CentralDirectory& cd, const Entry& e, os::Enc enc) {
  std::string name;
  if (enc == os::Enc::Utf8) memberNames(cd, e, nullptr, &name);
  else memberNames(cd, e, &name, nullptr);
  return name;
}

uint16_t memberAttributes(const CentralDirectory& cd, const Entry& e) {
  uint16_t attr = 0;
  uint8_t host = uint8_t(e.versionMadeBy >> 8);
  uint32_t mode = e.externalAttr >> 16;
  if (isUnixHost(host) && mode != 0) {
    if ((mode & 0170000) == 0040000) attr |= 0x10;
    if (!(mode & 0200)) attr |= 0x01;
  } else {
    attr = uint16_t(e.externalAttr & 0x37);
    if (e.externalAttr & 0x08) attr |= ZE_ATTR_VOLUME;
  }
  std::string_view name = cd.rawName(e);
  if (!name.empty() && (name.back() == '/' || name.back() == '\\')) attr |= 0x10;
  if (e.flags & kFlagEncrypted) attr |= ZE_ATTR_ENCRYPTED;
  return attr;
}

void checkLayout(const CentralDirectory& cd) {
  std::vector<std::pair<uint64_t, uint64_t>> spans;  // start, minimum end
  spans.reserve(cd.entries.size());
  for (const Entry& e : cd.entries) {
    uint64_t endPos = e.localOffset + kLocalHeaderSize + e.nameLen + e.compressedSize;
    if (endPos < e.localOffset || endPos > cd.cdStart) fail(ZE_DAMAGED);
    spans.emplace_back(e.localOffset, endPos);
  }
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i)
    if (spans[i - 1].second > spans[i].first) fail(ZE_DAMAGED);
}

}  // namespace ze
