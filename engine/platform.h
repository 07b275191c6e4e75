// The engine's only view of the operating system: files, directories, times,
// attributes, atomic replacement and code-page conversion.  One
// implementation per platform (platform_win.cpp, platform_posix.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ze::os {

#if defined(_WIN32)
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

// How the caller spells paths and names: the system's ANSI code page, or
// UTF-8.  On Windows a UTF-8 path goes to the wide API, in the long form
// (\\?\) where the short one is too long or would change it; elsewhere
// both are the plain path.
enum class Enc : uint8_t { Ansi, Utf8 };

enum class Err { None, NotFound, Access, DiskFull, Exists, IsDir, CrossVolume, Other };

// The system's own code (GetLastError on Windows, errno elsewhere) behind
// the last failure a platform call of this thread returned, so a failed run
// can name the real reason; noted by the implementations.
uint32_t lastSystemError();
void noteSystemError(uint32_t code);

// Which file an open handle is, independent of its name: volume serial and
// file index (Windows), device and inode (POSIX).
struct FileId {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileId& o) const { return volume == o.volume && index == o.index; }
};

// DOS attribute bits as the archive stores them.
enum : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrVolume = 0x08,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
};

class File {
public:
  File() = default;
  ~File() { close(); }
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  Err openRead(const std::string& path, Enc enc = Enc::Ansi);
  // Opens for writing, truncating; exclusive fails with Err::Exists.
  Err create(const std::string& path, bool exclusive, Enc enc = Enc::Ansi);
  Err openReadWrite(const std::string& path, Enc enc = Enc::Ansi);
  // Creates a new file (Err::Exists if there is one) that this process holds
  // while it is open: openAbandoned elsewhere fails until it is closed, or
  // the process dies.  The holder may rename it while it is open.
  // `encrypted` asks the system to encrypt it (Windows; ignored elsewhere).
  Err createHeld(const std::string& path, bool encrypted = false, Enc enc = Enc::Ansi);
  // create, the path in UTF-8 (see statUtf8).
  Err createUtf8(const std::string& path, bool exclusive) { return create(path, exclusive, Enc::Utf8); }
  // Opens for reading a file nobody holds any more (Err::Access while a
  // holder lives); it may then be removed while open.
  Err openAbandoned(const std::string& path, Enc enc = Enc::Ansi);

  // Sequential access from the current position.  A short count means end
  // of file.
  Err read(void* buf, size_t len, size_t& got);
  Err write(const void* buf, size_t len);
  Err seek(uint64_t offset);
  // Positional read; leaves the position unspecified.
  Err readAt(uint64_t offset, void* buf, size_t len, size_t& got);
  Err size(uint64_t& out);
  Err truncate(uint64_t length);
  Err sync();
  Err setMtime(int64_t unixSeconds);
  Err identity(FileId& out);
  // Appends len bytes of src, from srcOffset, at this file's position
  // without passing them through the process, where the system can.
  // Err::Other with nothing copied means: not available here, copy by hand.
  Err copyFrom(File& src, uint64_t srcOffset, uint64_t len, uint64_t& copied);
  // Starts writing [offset, offset + len) to disk without waiting, so a
  // later sync has less left to wait for.  A hint: only sync makes data
  // durable.  Does nothing where the system has no such call (Windows).
  void startWriteback(uint64_t offset, uint64_t len);
  bool isOpen() const;
  void close();

private:
#if defined(_WIN32)
  void* h_ = reinterpret_cast<void*>(intptr_t(-1));
#else
  int fd_ = -1;
#endif
};

struct FileInfo {
  bool isDir = false;
  uint64_t size = 0;
  int64_t mtime = 0;  // seconds since 1970, UTC
  uint32_t attrs = 0; // DOS bits
};

