// Builds archives byte by byte, so tests control every field (including
// wrong ones).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace et {

struct RawMember {
  RawMember(std::string n, std::string d = "", bool deflated = false)
      : name(std::move(n)), data(std::move(d)), deflate(deflated) {}
  std::string name;
  std::string data;        // uncompressed content
  bool deflate = false;
  uint16_t flags = 0;
  uint16_t madeBy = 20;    // host 0
  uint32_t externalAttr = 0;
  uint16_t dosDate = (20 << 9) | (1 << 5) | 5;  // 2000-01-05
  uint16_t dosTime = (9 << 11) | (3 << 5);      // 09:03:00
  std::string extra;
  bool descriptor = false;
  bool descriptorSignature = true;
  uint16_t method = 0xFFFF;        // when set, written instead of 0/8
  int64_t crcOverride = -1;
  int64_t sizeOverride = -1;       // declared uncompressed size
  int64_t offsetOverride = -1;     // declared local header offset
};

struct RawArchive {
  std::string bytes;
  std::vector<size_t> centralRecords;  // positions of the central records
  size_t cdStart = 0;
  size_t endRecord = 0;
};

RawArchive buildZip(const std::vector<RawMember>& members, const std::string& prefix = "",
                    const std::string& comment = "");
std::string rawDeflate(const std::string& data);
uint32_t crcOf(const std::string& data);
void put16(std::string& s, size_t at, uint16_t v);
void put32(std::string& s, size_t at, uint32_t v);
uint16_t get16(const std::string& s, size_t at);
uint32_t get32(const std::string& s, size_t at);

}  // namespace et
