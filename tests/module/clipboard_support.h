// Puts data on the real clipboard from a hidden window of the test's own.
#pragma once

#include <windows.h>

#include <cstring>

class TestClipboard {
 public:
  TestClipboard() {
    m_window = CreateWindowExA(0, "STATIC", "clipboard owner", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  }
  ~TestClipboard() {
    Put(0, nullptr);
    DestroyWindow(m_window);
  }
  TestClipboard(const TestClipboard&) = delete;
  TestClipboard& operator=(const TestClipboard&) = delete;

  bool Ready() const { return m_window != nullptr; }

  // Replaces the clipboard's content by one format; format 0 only empties it.
  bool Put(UINT format, const char* text) {
    if (!Open()) return false;
    EmptyClipboard();
    bool ok = true;
    if (format != 0) {
      const size_t size = std::strlen(text) + 1;
      const HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, size);
      std::memcpy(GlobalLock(data), text, size);
      GlobalUnlock(data);
      ok = SetClipboardData(format, data) != nullptr;
    }
    CloseClipboard();
    return ok;
  }

 private:
  // Another program may hold the clipboard for a moment.
  bool Open() {
    for (int attempt = 0; attempt < 50; ++attempt) {
      if (OpenClipboard(m_window)) return true;
      Sleep(20);
    }
    return false;
  }

  HWND m_window = nullptr;
};
