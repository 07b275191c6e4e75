// Records the messages that windows of the calling thread receive from
// other threads (or itself): the progress a worker sends a dialog, the
// captions it sets.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

class SentMessageLog {
 public:
  struct Entry {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::string text;  // WM_SETTEXT only
  };

  SentMessageLog() {
    s_current = this;
    m_hook = SetWindowsHookExW(WH_CALLWNDPROC, Hook, nullptr, GetCurrentThreadId());
  }
  ~SentMessageLog() {
    if (m_hook) UnhookWindowsHookEx(m_hook);
    s_current = nullptr;
  }
  SentMessageLog(const SentMessageLog&) = delete;
  SentMessageLog& operator=(const SentMessageLog&) = delete;

  bool Installed() const { return m_hook != nullptr; }
  // What dialog windows received, in order.
  std::vector<Entry> Entries() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries;
  }

 private:
  static bool IsDialog(HWND window) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof(name));
    return std::string(name) == "#32770";
  }
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    SentMessageLog* self = s_current;
    if (code == HC_ACTION && self && (sent->message == WM_USER || sent->message == WM_SETTEXT) &&
        IsDialog(sent->hwnd)) {
      Entry entry{sent->message, sent->wParam, sent->lParam, {}};
      if (sent->message == WM_SETTEXT && sent->lParam) {
        // Captions are wide: kept here in UTF-8.
        const auto* text = reinterpret_cast<const wchar_t*>(sent->lParam);
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
        if (size > 1) {
          entry.text.assign(static_cast<size_t>(size - 1), '\0');
          WideCharToMultiByte(CP_UTF8, 0, text, -1, entry.text.data(), size, nullptr, nullptr);
        }
      }
      std::lock_guard<std::mutex> lock(self->m_mutex);
      self->m_entries.push_back(entry);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static inline SentMessageLog* s_current = nullptr;
  HHOOK m_hook = nullptr;
  mutable std::mutex m_mutex;
  std::vector<Entry> m_entries;
};
