// Record layouts and constants of the archive format.
#pragma once

#include <cstdint>

namespace ze {

enum : uint32_t {
  kSigLocal = 0x04034b50,
  kSigCentral = 0x02014b50,
  kSigEnd = 0x06054b50,
  kSigEnd64 = 0x06064b50,
  kSigLocator64 = 0x07064b50,
  kSigDescriptor = 0x08074b50,
};

enum : uint32_t {
  kLocalHeaderSize = 30,
  kCentralHeaderSize = 46,
  kEndSize = 22,
  kEnd64Size = 56,
  kLocator64Size = 20,
  kMaxComment = 0xFFFF,
};

enum : uint16_t {
  kFlagEncrypted = 0x0001,
  kFlagDescriptor = 0x0008,
  kFlagUtf8 = 0x0800,
};

enum : uint16_t {
  kMethodStore = 0,
  kMethodDeflate = 8,
};

enum : uint16_t {
  kExtraZip64 = 0x0001,
  kExtraTimestamp = 0x5455,
  kExtraUnicodePath = 0x7075,
};

// Host systems of "version made by" whose external attributes carry a Unix
// mode in the high half.
inline bool isUnixHost(uint8_t host) { return host == 3 || host == 19; }

constexpr uint32_t kMax32 = 0xFFFFFFFFu;
constexpr uint16_t kMax16 = 0xFFFFu;

}  // namespace ze
