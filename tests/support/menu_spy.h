// Menus as a user sees them: a menu bar's pop-ups by id, their item texts,
// and a context menu read from inside its own modal loop (a thread timer
// fires there), then closed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace menu_spy {

using Texts = std::vector<std::string>;

inline HMENU PopupOf(HMENU bar, UINT id) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_SUBMENU;
  return GetMenuItemInfoA(bar, id, FALSE, &info) ? info.hSubMenu : nullptr;
}

inline Texts MenuTexts(HMENU menu, int count = -1) {
  Texts texts;
  if (count < 0) count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char text[64] = "";
    GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
    texts.push_back(text);
  }
  return texts;
}

// What a shown context menu held, read from inside its modal loop.
struct ShownMenu {
  Texts texts;
  std::vector<bool> enabled;
  UINT defaultItem = 0;
  POINT topLeft{};
  bool seen = false;
};

inline ShownMenu* g_spy = nullptr;

inline BOOL CALLBACK FindPopup(HWND window, LPARAM found) {
  char name[16] = "";
  GetClassNameA(window, name, sizeof(name));
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && std::string(name) == "#32768" && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

// Runs inside the menu's loop: reads the menu as shown, then closes it.
inline void CALLBACK SpyOnMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND popup = nullptr;
  EnumWindows(FindPopup, reinterpret_cast<LPARAM>(&popup));
  if (popup == nullptr || g_spy == nullptr) return;
  auto menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
  g_spy->texts = MenuTexts(menu);
  for (int i = 0; i < GetMenuItemCount(menu); ++i)
    g_spy->enabled.push_back((GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) == 0);
  g_spy->defaultItem = GetMenuDefaultItem(menu, FALSE, 0);
  RECT rect{};
  GetWindowRect(popup, &rect);
  g_spy->topLeft = POINT{rect.left, rect.top};
  g_spy->seen = true;
  KillTimer(nullptr, timer);
  EndMenu();
}

// What trigger makes shown: it sends or posts the messages and, for posted
// ones, runs the message loop until the menu has been seen.
template <typename Trigger>
ShownMenu SpyOn(Trigger trigger) {
  ShownMenu shown;
  g_spy = &shown;
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, SpyOnMenu);
  trigger(shown);
  KillTimer(nullptr, timer);
  g_spy = nullptr;
  return shown;
}

// Asks the view window for its context menu at the point (-1, -1: the
// keyboard's), as the list's default handling does.
inline ShownMenu ShowContextMenu(HWND view, HWND list, POINT screen) {
  return SpyOn([&](ShownMenu&) {
    SendMessageA(view, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(screen.x, screen.y));
  });
}

}  // namespace menu_spy
