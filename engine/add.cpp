// Adding files: collect what the add specification names, decide which
// existing members are replaced, then write old members raw and new ones
// compressed by the packer, either into a replacement file or, in grow mode,
// after the last member of the archive itself.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "blockdeflate.h"
#include "bytes.h"
#include "errors.h"
#include "grow_undo.h"
#include "member_match.h"
#include "ops.h"
#include "packer.h"
#include "update.h"
#include "zipformat.h"

namespace ze {

namespace {

struct AddSource {
  std::string path;        // the caller's encoding
  std::string name;        // UTF-8, forward slashes, as stored; directories end in '/'
  std::string callerName;  // the same in the caller's encoding: what it is asked about
  bool isDir = false;
  bool statFailed = false;
  os::FileInfo info;
  size_t packIndex = 0;
};

bool isSep(char c) { return c == '/' || c == '\\'; }

std::string unquote(const char* s) {
  std::string r = s ? s : "";
  if (r.size() >= 2 && r.front() == '"' && r.back() == '"') r = r.substr(1, r.size() - 2);
  else if (!r.empty() && r.front() == '"') r.erase(0, 1);
  return r;
}

// Whether path begins with root (separators of either kind alike, case
// ignored on Windows); restAt is where the rest of path begins.
bool startsWithPath(const std::string& path, const std::string& root, os::Enc enc, size_t& restAt) {
#if defined(_WIN32)
  if (enc == os::Enc::Utf8) {
    // Character by character: upper-casing may change a character's length.
    size_t i = 0, j = 0;
    while (j < root.size()) {
      if (i >= path.size()) return false;
      const size_t i0 = i, j0 = j;
      const uint32_t a = os::nextCodePoint(path, i), b = os::nextCodePoint(root, j);
      if (a < 0x80 && b < 0x80) {
        if (isSep(char(a)) && isSep(char(b))) continue;
        if (os::foldCase((unsigned char)a) != os::foldCase((unsigned char)b)) return false;
      } else if (a != b && os::upperUtf8(path.substr(i0, i - i0)) != os::upperUtf8(root.substr(j0, j - j0))) {
        return false;
      }
    }
    restAt = i;
    return true;
  }
#else
  (void)enc;
#endif
  if (root.size() > path.size()) return false;
  for (size_t i = 0; i < root.size(); ++i) {
    char a = path[i], b = root[i];
    if (isSep(a) && isSep(b)) continue;
#if defined(_WIN32)
    if (os::foldCase((unsigned char)a) != os::foldCase((unsigned char)b)) return false;
#else
    if (a != b) return false;
#endif
  }
  restAt = root.size();
  return true;
}

class Collector {
public:
  explicit Collector(const AddRequest& request)
      : request_(request), enc_(request.enc), root_(unquote(request.rootDir.c_str())), archive_(request.archive),
        rename_(request.callbacks.rename, request.callbacks.renameLong, request.callbacks.renameContext,
                enc_ == os::Enc::Utf8) {}

  void collect(std::vector<AddSource>& out) {
    out_ = &out;
    for (const std::string& item : MemberSpec::splitItems(request_.items)) {
      bool dirOnly = isSep(item.back());
      std::string p = item;
      while (p.size() > 1 && isSep(p.back()) && p[p.size() - 2] != ':') p.pop_back();
      os::FileInfo info;
      os::Err e = os::stat(p, info, enc_);
      if (e == os::Err::NotFound) failSystem(ZE_NOT_FOUND);
      if (e != os::Err::None) {
        add(p, false, info, true);
      } else if (info.isDir) {
        if (dirOnly) {
          add(item, true, info, false);
        } else {
          add(p, true, info, false);
          if (request_.recurse) walk(p);
        }
      } else {
        add(p, false, info, false);
      }
    }
  }

private:
  void walk(const std::string& dir) {
    std::vector<os::DirEntry> list;
    os::Err e = os::listDir(dir, list, enc_);
    if (e == os::Err::NotFound) failSystem(ZE_NOT_FOUND);
    if (e != os::Err::None) failSystem(ZE_FILE_OPEN);
    std::sort(list.begin(), list.end(), [](const os::DirEntry& a, const os::DirEntry& b) { return a.name < b.name; });
    std::string base = dir;
    if (!isSep(base.back())) base += os::kSep;
    for (const os::DirEntry& d : list) {
      std::string child = base + d.name;
      os::FileInfo info;
      e = os::stat(child, info, enc_);
      if (e == os::Err::NotFound) continue;  // gone since the listing
      bool failed = e != os::Err::None;
      add(child, !failed && info.isDir, info, failed);
      if (!failed && info.isDir) walk(child);
    }
  }

