#include "grow_undo.h"

#include <zlib.h>

#include <cstring>

#include "bytes.h"

namespace ze {

namespace {

constexpr char kMagic[8] = {'M', 'B', 'X', 'U', 'N', 'D', 'O', '1'};
constexpr size_t kHeader = 8 + 8 + 8 + 8;  // magic, old size, tail start, tail length

std::string recordPath(const std::string& archive) { return archive + ".~mbxundo"; }

uint32_t checksum(const uint8_t* data, size_t size) {
  uLong crc = crc32(0, nullptr, 0);
  while (size > 0) {
    const uInt n = uInt(size > (1u << 30) ? (1u << 30) : size);
    crc = crc32(crc, data, n);
    data += n;
    size -= n;
  }
  return uint32_t(crc);
}

}  // namespace

GrowUndo::~GrowUndo() {
  // Not discarded: the update failed half-way and could not put the archive
  // back; the record stays for the next open.
  file_.close();
}

bool GrowUndo::record(const std::string& archive, uint64_t oldSize, uint64_t tailStart,
                      const std::vector<uint8_t>& tail) {
  path_ = recordPath(archive);
  if (file_.createHeld(path_) != os::Err::None) return false;
  std::vector<uint8_t> bytes(kHeader + tail.size() + 4);
  std::memcpy(bytes.data(), kMagic, 8);
  put64(bytes.data() + 8, oldSize);
  put64(bytes.data() + 16, tailStart);
  put64(bytes.data() + 24, tail.size());
  if (!tail.empty()) std::memcpy(bytes.data() + kHeader, tail.data(), tail.size());
  put32(bytes.data() + kHeader + tail.size(), checksum(bytes.data(), kHeader + tail.size()));
  if (file_.write(bytes.data(), bytes.size()) != os::Err::None || file_.sync() != os::Err::None) {
    file_.close();
    os::removeFile(path_);
    return false;
  }
  return true;
}

void GrowUndo::discard() {
  // Removed while still held, so no other process applies it meanwhile.
  os::removeFile(path_);
  file_.close();
}

void recoverInterruptedGrow(const std::string& archive) {
  const std::string path = recordPath(archive);
  os::File record;
  if (record.openAbandoned(path) != os::Err::None) return;  // none, or its update still runs
  uint64_t size = 0;
  std::vector<uint8_t> bytes;
  bool valid = record.size(size) == os::Err::None && size >= kHeader + 4 && size < (uint64_t(1) << 32);
  if (valid) {
    bytes.resize(size_t(size));
    size_t got = 0;
    valid = record.readAt(0, bytes.data(), bytes.size(), got) == os::Err::None && got == bytes.size() &&
            std::memcmp(bytes.data(), kMagic, 8) == 0 &&
            get64(bytes.data() + 24) == size - kHeader - 4 &&
            get32(bytes.data() + size - 4) == checksum(bytes.data(), size_t(size - 4));
  }
  // An incomplete record was being written when its update died: the
  // archive was not touched yet.
  if (!valid) {
    os::removeFile(path);
    return;
  }
  const uint64_t oldSize = get64(bytes.data() + 8);
  const uint64_t tailStart = get64(bytes.data() + 16);
  os::File target;
  if (target.openReadWrite(archive) != os::Err::None) return;  // kept for a later open that can write
  const size_t tailLength = size_t(size - kHeader - 4);
  if (target.seek(tailStart) != os::Err::None ||
      (tailLength > 0 && target.write(bytes.data() + kHeader, tailLength) != os::Err::None) ||
      target.truncate(oldSize) != os::Err::None || target.sync() != os::Err::None)
    return;
  target.close();
  os::removeFile(path);
}

}  // namespace ze