Err stat(const std::string& path, FileInfo& info, Enc enc = Enc::Ansi);
// Creates the directory and any missing parents.
Err makeDirs(const std::string& path, Enc enc = Enc::Ansi);
Err removeFile(const std::string& path, Enc enc = Enc::Ansi);
Err setAttributes(const std::string& path, uint32_t dosAttrs, Enc enc = Enc::Ansi);
Err setDirMtime(const std::string& path, int64_t unixSeconds, Enc enc = Enc::Ansi);
// Gives `to`, the archive's replacement before it is renamed over it, what
// the system keeps on the archive's file `from` besides its bytes, so a
// rewrite does not open a private archive to others or drop its download
// mark: on Windows its access list, owner where allowed, hidden, system and
// not-indexed attributes, creation time and alternate data streams; on
// POSIX its permissions, and its owner and group where allowed.
void keepFileMetadata(const std::string& from, const std::string& to, Enc enc = Enc::Ansi);
// Replaces `to` by `from` in one rename; Err::CrossVolume when they lie on
// different volumes.
Err replaceFile(const std::string& from, const std::string& to, Enc enc = Enc::Ansi);
// Renames `from` to `to` unless `to` exists (Err::Exists).
Err renameNoReplace(const std::string& from, const std::string& to, Enc enc = Enc::Ansi);

struct DirEntry {
  std::string name;
  bool isDir;
};
// Names come in the encoding of `dir`.
Err listDir(const std::string& dir, std::vector<DirEntry>& out, Enc enc = Enc::Ansi);

// Creates a new, empty, held file with a unique name in `dir`; encrypted
// (Windows) when `like` names an encrypted file, as its contents will be.
Err createTemp(const std::string& dir, File& file, std::string& path, const std::string& like = {},
               Enc enc = Enc::Ansi);
// Removes the temporary files of this engine in `dir` that no update holds
// any more: left behind by a process that died.
void removeStaleTemps(const std::string& dir, Enc enc = Enc::Ansi);
// Temporary files are named `~mbx`, 12 hex digits that make the name unique,
// 8 that check them, `.tmp`: the clean-up takes only names that pass the
// check, never another program's or the user's file that merely looks alike.
std::string tempFileName(uint64_t unique);
bool isTempFileName(std::string_view name);

// DOS date and time are local time.
int64_t dosToUnix(uint16_t date, uint16_t time);
void unixToDos(int64_t t, uint16_t& date, uint16_t& time);

// Member names: the archive holds UTF-8 or OEM (437) text, the caller ANSI.
// lossy, when given, tells whether a character had no ANSI form (it became
// '_'); never so where ANSI is UTF-8.
std::string oemToAnsi(std::string_view s, bool* lossy = nullptr);
std::string utf8ToAnsi(std::string_view s, bool* lossy = nullptr);
std::string ansiToUtf8(std::string_view s);
std::string oemToUtf8(std::string_view s);

// Extracted files are named in UTF-8, so a member whose name the ANSI code
// page cannot spell is still written under its real name.  Where paths are
// UTF-8 already these are the plain functions.
inline Err statUtf8(const std::string& path, FileInfo& info) { return stat(path, info, Enc::Utf8); }
inline Err makeDirsUtf8(const std::string& path) { return makeDirs(path, Enc::Utf8); }
inline Err removeFileUtf8(const std::string& path) { return removeFile(path, Enc::Utf8); }
inline Err setAttributesUtf8(const std::string& path, uint32_t dosAttrs) {
  return setAttributes(path, dosAttrs, Enc::Utf8);
}
inline Err setDirMtimeUtf8(const std::string& path, int64_t unixSeconds) {
  return setDirMtime(path, unixSeconds, Enc::Utf8);
}
// A text of the caller's encoding in UTF-8, and back (lossy as utf8ToAnsi).
inline std::string toUtf8(std::string_view s, Enc enc) { return enc == Enc::Utf8 ? std::string(s) : ansiToUtf8(s); }
inline std::string fromUtf8(std::string_view s, Enc enc, bool* lossy = nullptr) {
  if (enc == Enc::Ansi) return utf8ToAnsi(s, lossy);
  if (lossy) *lossy = false;
  return std::string(s);
}
// Upper-case of one ANSI byte, for case-blind name comparison.
unsigned char foldCase(unsigned char c);
// Upper-case of a UTF-8 text by Unicode rules, for case-blind comparison.
// Bytes that are not UTF-8 become U+FFFD, so the result is always valid.
std::string upperUtf8(std::string_view s);
// Well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view s);
// The next code point of s at i, advancing i; U+FFFD for a malformed byte.
uint32_t nextCodePoint(std::string_view s, size_t& i);
void appendUtf8(std::string& out, uint32_t cp);

}  // namespace ze::os
