#include "memberdata.h"

#include <algorithm>

#include "bytes.h"
#include "errors.h"
#include "zipformat.h"

namespace ze {

ReadWindow::ReadWindow(Source& src, size_t capacity) : src_(src) {
  buf_.resize(size_t(std::min<uint64_t>(capacity, std::max<uint64_t>(src.size(), 4096))));
}

const uint8_t* ReadWindow::get(uint64_t offset, size_t len) {
  if (offset >= start_ && offset + len <= start_ + len_) return buf_.data() + (offset - start_);
  if (len > buf_.size()) buf_.resize(len);
  if (offset > src_.size() || len > src_.size() - offset) fail(ZE_DAMAGED);
  size_t got = 0;
  if (!src_.readAt(offset, buf_.data(), buf_.size(), got)) failSystem(ZE_ZIP_READ);
  start_ = offset;
  len_ = got;
  if (got < len) fail(ZE_DAMAGED);
  return buf_.data();
}

uint64_t memberDataOffset(ReadWindow& win, const CentralDirectory& cd, const Entry& e) {
  const uint8_t* h = win.get(e.localOffset, kLocalHeaderSize);
  if (get32(h) != kSigLocal) fail(ZE_DAMAGED);
  uint64_t data = e.localOffset + kLocalHeaderSize + get16(h + 26) + get16(h + 28);
  if (data > cd.cdStart || e.compressedSize > cd.cdStart - data) fail(ZE_FAILED);  // sizes that lie
  return data;
}

MemberDecoder::MemberDecoder() : out_(size_t(1) << 18) {}

MemberDecoder::~MemberDecoder() {
  if (init_) inflateEnd(&zs_);
}

void MemberDecoder::decode(ReadWindow& win, const CentralDirectory& cd, const Entry& e,
                           const std::function<void(const uint8_t*, size_t)>& sink) {
  if (e.flags & kFlagEncrypted) fail(ZE_FAILED);
  if (e.method != kMethodStore && e.method != kMethodDeflate) fail(ZE_FAILED);
  uint64_t pos = memberDataOffset(win, cd, e);
  uint64_t left = e.compressedSize;
  uint32_t crc = crc32(0, nullptr, 0);
  const size_t chunk = win.capacity();

  if (e.method == kMethodStore) {
    if (e.compressedSize != e.size) fail(ZE_FAILED);
    while (left > 0) {
      size_t n = size_t(std::min<uint64_t>(left, chunk));
      const uint8_t* p = win.get(pos, n);
      crc = crc32_z(crc, p, n);
      sink(p, n);
      pos += n;
      left -= n;
    }
  } else {
    if (!init_) {
      if (inflateInit2(&zs_, -MAX_WBITS) != Z_OK) fail(ZE_MEMORY);
      init_ = true;
    } else {
      inflateReset(&zs_);
    }
    uint64_t produced = 0;
    bool ended = false;
    while (!ended) {
      if (zs_.avail_in == 0 && left > 0) {
        size_t n = size_t(std::min<uint64_t>(left, chunk));
        zs_.next_in = const_cast<Bytef*>(win.get(pos, n));
        zs_.avail_in = uInt(n);
        pos += n;
        left -= n;
      }
      zs_.next_out = out_.data();
      zs_.avail_out = uInt(out_.size());
      int rc = inflate(&zs_, Z_NO_FLUSH);
      size_t got = out_.size() - zs_.avail_out;
      if (rc == Z_STREAM_END) ended = true;
      else if (rc == Z_MEM_ERROR) fail(ZE_MEMORY);
      else if (rc != Z_OK && !(rc == Z_BUF_ERROR && got > 0)) fail(ZE_FAILED);
      // More output than declared: stop before writing it (zip bombs).
      if (got > e.size - produced) fail(ZE_FAILED);
      produced += got;
      if (got) {
        crc = crc32_z(crc, out_.data(), got);
        sink(out_.data(), got);
      }
      if (!ended && got == 0 && zs_.avail_in == 0 && left == 0) fail(ZE_FAILED);
    }
    zs_.avail_in = 0;
    if (produced != e.size) fail(ZE_FAILED);
  }
  if (crc != e.crc) fail(ZE_FAILED);
}

}  // namespace ze
