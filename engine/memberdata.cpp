#include "memberdata.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

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

MemberDecoder::MemberDecoder() : out_(kPieceSize) {}

MemberDecoder::~MemberDecoder() {
  if (init_) inflateEnd(&zs_);
}

namespace {

// Members at least this large are inflated on a helper thread while the
// caller's thread checks and writes what is ready: below it, starting the
// thread costs more than the overlap saves.
constexpr uint64_t kOverlapFrom = uint64_t(2) << 20;
constexpr size_t kPieces = 8;

// Inflates the member whose data starts at pos into the buffers `space`
// hands out, passing each filled piece to `emit`; checks that the stream
// gives exactly the declared size.
template <class Space, class Emit>
void inflateMember(z_stream& zs, ReadWindow& win, uint64_t pos, const Entry& e, Space space, Emit emit) {
  uint64_t left = e.compressedSize;
  const size_t chunk = win.capacity();
  uint64_t produced = 0;
  bool ended = false;
  while (!ended) {
    if (zs.avail_in == 0 && left > 0) {
      size_t n = size_t(std::min<uint64_t>(left, chunk));
      zs.next_in = const_cast<Bytef*>(win.get(pos, n));
      zs.avail_in = uInt(n);
      pos += n;
      left -= n;
    }
    uint8_t* buf = space();
    zs.next_out = buf;
    zs.avail_out = uInt(kPieceSize);
    int rc = inflate(&zs, Z_NO_FLUSH);
    size_t got = kPieceSize - zs.avail_out;
    if (rc == Z_STREAM_END) ended = true;
    else if (rc == Z_MEM_ERROR) fail(ZE_MEMORY);
    else if (rc != Z_OK && !(rc == Z_BUF_ERROR && got > 0)) fail(ZE_FAILED);
    // More output than declared: stop before writing it (zip bombs).
    if (got > e.size - produced) fail(ZE_FAILED);
    produced += got;
    if (got) emit(buf, got);
    if (!ended && got == 0 && zs.avail_in == 0 && left == 0) fail(ZE_FAILED);
  }
  zs.avail_in = 0;
  if (produced != e.size) fail(ZE_FAILED);
}

// The hand-over between the inflating thread and the caller's: a ring of
// pieces; a failure of the inflater reaches the caller after the pieces
// made before it, as it would without the helper.
class PieceRing {
public:
  PieceRing() {
    for (auto& p : pieces_) p.data.resize(kPieceSize);
  }

  // Inflater: the next free piece, or nullptr once the caller gave up.
  uint8_t* space() {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [&] { return stopped_ || made_ - taken_ < kPieces; });
    return stopped_ ? nullptr : pieces_[made_ % kPieces].data.data();
  }
  void emit(size_t n) {
    std::lock_guard<std::mutex> lock(mu_);
    pieces_[made_ % kPieces].len = n;
    ++made_;
    cv_.notify_all();
  }
  void finish(std::exception_ptr failure) {
    std::lock_guard<std::mutex> lock(mu_);
    failure_ = failure;
    finished_ = true;
    cv_.notify_all();
  }

  // Caller: the next piece, false at the end; rethrows the inflater's failure.
  bool next(const uint8_t*& p, size_t& n) {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [&] { return finished_ || taken_ < made_; });
    if (taken_ == made_) {
      if (failure_) std::rethrow_exception(failure_);
      return false;
    }
    const Piece& piece = pieces_[taken_ % kPieces];
    p = piece.data.data();
    n = piece.len;
    return true;
  }
  void release() {
    std::lock_guard<std::mutex> lock(mu_);
    ++taken_;
    cv_.notify_all();
  }
  void stop() {
    std::lock_guard<std::mutex> lock(mu_);
    stopped_ = true;
    cv_.notify_all();
  }

private:
  struct Piece {
    std::vector<uint8_t> data;
    size_t len = 0;
  };
  Piece pieces_[kPieces];
  std::mutex mu_;
  std::condition_variable cv_;
  size_t made_ = 0, taken_ = 0;
  bool finished_ = false, stopped_ = false;
  std::exception_ptr failure_;
};

struct Stopped {};

}  // namespace

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
    if (e.size >= kOverlapFrom && std::thread::hardware_concurrency() > 1) {
      PieceRing ring;
      std::thread inflater([&] {
        std::exception_ptr failure;
        try {
          inflateMember(
              zs_, win, pos, e,
              [&] {
                uint8_t* p = ring.space();
                if (!p) throw Stopped{};
                return p;
              },
              [&](const uint8_t*, size_t n) { ring.emit(n); });
        } catch (const Stopped&) {
        } catch (...) {
          failure = std::current_exception();
        }
        ring.finish(failure);
      });
      // Whatever ends this side (a failed write, a cancel) stops the inflater first.
      struct Join {
        PieceRing& ring;
        std::thread& t;
        ~Join() {
          ring.stop();
          t.join();
        }
      } join{ring, inflater};
      const uint8_t* p;
      size_t n;
      while (ring.next(p, n)) {
        crc = crc32_z(crc, p, n);
        sink(p, n);
        ring.release();
      }
    } else {
      inflateMember(
          zs_, win, pos, e, [&] { return out_.data(); },
          [&](const uint8_t* p, size_t n) {
            crc = crc32_z(crc, p, n);
            sink(p, n);
          });
    }
  }
  if (crc != e.crc) fail(ZE_FAILED);
}

}  // namespace ze
