#include "writer.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "bytes.h"
#include "errors.h"
#include "zipformat.h"

namespace ze {

OutSink::OutSink(os::File& f, uint64_t start, size_t capacity)
    : f_(f), buf_(new uint8_t[capacity]), cap_(capacity), bufStart_(start), pos_(start),
      writeCode_(ZE_ZIP_WRITE), fullCode_(ZE_ZIP_WRITE_FULL) {}

void OutSink::failed(os::Err e) const { failSystem(e == os::Err::DiskFull ? fullCode_ : writeCode_); }

void OutSink::write(const void* p, size_t n) {
  if (n == 0) return;
  if (len_ + n > cap_) {
    flush();
    if (n >= cap_) {
      os::Err e = f_.write(p, n);
      if (e != os::Err::None) failed(e);
      written(pos_, n);
      pos_ += n;
      bufStart_ = pos_;
      return;
    }
  }
  std::memcpy(buf_.get() + len_, p, n);
  len_ += n;
  pos_ += n;
}

void OutSink::flush() {
  if (len_) {
    os::Err e = f_.write(buf_.get(), len_);
    if (e != os::Err::None) failed(e);
    written(bufStart_, len_);
  }
  bufStart_ += len_;
  len_ = 0;
}

bool OutSink::copyFrom(os::File& src, uint64_t offset, uint64_t len) {
  flush();
  uint64_t copied = 0;
  os::Err e = f_.copyFrom(src, offset, len, copied);
  written(pos_, copied);
  pos_ += copied;
  bufStart_ = pos_;
  if (e == os::Err::Other && copied == 0) return false;
  if (e != os::Err::None) failed(e);
  return true;
}

void OutSink::patch(uint64_t at, const void* p, size_t n) {
  if (at >= bufStart_ && at + n <= bufStart_ + len_) {
    std::memcpy(buf_.get() + (at - bufStart_), p, n);
    return;
  }
  flush();
  os::Err e = f_.seek(at);
  if (e == os::Err::None) e = f_.write(p, n);
  if (e == os::Err::None) e = f_.seek(pos_);
  if (e != os::Err::None) failed(e);
}

void OutSink::rewind(uint64_t at) {
  if (at >= bufStart_) {
    len_ = size_t(at - bufStart_);
  } else {
    len_ = 0;
    os::Err e = f_.truncate(at);
    if (e == os::Err::None) e = f_.seek(at);
    if (e != os::Err::None) failed(e);
    bufStart_ = at;
  }
  pos_ = at;
}

std::string stripZip64(const uint8_t* p, size_t len) {
  std::string out;
  size_t pos = 0;
  while (pos + 4 <= len) {
    uint16_t tag = get16(p + pos);
    size_t n = get16(p + pos + 2);
    if (pos + 4 + n > len) break;
    if (tag != kExtraZip64) out.append(reinterpret_cast<const char*>(p + pos), 4 + n);
    pos += 4 + n;
  }
  return out;
}

std::string timestampExtra(int64_t mtime) {
  std::string s;
  if (mtime < 0 || mtime > 0x7FFFFFFF) return s;
  RecordBuilder b(s);
  b.u16(kExtraTimestamp);
  b.u16(5);
  s += char(1);  // modification time present
  b.u32(uint32_t(mtime));
  return s;
}

std::string localHeader(const OutEntry& e, bool zip64) {
  std::string s;
  s.reserve(kLocalHeaderSize + e.name.size() + e.extra.size() + 20);
  RecordBuilder b(s);
  b.u32(kSigLocal);
  b.u16(zip64 ? 45 : e.versionNeeded);
  b.u16(e.flags);
  b.u16(e.method);
  b.u16(e.dosTime);
  b.u16(e.dosDate);
  b.u32(e.crc);
  b.u32(zip64 ? kMax32 : uint32_t(e.compressedSize));
  b.u32(zip64 ? kMax32 : uint32_t(e.size));
  b.u16(uint16_t(e.name.size()));
  b.u16(uint16_t(e.extra.size() + (zip64 ? 20 : 0)));
  b.bytes(e.name);
  if (zip64) {
    b.u16(kExtraZip64);
    b.u16(16);
    b.u64(e.size);
    b.u64(e.compressedSize);
  }
  b.bytes(e.extra);
  return s;
}

size_t localZip64SizesOffset(const OutEntry& e) { return kLocalHeaderSize + e.name.size() + 4; }

namespace {
std::atomic<bool> g_forceZip64{false};
}

void setForceZip64(bool on) { g_forceZip64 = on; }

void writeCentralDirectory(OutSink& out, const std::vector<OutEntry>& entries, const std::string& comment) {
  const bool forceZip64 = g_forceZip64;
  const uint64_t cdStart = out.position();
  std::string rec;
  for (const OutEntry& e : entries) {
    rec.clear();
    RecordBuilder b(rec);
    bool bigSize = forceZip64 || e.size >= kMax32;
    bool bigCsize = forceZip64 || e.compressedSize >= kMax32;
    bool bigOffset = forceZip64 || e.offset >= kMax32;
    size_t z64 = (bigSize ? 8 : 0) + (bigCsize ? 8 : 0) + (bigOffset ? 8 : 0);
    uint16_t needed = e.versionNeeded;
    uint16_t made = e.versionMadeBy;
    if (z64) {
      if (needed < 45) needed = 45;
      if ((made & 0xFF) < 45) made = uint16_t((made & 0xFF00) | 45);
    }
    b.u32(kSigCentral);
    b.u16(made);
    b.u16(needed);
    b.u16(e.flags);
    b.u16(e.method);
    b.u16(e.dosTime);
    b.u16(e.dosDate);
    b.u32(e.crc);
    b.u32(bigCsize ? kMax32 : uint32_t(e.compressedSize));
    b.u32(bigSize ? kMax32 : uint32_t(e.size));
    b.u16(uint16_t(e.name.size()));
    size_t extraLen = e.extra.size() + (z64 ? 4 + z64 : 0);
    if (extraLen > 0xFFFF) fail(ZE_FAILED);
    b.u16(uint16_t(extraLen));
    b.u16(uint16_t(e.comment.size()));
    b.u16(0);  // disk
    b.u16(e.internalAttr);
    b.u32(e.externalAttr);
    b.u32(bigOffset ? kMax32 : uint32_t(e.offset));
    b.bytes(e.name);
    if (z64) {
      b.u16(kExtraZip64);
      b.u16(uint16_t(z64));
      if (bigSize) b.u64(e.size);
      if (bigCsize) b.u64(e.compressedSize);
      if (bigOffset) b.u64(e.offset);
    }
    b.bytes(e.extra);
    b.bytes(e.comment);
    out.write(rec.data(), rec.size());
  }
  const uint64_t cdEnd = out.position();
  const uint64_t cdSize = cdEnd - cdStart;
  const uint64_t count = entries.size();
  bool zip64 = forceZip64 || count >= kMax16 || cdSize >= kMax32 || cdStart >= kMax32;
  rec.clear();
  RecordBuilder b(rec);
  if (zip64) {
    b.u32(kSigEnd64);
    b.u64(kEnd64Size - 12);
    b.u16(45);
    b.u16(45);
    b.u32(0);
    b.u32(0);
    b.u64(count);
    b.u64(count);
    b.u64(cdSize);
    b.u64(cdStart);
    b.u32(kSigLocator64);
    b.u32(0);
    b.u64(cdEnd);
    b.u32(1);
  }
  b.u32(kSigEnd);
  b.u16(0);
  b.u16(0);
  b.u16(zip64 && count >= kMax16 ? kMax16 : uint16_t(count));
  b.u16(zip64 && count >= kMax16 ? kMax16 : uint16_t(count));
  b.u32(zip64 && cdSize >= kMax32 ? kMax32 : uint32_t(cdSize));
  b.u32(zip64 && (cdStart >= kMax32 || forceZip64) ? kMax32 : uint32_t(cdStart));
  size_t clen = std::min<size_t>(comment.size(), kMaxComment);
  b.u16(uint16_t(clen));
  b.bytes(comment.data(), clen);
  out.write(rec.data(), rec.size());
}

}  // namespace ze
