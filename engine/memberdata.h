// Reading a member's data: a read-ahead window over the archive (small
// members in a row cost one read, not one each) and the decoder that checks
// sizes and CRC.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "centraldir.h"
#include "source.h"

namespace ze {

class ReadWindow {
public:
  explicit ReadWindow(Source& src, size_t capacity = size_t(1) << 20);
  // Returns a pointer to len bytes at offset (len <= capacity), or throws
  // ZE_DAMAGED when they lie past the end, ZE_ZIP_READ on an I/O error.
  const uint8_t* get(uint64_t offset, size_t len);
  size_t capacity() const { return buf_.size(); }

private:
  Source& src_;
  std::vector<uint8_t> buf_;
  uint64_t start_ = 0;
  size_t len_ = 0;
};

// Position of the member's data after its local header; checks the header.
uint64_t memberDataOffset(ReadWindow& win, const CentralDirectory& cd, const Entry& e);

// Size of the pieces of output a member is decoded in.
constexpr size_t kPieceSize = size_t(1) << 18;

// Decodes a member, handing each piece of output to `sink`.  Output beyond
// the declared size, a short stream, a decoding error or a CRC mismatch
// throws ZE_FAILED; encrypted members and unknown methods too.
class MemberDecoder {
public:
  MemberDecoder();
  ~MemberDecoder();
  MemberDecoder(const MemberDecoder&) = delete;
  MemberDecoder& operator=(const MemberDecoder&) = delete;
  void decode(ReadWindow& win, const CentralDirectory& cd, const Entry& e,
              const std::function<void(const uint8_t*, size_t)>& sink);

private:
  z_stream zs_{};
  bool init_ = false;
  std::vector<uint8_t> out_;
};

}  // namespace ze
