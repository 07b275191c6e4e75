// Owners for Win32 handles.
#pragma once

#include <windows.h>

#include <cstddef>
#include <utility>

template <typename T, typename Traits>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(T handle) : m_handle(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  T get() const { return m_handle; }
  explicit operator bool() const { return Traits::Valid(m_handle); }
  T release() { return std::exchange(m_handle, Traits::Invalid()); }
  void reset(T handle = Traits::Invalid()) {
    if (Traits::Valid(m_handle)) Traits::Close(m_handle);
    m_handle = handle;
  }

 private:
  T m_handle = Traits::Invalid();
};

struct KernelHandleTraits {  // events, mutexes, threads: null when absent
  static HANDLE Invalid() { return nullptr; }
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FileHandleTraits {  // files: INVALID_HANDLE_VALUE when absent
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FindHandleTraits {  // FindFirstFile searches
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { FindClose(h); }
};
struct GlobalTraits {  // GlobalAlloc blocks
  static HGLOBAL Invalid() { return nullptr; }
  static bool Valid(HGLOBAL h) { return h != nullptr; }
  static void Close(HGLOBAL h) { GlobalFree(h); }
};
struct RegKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static bool Valid(HKEY h) { return h != nullptr; }
  static void Close(HKEY h) { RegCloseKey(h); }
};

using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<HANDLE, FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<HANDLE, FindHandleTraits>;
using UniqueGlobal = UniqueHandle<HGLOBAL, GlobalTraits>;
using UniqueRegKey = UniqueHandle<HKEY, RegKeyTraits>;

// A global block's memory while the guard lives; null when the block cannot
// be locked (none, freed or discarded).
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL block) : m_block(block) {
    if (block == nullptr) return;
    m_data = GlobalLock(block);
    if (m_data != nullptr) m_size = GlobalSize(block);
  }
  ~GlobalLockGuard() {
    if (m_data != nullptr) GlobalUnlock(m_block);
  }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;

  explicit operator bool() const { return m_data != nullptr; }
  void* get() const { return m_data; }
  BYTE* bytes() const { return static_cast<BYTE*>(m_data); }
  size_t size() const { return m_size; }

 private:
  HGLOBAL m_block;
  void* m_data = nullptr;
  size_t m_size = 0;
};
