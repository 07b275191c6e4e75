// The view's menus: its items merged into the browser's pop-ups, the context
// menus on the list, the enabling and checking of every item shown, and the
// tool-tips of its toolbar buttons.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <windowsx.h>

#include <memory>

#include "drop_data.h"
#include "exception.h"
#include "resource.h"
#include "strings.h"
#include "zip_exceptions.h"
#include "zip_view.h"

namespace {

struct MenuDestroyer {
  void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

HMENU PopupById(HMENU menu, UINT id) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_SUBMENU;
  return GetMenuItemInfoA(menu, id, FALSE, &info) ? info.hSubMenu : nullptr;
}

void Enable(HMENU menu, UINT id, bool enabled) {
  EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

// The text after the command string's first newline, or all of it.
std::string ToolTipOf(UINT id) {
  const std::string text = LoadStr(id);
  const size_t newline = text.find('\n');
  return newline == std::string::npos ? text : text.substr(newline + 1);
}

}  // namespace

void CZipView::MergeMenus(bool focus) {
  HWND window = m_hWnd.load();
  if (m_pBrowser == nullptr || window == nullptr || m_bClosing) return;
  if (focus) m_pBrowser->OnViewWindowActive(this);
  m_pBrowser->SetMenuSB(nullptr, nullptr, window);
  m_pBrowser->RemoveMenusSB(m_sharedMenu);
  DestroyMenu(m_sharedMenu);
  m_sharedMenu = CreateMenu();
  if (m_sharedMenu == nullptr) throw CZipWinException(0, 0);

  OLEMENUGROUPWIDTHS widths{};
  m_pBrowser->InsertMenusSB(m_sharedMenu, &widths);
  if (HMENU file = PopupById(m_sharedMenu, FCIDM_MENU_FILE))
    InsertMenuItems(file, focus ? IDR_MENU_FILE_FOCUS : IDR_MENU_FILE, 0);
  if (HMENU edit = PopupById(m_sharedMenu, FCIDM_MENU_EDIT))
    InsertMenuItems(edit, focus ? IDR_MENU_EDIT_FOCUS : IDR_MENU_EDIT, 1000);
  if (HMENU viewPopup = PopupById(m_sharedMenu, FCIDM_MENU_VIEW)) {
    InsertMenuItems(viewPopup, IDR_MENU_VIEW, static_cast<UINT>(widths.width[2]));
    if (HMENU arrange = LoadMenuA(ResourceInstance(), MAKEINTRESOURCEA(IDR_MENU_ARRANGE))) {
      MENUITEMINFOA item{};
      item.cbSize = sizeof(item);
      item.fMask = MIIM_SUBMENU;
      item.hSubMenu = arrange;
      if (!SetMenuItemInfoA(viewPopup, ID_VIEW_ARRANGE, FALSE, &item)) DestroyMenu(arrange);
    }
  }
  if (HMENU help = PopupById(m_sharedMenu, FCIDM_MENU_HELP)) InsertMenuItems(help, IDR_MENU_HELP, 0);
  m_pBrowser->SetMenuSB(m_sharedMenu, nullptr, window);
}

void CZipView::InsertMenuItems(HMENU target, UINT resource, UINT position) {
  // A menu the library does not carry adds nothing.
  UniqueMenu loaded(LoadMenuA(ResourceInstance(), MAKEINTRESOURCEA(resource)));
  if (!loaded) return;
  const int count = GetMenuItemCount(loaded.get());
  for (int i = 0; i < count; ++i) {
    char text[50] = "";
    MENUITEMINFOA item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_TYPE | MIIM_DATA;
    item.dwTypeData = text;
    item.cch = sizeof(text);
    if (!GetMenuItemInfoA(loaded.get(), static_cast<UINT>(i), TRUE, &item)) continue;
    InsertMenuA(target, position + static_cast<UINT>(i), MF_BYPOSITION | item.fType, item.wID,
                (item.fType & MFT_SEPARATOR) ? nullptr : text);
    if (item.fState & (MFS_GRAYED | MFS_DISABLED)) EnableMenuItem(target, item.wID, MF_BYCOMMAND | MF_GRAYED);
  }
}

void CZipView::OnInitMenuPopup(HMENU menu) {
  const UINT selected = m_list.GetSelectedCount();
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    const UINT id = GetMenuItemID(menu, i);
    switch (id) {
      case ID_VIEW_LARGEICONS:
      case ID_VIEW_SMALLICONS:
      case ID_VIEW_LIST:
      case ID_VIEW_DETAILS:
        if (id == CurrentViewModeCommand())
          CheckMenuRadioItem(menu, ID_VIEW_LARGEICONS, ID_VIEW_DETAILS, id, MF_BYCOMMAND);
        break;
      case ID_VIEW_AUTOARRANGE:
        CheckMenuItem(menu, id,
                      MF_BYCOMMAND | ((m_folderSettings.fFlags & FWF_AUTOARRANGE) ? MF_CHECKED : MF_UNCHECKED));
        break;
      case ID_EDIT_COPY:
      case ID_FILE_DELETE:
        Enable(menu, id, selected > 0);
        break;
      case ID_EDIT_PASTE:
        Enable(menu, id, ClipboardFiles() != nullptr);
        break;
      case ID_FILE_INSTALL:
        Enable(menu, id, InstallerOffered());
        break;
      case ID_FILE_OPENINFOLDER:
        Enable(menu, id, selected > 0 && FirstSelectedIsFile());
        break;
      case ID_FILE_OPEN:
        Enable(menu, id, selected == 1);
        break;
      default:
        break;
    }
  }
}

