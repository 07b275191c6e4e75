// The multi-threaded deflate of large files must join into one stream that
// any inflater reads back exactly, whatever the block boundaries.
#include <zlib.h>

#include <cstring>

#include "blockdeflate.h"
#include "rawzip.h"
#include "testutil.h"

using namespace et;

namespace {

std::string inflateRaw(const std::string& in, size_t expected) {
  z_stream zs{};
  inflateInit2(&zs, -15);
  std::string out(expected + 16, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  zs.avail_in = uInt(in.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = uInt(out.size());
  int rc = inflate(&zs, Z_FINISH);
  EXPECT_EQ(rc, Z_STREAM_END);
  EXPECT_EQ(zs.avail_in, 0u);  // nothing after the final block
  out.resize(zs.total_out);
  inflateEnd(&zs);
  return out;
}

}  // namespace

TEST(BlockDeflate, JoinedBlocksInflateToTheInput) {
  const size_t mib = size_t(1) << 20;
  for (size_t size : {size_t(0), size_t(1), mib - 1, mib, mib + 1, 5 * mib + 12345}) {
    std::string input = compressible(size);
    size_t pos = 0;
    std::string output;
    uint64_t in = 0, out = 0;
    uint32_t crc = 0;
    ze::BlockDeflater bd(6, 3);
    bool ok = bd.run(
        [&](uint8_t* buf, size_t cap) {
          size_t n = std::min(cap, input.size() - pos);
          std::memcpy(buf, input.data() + pos, n);
          pos += n;
          return n;
        },
        [&](const uint8_t* p, size_t n) { output.append(reinterpret_cast<const char*>(p), n); },
        [](uint64_t) {}, in, out, crc);
    ASSERT_TRUE(ok) << size;
    EXPECT_EQ(in, size);
    EXPECT_EQ(out, output.size());
    EXPECT_EQ(crc, crcOf(input));
    EXPECT_TRUE(inflateRaw(output, size) == input) << size;
  }
}

TEST(BlockDeflate, GivesUpOnIncompressibleInput) {
  std::string input = pseudoRandom(8 << 20, 5);
  size_t pos = 0;
  uint64_t in, out;
  uint32_t crc;
  ze::BlockDeflater bd(6, 2);
  EXPECT_FALSE(bd.run(
      [&](uint8_t* buf, size_t cap) {
        size_t n = std::min(cap, input.size() - pos);
        std::memcpy(buf, input.data() + pos, n);
        pos += n;
        return n;
      },
      [](const uint8_t*, size_t) {}, [](uint64_t) {}, in, out, crc));
}
