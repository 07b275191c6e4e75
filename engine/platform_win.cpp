// Windows implementation of the platform layer.  Paths are ANSI, as the rest
// of the system speaks ANSI, or UTF-8 (a member's real name, or a caller in
// UTF-8 mode); files and folders are made and changed through the wide APIs.
#if defined(_WIN32)

#include <windows.h>
#include <aclapi.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <vector>

#include "io_gate.h"
#include "platform.h"

namespace ze::os {

namespace {

Err fromError(DWORD e) {
  if (e != ERROR_SUCCESS) noteSystemError(e);
  switch (e) {
  case ERROR_SUCCESS: return Err::None;
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_DRIVE:
  case ERROR_BAD_NETPATH: return Err::NotFound;
  case ERROR_ACCESS_DENIED:
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
  case ERROR_WRITE_PROTECT: return Err::Access;
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL: return Err::DiskFull;
  case ERROR_FILE_EXISTS:
  case ERROR_ALREADY_EXISTS: return Err::Exists;
  default: return Err::Other;
  }
}

Err last() { return fromError(GetLastError()); }

constexpr int64_t kEpochDiff = 116444736000000000LL;  // 1601 to 1970 in 100 ns

FILETIME toFileTime(int64_t t) {
  uint64_t v = uint64_t(t * 10000000LL + kEpochDiff);
  FILETIME ft;
  ft.dwLowDateTime = DWORD(v);
  ft.dwHighDateTime = DWORD(v >> 32);
  return ft;
}

int64_t fromFileTime(const FILETIME& ft) {
  int64_t v = int64_t((uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
  v -= kEpochDiff;
  return v >= 0 ? v / 10000000LL : -((-v + 9999999LL) / 10000000LL);
}

HANDLE H(void* h) { return static_cast<HANDLE>(h); }

std::wstring widen(const std::string& s);
std::wstring widePath(const std::string& path, Enc enc);

// The archive's access list, protected or inheriting as it was; its owner
// and group where this user may set them.
void keepSecurity(const std::wstring& from, const std::wstring& to) {
  PSID owner = nullptr, group = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetNamedSecurityInfoW(from.c_str(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            &owner, &group, &dacl, nullptr, &sd) != ERROR_SUCCESS)
    return;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(sd, &control, &revision);
  std::wstring target = to;
  if (dacl) {
    const SECURITY_INFORMATION how = DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED)
                                                                      ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                      : UNPROTECTED_DACL_SECURITY_INFORMATION);
    SetNamedSecurityInfoW(target.data(), SE_FILE_OBJECT, how, nullptr, nullptr, dacl, nullptr);
  }
  SetNamedSecurityInfoW(target.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION,
                        owner, group, nullptr, nullptr);
  LocalFree(sd);
}

// A handle closed however the copy ends: CloseHandle, or FindClose for a
// search.
class OwnedHandle {
public:
  explicit OwnedHandle(HANDLE h, BOOL(WINAPI* close)(HANDLE) = CloseHandle) : h_(h), close_(close) {}
  ~OwnedHandle() {
    if (ok()) close_(h_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }

private:
  HANDLE h_;
  BOOL(WINAPI* close_)(HANDLE);
};

OwnedHandle openShared(const std::wstring& path, DWORD access, DWORD disposition) {
  return OwnedHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 disposition, 0, nullptr));
}

// Copies one named stream ("name:$DATA") of `from` to `to`.
void copyStream(const std::wstring& from, const std::wstring& to, const std::wstring& stream) {
  const OwnedHandle in = openShared(from + stream, GENERIC_READ, OPEN_EXISTING);
  if (!in.ok()) return;
  const OwnedHandle out = openShared(to + stream, GENERIC_WRITE, CREATE_ALWAYS);
  if (!out.ok()) return;
  char buf[16384];
  DWORD got = 0, put = 0;
  while (ReadFile(in.get(), buf, sizeof buf, &got, nullptr) && got > 0 &&
         WriteFile(out.get(), buf, got, &put, nullptr) && put == got) {
  }
}

// The alternate data streams, the download mark among them.
void keepStreams(const std::wstring& from, const std::wstring& to) {
  WIN32_FIND_STREAM_DATA found;
  const OwnedHandle search(FindFirstStreamW(from.c_str(), FindStreamInfoStandard, &found, 0), FindClose);
  if (!search.ok()) return;
  do {
    const std::wstring name = found.cStreamName;
    if (name != L"::$DATA") copyStream(from, to, name);
  } while (FindNextStreamW(search.get(), &found));
}

}  // namespace