// A menu is no place for an error message: a listing that has gone offers
// nothing, and the command itself reports it if chosen.
bool CZipView::InstallerOffered() {
  try {
    return m_pFolder->FindInstaller(nullptr);
  } catch (const CException&) {
    return false;
  }
}

bool CZipView::FirstSelectedIsFile() {
  const int first = m_list.GetNextItem(-1, LVNI_SELECTED);
  if (first < 0) return false;
  try {
    return !GetEntryAt(first).IsFolder();
  } catch (const CException&) {
    return false;
  }
}

void CZipView::OnContextMenu(LPARAM lParam) {
  HWND window = m_hWnd.load();
  const UINT selected = m_list.GetSelectedCount();
  const UINT resource = selected == 0 ? IDR_CONTEXT_NONE : selected == 1 ? IDR_CONTEXT_ONE : IDR_CONTEXT_SEVERAL;
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  if (point.x == -1 && point.y == -1) {
    // From the keyboard: the focused row, or the top-left corner.
    point = POINT{0, 0};
    if (selected > 0) {
      const int focused = m_list.GetNextItem(-1, LVNI_FOCUSED);
      if (focused >= 0) SendMessageA(m_list.GetSafeHwnd(), LVM_GETITEMPOSITION, focused, reinterpret_cast<LPARAM>(&point));
    }
    ClientToScreen(window, &point);
  }
  UniqueMenu loaded(LoadMenuA(ResourceInstance(), MAKEINTRESOURCEA(resource)));
  HMENU popup = loaded ? GetSubMenu(loaded.get(), 0) : nullptr;
  if (popup == nullptr) throw CZipWinException(0, GetLastError());
  SetMenuDefaultItem(popup, ID_FILE_OPEN, FALSE);
  if (!TrackPopupMenu(popup, TPM_RIGHTBUTTON, point.x, point.y, 0, window, nullptr))
    throw CZipWinException(0, GetLastError());
}

void CZipView::OnToolTipText(NMHDR& header) {
  const bool wide = header.code == TTN_NEEDTEXTW;
  auto& ansi = reinterpret_cast<NMTTDISPINFOA&>(header);
  auto& unicode = reinterpret_cast<NMTTDISPINFOW&>(header);
  UINT_PTR id = header.idFrom;
  if ((wide ? unicode.uFlags : ansi.uFlags) & TTF_IDISHWND)
    id = static_cast<UINT_PTR>(GetDlgCtrlID(reinterpret_cast<HWND>(id)));
  const std::string text = ToolTipOf(static_cast<UINT>(id));
  if (wide) {
    CopyText(text, true, reinterpret_cast<char*>(unicode.szText), static_cast<unsigned>(std::size(unicode.szText)));
    unicode.lpszText = unicode.szText;
    unicode.hinst = nullptr;
  } else {
    CopyText(text, false, ansi.szText, static_cast<unsigned>(std::size(ansi.szText)));
    ansi.lpszText = ansi.szText;
    ansi.hinst = nullptr;
  }
}