  void add(const std::string& path, bool isDir, const os::FileInfo& info, bool statFailed) {
    if (isDir && !request_.dirEntries) return;
    // The archive never goes into itself.
    size_t restAt = 0;
    if (!isDir && startsWithPath(path, archive_, enc_, restAt) && restAt == path.size()) return;
    AddSource s;
    s.path = path;
    s.isDir = isDir;
    s.info = info;
    s.statFailed = statFailed;
    s.name = nameFor(path, isDir);
    if (s.name.empty() || s.name == "/") return;
    s.callerName = os::fromUtf8(s.name, enc_);
    out_->push_back(std::move(s));
  }

  std::string nameFor(const std::string& path, bool isDir) {
    std::string name;
    std::string def = defaultName(path);
    if (rename_.active()) {
      if (path.size() >= rename_.inputLimit()) fail(ZE_FILE_OPEN);
      name = rename_(path, def);
    } else {
      name = def;
    }
    // Split in UTF-8, where 0x5C is only ever a backslash (in a double-byte
    // code page it may be a character's second byte).
    name = os::toUtf8(name, enc_);
    for (char& c : name)
      if (c == '\\') c = '/';
    size_t lead = 0;
    while (lead < name.size() && name[lead] == '/') ++lead;
    while (name.compare(lead, 2, "./") == 0) lead += 2;
    name.erase(0, lead);
    if (isDir && !name.empty() && name.back() != '/') name += '/';
    return name;
  }

  std::string defaultName(const std::string& path) {
    std::string rest;
    std::string root = root_;
    while (!root.empty() && isSep(root.back())) root.pop_back();
    size_t restAt = 0;
    if (!root.empty() && startsWithPath(path, root, enc_, restAt) &&
        (path.size() == restAt || isSep(path[restAt]))) {
      rest = path.substr(restAt);
    } else {
      rest = path;
      if (rest.size() >= 2 && rest[1] == ':') rest.erase(0, 2);
    }
    size_t lead = 0;
    while (lead < rest.size() && isSep(rest[lead])) ++lead;
    return rest.substr(lead);
  }

  const AddRequest& request_;
  os::Enc enc_;
  std::string root_;
  std::string archive_;
  Renamer rename_;
  std::vector<AddSource>* out_ = nullptr;
};

OutEntry newEntry(const AddSource& s) {
  OutEntry e;
  bool ascii = std::all_of(s.name.begin(), s.name.end(), [](char c) { return (unsigned char)c < 0x80; });
  e.name = s.name;
  if (!ascii) e.flags |= kFlagUtf8;
  if (e.name.size() > 0xFFFF) fail(ZE_FAILED);
  e.versionMadeBy = 20;  // host 0: the attributes are DOS attributes
  e.versionNeeded = s.isDir ? 20 : 10;
  os::unixToDos(s.info.mtime, e.dosDate, e.dosTime);
  e.extra = timestampExtra(s.info.mtime);
  e.externalAttr = (s.info.attrs & 0x37) | (s.isDir ? uint32_t(os::kAttrDirectory) : 0u);
  return e;
}

class NewMemberWriter {
public:
  NewMemberWriter(const AddRequest& request, OutSink& out, std::vector<OutEntry>& entries, int level)
      : request_(request), out_(out), entries_(entries), level_(level),
        one_(request.callbacks.fileProgress, request.callbacks.fileProgressUser),
        all_(request.callbacks.runProgress, request.callbacks.runProgressUser) {}
  ~NewMemberWriter() {
    if (zinit_) deflateEnd(&zs_);
  }

