// Deflate of one large file on several threads: the input is cut into
// blocks, each compressed on its own with the previous block's last 32 KiB
// as dictionary and ended on a byte boundary, so the outputs join into one
// ordinary deflate stream.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ze {

class BlockDeflater {
public:
  // Returns the bytes read into buf (fewer than cap only at the end).
  using Reader = std::function<size_t(uint8_t* buf, size_t cap)>;
  using Writer = std::function<void(const uint8_t* p, size_t n)>;
  using Progress = std::function<void(uint64_t consumed)>;

  BlockDeflater(int level, unsigned threads);
  ~BlockDeflater();
  BlockDeflater(const BlockDeflater&) = delete;
  BlockDeflater& operator=(const BlockDeflater&) = delete;

  // Compresses everything `read` yields.  Returns false, having written
  // part of it, when the first blocks do not shrink (the caller stores the
  // file instead).  in/out/crc describe the whole stream on success.
  bool run(const Reader& read, const Writer& write, const Progress& progress, uint64_t& in, uint64_t& out,
           uint32_t& crc);

private:
  struct Block {
    std::vector<uint8_t> input;
    std::vector<uint8_t> dict;
    std::vector<uint8_t> output;
    bool last = false;
    bool claimed = false;
    bool done = false;
    bool failed = false;
  };
  void work();
  void stopWorkers();

  int level_;
  unsigned threads_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::shared_ptr<Block>> queue_;
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace ze
