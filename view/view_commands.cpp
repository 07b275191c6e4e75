// The view's item commands: what the menus, the toolbar buttons and the keys
// ask of the selected rows, each ending in an operation of the folder.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "drop_data.h"
#include "help.h"
#include "item_id.h"
#include "resource.h"
#include "user_interaction.h"
#include "zip_exceptions.h"
#include "zip_view.h"

namespace {

struct ItemIdOwner {
  LPITEMIDLIST id;
  ~ItemIdOwner() { FreeItemId(id); }
};

}  // namespace

bool CZipView::OnItemCommand(UINT id) {
  HWND window = m_hWnd.load();
  switch (id) {
    case ID_EDIT_CUT:
      // Members are never moved out of an archive.
      UserInteraction().Beep(0);
      return true;
    case ID_EDIT_COPY:
      OnCopy();
      return true;
    case ID_EDIT_PASTE:
    case IDM_PASTE_KEY:
      OnPaste();
      return true;
    case ID_FILE_NEWFOLDER: {
      std::string name;
      if (UserInteraction().AskNewFolderName(window, name) == IDOK) m_pFolder->NewFolder(name, window);
      return true;
    }
    case ID_FILE_DELETE:
      m_pFolder->DeleteMembers(GetSelectedNames(), window);
      return true;
    case ID_FILE_PROPERTIES:
      m_pFolder->ShowProperties(window, GetSelectedNames());
      return true;
    case ID_FILE_INSTALL:
      m_pFolder->OpenInFolder(window, nullptr);
      return true;
    case ID_HELP_ABOUT:
      UserInteraction().ShowAbout(window);
      return true;
    case ID_HELP_TOPICS:
      ShowHelpTopics(window);
      return true;
    case ID_FILE_OPENINFOLDER:
      OnOpenInFolder();
      return true;
    case ID_FILE_OPEN:
      OnOpen();
      return true;
    case IDM_PARENT_KEY:
      if (m_pBrowser != nullptr) m_pBrowser->BrowseObject(nullptr, SBSP_PARENT);
      return true;
    default:
      return false;
  }
}

void CZipView::OnCopy() {
  const std::vector<std::string> names = GetSelectedNames();
  if (names.empty()) {
    UserInteraction().Beep(0);
    return;
  }
  m_pFolder->CopyToClipboard(names, m_hWnd.load(), MakeItemOffsets(POINT{0, 0}));
}

void CZipView::OnPaste() {
  const auto clipboard = ClipboardFiles();
  if (!clipboard) {
    UserInteraction().Beep(0);
    return;
  }
  DropFilesMedium files(clipboard.Get());
  if (!files.Offered()) throw CZipWinException(0, ERROR_INVALID_DATA);
  // A malformed list on the clipboard is as good as none.
  if (!files) {
    UserInteraction().Beep(0);
    return;
  }
  m_pFolder->AddDroppedFiles(files.get(), m_hWnd.load());
}

bool CZipView::OneSelectedEntry(MemberEntry& member) {
  if (m_list.GetSelectedCount() != 1) {
    UserInteraction().Beep(0);
    return false;
  }
  member = GetEntryAt(m_list.GetNextItem(-1, LVNI_SELECTED));
  return true;
}

void CZipView::OnOpenInFolder() {
  MemberEntry member;
  if (!OneSelectedEntry(member)) return;
  if (member.IsFolder()) {
    UserInteraction().Beep(0);
    return;
  }
  const std::string name = member.Key();
  m_pFolder->OpenInFolder(m_hWnd.load(), &name);
}

void CZipView::OnOpen() {
  MemberEntry member;
  if (!OneSelectedEntry(member)) return;
  const ZIPENTRY record = member.Record();
  if (member.IsFolder()) {
    // The folder opens in place, in this window.
    ItemIdOwner item{MakeItemId(record)};
    if (m_pBrowser != nullptr) m_pBrowser->BrowseObject(item.id, SBSP_RELATIVE);
    return;
  }
  m_pFolder->OpenMember(record.szName, m_hWnd.load());
}