  void writeAll(const std::vector<AddSource>& sources, const std::vector<PackItem>& packItems) {
    for (const AddSource& s : sources) total_ += s.info.size + 1024;
    all_.report(0, total_);
    Packer packer(packItems, level_);
    for (const AddSource& s : sources) {
      one_.reset();
      if (s.isDir) {
        OutEntry e = newEntry(s);
        e.offset = out_.position();
        std::string h = localHeader(e, false);
        out_.write(h.data(), h.size());
        entries_.push_back(std::move(e));
      } else if (s.statFailed) {
        unreadable(s, os::Err::Access);
      } else {
        Packed& p = packer.take(s.packIndex);
        if (p.outOfMemory) fail(ZE_MEMORY);
        if (p.err != os::Err::None) unreadable(s, p.err);
        else if (p.streamed) writeStreamed(s);
        else writePacked(s, p);
        packer.release(s.packIndex);
      }
      one_.fileDone(s.info.size);
      done_ += s.info.size + 1024;
      all_.report(done_, total_);
    }
  }

private:
  void unreadable(const AddSource& s, os::Err e) {
    if (e == os::Err::NotFound) failSystem(ZE_NOT_FOUND);
    // The caller decides whether a file it cannot read is skipped.
    if (ask(request_.callbacks, ZE_Q_SKIP_UNREADABLE, s.path) > 0) return;
    fail(ZE_FILE_OPEN);
  }

  void writePacked(const AddSource& s, Packed& p) {
    OutEntry e = newEntry(s);
    e.method = p.method;
    if (e.method == kMethodDeflate) e.versionNeeded = 20;
    e.crc = p.crc;
    e.size = p.size;
    e.compressedSize = p.data.size();
    e.offset = out_.position();
    std::string h = localHeader(e, false);
    out_.write(h.data(), h.size());
    out_.write(p.data.data(), p.data.size());
    entries_.push_back(std::move(e));
  }

  // Large files: compressed while written, header completed afterwards.
  void writeStreamed(const AddSource& s) {
    os::File f;
    os::Err err = f.openRead(s.path, request_.enc);
    if (err != os::Err::None) return unreadable(s, err);
    OutEntry e = newEntry(s);
    const bool zip64 = s.info.size >= 0xF0000000ull;
    e.method = level_ > 0 ? kMethodDeflate : kMethodStore;
    e.versionNeeded = zip64 ? 45 : 20;
    e.offset = out_.position();
    std::string h = localHeader(e, zip64);
    out_.write(h.data(), h.size());
    const uint64_t dataStart = out_.position();
    if (inBuf_.empty()) {
      inBuf_.resize(size_t(1) << 20);
      outBuf_.resize(size_t(1) << 20);
    }
    bool stored = e.method == kMethodStore || !streamPass(s, f, e, true);
    if (!stored && e.compressedSize >= e.size) stored = true;
    if (stored) {
      out_.rewind(dataStart);
      if (f.seek(0) != os::Err::None) failSystem(ZE_FILE_OPEN);
      e.method = kMethodStore;
      streamPass(s, f, e, false);
    }
    if (!zip64 && (e.size >= kMax32 || e.compressedSize >= kMax32)) fail(ZE_FAILED);
    uint8_t fields[12];
    put32(fields, e.crc);
    put32(fields + 4, zip64 ? kMax32 : uint32_t(e.compressedSize));
    put32(fields + 8, zip64 ? kMax32 : uint32_t(e.size));
    out_.patch(e.offset + kLocalCrcOffset, fields, 12);
    if (zip64) {
      uint8_t sizes[16];
      put64(sizes, e.size);
      put64(sizes + 8, e.compressedSize);
      out_.patch(e.offset + localZip64SizesOffset(e), sizes, 16);
    }
    uint8_t m[2];
    put16(m, e.method);
    out_.patch(e.offset + 8, m, 2);
    entries_.push_back(std::move(e));
  }