File::File(File&& other) noexcept : h_(other.h_) { other.h_ = INVALID_HANDLE_VALUE; }
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    h_ = other.h_;
    other.h_ = INVALID_HANDLE_VALUE;
  }
  return *this;
}

bool File::isOpen() const { return h_ != INVALID_HANDLE_VALUE; }
void File::close() {
  if (h_ != INVALID_HANDLE_VALUE) CloseHandle(H(h_));
  h_ = INVALID_HANDLE_VALUE;
}

Err File::openRead(const std::string& path, Enc enc) {
  close();
  if (!gate::mayOpenForReading(path)) return Err::Access;
  const std::wstring wide = widePath(path, enc);
  h_ = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                   nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h_ == INVALID_HANDLE_VALUE) {
    Err e = last();
    if (e == Err::Access) {
      DWORD a = GetFileAttributesW(wide.c_str());
      if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) return Err::IsDir;
    }
    return e;
  }
  return Err::None;
}

Err File::create(const std::string& path, bool exclusive, Enc enc) {
  close();
  h_ = CreateFileW(widePath(path, enc).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                   exclusive ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h_ == INVALID_HANDLE_VALUE ? last() : Err::None;
}

Err File::createHeld(const std::string& path, bool encrypted, Enc enc) {
  close();
  // Without write sharing nobody else gets in; delete sharing lets the
  // holder rename it over the archive while it still holds it.
  h_ = CreateFileW(widePath(path, enc).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                   CREATE_NEW, encrypted ? FILE_ATTRIBUTE_ENCRYPTED : FILE_ATTRIBUTE_NORMAL, nullptr);
  return h_ == INVALID_HANDLE_VALUE ? last() : Err::None;
}

Err File::openAbandoned(const std::string& path, Enc enc) {
  close();
  // Refusing write sharing fails while any writer still has it open.
  h_ = CreateFileW(widePath(path, enc).c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                   nullptr);
  if (h_ != INVALID_HANDLE_VALUE) return Err::None;
  return GetLastError() == ERROR_SHARING_VIOLATION ? Err::Access : last();
}

Err File::openReadWrite(const std::string& path, Enc enc) {
  close();
  h_ = CreateFileW(widePath(path, enc).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                   FILE_ATTRIBUTE_NORMAL, nullptr);
  return h_ == INVALID_HANDLE_VALUE ? last() : Err::None;
}

Err File::read(void* buf, size_t len, size_t& got) {
  got = 0;
  auto* p = static_cast<char*>(buf);
  while (got < len) {
    DWORD chunk = DWORD(len - got > (1u << 30) ? (1u << 30) : len - got);
    DWORD n = 0;
    if (!ReadFile(H(h_), p + got, chunk, &n, nullptr)) return last();
    if (n == 0) break;
    got += n;
  }
  return Err::None;
}

Err File::readAt(uint64_t offset, void* buf, size_t len, size_t& got) {
  got = 0;
  Err e = seek(offset);
  if (e != Err::None) return e;
  return read(buf, len, got);
}

Err File::write(const void* buf, size_t len) {
  if (!gate::mayWrite(len)) return Err::DiskFull;
  auto* p = static_cast<const char*>(buf);
  while (len > 0) {
    DWORD chunk = DWORD(len > (1u << 30) ? (1u << 30) : len);
    DWORD n = 0;
    if (!WriteFile(H(h_), p, chunk, &n, nullptr)) return last();
    if (n == 0) return Err::Other;
    p += n;
    len -= n;
  }
  return Err::None;
}

Err File::seek(uint64_t offset) {
  LARGE_INTEGER li;
  li.QuadPart = LONGLONG(offset);
  return SetFilePointerEx(H(h_), li, nullptr, FILE_BEGIN) ? Err::None : last();
}

Err File::size(uint64_t& out) {
  LARGE_INTEGER li;
  if (!GetFileSizeEx(H(h_), &li)) return last();
  out = uint64_t(li.QuadPart);
  return Err::None;
}

Err File::truncate(uint64_t length) {
  Err e = seek(length);
  if (e != Err::None) return e;
  return SetEndOfFile(H(h_)) ? Err::None : last();
}

Err File::sync() { return FlushFileBuffers(H(h_)) ? Err::None : last(); }

// Buffered handles have no call that starts a range's write without waiting
// for it; FlushFileBuffers in sync does it all.
void File::startWriteback(uint64_t, uint64_t) {}

Err File::setMtime(int64_t t) {
  FILETIME ft = toFileTime(t);
  return SetFileTime(H(h_), nullptr, nullptr, &ft) ? Err::None : last();
}

Err File::identity(FileId& out) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(H(h_), &info)) return last();
  out.volume = info.dwVolumeSerialNumber;
  out.index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return Err::None;
}

