#include "update.h"

#include <algorithm>
#include <numeric>

#include "bytes.h"
#include "errors.h"
#include "zipformat.h"

namespace ze {

void ExistingArchive::open(const std::string& path, os::Enc enc) {
  os::FileInfo info;
  os::Err e = os::stat(path, info, enc);
  if (e == os::Err::NotFound) return;
  if (e == os::Err::None && info.isDir) fail(ZE_ZIP_OPEN);
  src = std::make_unique<FileSource>(path, enc);
  exists = true;
  readCentralDirectory(*src, cd);
  checkLayout(cd);
  // Each member's bytes run up to the next member, or to the directory.
  std::vector<size_t> order(cd.entries.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return cd.entries[a].localOffset < cd.entries[b].localOffset; });
  spanEnd.assign(cd.entries.size(), cd.cdStart);
  for (size_t k = 0; k + 1 < order.size(); ++k) spanEnd[order[k]] = cd.entries[order[k + 1]].localOffset;
}

OutEntry carryOver(const CentralDirectory& cd, const Entry& e, uint64_t newOffset) {
  OutEntry o;
  o.name.assign(cd.rawName(e));
  o.extra = stripZip64(cd.extra(e), e.extraLen);
  o.comment.assign(cd.rawComment(e));
  o.versionMadeBy = e.versionMadeBy;
  o.versionNeeded = e.versionNeeded;
  o.flags = e.flags;
  o.method = e.method;
  o.dosTime = e.dosTime;
  o.dosDate = e.dosDate;
  o.internalAttr = e.internalAttr;
  o.crc = e.crc;
  o.externalAttr = e.externalAttr;
  o.compressedSize = e.compressedSize;
  o.size = e.size;
  o.offset = newOffset;
  return o;
}

namespace {

constexpr size_t kCopyChunk = size_t(4) << 20;
// Steps of the system's copy: small enough that the disk starts writing the
// first while the later ones are copied (see OutSink::writeBackEarly).
constexpr uint64_t kSystemCopyStep = uint64_t(8) << 20;
// Where bytes pass through our buffer, a small one stays in the processor's
// cache between the read and the write: a large copy runs markedly faster.
constexpr size_t kBufferedChunk = size_t(128) << 10;

// Streams [from, to) of the archive to the sink, checking that each member
// in the range starts with a local header.
void copyRange(ExistingArchive& arc, uint64_t from, uint64_t to, const std::vector<uint64_t>& starts,
               std::vector<uint8_t>& buf, OutSink& out, Progress& progress, uint64_t& done, uint64_t total) {
  size_t next = 0;
  uint64_t pos = from;
  // Where the system copies between files itself, a run goes that way, in
  // steps for the progress bar; its first member's header is checked.
  if (to - from >= kCopyChunk) {
    if (!starts.empty()) {
      uint8_t sig[4];
      size_t got = 0;
      if (!arc.src->readAt(starts[0], sig, 4, got)) failSystem(ZE_ZIP_READ);
      if (got != 4 || get32(sig) != kSigLocal) fail(ZE_DAMAGED);
    }
    while (pos < to) {
      uint64_t n = std::min<uint64_t>(to - pos, kSystemCopyStep);
      if (!out.copyFrom(arc.src->file(), pos, n)) break;
      pos += n;
      done += n;
      progress.report(done, total);
    }
    if (pos == to) return;
    if (pos != from) fail(ZE_ZIP_WRITE);
  }
  while (pos < to) {
    size_t n = size_t(std::min<uint64_t>(to - pos, buf.size()));
    size_t got = 0;
    if (!arc.src->readAt(pos, buf.data(), n, got)) failSystem(ZE_ZIP_READ);
    if (got != n) fail(ZE_DAMAGED);
    while (next < starts.size() && starts[next] < pos + n) {
      uint64_t s = starts[next++];
      if (s + 4 <= pos + n) {
        if (get32(buf.data() + (s - pos)) != kSigLocal) fail(ZE_DAMAGED);
      } else {
        uint8_t sig[4];
        if (!arc.src->readAt(s, sig, 4, got) || got != 4 || get32(sig) != kSigLocal) fail(ZE_DAMAGED);
      }
    }
    out.write(buf.data(), n);
    pos += n;
    done += n;
    progress.report(done, total);
  }
}

// The archive's directory, where its replacement is made.
std::string directoryOf(const std::string& archive) {
  size_t cut = archive.find_last_of("/\\");
  std::string dir = cut == std::string::npos ? std::string(".") : archive.substr(0, cut == 0 ? 1 : cut);
  if (dir.size() == 2 && dir[1] == ':') dir += os::kSep;
  return dir;
}

}  // namespace

