#include "packer.h"

#include <zlib.h>

#include <algorithm>
#include <new>

#include "zipformat.h"

namespace ze {

namespace {
constexpr uint64_t kMaxInFlight = uint64_t(64) << 20;
constexpr size_t kMaxAhead = 8192;
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
    : items_(items), level_(level), results_(items.size()) {
  unsigned n = std::thread::hardware_concurrency();
  n = std::clamp(n, 1u, 8u);
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
  cv_.notify_all();
  for (auto& t : threads_) t.join();
}

void Packer::work() {
  z_stream zs{};
  bool zok = deflateInit2(&zs, level_ > 0 ? level_ : 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  for (;;) {
    size_t i;
    {
      std::unique_lock<std::mutex> lock(mu_);
      cv_.wait(lock, [&] {
        if (stop_ || nextClaim_ >= items_.size()) return true;
        uint64_t sz = std::min(items_[nextClaim_].size, kPackInMemoryLimit);
        return nextClaim_ == released_ ||
               (nextClaim_ < released_ + kMaxAhead && inFlight_ + sz <= kMaxInFlight);
      });
      if (stop_ || nextClaim_ >= items_.size()) break;
      i = nextClaim_++;
      inFlight_ += std::min(items_[i].size, kPackInMemoryLimit);
    }
    Packed result;
    if (!zok || !pack(i, result, &zs)) result.outOfMemory = true;
    {
      std::lock_guard<std::mutex> lock(mu_);
      result.ready = true;
      results_[i] = std::move(result);
    }
    cv_.notify_all();
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
    os::Err e = f.openRead(item.path);
    if (e != os::Err::None) {
      out.err = e;
      return true;
    }
    std::vector<uint8_t> buf(size_t(item.size) + 1);
    size_t have = 0;
    for (;;) {
      size_t got = 0;
      e = f.read(buf.data() + have, buf.size() - have, got);
      if (e != os::Err::None) {
        out.err = e;
        return true;
      }
      have += got;
      if (have < buf.size()) break;
      if (have > kPackInMemoryLimit) {
        // It grew past what we hold in memory: let the writer stream it.
        out.streamed = true;
        return true;
      }
      buf.resize(buf.size() * 2);
    }
    buf.resize(have);
    packBuffer(std::move(buf), level_, out, zs);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

Packed& Packer::take(size_t i) {
  std::unique_lock<std::mutex> lock(mu_);
  cv_.wait(lock, [&] { return results_[i].ready; });
  return results_[i];
}

void Packer::release(size_t i) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    results_[i].data = std::vector<uint8_t>();
    inFlight_ -= std::min(items_[i].size, kPackInMemoryLimit);
    released_ = i + 1;
  }
  cv_.notify_all();
}

}  // namespace ze