Err File::copyFrom(File&, uint64_t, uint64_t, uint64_t& copied) {
  copied = 0;
  return Err::Other;
}

void keepFileMetadata(const std::string& from, const std::string& to, Enc enc) {
  const std::wstring source = widePath(from, enc), target = widePath(to, enc);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &data)) return;
  keepSecurity(source, target);
  keepStreams(source, target);
  // Only the creation time: the archive was changed now.
  const OwnedHandle times = openShared(target, FILE_WRITE_ATTRIBUTES, OPEN_EXISTING);
  if (times.ok()) SetFileTime(times.get(), &data.ftCreationTime, nullptr, nullptr);
  const DWORD kept = data.dwFileAttributes &
                     (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  if (kept) SetFileAttributesW(target.c_str(), kept | FILE_ATTRIBUTE_ARCHIVE);
}

Err replaceFile(const std::string& from, const std::string& to, Enc enc) {
  const std::wstring source = widePath(from, enc), target = widePath(to, enc);
  // Never MOVEFILE_COPY_ALLOWED: a copy over the archive is not atomic.
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  // Indexers, virus scanners and viewers open archives for a moment; a
  // finished change waits for them briefly rather than failing.
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(source.c_str(), target.c_str(), flags)) return Err::None;
    const DWORD error = GetLastError();
    if (error == ERROR_NOT_SAME_DEVICE) return Err::CrossVolume;
    if (attempt >= 40 || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED)) return last();
    Sleep(50);
  }
}

Err renameNoReplace(const std::string& from, const std::string& to, Enc enc) {
  return MoveFileExW(widePath(from, enc).c_str(), widePath(to, enc).c_str(), MOVEFILE_WRITE_THROUGH) ? Err::None
                                                                                                       : last();
}

