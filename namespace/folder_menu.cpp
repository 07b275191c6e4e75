// The verbs of the folders' context menus, the folder's own menu, and the
// place dropped files land.
#include "folder_menu.h"

#include <cstring>
#include <string>

#include "drop_data.h"
#include "folder_operations.h"
#include "guard.h"
#include "resource.h"
#include "strings.h"
#include "verbs.h"
#include "zip_exceptions.h"
#include "zip_file.h"
#include "zip_folder.h"

namespace {

struct VerbText {
  const char* verb;
  UINT menuText;
  UINT helpText;  // 0: none
};

constexpr VerbText kVerbs[] = {
    {kVerbExtractToFolder, IDS_VERB_EXTRACT_TO_FOLDER, IDS_HELP_EXTRACT_TO_FOLDER},
    {kVerbInstall, IDS_VERB_INSTALL, 0},
    {kVerbOpen, IDS_VERB_OPEN, IDS_HELP_OPEN},
    {kVerbCopy, IDS_VERB_COPY, IDS_HELP_COPY},
    {kVerbDelete, IDS_VERB_DELETE, IDS_HELP_DELETE},
    {kVerbProperties, IDS_VERB_PROPERTIES, IDS_HELP_PROPERTIES},
    {kVerbExplore, 0, IDS_HELP_EXPLORE},
};

const VerbText* FindVerb(const std::string& verb) {
  for (const VerbText& v : kVerbs)
    if (verb == v.verb) return &v;
  return nullptr;
}

std::string HelpTextOf(const std::string& verb) {
  const VerbText* v = FindVerb(verb);
  return v != nullptr && v->helpText != 0 ? LoadStr(v->helpText) : std::string();
}

void InsertItem(HMENU menu, UINT position, UINT id, UINT textId) {
  const std::string text = LoadStr(textId);
  if (text.empty()) throw CZipWinException(0, ERROR_RESOURCE_NAME_NOT_FOUND);
  if (!InsertMenuA(menu, position, MF_BYPOSITION | MF_STRING, id, text.c_str())) throw CZipWinException(0, 0);
}

void InsertSeparator(HMENU menu, UINT position) {
  if (!InsertMenuA(menu, position, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr)) throw CZipWinException(0, 0);
}

}  // namespace

void FolderMenu::AddVerb(HMENU menu, UINT position, UINT firstId, const char* verb) {
  const auto offset = static_cast<uint16_t>(m_mapVerbs.size());
  InsertItem(menu, position, firstId + offset, FindVerb(verb)->menuText);
  m_mapVerbs[offset] = verb;
}

std::string FolderMenu::VerbAt(UINT_PTR offset) const {
  const auto found = m_mapVerbs.find(static_cast<uint16_t>(offset));
  return found == m_mapVerbs.end() ? std::string() : found->second;
}

HRESULT FolderMenu::Query(CZipFolder& folder, HMENU menu, UINT index, UINT firstId, UINT flags) {
  const HRESULT nothingAdded = MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 1);
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    CZipFile* root = folder.Root();
    if (root->ZipPath().empty() || !(flags & CMF_CANRENAME)) return nothingAdded;
    if (!IsMenu(menu)) throw CZipWinException(0, ERROR_INVALID_MENU_HANDLE);
    m_mapVerbs.clear();
    root->RefreshListing();
    if (!root->IsBrowsed()) {
      AddVerb(menu, index, firstId, kVerbExtractToFolder);
      if (FolderOperations().FindInstaller(folder, nullptr)) AddVerb(menu, index + 1, firstId, kVerbInstall);
    } else {
      AddVerb(menu, index, firstId, kVerbOpen);
      EnableMenuItem(menu, index, MF_BYPOSITION | MF_GRAYED);
      InsertSeparator(menu, index + 1);
      AddVerb(menu, index + 2, firstId, kVerbCopy);
      AddVerb(menu, index + 3, firstId, kVerbDelete);
      InsertSeparator(menu, index + 4);
      AddVerb(menu, index + 5, firstId, kVerbProperties);
    }
    return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, m_mapVerbs.size());
  });
}

HRESULT FolderMenu::Invoke(CZipFolder& folder, const std::vector<std::string>& selection,
                           const CMINVOKECOMMANDINFO* info) const {
  if (info == nullptr) return E_INVALIDARG;
  // The caller learns why a command failed: cancelled, denied, disk full.
  return ComGuardResult([&] {
    const auto verbField = reinterpret_cast<UINT_PTR>(info->lpVerb);
    const std::string verb = HIWORD(verbField) == 0 ? VerbAt(LOWORD(verbField)) : std::string(info->lpVerb);
    const HWND parent = info->hwnd;
    if (verb == kVerbDelete) {
      FolderOperations().DeleteMembers(folder, selection, parent);
    } else if (verb == kVerbCopy) {
      FolderOperations().CopyToClipboard(folder, selection, parent);
    } else if (verb == kVerbInstall) {
      FolderOperations().OpenInFolder(folder, parent);
    } else if (verb == kVerbProperties) {
      FolderOperations().ShowProperties(folder, parent, selection);
    } else if (verb == kVerbExtractToFolder) {
      FolderOperations().UnzipToNewFolder(folder, parent);
    }
    // "open" and every verb not ours do nothing, successfully.
  });
}

HRESULT FolderMenu::CommandString(UINT_PTR command, UINT type, CHAR* name, UINT size) const {
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    const std::string verb = VerbAt(command);
    switch (type) {
      case GCS_VERBA:
      case GCS_VERBW:
        // The wide answers carry the same texts as the ANSI ones.
        CopyText(verb, (type & GCS_UNICODE) != 0, name, size);
        return S_OK;
      case GCS_HELPTEXTA:
      case GCS_HELPTEXTW:
        CopyText(HelpTextOf(verb), (type & GCS_UNICODE) != 0, name, size);
        return S_OK;
      case GCS_VALIDATEA:
      case GCS_VALIDATEW:
        return verb.empty() ? S_FALSE : S_OK;
      default:
        return S_OK;
    }
  });
}

// The folder's own menu acts on the folder itself; menus of members the
// shell picked are objects of their own (GetUIObjectOf).
STDMETHODIMP CZipFolder::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT, UINT flags) {
  return m_menu.Query(*this, menu, index, firstId, flags);
}

STDMETHODIMP CZipFolder::InvokeCommand(CMINVOKECOMMANDINFO* info) { return m_menu.Invoke(*this, {}, info); }

STDMETHODIMP CZipFolder::GetCommandString(UINT_PTR command, UINT type, UINT*, CHAR* name, UINT size) {
  return m_menu.CommandString(command, type, name, size);
}

STDMETHODIMP CZipFolder::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  *effect = OffersDropFiles(data) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
  return S_OK;
}

STDMETHODIMP CZipFolder::DragOver(DWORD, POINTL, DWORD*) { return S_OK; }

STDMETHODIMP CZipFolder::DragLeave() { return S_OK; }

STDMETHODIMP CZipFolder::Drop(IDataObject* data, DWORD, POINTL, DWORD*) {
  if (!OffersDropFiles(data)) return E_INVALIDARG;
  // A malformed list is refused like an absent one.  Every other failure
  // has been reported by now; the drop itself is over.
  bool wellFormed = true;
  ComGuard(S_OK, [&] {
    const DropFilesMedium files(data);
    if (!files.Offered()) throw CZipWinException(0, ERROR_INVALID_DATA);
    wellFormed = static_cast<bool>(files);
    if (wellFormed) FolderOperations().AddDroppedFiles(*this, files.get(), nullptr);
  });
  return wellFormed ? S_OK : E_INVALIDARG;
}
