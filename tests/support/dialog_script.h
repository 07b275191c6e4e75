// Drives a modal dialog of this process from a second thread while the test
// thread runs the dialog's loop, by control ids, as a user would.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace dialog_script {

struct Search {
  std::string caption;
  HWND found = nullptr;
};

inline BOOL CALLBACK Match(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char name[16] = "", caption[256] = "";
  GetClassNameA(window, name, sizeof(name));
  GetWindowTextA(window, caption, sizeof(caption));
  if (process == GetCurrentProcessId() && std::string(name) == "#32770" &&
      (search->caption.empty() || search->caption == caption) &&
      IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The shown dialog of this process with the caption (any caption when
// empty); null after 10 s.
inline HWND WaitForDialog(const std::string& caption) {
  for (int i = 0; i < 1000; ++i) {
    Search search{caption};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(10);
  }
  return nullptr;
}

inline void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

inline std::string Text(HWND dialog, int id) {
  char text[1024] = "";
  GetDlgItemTextA(dialog, id, text, sizeof(text));
  return text;
}

// A control's text as the system holds it (UTF-16), in UTF-8.
inline std::string WideText(HWND dialog, int id) {
  wchar_t text[1024] = L"";
  GetDlgItemTextW(dialog, id, text, 1024);
  char utf8[4096] = "";
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), nullptr, nullptr);
  return utf8;
}

// The size of a template's client area in pixels for this dialog's font.
inline SIZE DialogUnits(HWND dialog, int width, int height) {
  RECT rect{0, 0, width, height};
  MapDialogRect(dialog, &rect);
  return SIZE{rect.right, rect.bottom};
}

inline SIZE ClientSize(HWND window) {
  RECT rect;
  GetClientRect(window, &rect);
  return SIZE{rect.right, rect.bottom};
}

// Runs body against the dialog with the caption once it shows.  If body
// leaves the dialog open, it is closed, so a failing test cannot hang.
class Script {
 public:
  Script(std::string caption, std::function<void(HWND)> body)
      : m_thread([caption = std::move(caption), body = std::move(body), this] {
          HWND dialog = WaitForDialog(caption);
          m_found = dialog != nullptr;
          if (!dialog) {
            // Whatever did show must not keep the test waiting.
            if (HWND other = WaitForDialog("")) PostMessageA(other, WM_COMMAND, IDCANCEL, 0);
            return;
          }
          body(dialog);
          for (int i = 0; i < 500 && IsWindow(dialog); ++i) Sleep(10);
          m_leftOpen = IsWindow(dialog) != FALSE;
          if (m_leftOpen) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }) {}
  ~Script() { Join(); }
  void Join() {
    if (m_thread.joinable()) m_thread.join();
  }
  bool Found() {
    Join();
    return m_found;
  }
  bool LeftOpen() {
    Join();
    return m_leftOpen;
  }

 private:
  bool m_found = false;
  bool m_leftOpen = false;
  std::thread m_thread;
};

}  // namespace dialog_script
