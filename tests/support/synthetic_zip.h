// Writes a large archive of empty stored members directly, without the
// engine: folders d000..dNNN each holding files f00000.txt.., with the ZIP64
// end records that more than 65,535 members need.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

namespace synthetic_zip {

inline void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
inline void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

inline std::string MemberName(int folder, int file) {
  char name[32];
  snprintf(name, sizeof(name), "d%03d/f%05d.txt", folder, file);
  return name;
}

// Returns the number of members written.
inline uint64_t Write(const std::string& path, int folders, int filesPerFolder) {
  std::string local, central;
  const uint32_t dosTime = (12u << 11) | (30u << 5);            // 12:30:00
  const uint32_t dosDate = ((2024u - 1980u) << 9) | (5u << 5) | 17u;  // 2024-05-17
  uint64_t count = 0;
  for (int d = 0; d < folders; ++d) {
    for (int f = 0; f < filesPerFolder; ++f, ++count) {
      const std::string name = MemberName(d, f);
      const auto offset = static_cast<uint32_t>(local.size());
      Put32(local, 0x04034b50);
      Put16(local, 10);
      Put16(local, 0);
      Put16(local, 0);
      Put16(local, dosTime);
      Put16(local, dosDate);
      Put32(local, 0);
      Put32(local, 0);
      Put32(local, 0);
      Put16(local, static_cast<uint32_t>(name.size()));
      Put16(local, 0);
      local += name;
      Put32(central, 0x02014b50);
      Put16(central, 20);
      Put16(central, 10);
      Put16(central, 0);
      Put16(central, 0);
      Put16(central, dosTime);
      Put16(central, dosDate);
      Put32(central, 0);
      Put32(central, 0);
      Put32(central, 0);
      Put16(central, static_cast<uint32_t>(name.size()));
      Put16(central, 0);
      Put16(central, 0);
      Put16(central, 0);
      Put16(central, 0);
      Put32(central, 0x20);
      Put32(central, offset);
      central += name;
    }
  }
  const uint64_t centralOffset = local.size();
  std::string tail;
  const uint64_t zip64End = centralOffset + central.size();
  Put32(tail, 0x06064b50);
  Put64(tail, 44);
  Put16(tail, 45);
  Put16(tail, 45);
  Put32(tail, 0);
  Put32(tail, 0);
  Put64(tail, count);
  Put64(tail, count);
  Put64(tail, central.size());
  Put64(tail, centralOffset);
  Put32(tail, 0x07064b50);
  Put32(tail, 0);
  Put64(tail, zip64End);
  Put32(tail, 1);
  Put32(tail, 0x06054b50);
  Put16(tail, 0);
  Put16(tail, 0);
  Put16(tail, count > 0xFFFF ? 0xFFFF : static_cast<uint32_t>(count));
  Put16(tail, count > 0xFFFF ? 0xFFFF : static_cast<uint32_t>(count));
  Put32(tail, static_cast<uint32_t>(central.size()));
  Put32(tail, static_cast<uint32_t>(centralOffset));
  Put16(tail, 0);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << local << central << tail;
  return count;
}

}  // namespace synthetic_zip
