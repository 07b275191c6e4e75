// Input as another program might forge it: bytes that end exactly where
// readable memory ends, so a read one byte too far faults instead of passing
// unnoticed, and CF_HDROP blocks and identifier lists of any shape.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// What is being read, for the fault report (a program that feeds many
// inputs says which one).
inline std::string& FaultContext() {
  static std::string context;
  return context;
}

// A fault ends the program at once with its address, instead of waiting for
// a debugger that nobody attends.
inline LONG WINAPI ReportFault(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  const ULONG_PTR accessed = record->NumberParameters >= 2 ? record->ExceptionInformation[1] : 0;
  fprintf(stderr, "fault %08lx at %p touching %p\n", record->ExceptionCode, record->ExceptionAddress,
          reinterpret_cast<void*>(accessed));
  if (!FaultContext().empty()) fprintf(stderr, "while reading %s\n", FaultContext().c_str());
  fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

// Pages whose last readable byte is followed by an inaccessible page; Place
// copies bytes so that their end meets it.
class GuardedBytes {
 public:
  explicit GuardedBytes(size_t capacity = 64 * 1024) {
    SetUnhandledExceptionFilter(ReportFault);
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    m_page = info.dwPageSize;
    m_readable = (capacity + m_page - 1) / m_page * m_page;
    m_base = static_cast<BYTE*>(VirtualAlloc(nullptr, m_readable + m_page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (m_base != nullptr) VirtualProtect(m_base + m_readable, m_page, PAGE_NOACCESS, &old);
  }
  ~GuardedBytes() {
    if (m_base != nullptr) VirtualFree(m_base, 0, MEM_RELEASE);
  }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;

  bool ok() const { return m_base != nullptr; }
  size_t capacity() const { return m_readable; }
  // The copy's first byte; null when the bytes do not fit.
  const BYTE* Place(const std::vector<BYTE>& bytes) {
    if (m_base == nullptr || bytes.size() > m_readable) return nullptr;
    BYTE* start = m_base + m_readable - bytes.size();
    if (!bytes.empty()) memcpy(start, bytes.data(), bytes.size());
    return start;
  }

 private:
  size_t m_page = 4096;
  size_t m_readable = 0;
  BYTE* m_base = nullptr;
};

// A CF_HDROP block: the 20-byte header, then the list bytes exactly as given
// (terminators included or not, as the caller wants).
inline std::vector<BYTE> DropBlock(const std::vector<BYTE>& list, bool wide = false, DWORD pFiles = sizeof(DROPFILES)) {
  DROPFILES header{};
  header.pFiles = pFiles;
  header.pt = {3, 4};
  header.fWide = wide ? TRUE : FALSE;
  std::vector<BYTE> block(sizeof(header) + list.size());
  memcpy(block.data(), &header, sizeof(header));
  if (!list.empty()) memcpy(block.data() + sizeof(header), list.data(), list.size());
  return block;
}

// The bytes of NUL-separated ANSI text, or of its UTF-16 form, as a list.
inline std::vector<BYTE> AnsiList(const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); }
inline std::vector<BYTE> WideList(const std::wstring& text) {
  std::vector<BYTE> bytes(text.size() * sizeof(wchar_t));
  if (!text.empty()) memcpy(bytes.data(), text.data(), bytes.size());
  return bytes;
}

// A global block holding exactly these bytes (a zero-size block has no
// memory behind it, as GlobalAlloc makes one).
inline HGLOBAL GlobalBlock(const std::vector<BYTE>& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (block != nullptr && !bytes.empty()) {
    memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
  }
  return block;
}

// One identifier item whose cb says size (the bytes after cb are payload,
// cut or padded with zeros to fill it).  An item shorter than its cb field
// is written as just the cb's low byte.
inline std::vector<BYTE> ForgedItem(USHORT cb, const std::vector<BYTE>& payload) {
  if (cb < sizeof(USHORT)) return std::vector<BYTE>(cb, static_cast<BYTE>(cb));
  std::vector<BYTE> item(cb, 0);
  memcpy(item.data(), &cb, sizeof(cb));
  memcpy(item.data() + sizeof(cb), payload.data(), std::min<size_t>(payload.size(), cb - sizeof(cb)));
  return item;
}

// Items chained into a list ended by the empty item.
inline std::vector<BYTE> ForgedList(const std::vector<std::vector<BYTE>>& items) {
  std::vector<BYTE> list;
  for (const auto& item : items) list.insert(list.end(), item.begin(), item.end());
  list.push_back(0);
  list.push_back(0);
  return list;
}
