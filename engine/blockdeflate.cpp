#include "blockdeflate.h"

#include <zlib.h>

#include <algorithm>

#include "errors.h"

namespace ze {

namespace {
constexpr size_t kBlock = size_t(1) << 20;
constexpr size_t kWindow = 32768;
constexpr uint64_t kProbe = uint64_t(4) << 20;  // judged compressible after this much
}  // namespace

BlockDeflater::BlockDeflater(int level, unsigned threads) : level_(level), threads_(std::max(1u, threads)) {}

BlockDeflater::~BlockDeflater() { stopWorkers(); }

void BlockDeflater::stopWorkers() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  cv_.notify_all();
  for (auto& t : workers_) t.join();
  workers_.clear();
}

void BlockDeflater::work() {
  z_stream zs{};
  bool zok = deflateInit2(&zs, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  for (;;) {
    std::shared_ptr<Block> b;
    {
      std::unique_lock<std::mutex> lock(mu_);
      cv_.wait(lock, [&] {
        if (stop_) return true;
        for (auto& q : queue_)
          if (!q->claimed) return true;
        return false;
      });
      if (stop_) break;
      for (auto& q : queue_)
        if (!q->claimed) {
          b = q;
          break;
        }
      b->claimed = true;
    }
    bool ok = zok;
    try {
      if (ok) {
        deflateReset(&zs);
        if (!b->dict.empty()) deflateSetDictionary(&zs, b->dict.data(), uInt(b->dict.size()));
        b->output.resize(deflateBound(&zs, uLong(b->input.size())) + 64);
        zs.next_in = b->input.data();
        zs.avail_in = uInt(b->input.size());
        size_t produced = 0;
        for (;;) {
          zs.next_out = b->output.data() + produced;
          zs.avail_out = uInt(b->output.size() - produced);
          int rc = deflate(&zs, b->last ? Z_FINISH : Z_SYNC_FLUSH);
          produced = b->output.size() - zs.avail_out;
          if (rc == Z_STREAM_ERROR) {
            ok = false;
            break;
          }
          if (b->last ? rc == Z_STREAM_END : (zs.avail_in == 0 && zs.avail_out > 0)) break;
          b->output.resize(b->output.size() * 2);
        }
        b->output.resize(produced);
      }
    } catch (...) {
      ok = false;
    }
    {
      std::lock_guard<std::mutex> lock(mu_);
      b->failed = !ok;
      b->done = true;
    }
    cv_.notify_all();
  }
  if (zok) deflateEnd(&zs);
}

bool BlockDeflater::run(const Reader& read, const Writer& write, const Progress& progress, uint64_t& in,
                        uint64_t& out, uint32_t& crc) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = false;
    queue_.clear();
  }
  for (unsigned i = 0; i < threads_; ++i) workers_.emplace_back([this] { work(); });
  struct Stopper {
    BlockDeflater* self;
    ~Stopper() { self->stopWorkers(); }
  } stopper{this};

  in = out = 0;
  crc = uint32_t(crc32(0, nullptr, 0));
  const size_t ahead = size_t(threads_) * 2;
  bool eof = false;
  std::vector<uint8_t> tail;  // the last window of input, the next block's dictionary
  bool probed = false;
  uint64_t consumed = 0;  // input behind the output written so far
  for (;;) {
    while (!eof) {
      {
        std::lock_guard<std::mutex> lock(mu_);
        if (queue_.size() >= ahead) break;
      }
      auto b = std::make_shared<Block>();
      b->input.resize(kBlock);
      size_t got = read(b->input.data(), kBlock);
      b->input.resize(got);
      eof = got < kBlock;
      b->last = eof;
      crc = uint32_t(crc32_z(crc, b->input.data(), got));
      in += got;
      b->dict = tail;
      if (got >= kWindow) {
        tail.assign(b->input.end() - kWindow, b->input.end());
      } else {
        tail.insert(tail.end(), b->input.begin(), b->input.end());
        if (tail.size() > kWindow) tail.erase(tail.begin(), tail.end() - kWindow);
      }
      {
        std::lock_guard<std::mutex> lock(mu_);
        queue_.push_back(std::move(b));
      }
      cv_.notify_all();
    }
    std::shared_ptr<Block> front;
    {
      std::unique_lock<std::mutex> lock(mu_);
      if (queue_.empty()) break;
      front = queue_.front();
      cv_.wait(lock, [&] { return front->done; });
      queue_.pop_front();
    }
    cv_.notify_all();
    if (front->failed) fail(ZE_MEMORY);
    write(front->output.data(), front->output.size());
    out += front->output.size();
    consumed += front->input.size();
    progress(consumed);
    if (!probed && consumed >= kProbe && !front->last) {
      probed = true;
      if (out * 100 >= consumed * 99) return false;
    }
  }
  return true;
}

}  // namespace ze