namespace {

std::string narrowUtf8(std::wstring_view w);

Err listDirUtf8(const std::string& dir, std::vector<DirEntry>& out) {
  std::string pattern = dir;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(widePath(pattern, Enc::Utf8).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND ? Err::None : fromError(e);
  }
  do {
    std::string name = narrowUtf8(fd.cFileName);
    if (name == "." || name == "..") continue;
    out.push_back({std::move(name), (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return Err::None;
}

}  // namespace

Err listDir(const std::string& dir, std::vector<DirEntry>& out, Enc enc) {
  if (enc == Enc::Utf8) return listDirUtf8(dir, out);
  std::string pattern = dir;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND ? Err::None : fromError(e);
  }
  do {
    std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    out.push_back({std::move(name), (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return Err::None;
}

Err createTemp(const std::string& dir, File& file, std::string& path, const std::string& like, Enc enc) {
  static std::atomic<unsigned> counter{0};
  const DWORD likeAttributes =
      like.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(widePath(like, enc).c_str());
  const bool encrypted = likeAttributes != INVALID_FILE_ATTRIBUTES && (likeAttributes & FILE_ATTRIBUTE_ENCRYPTED);
  std::string base = dir;
  if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
  for (int attempt = 0; attempt < 100; ++attempt) {
    const uint64_t unique = (uint64_t(GetCurrentProcessId() & 0xFFFFu) << 32) |
                            (uint64_t(counter.fetch_add(1) & 0xFFFu) << 20) | (GetTickCount() & 0xFFFFFu);
    path = base + tempFileName(unique);
    Err e = file.createHeld(path, encrypted, enc);
    if (e != Err::Exists) return e;
  }
  return Err::Exists;
}

void removeStaleTemps(const std::string& dir, Enc enc) {
  std::string base = dir;
  if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(widePath(base + "~mbx*.tmp", enc).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    // Our names are ASCII, so they read the same in either encoding.
    const std::string name = narrowUtf8(found.cFileName);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !isTempFileName(name)) continue;
    const std::string path = base + name;
    File file;
    if (file.openAbandoned(path, enc) == Err::None) DeleteFileW(widePath(path, enc).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

int64_t dosToUnix(uint16_t date, uint16_t time) {
  SYSTEMTIME local = {};
  local.wYear = WORD(1980 + (date >> 9));
  local.wMonth = WORD((date >> 5) & 15);
  local.wDay = WORD(date & 31);
  local.wHour = WORD(time >> 11);
  local.wMinute = WORD((time >> 5) & 63);
  local.wSecond = WORD((time & 31) * 2);
  SYSTEMTIME utc;
  FILETIME ft;
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &ft)) {
    local.wMonth = local.wMonth ? local.wMonth : 1;
    local.wDay = local.wDay ? local.wDay : 1;
    if (!SystemTimeToFileTime(&local, &ft)) return 315532800;  // 1980-01-01
  }
  return fromFileTime(ft);
}

void unixToDos(int64_t t, uint16_t& date, uint16_t& time) {
  FILETIME ft = toFileTime(t < 0 ? 0 : t);
  SYSTEMTIME utc, local;
  if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
      local.wYear < 1980) {
    date = (1 << 5) | 1;
    time = 0;
    return;
  }
  if (local.wYear > 2107) local.wYear = 2107;
  date = uint16_t(((local.wYear - 1980) << 9) | (local.wMonth << 5) | local.wDay);
  time = uint16_t((local.wHour << 11) | (local.wMinute << 5) | (local.wSecond / 2));
}

namespace {

bool isAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

std::string convert(std::string_view s, UINT from, UINT to, bool* lossy = nullptr) {
  if (lossy) *lossy = false;
  if (s.empty() || isAscii(s)) return std::string(s);
  int wn = MultiByteToWideChar(from, 0, s.data(), int(s.size()), nullptr, 0);
  if (wn <= 0) return std::string(s);
  std::wstring w(size_t(wn), L'\0');
  MultiByteToWideChar(from, 0, s.data(), int(s.size()), w.data(), wn);
  // Into a code page that lacks a character: '_' (a legal file-name
  // character, not a wildcard) and no look-alike, so the caller learns of it.
  const bool narrow = to != CP_UTF8 && !(to == CP_ACP && GetACP() == CP_UTF8);
  const DWORD flags = narrow ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL usedDefault = FALSE;
  const char* fallback = narrow ? "_" : nullptr;
  BOOL* used = narrow ? &usedDefault : nullptr;
  int n = WideCharToMultiByte(to, flags, w.data(), wn, nullptr, 0, fallback, used);
  if (n <= 0) return std::string(s);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(to, flags, w.data(), wn, out.data(), n, fallback, used);
  if (lossy) *lossy = usedDefault != FALSE;
  return out;
}

// UTF-8 to UTF-16 by hand, so malformed bytes become U+FFFD the same way
// on every system.
std::wstring widen(const std::string& s) {
  std::wstring w;
  w.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const uint32_t cp = nextCodePoint(s, i);
    if (cp >= 0x10000) {
      w += wchar_t(0xD800 + ((cp - 0x10000) >> 10));
      w += wchar_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      w += wchar_t(cp);
    }
  }
  return w;
}

std::string narrowUtf8(std::wstring_view w) {
  std::string out;
  for (size_t i = 0; i < w.size(); ++i) {
    uint32_t cp = uint16_t(w[i]);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (uint16_t(w[i + 1]) - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    appendUtf8(out, cp);
  }
  return out;
}

// CreateDirectory's limit (MAX_PATH less room for an 8.3 name); below it
// every call takes the short form.
constexpr size_t kShortPathLimit = MAX_PATH - 12;

// The short form drops a component's trailing dots and blanks.
bool shortFormChanges(const std::wstring& w) {
  size_t start = 0;
  for (size_t i = 0; i <= w.size(); ++i) {
    if (i < w.size() && w[i] != L'\\' && w[i] != L'/') continue;
    const std::wstring_view part(w.data() + start, i - start);
    if (!part.empty() && part != L"." && part != L".." && (part.back() == L'.' || part.back() == L' ')) return true;
    start = i + 1;
  }
  return false;
}

// The long form takes the path as it is, so it must be absolute, backslashed
// and without "." or ".." parts first; the system's own normalising would
// drop trailing dots, so it is done here.
std::wstring longForm(std::wstring w) {
  for (wchar_t& c : w)
    if (c == L'/') c = L'\\';
  if (w.rfind(L"\\\\?\\", 0) == 0 || w.rfind(L"\\\\.\\", 0) == 0) return w;
  if (w.size() < kShortPathLimit && !shortFormChanges(w)) return w;
  std::wstring root, rest;
  if (w.size() >= 2 && w[0] == L'\\' && w[1] == L'\\') {
    const size_t server = w.find(L'\\', 2);
    if (server == std::wstring::npos) return w;
    const size_t share = w.find(L'\\', server + 1);
    root = L"\\\\?\\UNC\\" + w.substr(2, (share == std::wstring::npos ? w.size() : share) - 2);
    rest = share == std::wstring::npos ? std::wstring() : w.substr(share);
  } else if (w.size() >= 3 && w[1] == L':' && w[2] == L'\\') {
    root = L"\\\\?\\" + w.substr(0, 2);
    rest = w.substr(2);
  } else {
    // Relative, rooted or drive-relative: completed from the current directory.
    std::wstring base;
    if (w.size() >= 2 && w[1] == L':') {
      wchar_t buf[MAX_PATH + 1];
      const std::wstring drive = w.substr(0, 2);
      DWORD n = GetFullPathNameW(drive.c_str(), MAX_PATH + 1, buf, nullptr);
      if (n == 0 || n > MAX_PATH) return w;
      base.assign(buf, n);
      rest = w.substr(2);
    } else {
      DWORD n = GetCurrentDirectoryW(0, nullptr);
      if (n == 0) return w;
      std::wstring cwd(n, L'\0');
      n = GetCurrentDirectoryW(n, cwd.data());
      cwd.resize(n);
      if (!w.empty() && w[0] == L'\\') {
        base = cwd.size() >= 2 && cwd[1] == L':' ? cwd.substr(0, 2) : std::wstring();
        if (base.empty()) return w;
        rest = w;
      } else {
        base = cwd;
        rest = w;
      }
    }
    if (base.rfind(L"\\\\?\\", 0) == 0) return w;  // a current directory in the long form: left alone
    if (base.empty() || (base.size() < 3 && !(base.size() == 2 && base[1] == L':'))) return w;
    return longForm(base + L'\\' + rest);
  }
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (size_t i = 0; i <= rest.size(); ++i) {
    if (i < rest.size() && rest[i] != L'\\') continue;
    std::wstring part = rest.substr(start, i - start);
    start = i + 1;
    if (part.empty() || part == L".") continue;
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(std::move(part));
  }
  std::wstring out = root;
  for (const std::wstring& part : parts) out += L'\\' + part;
  if (parts.empty()) out += L'\\';
  return out;
}

std::wstring widePath(const std::string& path, Enc enc) {
  if (enc == Enc::Utf8) return longForm(widen(path));
  int wn = MultiByteToWideChar(CP_ACP, 0, path.data(), int(path.size()), nullptr, 0);
  std::wstring w(size_t(wn > 0 ? wn : 0), L'\0');
  if (wn > 0) MultiByteToWideChar(CP_ACP, 0, path.data(), int(path.size()), w.data(), wn);
  return w;
}

}  // namespace

std::string oemToAnsi(std::string_view s, bool* lossy) { return convert(s, 437, CP_ACP, lossy); }
std::string utf8ToAnsi(std::string_view s, bool* lossy) { return convert(s, CP_UTF8, CP_ACP, lossy); }
std::string ansiToUtf8(std::string_view s) { return convert(s, CP_ACP, CP_UTF8); }
std::string oemToUtf8(std::string_view s) { return convert(s, 437, CP_UTF8); }

Err stat(const std::string& path, FileInfo& info, Enc enc) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(widePath(path, enc).c_str(), GetFileExInfoStandard, &data)) return last();
  info.isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.size = info.isDir ? 0 : ((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  info.mtime = fromFileTime(data.ftLastWriteTime);
  info.attrs = data.dwFileAttributes & 0x37;
  return Err::None;
}

Err makeDirs(const std::string& path, Enc enc) {
  if (path.empty()) return Err::None;
  const std::wstring wide = widePath(path, enc);
  DWORD a = GetFileAttributesW(wide.c_str());
  if (a != INVALID_FILE_ATTRIBUTES) {
    if (a & FILE_ATTRIBUTE_DIRECTORY) return Err::None;
    noteSystemError(ERROR_DIRECTORY);  // a file stands where the directory goes
    return Err::Exists;
  }
  size_t cut = path.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0 && path[cut - 1] != ':') {
    Err e = makeDirs(path.substr(0, cut), enc);
    if (e != Err::None) return e;
  }
  if (!CreateDirectoryW(wide.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return last();
  return Err::None;
}

Err removeFile(const std::string& path, Enc enc) {
  return DeleteFileW(widePath(path, enc).c_str()) ? Err::None : last();
}

Err setAttributes(const std::string& path, uint32_t dosAttrs, Enc enc) {
  const std::wstring wide = widePath(path, enc);
  DWORD a = dosAttrs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                        FILE_ATTRIBUTE_ARCHIVE);
  DWORD cur = GetFileAttributesW(wide.c_str());
  if (cur != INVALID_FILE_ATTRIBUTES && (cur & FILE_ATTRIBUTE_DIRECTORY)) a |= FILE_ATTRIBUTE_DIRECTORY;
  if (a == 0) a = FILE_ATTRIBUTE_NORMAL;
  if (cur == a) return Err::None;
  return SetFileAttributesW(wide.c_str(), a) ? Err::None : last();
}

Err setDirMtime(const std::string& path, int64_t t, Enc enc) {
  HANDLE h = CreateFileW(widePath(path, enc).c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return last();
  FILETIME ft = toFileTime(t);
  Err e = SetFileTime(h, nullptr, nullptr, &ft) ? Err::None : last();
  CloseHandle(h);
  return e;
}

unsigned char foldCase(unsigned char c) {
  static unsigned char table[256];
  static std::once_flag once;
  std::call_once(once, [] {
    CPINFO info = {};
    bool singleByte = GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
    for (int i = 0; i < 256; ++i) {
      char ch = char(i);
      if (i >= 'a' && i <= 'z') ch = char(i - 32);
      else if (i >= 0x80 && singleByte) CharUpperBuffA(&ch, 1);
      table[i] = (unsigned char)ch;
    }
  });
  return table[c];
}

std::string upperUtf8(std::string_view s) {
  const std::wstring w = widen(std::string(s));
  if (w.empty()) return std::string();
  // Ordinal comparison of the invariant upper case: the same on every
  // system locale, so a name matches the same members everywhere.
  std::wstring up(w.size(), L'\0');
  int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, w.data(), int(w.size()), up.data(), int(up.size()),
                        nullptr, nullptr, 0);
  if (n <= 0) up = w;
  else up.resize(size_t(n));
  return narrowUtf8(up);
}

}  // namespace ze::os

#endif
