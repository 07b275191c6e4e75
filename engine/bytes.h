// Little-endian field access for the archive's records.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace ze {

inline uint16_t get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t get32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t get64(const uint8_t* p) { return uint64_t(get32(p)) | (uint64_t(get32(p + 4)) << 32); }

inline void put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void put32(uint8_t* p, uint32_t v) {
  put16(p, uint16_t(v));
  put16(p + 2, uint16_t(v >> 16));
}
inline void put64(uint8_t* p, uint64_t v) {
  put32(p, uint32_t(v));
  put32(p + 4, uint32_t(v >> 32));
}

// Appends little-endian fields to a growing record.
class RecordBuilder {
public:
  explicit RecordBuilder(std::string& out) : out_(out) {}
  void u16(uint16_t v) {
    uint8_t b[2];
    put16(b, v);
    out_.append(reinterpret_cast<char*>(b), 2);
  }
  void u32(uint32_t v) {
    uint8_t b[4];
    put32(b, v);
    out_.append(reinterpret_cast<char*>(b), 4);
  }
  void u64(uint64_t v) {
    uint8_t b[8];
    put64(b, v);
    out_.append(reinterpret_cast<char*>(b), 8);
  }
  void bytes(const void* p, size_t n) { out_.append(static_cast<const char*>(p), n); }
  void bytes(const std::string& s) { out_.append(s); }

private:
  std::string& out_;
};

}  // namespace ze
