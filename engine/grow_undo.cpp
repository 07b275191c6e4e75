#include "grow_undo.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "bytes.h"

namespace ze {

namespace {

// Layout, little-endian: magic, old size, tail start, tail length, window
// length, volume, file index; then the window (the archive's bytes just
// before tailStart), the tail, and a CRC-32 of everything before it.
constexpr char kMagic[8] = {'M', 'B', 'X', 'U', 'N', 'D', 'O', '2'};
constexpr size_t kHeader = 7 * 8;
// Enough of the last member's data that another file of the same size and
// identity is told apart; small enough to cost nothing per grow.
constexpr uint64_t kWindow = 16 << 10;
constexpr size_t kChunk = 64 << 10;

std::string recordPath(const std::string& archive) { return archive + ".~mbxundo"; }

uint32_t crcUpdate(uint32_t crc, const uint8_t* data, size_t size) {
  while (size > 0) {
    const uInt n = uInt(std::min<size_t>(size, size_t(1) << 30));
    crc = uint32_t(crc32(crc, data, n));
    data += n;
    size -= n;
  }
  return crc;
}

bool readExact(os::File& f, uint64_t offset, uint8_t* buf, size_t len) {
  size_t got = 0;
  return f.readAt(offset, buf, len, got) == os::Err::None && got == len;
}

struct Header {
  uint64_t oldSize, tailStart, tailLength, windowLength;
  os::FileId id;
};

enum class Verdict {
  Apply,
  Unfinished,  // its writer died before the archive was touched: removed
  SetAside,    // not provably this archive's: kept under another name
  Later,       // could not be read now: left for the next open
};

// Checks the record against its own length and checksum, streaming it, so
// no claim it makes is allocated or believed before it is proven.
Verdict readRecord(os::File& record, Header& h) {
  uint64_t size = 0;
  if (record.size(size) != os::Err::None) return Verdict::Later;
  uint8_t head[kHeader];
  const size_t have = size_t(std::min<uint64_t>(size, kHeader));
  if (!readExact(record, 0, head, have)) return Verdict::Later;
  const size_t magicHave = std::min<size_t>(have, sizeof kMagic);
  if (std::memcmp(head, kMagic, magicHave) != 0) return Verdict::SetAside;  // another format, or not ours
  if (have < kHeader) return Verdict::Unfinished;
  h.oldSize = get64(head + 8);
  h.tailStart = get64(head + 16);
  h.tailLength = get64(head + 24);
  h.windowLength = get64(head + 32);
  h.id.volume = get64(head + 40);
  h.id.index = get64(head + 48);
  // Shorter than it says it is: cut short while being written.
  const uint64_t room = size - kHeader;
  if (h.windowLength > room || h.tailLength > room - h.windowLength || room - h.windowLength - h.tailLength < 4)
    return Verdict::Unfinished;
  if (room - h.windowLength - h.tailLength != 4) return Verdict::SetAside;
  if (h.windowLength > kWindow || h.windowLength > h.tailStart || h.tailLength == 0 ||
      h.tailStart > UINT64_MAX - h.tailLength || h.tailStart + h.tailLength != h.oldSize)
    return Verdict::SetAside;

  std::vector<uint8_t> buf(kChunk);
  uint32_t crc = uint32_t(crc32(0, nullptr, 0));
  const uint64_t body = size - 4;
  for (uint64_t pos = 0; pos < body;) {
    const size_t n = size_t(std::min<uint64_t>(body - pos, buf.size()));
    if (!readExact(record, pos, buf.data(), n)) return Verdict::Later;
    crc = crcUpdate(crc, buf.data(), n);
    pos += n;
  }
  uint8_t stored[4];
  if (!readExact(record, body, stored, 4)) return Verdict::Later;
  // A synced record with a wrong checksum is not a write in progress: kept.
  return get32(stored) == crc ? Verdict::Apply : Verdict::SetAside;
}

// Whether the archive is the file the record was made for, in a state its
// grow could have left: same file, at least as long as the part the grow
// kept, and that part's end unchanged.
Verdict recordFits(const Header& h, os::File& record, os::File& archive) {
  os::FileId id;
  uint64_t size = 0;
  if (archive.identity(id) != os::Err::None || archive.size(size) != os::Err::None) return Verdict::Later;
  if (!(id == h.id) || size < h.tailStart) return Verdict::SetAside;
  const size_t n = size_t(h.windowLength);
  std::vector<uint8_t> kept(n), now(n);
  if (n > 0 && (!readExact(record, kHeader, kept.data(), n) || !readExact(archive, h.tailStart - n, now.data(), n)))
    return Verdict::Later;
  return kept == now ? Verdict::Apply : Verdict::SetAside;
}

bool putBackTail(const Header& h, os::File& record, os::File& archive) {
  std::vector<uint8_t> buf(kChunk);
  const uint64_t from = kHeader + h.windowLength;
  if (archive.seek(h.tailStart) != os::Err::None) return false;
  for (uint64_t done = 0; done < h.tailLength;) {
    const size_t n = size_t(std::min<uint64_t>(h.tailLength - done, buf.size()));
    if (!readExact(record, from + done, buf.data(), n) || archive.write(buf.data(), n) != os::Err::None)
      return false;
    done += n;
  }
  return archive.truncate(h.oldSize) == os::Err::None && archive.sync() == os::Err::None;
}

void setAside(const std::string& path, os::Enc enc) {
  for (int n = 1; n <= 100; ++n) {
    const std::string to = path + ".stale" + (n == 1 ? std::string() : std::to_string(n));
    const os::Err e = os::renameNoReplace(path, to, enc);
    if (e != os::Err::Exists) return;
  }
}

}  // namespace

uint64_t GrowUndo::recordSize(uint64_t tailStart, uint64_t tailLength) {
  return kHeader + std::min(tailStart, kWindow) + tailLength + 4;
}

GrowUndo::~GrowUndo() {
  // Not discarded: the update failed half-way and could not put the archive
  // back; the record stays for the next open.
  file_.close();
}

bool GrowUndo::record(const std::string& archive, uint64_t oldSize, uint64_t tailStart,
                      const std::vector<uint8_t>& tail, os::Enc enc) {
  if (tail.empty() || tailStart + tail.size() != oldSize) return false;
  os::File source;
  os::FileId id;
  const size_t windowLength = size_t(std::min(tailStart, kWindow));
  std::vector<uint8_t> window(windowLength);
  if (source.openRead(archive, enc) != os::Err::None || source.identity(id) != os::Err::None ||
      (windowLength > 0 && !readExact(source, tailStart - windowLength, window.data(), windowLength)))
    return false;
  source.close();

  uint8_t head[kHeader];
  std::memcpy(head, kMagic, 8);
  put64(head + 8, oldSize);
  put64(head + 16, tailStart);
  put64(head + 24, tail.size());
  put64(head + 32, windowLength);
  put64(head + 40, id.volume);
  put64(head + 48, id.index);
  uint32_t crc = uint32_t(crc32(0, nullptr, 0));
  crc = crcUpdate(crc, head, kHeader);
  crc = crcUpdate(crc, window.data(), window.size());
  crc = crcUpdate(crc, tail.data(), tail.size());
  uint8_t trailer[4];
  put32(trailer, crc);

  path_ = recordPath(archive);
  enc_ = enc;
  if (file_.createHeld(path_, false, enc) != os::Err::None) return false;
  if (file_.write(head, kHeader) != os::Err::None ||
      (windowLength > 0 && file_.write(window.data(), windowLength) != os::Err::None) ||
      file_.write(tail.data(), tail.size()) != os::Err::None || file_.write(trailer, 4) != os::Err::None ||
      file_.sync() != os::Err::None) {
    file_.close();
    os::removeFile(path_, enc);
    return false;
  }
  return true;
}

void GrowUndo::discard() {
  // Removed while still held, so no other process applies it meanwhile.
  os::removeFile(path_, enc_);
  file_.close();
}

void recoverInterruptedGrow(const std::string& archive, os::Enc enc) {
  const std::string path = recordPath(archive);
  os::File record;
  // Held while checked and applied, so no other process does the same.
  if (record.openAbandoned(path, enc) != os::Err::None) return;  // none, or its update still runs
  Header h{};
  switch (readRecord(record, h)) {
  case Verdict::Unfinished:
    os::removeFile(path, enc);
    return;
  case Verdict::SetAside:
    setAside(path, enc);
    return;
  case Verdict::Later:
    return;
  case Verdict::Apply:
    break;
  }
  os::File target;
  if (target.openReadWrite(archive, enc) != os::Err::None) return;  // kept for a later open that can write
  switch (recordFits(h, record, target)) {
  case Verdict::Apply:
    break;
  case Verdict::SetAside:
    setAside(path, enc);
    return;
  default:
    return;
  }
  if (!putBackTail(h, record, target)) return;  // tried again at the next open
  target.close();
  os::removeFile(path, enc);
}

}  // namespace ze