  // One pass over the file.  With deflate, gives up (returns false) when the
  // first megabytes do not shrink, so incompressible data is stored.
  bool streamPass(const AddSource& s, os::File& f, OutEntry& e, bool deflating) {
    unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    if (deflating && threads > 1) {
      BlockDeflater blocks(level_, threads);
      auto read = [&](uint8_t* buf, size_t cap) {
        size_t got = 0;
        if (f.read(buf, cap, got) != os::Err::None) failSystem(ZE_FILE_OPEN);
        return got;
      };
      auto write = [&](const uint8_t* p, size_t n) { out_.write(p, n); };
      auto progress = [&](uint64_t in) {
        one_.report(in, s.info.size);
        all_.report(done_ + std::min(in, s.info.size), total_);
      };
      return blocks.run(read, write, progress, e.size, e.compressedSize, e.crc);
    }
    if (deflating) {
      if (!zinit_) {
        if (deflateInit2(&zs_, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) fail(ZE_MEMORY);
        zinit_ = true;
      } else {
        deflateReset(&zs_);
      }
    }
    uint32_t crc = crc32(0, nullptr, 0);
    uint64_t in = 0, outBytes = 0;
    bool eof = false, probed = false;
    while (!eof) {
      size_t got = 0;
      if (f.read(inBuf_.data(), inBuf_.size(), got) != os::Err::None) failSystem(ZE_FILE_OPEN);
      eof = got < inBuf_.size();
      crc = crc32_z(crc, inBuf_.data(), got);
      in += got;
      if (!deflating) {
        out_.write(inBuf_.data(), got);
        outBytes += got;
      } else {
        zs_.next_in = inBuf_.data();
        zs_.avail_in = uInt(got);
        int flush = eof ? Z_FINISH : Z_NO_FLUSH;
        int rc;
        do {
          zs_.next_out = outBuf_.data();
          zs_.avail_out = uInt(outBuf_.size());
          rc = deflate(&zs_, flush);
          if (rc == Z_STREAM_ERROR) fail(ZE_FAILED);
          size_t n = outBuf_.size() - zs_.avail_out;
          out_.write(outBuf_.data(), n);
          outBytes += n;
        } while (zs_.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
        if (!eof && !probed && in >= (uint64_t(4) << 20)) {
          probed = true;
          if (outBytes * 100 >= in * 99) return false;
        }
      }
      one_.report(in, s.info.size);
      all_.report(done_ + std::min(in, s.info.size), total_);
    }
    e.crc = crc;
    e.size = in;
    e.compressedSize = outBytes;
    return true;
  }

  const AddRequest& request_;
  OutSink& out_;
  std::vector<OutEntry>& entries_;
  int level_;
  Progress one_, all_;
  uint64_t total_ = 0, done_ = 0;
  z_stream zs_{};
  bool zinit_ = false;
  std::vector<uint8_t> inBuf_, outBuf_;
};

}  // namespace

void addFiles(const AddRequest& request) {
  const std::string& path = request.archive;
  const int level = std::clamp(request.level, 0, 9);
  const os::Enc enc = request.enc;

  std::vector<AddSource> sources;
  Collector(request).collect(sources);

  ExistingArchive arc;
  arc.open(path, enc);
  const CentralDirectory& cd = arc.cd;

  // Members the caller drops go in this same rewrite; the new files then
  // take their names without a question.
  const MemberSpec drop = MemberSpec::literal(request.dropItems, enc);
  std::vector<bool> replaced(cd.entries.size(), false);
  bool anyReplaced = false;
  // Same name, ignoring case and separator style: the new file replaces the member.
  std::unordered_map<std::string, size_t> existing;
  for (size_t i = 0; i < cd.entries.size(); ++i) {
    const std::string name = memberName(cd, cd.entries[i], enc);
    if (!drop.empty() && !name.empty() && drop.matches(name)) {
      replaced[i] = true;
      anyReplaced = true;
      continue;
    }
    existing.emplace(MemberSpec::normalize(name, enc), i);
  }
  std::unordered_set<std::string> seen;
  std::vector<AddSource> chosen;
  std::vector<PackItem> packItems;
  bool replaceAll = false;
  for (AddSource& s : sources) {
    std::string key = MemberSpec::normalize(s.callerName, enc);
    if (!seen.insert(key).second) continue;  // named twice: the first wins
    auto it = existing.find(key);
    if (it != existing.end()) {
      if (!s.isDir && !replaceAll) {
        int a = ask(request.callbacks, ZE_Q_REPLACE_MEMBER, s.callerName);
        if (a == ZE_ANSWER_NO) continue;
        if (a == ZE_ANSWER_ALL) replaceAll = true;
      }
      replaced[it->second] = true;
      anyReplaced = true;
    }
    if (!s.isDir && !s.statFailed) {
      s.packIndex = packItems.size();
      packItems.push_back({s.path, s.info.size, enc});
    }
    chosen.push_back(std::move(s));
  }

  std::string comment = request.comment ? *request.comment : cd.comment;
  if (arc.exists && chosen.empty() && !anyReplaced && comment == cd.comment) return;  // nothing changes

  std::vector<size_t> keep;
  uint64_t keepBytes = 0;
  for (size_t i = 0; i < cd.entries.size(); ++i) {
    if (replaced[i]) continue;
    keep.push_back(i);
    keepBytes += arc.spanEnd[i] - cd.entries[i].localOffset;
  }
  std::vector<OutEntry> entries;
  entries.reserve(keep.size() + chosen.size());

  GrowUndo undo;
  std::vector<uint8_t> tail;
  if (request.grow && arc.exists && !anyReplaced) {
    // The old directory and end records, to put back on failure: kept in
    // memory, and in a synced record for a crash.  Without the record the
    // replace path runs instead.
    tail.resize(size_t(cd.fileSize - cd.cdStart));
    size_t got = 0;
    if (!tail.empty() && (!arc.src->readAt(cd.cdStart, tail.data(), tail.size(), got) || got != tail.size()))
      fail(ZE_ZIP_READ);
  }
  if (!tail.empty() && undo.record(path, cd.fileSize, cd.cdStart, tail, enc)) {
    // Grow in place: new members go where the directory was.
    const uint64_t oldSize = cd.fileSize;
    const uint64_t dirStart = cd.cdStart;
    for (size_t i : keep) entries.push_back(carryOver(cd, cd.entries[i], cd.entries[i].localOffset));
    arc.close();
    os::File f;
    if (f.openReadWrite(path, enc) != os::Err::None) {
      undo.discard();
      failSystem(ZE_ZIP_OPEN);
    }
    if (f.seek(dirStart) != os::Err::None) {
      undo.discard();
      failSystem(ZE_ZIP_WRITE);
    }
    try {
      OutSink out(f, dirStart);
      out.writeBackEarly();
      NewMemberWriter(request, out, entries, level).writeAll(chosen, packItems);
      writeCentralDirectory(out, entries, comment);
      out.flush();
      if (out.position() < oldSize && f.truncate(out.position()) != os::Err::None) failSystem(ZE_ZIP_WRITE);
      if (f.sync() != os::Err::None) failSystem(ZE_ZIP_WRITE);
    } catch (...) {
      // Put the archive back as it was: same directory, same length.  If
      // that fails too, the record stays for the next open.
      if (f.seek(dirStart) == os::Err::None && f.write(tail.data(), tail.size()) == os::Err::None &&
          f.truncate(oldSize) == os::Err::None && f.sync() == os::Err::None)
        undo.discard();
      throw;
    }
    f.close();
    undo.discard();
    return;
  }

  Replacement rep(path, enc, request.workDir);
  OutSink out(rep.file(), 0);
  out.setErrorCodes(rep.writeError(), rep.fullError());
  out.writeBackEarly();
  if (arc.exists) {
    Progress none(nullptr, nullptr);
    uint64_t done = 0;
    copyPrefix(arc, out);
    copyMembers(arc, keep, out, entries, none, done, keepBytes);
  }
  NewMemberWriter(request, out, entries, level).writeAll(chosen, packItems);
  writeCentralDirectory(out, entries, comment);
  out.flush();
  arc.close();
  rep.commit();
}

}  // namespace ze
