// POSIX implementation of the platform layer, for native builds (tests,
// fuzzing, benchmarks).  "ANSI" is UTF-8 here, so both encodings of a path
// are the plain path.
#if !defined(_WIN32)

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "io_gate.h"
#include "platform.h"

namespace ze::os {

namespace {

Err fromErrno(int e) {
  if (e != 0) noteSystemError(uint32_t(e));
  switch (e) {
  case 0: return Err::None;
  case ENOENT:
  case ENOTDIR: return Err::NotFound;
  case EACCES:
  case EPERM:
  case EROFS:
  case ETXTBSY: return Err::Access;
  case ENOSPC:
#ifdef EDQUOT
  case EDQUOT:
#endif
  case EFBIG: return Err::DiskFull;
  case EEXIST: return Err::Exists;
  case EISDIR: return Err::IsDir;
  default: return Err::Other;
  }
}

Err last() { return fromErrno(errno); }

}  // namespace

File::File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool File::isOpen() const { return fd_ >= 0; }
void File::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Err File::openRead(const std::string& path, Enc) {
  close();
  if (!gate::mayOpenForReading(path)) return Err::Access;
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  return fd_ < 0 ? last() : Err::None;
}

Err File::create(const std::string& path, bool exclusive, Enc) {
  close();
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (exclusive ? O_EXCL : 0);
  fd_ = ::open(path.c_str(), flags, 0666);
  return fd_ < 0 ? last() : Err::None;
}

Err File::createHeld(const std::string& path, bool, Enc) {
  close();
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd_ < 0) return last();
  // The lock goes with the process: a killed holder holds nothing.
  if (::flock(fd_, LOCK_EX) != 0) {
    Err e = last();
    close();
    ::unlink(path.c_str());
    return e;
  }
  return Err::None;
}

Err File::openAbandoned(const std::string& path, Enc) {
  close();
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return last();
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    close();
    return Err::Access;
  }
  return Err::None;
}

Err File::openReadWrite(const std::string& path, Enc) {
  close();
  fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  return fd_ < 0 ? last() : Err::None;
}

Err File::read(void* buf, size_t len, size_t& got) {
  got = 0;
  auto* p = static_cast<char*>(buf);
  while (got < len) {
    ssize_t n = ::read(fd_, p + got, len - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return last();
    }
    if (n == 0) break;
    got += size_t(n);
  }
  return Err::None;
}

Err File::readAt(uint64_t offset, void* buf, size_t len, size_t& got) {
  got = 0;
  auto* p = static_cast<char*>(buf);
  while (got < len) {
    ssize_t n = ::pread(fd_, p + got, len - got, off_t(offset + got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return last();
    }
    if (n == 0) break;
    got += size_t(n);
  }
  return Err::None;
}

Err File::write(const void* buf, size_t len) {
  if (!gate::mayWrite(len)) return Err::DiskFull;
  auto* p = static_cast<const char*>(buf);
  while (len > 0) {
    ssize_t n = ::write(fd_, p, len);
    if (n < 0) {
      if (errno == EINTR) continue;
      return last();
    }
    p += n;
    len -= size_t(n);
  }
  return Err::None;
}

Err File::seek(uint64_t offset) {
  return ::lseek(fd_, off_t(offset), SEEK_SET) < 0 ? last() : Err::None;
}

Err File::size(uint64_t& out) {
  struct stat st;
  if (fstat(fd_, &st) != 0) return last();
  if (S_ISDIR(st.st_mode)) return Err::IsDir;
  out = uint64_t(st.st_size);
  return Err::None;
}

Err File::truncate(uint64_t length) { return ftruncate(fd_, off_t(length)) != 0 ? last() : Err::None; }

Err File::sync() { return fsync(fd_) != 0 ? last() : Err::None; }

void File::startWriteback(uint64_t offset, uint64_t len) {
#if defined(__linux__)
  // Failure only means the final sync does all the work.
  (void)::sync_file_range(fd_, off_t(offset), off_t(len), SYNC_FILE_RANGE_WRITE);
#else
  (void)offset;
  (void)len;
#endif
}

Err File::setMtime(int64_t t) {
  struct timespec ts[2];
  ts[0].tv_sec = 0;
  ts[0].tv_nsec = UTIME_OMIT;
  ts[1].tv_sec = time_t(t);
  ts[1].tv_nsec = 0;
  return futimens(fd_, ts) != 0 ? last() : Err::None;
}

Err File::identity(FileId& out) {
  struct stat st;
  if (fstat(fd_, &st) != 0) return last();
  out.volume = uint64_t(st.st_dev);
  out.index = uint64_t(st.st_ino);
  return Err::None;
}

Err File::copyFrom(File& src, uint64_t srcOffset, uint64_t len, uint64_t& copied) {
  copied = 0;
#if defined(__linux__)
  if (!gate::mayWrite(size_t(len))) return Err::DiskFull;
  loff_t in = loff_t(srcOffset);
  while (copied < len) {
    size_t chunk = size_t(std::min<uint64_t>(len - copied, uint64_t(1) << 30));
    ssize_t n = ::copy_file_range(src.fd_, &in, fd_, nullptr, chunk, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (copied == 0 && (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP))
        return Err::Other;
      return last();
    }
    if (n == 0) return Err::Other;  // source shorter than expected
    copied += uint64_t(n);
  }
  return Err::None;
#else
  (void)src;
  (void)srcOffset;
  (void)len;
  return Err::Other;
#endif
}

Err stat(const std::string& path, FileInfo& info, Enc) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return last();
  info.isDir = S_ISDIR(st.st_mode);
  info.size = info.isDir ? 0 : uint64_t(st.st_size);
  info.mtime = int64_t(st.st_mtime);
  info.attrs = info.isDir ? kAttrDirectory : kAttrArchive;
  if (!(st.st_mode & S_IWUSR)) info.attrs |= kAttrReadOnly;
  return Err::None;
}

