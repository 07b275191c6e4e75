#include "packer.h"

#include <zlib.h>

#include <algorithm>
#include <new>

#include "zipformat.h"

namespace ze {

namespace {
constexpr uint64_t kMaxInFlight = uint64_t(64) << 20;
constexpr size_t kMaxAhead = 8192;
constexpr size_t kBatchItems = 64;
constexpr uint64_t kBatchBytes = uint64_t(256) << 10;

uint64_t weight(const PackItem& item) { return std::min(item.size, kPackInMemoryLimit); }
}  // namespace

void packBuffer(std::vector<uint8_t>&& input, int level, Packed& out, void* zp) {
  out.size = input.size();
  out.crc = uint32_t(crc32_z(0, input.data(), input.size()));
  if (level > 0 && !input.empty()) {
    z_stream& zs = *static_cast<z_stream*>(zp);
    deflateReset(&zs);
    std::vector<uint8_t> comp(deflateBound(&zs, uLong(input.size())));
    zs.next_in = input.data();
    zs.avail_in = uInt(input.size());
    zs.next_out = comp.data();
    zs.avail_out = uInt(comp.size());
    int rc = deflate(&zs, Z_FINISH);
    if (rc == Z_STREAM_END && zs.total_out < input.size()) {
      comp.resize(zs.total_out);
      out.method = kMethodDeflate;
      out.data = std::move(comp);
      return;
    }
  }
  out.method = kMethodStore;
  out.data = std::move(input);
}

Packer::Packer(const std::vector<PackItem>& items, int level)
    : items_(items), level_(level), results_(items.size()), ready_(items.size(), 0) {
  unsigned n = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
  if (items.empty()) return;
  if (n > items.size()) n = unsigned(items.size());
  try {
    for (unsigned i = 0; i < n; ++i) threads_.emplace_back([this] { work(); });
  } catch (...) {
    // Fewer workers is fine as long as one runs.
    if (threads_.empty()) throw;
  }
}

Packer::~Packer() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  workCv_.notify_all();
  for (auto& t : threads_) t.join();
}

void Packer::work() {
  z_stream zs{};
  bool zok = deflateInit2(&zs, level_ > 0 ? level_ : 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  std::vector<Packed> batch;
  for (;;) {
    size_t first, last;
    {
      std::unique_lock<std::mutex> lock(mu_);
      auto canClaim = [&] {
        if (stop_ || nextClaim_ >= items_.size()) return true;
        // The item the writer needs next is always allowed, whatever memory is held.
        return nextClaim_ == released_ ||
               (nextClaim_ < released_ + kMaxAhead && inFlight_ + weight(items_[nextClaim_]) <= kMaxInFlight);
      };
      ++waitingWorkers_;
      workCv_.wait(lock, canClaim);
      --waitingWorkers_;
      if (stop_ || nextClaim_ >= items_.size()) break;
      first = nextClaim_;
      uint64_t bytes = 0;
      do {
        bytes += items_[nextClaim_].size;
        inFlight_ += weight(items_[nextClaim_]);
        ++nextClaim_;
      } while (nextClaim_ < items_.size() && nextClaim_ - first < kBatchItems && bytes < kBatchBytes &&
               items_[nextClaim_].size < kBatchBytes && inFlight_ + weight(items_[nextClaim_]) <= kMaxInFlight);
      last = nextClaim_;
    }
    batch.clear();
    batch.resize(last - first);
    for (size_t i = first; i < last; ++i)
      if (!zok || !pack(i, batch[i - first], &zs)) batch[i - first].outOfMemory = true;
    bool wake;
    {
      std::lock_guard<std::mutex> lock(mu_);
      for (size_t i = first; i < last; ++i) {
        results_[i] = std::move(batch[i - first]);
        ready_[i] = 1;
      }
      wake = writerWaitsFor_ >= first && writerWaitsFor_ < last;
    }
    if (wake) readyCv_.notify_one();
  }
  if (zok) deflateEnd(&zs);
}

bool Packer::pack(size_t i, Packed& out, void* zs) {
  const PackItem& item = items_[i];
  if (item.size > kPackInMemoryLimit) {
    out.streamed = true;
    return true;
  }
  try {
    os::File f;
    os::Err e = f.openRead(item.path, item.enc);
    if (e != os::Err::None) {
      out.err = e;
      return true;
    }
    // The size seen when collecting is what is taken: the member is a
    // consistent prefix even if the file grows meanwhile.
    std::vector<uint8_t> buf(size_t(item.size));
    size_t got = 0;
    e = f.read(buf.data(), buf.size(), got);
    if (e != os::Err::None) {
      out.err = e;
      return true;
    }
    buf.resize(got);
    packBuffer(std::move(buf), level_, out, zs);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

Packed& Packer::take(size_t i) {
  std::unique_lock<std::mutex> lock(mu_);
  if (!ready_[i]) {
    writerWaitsFor_ = i;
    readyCv_.wait(lock, [&] { return ready_[i] != 0; });
    writerWaitsFor_ = SIZE_MAX;
  }
  return results_[i];
}

void Packer::release(size_t i) {
  bool wake;
  {
    std::lock_guard<std::mutex> lock(mu_);
    results_[i].data = std::vector<uint8_t>();
    inFlight_ -= weight(items_[i]);
    released_ = i + 1;
    wake = waitingWorkers_ > 0;
  }
  if (wake) workCv_.notify_one();
}

}  // namespace ze
