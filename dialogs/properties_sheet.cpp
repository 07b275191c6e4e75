#include "properties_sheet.h"

#include <commctrl.h>
#include <shellapi.h>

#include "guard.h"
#include "resource.h"
#include "strings.h"
#include "zip_exceptions.h"

namespace {

// The system's icons for a folder and for several documents.
constexpr int kFolderIcon = 4;
constexpr int kMultipleIcon = 133;

UINT TemplateOf(PropertiesPage::Kind kind) {
  switch (kind) {
    case PropertiesPage::kSingle:
      return IDD_PROPERTIES_SINGLE;
    case PropertiesPage::kMultiple:
      return IDD_PROPERTIES_MULTIPLE;
    default:
      return IDD_PROPERTIES_FOLDER;
  }
}

HICON PageIcon(const PropertiesPage& page) {
  if (page.kind == PropertiesPage::kSingle) {
    SHFILEINFOA info{};
    const auto list = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES));
    return list ? ImageList_GetIcon(list, page.iconIndex, ILD_NORMAL) : nullptr;
  }
  const HMODULE shell = GetModuleHandleA("shell32.dll");
  const int id = page.kind == PropertiesPage::kFolder ? kFolderIcon : kMultipleIcon;
  return static_cast<HICON>(LoadImageA(shell, MAKEINTRESOURCEA(id), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
}

// The page's texts are UTF-8: names and folders of any script.
void SetText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextW(dialog, id, Utf8ToWide(text).c_str());
}

void Fill(HWND dialog, const PropertiesPage& page) {
  const bool several = page.kind == PropertiesPage::kMultiple;
  SetText(dialog, several ? IDC_PROP_CONTAINS : IDC_PROP_NAME, page.name);
  if (page.kind == PropertiesPage::kFolder) SetText(dialog, IDC_PROP_CONTAINS, page.contains);
  SetText(dialog, IDC_PROP_TYPE, page.type);
  SetText(dialog, IDC_PROP_LOCATION, page.location);
  SetText(dialog, IDC_PROP_SIZE, page.size);
  SetText(dialog, IDC_PROP_COMPRESSED, page.compressed);
  SetText(dialog, IDC_PROP_DATE, page.date);
  const struct {
    int id;
    DWORD bit;
  } boxes[] = {{IDC_PROP_READONLY, FILE_ATTRIBUTE_READONLY},
               {IDC_PROP_HIDDEN, FILE_ATTRIBUTE_HIDDEN},
               {IDC_PROP_SYSTEM, FILE_ATTRIBUTE_SYSTEM},
               {IDC_PROP_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE}};
  for (const auto& box : boxes)
    CheckDlgButton(dialog, box.id, (page.attributes & box.bit) ? BST_CHECKED : BST_UNCHECKED);
  if (HICON icon = PageIcon(page)) {
    // The page keeps the icon until it goes.
    SetPropA(dialog, "mbx.icon", icon);
    SendDlgItemMessageA(dialog, IDC_PROP_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  }
}

INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  return Guard<INT_PTR>(TRUE, FALSE, [&]() -> INT_PTR {
    switch (message) {
      case WM_INITDIALOG:
        Fill(dialog, *reinterpret_cast<const PropertiesPage*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam));
        return TRUE;
      case WM_DESTROY:
        if (auto icon = static_cast<HICON>(RemovePropA(dialog, "mbx.icon"))) DestroyIcon(icon);
        return FALSE;
      default:
        return FALSE;
    }
  });
}

}  // namespace

void ShowPropertiesSheet(HWND owner, const PropertiesPage& page) {
  PROPSHEETPAGEW sheetPage{};
  sheetPage.dwSize = sizeof(sheetPage);
  sheetPage.hInstance = ResourceInstance();
  sheetPage.pszTemplate = MAKEINTRESOURCEW(TemplateOf(page.kind));
  sheetPage.pfnDlgProc = PageProc;
  sheetPage.lParam = reinterpret_cast<LPARAM>(&page);
  const std::wstring caption = Utf8ToWide(LoadStr(IDS_PROPERTIES));
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof(header);
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
  header.hwndParent = owner;
  header.hInstance = ResourceInstance();
  header.pszCaption = caption.c_str();
  header.nPages = 1;
  header.nStartPage = 0;
  header.ppsp = &sheetPage;
  if (PropertySheetW(&header) < 0) throw CZipWinException();
}
