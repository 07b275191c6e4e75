// Random-access byte sources the reader parses: an archive file, or a memory
// buffer (for tests and fuzzing).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "platform.h"

namespace ze {

class Source {
public:
  virtual ~Source() = default;
  virtual uint64_t size() const = 0;
  // Reads up to len bytes at offset; false on an I/O error.
  virtual bool readAt(uint64_t offset, void* buf, size_t len, size_t& got) = 0;
};

class MemorySource : public Source {
public:
  MemorySource(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  uint64_t size() const override { return size_; }
  bool readAt(uint64_t offset, void* buf, size_t len, size_t& got) override {
    got = 0;
    if (offset >= size_) return true;
    got = size_t(size_ - offset) < len ? size_t(size_ - offset) : len;
    std::memcpy(buf, data_ + offset, got);
    return true;
  }

private:
  const uint8_t* data_;
  size_t size_;
};

class FileSource : public Source {
public:
  // Opens the archive; failures throw the engine's open codes.
  explicit FileSource(const std::string& path, os::Enc enc = os::Enc::Ansi);
  uint64_t size() const override { return size_; }
  bool readAt(uint64_t offset, void* buf, size_t len, size_t& got) override {
    return file_.readAt(offset, buf, len, got) == os::Err::None;
  }
  os::File& file() { return file_; }

private:
  os::File file_;
  uint64_t size_ = 0;
};

}  // namespace ze