Err makeDirs(const std::string& path, Enc) {
  if (path.empty()) return Err::None;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return Err::None;
    noteSystemError(ENOTDIR);  // a file stands where the directory goes
    return Err::Exists;
  }
  size_t cut = path.find_last_of('/');
  if (cut != std::string::npos && cut > 0) {
    Err e = makeDirs(path.substr(0, cut));
    if (e != Err::None) return e;
  }
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return last();
  return Err::None;
}

Err removeFile(const std::string& path, Enc) { return ::unlink(path.c_str()) != 0 ? last() : Err::None; }

Err setAttributes(const std::string& path, uint32_t dosAttrs, Enc) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return last();
  mode_t mode = st.st_mode & 07777;
  mode_t want = (dosAttrs & kAttrReadOnly) ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
  if (want == mode) return Err::None;
  return ::chmod(path.c_str(), want) != 0 ? last() : Err::None;
}

Err setDirMtime(const std::string& path, int64_t t, Enc) {
  struct timespec ts[2];
  ts[0].tv_sec = 0;
  ts[0].tv_nsec = UTIME_OMIT;
  ts[1].tv_sec = time_t(t);
  ts[1].tv_nsec = 0;
  return utimensat(AT_FDCWD, path.c_str(), ts, 0) != 0 ? last() : Err::None;
}

void keepFileMetadata(const std::string& from, const std::string& to, Enc) {
  struct stat st;
  if (::stat(from.c_str(), &st) != 0) return;
  // Owner first: changing it may clear the set-id bits the mode then restores.
  if (::chown(to.c_str(), st.st_uid, st.st_gid) != 0 && ::chown(to.c_str(), uid_t(-1), st.st_gid) != 0) {
    // Not allowed for this user: the replacement keeps ours.
  }
  ::chmod(to.c_str(), st.st_mode & 07777);
}

Err replaceFile(const std::string& from, const std::string& to, Enc) {
  if (::rename(from.c_str(), to.c_str()) == 0) return Err::None;
  return errno == EXDEV ? Err::CrossVolume : last();
}

Err renameNoReplace(const std::string& from, const std::string& to, Enc) {
  // A second name, then the first one goes: never over an existing file.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return Err::None;
  }
  if (errno == EEXIST) return Err::Exists;
  // A file system without hard links: checked, then renamed.
  struct stat st;
  if (::lstat(to.c_str(), &st) == 0) return Err::Exists;
  return ::rename(from.c_str(), to.c_str()) == 0 ? Err::None : last();
}

Err listDir(const std::string& dir, std::vector<DirEntry>& out, Enc) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return last();
  while (struct dirent* ent = ::readdir(d)) {
    std::string name = ent->d_name;
    if (name == "." || name == "..") continue;
    bool isDir = false;
    if (ent->d_type == DT_DIR) {
      isDir = true;
    } else if (ent->d_type == DT_UNKNOWN || ent->d_type == DT_LNK) {
      struct stat st;
      std::string full = dir + "/" + name;
      isDir = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    out.push_back({std::move(name), isDir});
  }
  ::closedir(d);
  return Err::None;
}

