// Compression of the files to add, on worker threads, in the order they are
// written: the writer takes item i while the workers already pack the next
// ones, within a bounded amount of memory.  Workers claim small files in
// batches so tiny files do not cost a hand-over each.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform.h"

namespace ze {

struct PackItem {
  std::string path;
  uint64_t size = 0;  // as seen when collected
  os::Enc enc = os::Enc::Ansi;
};

struct Packed {
  bool streamed = false;      // too large: the writer compresses it itself
  bool outOfMemory = false;
  os::Err err = os::Err::None;
  uint16_t method = 0;
  uint32_t crc = 0;
  uint64_t size = 0;
  std::vector<uint8_t> data;  // what goes into the archive
};

// Files at most this large are packed in memory by the workers.
constexpr uint64_t kPackInMemoryLimit = uint64_t(8) << 20;

class Packer {
public:
  Packer(const std::vector<PackItem>& items, int level);
  ~Packer();
  Packer(const Packer&) = delete;
  Packer& operator=(const Packer&) = delete;
  // Blocks until item i is packed; items must be taken in order.
  Packed& take(size_t i);
  // Frees item i's memory.
  void release(size_t i);

private:
  void work();
  bool pack(size_t i, Packed& out, void* zstream);

  const std::vector<PackItem>& items_;
  int level_;
  std::vector<Packed> results_;
  std::vector<uint8_t> ready_;  // guarded by mu_
  std::mutex mu_;
  std::condition_variable workCv_;   // workers wait for memory to free up
  std::condition_variable readyCv_;  // the writer waits for its item
  size_t nextClaim_ = 0;
  size_t released_ = 0;
  uint64_t inFlight_ = 0;
  size_t waitingWorkers_ = 0;
  size_t writerWaitsFor_ = SIZE_MAX;
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

// Packs one buffer: deflate at `level` (0 = store), stored when that is not
// smaller.
void packBuffer(std::vector<uint8_t>&& input, int level, Packed& out, void* zstream);

}  // namespace ze