void copyPrefix(ExistingArchive& arc, OutSink& out) {
  uint64_t n = arc.cd.firstMember;
  if (n == 0) return;
  std::vector<uint8_t> buf(size_t(std::min<uint64_t>(n, kCopyChunk)));
  Progress none(nullptr, nullptr);
  uint64_t done = 0;
  copyRange(arc, 0, n, {}, buf, out, none, done, 0);
}

void copyMembers(ExistingArchive& arc, const std::vector<size_t>& keep, OutSink& out,
                 std::vector<OutEntry>& entries, Progress& progress, uint64_t& done, uint64_t total) {
  const CentralDirectory& cd = arc.cd;
  std::vector<uint8_t> buf;
  size_t i = 0;
  while (i < keep.size()) {
    // A run of members that follow each other in the file.
    size_t j = i;
    uint64_t runStart = cd.entries[keep[i]].localOffset;
    uint64_t runEnd = arc.spanEnd[keep[i]];
    while (j + 1 < keep.size() && cd.entries[keep[j + 1]].localOffset == runEnd) {
      ++j;
      runEnd = arc.spanEnd[keep[j]];
    }
    uint64_t outStart = out.position();
    std::vector<uint64_t> starts;
    starts.reserve(j - i + 1);
    for (size_t k = i; k <= j; ++k) {
      const Entry& e = cd.entries[keep[k]];
      starts.push_back(e.localOffset);
      entries.push_back(carryOver(cd, e, outStart + (e.localOffset - runStart)));
    }
    if (buf.empty()) buf.resize(kBufferedChunk);
    copyRange(arc, runStart, runEnd, starts, buf, out, progress, done, total);
    i = j + 1;
  }
}

Replacement::Replacement(const std::string& archive, os::Enc enc, const std::string& workDir)
    : archive_(archive), enc_(enc) {
  const std::string dir = directoryOf(archive);
  // What updates killed here earlier left behind goes first.
  os::removeStaleTemps(dir, enc_);
  os::Err e = os::createTemp(dir, file_, temp_, archive, enc_);
  if (e != os::Err::None) {
    if (workDir.empty()) failSystem(ZE_TEMP_WRITE);
    os::removeStaleTemps(workDir, enc_);
    e = os::createTemp(workDir, file_, temp_, archive, enc_);
    if (e != os::Err::None) failSystem(ZE_TEMP_WRITE);
    inWorkDir_ = true;
  }
}

Replacement::~Replacement() {
  if (!committed_) {
    file_.close();
    os::removeFile(temp_, enc_);
  }
}

void Replacement::commit() {
  if (file_.sync() != os::Err::None) failSystem(writeError());
  os::keepFileMetadata(archive_, temp_, enc_);
  // Renamed while still held, so no other update takes it for a dead one's.
  os::Err e = os::replaceFile(temp_, archive_, enc_);
  if (e == os::Err::CrossVolume && inWorkDir_) e = moveBesideArchive();
  if (e != os::Err::None) failSystem(e == os::Err::DiskFull ? ZE_ZIP_WRITE_FULL : ZE_ZIP_WRITE);
  committed_ = true;
  file_.close();
}

os::Err Replacement::moveBesideArchive() {
  // A copy over the archive would leave half an archive if interrupted: the
  // finished file is copied next to it first, then renamed.  Where the
  // archive's directory takes no new file the update fails, archive intact.
  os::File near;
  std::string nearPath;
  os::Err e = os::createTemp(directoryOf(archive_), near, nearPath, archive_, enc_);
  if (e != os::Err::None) return e;
  std::vector<uint8_t> buf(kBufferedChunk);
  uint64_t pos = 0;
  for (;;) {
    size_t got = 0;
    e = file_.readAt(pos, buf.data(), buf.size(), got);
    if (e != os::Err::None || got == 0) break;
    e = near.write(buf.data(), got);
    if (e != os::Err::None) break;
    pos += got;
  }
  if (e == os::Err::None) e = near.sync();
  if (e == os::Err::None) {
    os::keepFileMetadata(archive_, nearPath, enc_);
    e = os::replaceFile(nearPath, archive_, enc_);
  }
  near.close();
  if (e != os::Err::None) os::removeFile(nearPath, enc_);
  return e;
}

}  // namespace ze