Err createTemp(const std::string& dir, File& file, std::string& path, const std::string&, Enc) {
  static std::atomic<unsigned> counter{0};
  std::string base = dir;
  if (!base.empty() && base.back() != '/') base += '/';
  for (int attempt = 0; attempt < 100; ++attempt) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const uint64_t unique = (uint64_t(unsigned(getpid()) & 0xFFFFu) << 32) |
                            (uint64_t(counter.fetch_add(1) & 0xFFFu) << 20) | (unsigned(now.tv_nsec) & 0xFFFFFu);
    path = base + tempFileName(unique);
    Err e = file.createHeld(path);
    if (e != Err::Exists) return e;
  }
  return Err::Exists;
}

void removeStaleTemps(const std::string& dir, Enc) {
  std::vector<DirEntry> entries;
  if (listDir(dir, entries) != Err::None) return;
  std::string base = dir;
  if (!base.empty() && base.back() != '/') base += '/';
  for (const DirEntry& entry : entries) {
    if (entry.isDir || !isTempFileName(entry.name)) continue;
    File file;
    if (file.openAbandoned(base + entry.name) == Err::None) ::unlink((base + entry.name).c_str());
  }
}

int64_t dosToUnix(uint16_t date, uint16_t time) {
  struct tm tm = {};
  tm.tm_year = 80 + (date >> 9);
  tm.tm_mon = ((date >> 5) & 15) - 1;
  tm.tm_mday = date & 31;
  tm.tm_hour = time >> 11;
  tm.tm_min = (time >> 5) & 63;
  tm.tm_sec = (time & 31) * 2;
  tm.tm_isdst = -1;
  return int64_t(mktime(&tm));
}

void unixToDos(int64_t t, uint16_t& date, uint16_t& time) {
  time_t tt = time_t(t);
  struct tm tm;
  if (!localtime_r(&tt, &tm) || tm.tm_year < 80) {
    date = (1 << 5) | 1;  // 1980-01-01, the earliest DOS date
    time = 0;
    return;
  }
  if (tm.tm_year > 207) tm.tm_year = 207;
  date = uint16_t(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  time = uint16_t((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

namespace {
// Code page 437, upper half, as Unicode code points.
const uint16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
    0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
    0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1,
    0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD,
    0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562,
    0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534,
    0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
    0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
    0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6,
    0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0,
    0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};
}  // namespace

std::string oemToAnsi(std::string_view s, bool* lossy) {
  if (lossy) *lossy = false;
  std::string out;
  out.reserve(s.size() * 2);
  for (unsigned char c : s) {
    if (c < 0x80) {
      out += char(c);
      continue;
    }
    unsigned u = kCp437High[c - 0x80];
    if (u < 0x800) {
      out += char(0xC0 | (u >> 6));
    } else {
      out += char(0xE0 | (u >> 12));
      out += char(0x80 | ((u >> 6) & 0x3F));
    }
    out += char(0x80 | (u & 0x3F));
  }
  return out;
}

std::string utf8ToAnsi(std::string_view s, bool* lossy) {
  if (lossy) *lossy = false;
  return std::string(s);
}
std::string ansiToUtf8(std::string_view s) { return std::string(s); }
std::string oemToUtf8(std::string_view s) { return oemToAnsi(s); }


unsigned char foldCase(unsigned char c) { return (c >= 'a' && c <= 'z') ? (unsigned char)(c - 32) : c; }

namespace {

// Simple upper-case mapping of the scripts names are mostly written in:
// Latin (ASCII, Latin-1, Extended-A), Greek, Cyrillic and fullwidth Latin.
uint32_t upper(uint32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
  if (c == 0xB5) return 0x39C;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x131) return 'I';
    if (c == 0x17F) return 'S';
    if (c == 0x130 || c == 0x138 || c == 0x149 || c == 0x178) return c;
    // Pairs start even, except in the two runs that start odd.
    const bool oddRun = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return oddRun ? ((c & 1) ? c : c - 1) : ((c & 1) ? c - 1 : c);
  }
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 32;
  if (c == 0x3C2) return 0x3A3;
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 37;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 63;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF)) return (c & 1) ? c - 1 : c;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 32;
  return c;
}

}  // namespace

std::string upperUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) appendUtf8(out, upper(nextCodePoint(s, i)));
  return out;
}

}  // namespace ze::os

#endif
