// Writing archives: a buffered sink that knows its position, local headers,
// and the central directory with ZIP64 records only where values need them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform.h"

namespace ze {

class OutSink {
public:
  // start: the file position the sink begins at; the file must be there.
  OutSink(os::File& f, uint64_t start, size_t capacity = size_t(4) << 20);
  void write(const void* p, size_t n);
  // Overwrites bytes already written (header fields known only afterwards).
  void patch(uint64_t at, const void* p, size_t n);
  // Drops everything from `at` on (at >= the last flushed position's start).
  void rewind(uint64_t at);
  void flush();
  // Appends bytes of another file through the system's copy; false when that
  // is not available (nothing was copied).
  bool copyFrom(os::File& src, uint64_t offset, uint64_t len);
  uint64_t position() const { return pos_; }
  // For a file synced once complete: what reaches it starts on its way to
  // disk at once, so copying and the disk's writing overlap.
  void writeBackEarly() { writeBack_ = true; }
  os::File& file() { return f_; }
  // Result codes for a failed write, and for one that found the volume full.
  void setErrorCodes(int writeCode, int fullCode) {
    writeCode_ = writeCode;
    fullCode_ = fullCode;
  }
  [[noreturn]] void failed(os::Err e) const;

private:
  os::File& f_;
  // Left uninitialised: a small change touches only the pages it uses.
  std::unique_ptr<uint8_t[]> buf_;
  size_t cap_;
  size_t len_ = 0;
  uint64_t bufStart_;  // file position of buf_[0]
  uint64_t pos_;
  int writeCode_;
  int fullCode_;
  bool writeBack_ = false;

  void written(uint64_t at, uint64_t n) {
    if (writeBack_ && n) f_.startWriteback(at, n);
  }
};

// One member of the central directory being written.
struct OutEntry {
  std::string name;   // as stored
  std::string extra;  // central extra fields, without ZIP64
  std::string comment;
  uint16_t versionMadeBy = 20;
  uint16_t versionNeeded = 20;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint16_t internalAttr = 0;
  uint32_t crc = 0;
  uint32_t externalAttr = 0;
  uint64_t compressedSize = 0;
  uint64_t size = 0;
  uint64_t offset = 0;
};

// Removes ZIP64 blocks from an extra field (they are rebuilt on writing).
std::string stripZip64(const uint8_t* extra, size_t len);

// Extended-timestamp extra field carrying the UTC modification time, or
// nothing when it does not fit the field.
std::string timestampExtra(int64_t mtime);

// A local header for a new member; with zip64, sizes live in a ZIP64 block.
std::string localHeader(const OutEntry& e, bool zip64);
// Offset within a local header of the CRC and size fields, and of the ZIP64
// block's sizes.
constexpr size_t kLocalCrcOffset = 14;
size_t localZip64SizesOffset(const OutEntry& e);

// Writes the directory and end records; the sink's position is the
// directory's start.
void writeCentralDirectory(OutSink& out, const std::vector<OutEntry>& entries, const std::string& comment);

// Test seam: write ZIP64 records even where values fit in 32 bits.
void setForceZip64(bool on);

}  // namespace ze
