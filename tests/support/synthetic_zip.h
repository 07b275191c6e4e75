// Writes a large archive of empty stored members directly, without the
// engine: folders d000..dNNN each holding files f00000.txt.., with the ZIP64
// end records that more than 65,535 members need.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

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

// The zip64 end record, its locator and the classic end record, for a
// directory of count entries, centralSize bytes at centralOffset; what the
// classic record cannot hold saturates there.
inline void AppendEnd64(std::string& tail, uint64_t count, uint64_t centralSize, uint64_t centralOffset) {
  Put32(tail, 0x06064b50);
  Put64(tail, 44);
  Put16(tail, 45);
  Put16(tail, 45);
  Put32(tail, 0);
  Put32(tail, 0);
  Put64(tail, count);
  Put64(tail, count);
  Put64(tail, centralSize);
  Put64(tail, centralOffset);
  Put32(tail, 0x07064b50);
  Put32(tail, 0);
  Put64(tail, centralOffset + centralSize);
  Put32(tail, 1);
  Put32(tail, 0x06054b50);
  Put16(tail, 0);
  Put16(tail, 0);
  Put16(tail, count > 0xFFFF ? 0xFFFF : static_cast<uint32_t>(count));
  Put16(tail, count > 0xFFFF ? 0xFFFF : static_cast<uint32_t>(count));
  Put32(tail, centralSize > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<uint32_t>(centralSize));
  Put32(tail, centralOffset > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<uint32_t>(centralOffset));
  Put16(tail, 0);
}

inline std::string MemberName(int folder, int file) {
  char name[32];
  snprintf(name, sizeof(name), "d%03d/f%05d.txt", folder, file);
  return name;
}

// Writes empty stored members of the given names; returns how many.
inline uint64_t WriteNames(const std::string& path, const std::vector<std::string>& names) {
  std::string local, central;
  const uint32_t dosTime = (12u << 11) | (30u << 5);            // 12:30:00
  const uint32_t dosDate = ((2024u - 1980u) << 9) | (5u << 5) | 17u;  // 2024-05-17
  for (const std::string& name : names) {
    const auto offset = static_cast<uint32_t>(local.size());
    for (std::string* part : {&local, &central}) {
      const bool isCentral = part == &central;
      Put32(*part, isCentral ? 0x02014b50 : 0x04034b50);
      if (isCentral) Put16(*part, 20);
      Put16(*part, 10);
      Put16(*part, 0);
      Put16(*part, 0);
      Put16(*part, dosTime);
      Put16(*part, dosDate);
      Put32(*part, 0);
      Put32(*part, 0);
      Put32(*part, 0);
      Put16(*part, static_cast<uint32_t>(name.size()));
      Put16(*part, 0);
      if (isCentral) {
        Put16(*part, 0);
        Put16(*part, 0);
        Put16(*part, 0);
        Put32(*part, 0x20);
        Put32(*part, offset);
      }
      *part += name;
    }
  }
  const uint64_t count = names.size();
  const uint64_t centralOffset = local.size();
  std::string tail;
  AppendEnd64(tail, count, central.size(), centralOffset);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << local << central << tail;
  return count;
}

// topFiles files f00000.txt.. at the top, then folders d000.. each holding
// filesPerFolder files.
inline uint64_t Write(const std::string& path, int folders, int filesPerFolder, int topFiles = 0) {
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(topFiles + folders * filesPerFolder));
  char name[32];
  for (int f = 0; f < topFiles; ++f) {
    snprintf(name, sizeof(name), "f%05d.txt", f);
    names.push_back(name);
  }
  for (int d = 0; d < folders; ++d)
    for (int f = 0; f < filesPerFolder; ++f) names.push_back(MemberName(d, f));
  return WriteNames(path, names);
}

}  // namespace synthetic_zip
