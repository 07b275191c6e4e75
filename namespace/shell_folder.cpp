// The face a folder shows the shell: IShellFolder and IExtractIconA.
#include <cstring>
#include <vector>

#include "enum_idlist.h"
#include "folder_operations.h"
#include "guard.h"
#include "item_menu.h"
#include "locks.h"
#include "strings.h"
#include "view_creator.h"
#include "zip_exceptions.h"
#include "zip_file.h"
#include "zip_folder.h"

namespace {
constexpr SFGAOF kItemFlags = SFGAO_FOLDER | SFGAO_DROPTARGET | SFGAO_HASPROPSHEET | SFGAO_CANDELETE | SFGAO_CANCOPY;
constexpr SFGAOF kFolderFlags = SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_DROPTARGET;

// An identifier's display name, in the member's real spelling when the
// identifier still carries the member's own.
std::wstring DisplayOfItem(const ZIPENTRY& item, const MemberEntry& member) {
  if (strcmp(item.szDisplayName, member.Record().szDisplayName) == 0) return Utf8ToWide(member.Display());
  return AnsiToWide(item.szDisplayName);
}
}  // namespace

const InterfaceEntry* CZipFolder::Interfaces() const {
  static const InterfaceEntry table[] = {COM_INTERFACE_ENTRY(CZipFolder, IShellFolder),
                                         COM_INTERFACE_ENTRY(CZipFolder, IDropTarget),
                                         COM_INTERFACE_ENTRY(CZipFolder, IContextMenu),
                                         COM_INTERFACE_ENTRY(CZipFolder, IExtractIconA), {nullptr, 0}};
  return table;
}

STDMETHODIMP CZipFolder::ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*, ULONG*) {
  return E_NOTIMPL;
}

STDMETHODIMP CZipFolder::EnumObjects(HWND, SHCONTF flags, IEnumIDList** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (flags & SHCONTF_NONFOLDERS) return E_INVALIDARG;
  return ComGuard(E_FAIL, [&] {
    std::vector<ZIPENTRY> folders;
    {
      CriticalSectionLock lock(m_pRoot->RootLock());
      m_pRoot->RefreshListing();
      for (auto position = m_mapEntries.First(); position != nullptr; position = m_mapEntries.Next(position)) {
        const MemberEntry& member = CEntryMap::At(position);
        if (member.IsFolder()) folders.push_back(member.Record());
      }
    }
    *out = CZipEnumIDList::Create(std::move(folders));
  });
}

STDMETHODIMP CZipFolder::BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx*, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    if (pidl == nullptr || pidl->mkid.cb == 0) return E_INVALIDARG;
    Microsoft::WRL::ComPtr<CZipFolder> folder = FolderOfItems(pidl);
    if (folder == nullptr) return E_FAIL;
    if (IsEqualIID(iid, IID_IShellFolder)) {
      *out = static_cast<IShellFolder*>(folder.Detach());
    } else if (IsEqualIID(iid, IID_IDropTarget)) {
      *out = static_cast<IDropTarget*>(folder.Detach());
    } else if (IsEqualIID(iid, IID_IContextMenu)) {
      *out = static_cast<IContextMenu*>(folder.Detach());
    } else {
      return E_NOINTERFACE;
    }
    return S_OK;
  });
}

STDMETHODIMP CZipFolder::BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CZipFolder::CompareIDs(LPARAM, PCUIDLIST_RELATIVE first, PCUIDLIST_RELATIVE second) {
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    const ZIPENTRY a = ReadItemId(first);
    const ZIPENTRY b = ReadItemId(second);
    std::wstring nameA, nameB;
    {
      CriticalSectionLock lock(m_pRoot->RootLock());
      const MemberEntry* memberA = MemberOfKey(a.szName);
      const MemberEntry* memberB = MemberOfKey(b.szName);
      if (memberA == nullptr || memberB == nullptr) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
      // The identifiers' own display names decide, in their real spelling.
      nameA = DisplayOfItem(a, *memberA);
      nameB = DisplayOfItem(b, *memberB);
    }
    const int order = lstrcmpW(nameA.c_str(), nameB.c_str());
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, static_cast<unsigned short>(order < 0 ? -1 : order > 0 ? 1 : 0));
  });
}

STDMETHODIMP CZipFolder::CreateViewObject(HWND owner, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return CreateFolderView(this, owner, iid, out);
}

STDMETHODIMP CZipFolder::GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items, SFGAOF* inOut) {
  if (inOut == nullptr) return E_POINTER;
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    if (count == 0) {
      m_pRoot->RefreshListing();
      *inOut &= kFolderFlags;
      return S_OK;
    }
    if (items == nullptr) return E_INVALIDARG;
    HRESULT result = S_OK;
    CriticalSectionLock lock(m_pRoot->RootLock());
    for (UINT i = 0; i < count; ++i) {
      const ZIPENTRY item = ReadItemId(items[i]);
      SFGAOF flags = 0;
      if (const MemberEntry* member = MemberOfKey(item.szName)) {
        flags = kItemFlags;
        if ((*inOut & SFGAO_HASSUBFOLDER) && member->IsFolder() && member->subFolder->SubFolderCount() > 0)
          flags |= SFGAO_HASSUBFOLDER;
      } else {
        result = E_INVALIDARG;
      }
      *inOut &= flags;
    }
    return result;
  });
}

STDMETHODIMP CZipFolder::GetUIObjectOf(HWND, UINT count, PCUITEMID_CHILD_ARRAY items, REFIID iid, UINT*,
                                       void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IExtractIconA)) {
    AddRef();
    *out = static_cast<IExtractIconA*>(this);
    return S_OK;
  }
  if (IsEqualIID(iid, IID_IDataObject)) {
    if (count == 0 || items == nullptr) return E_INVALIDARG;
    return ComGuard(E_FAIL, [&] {
      std::vector<std::string> names;
      for (UINT i = 0; i < count; ++i) names.emplace_back(ReadItemId(items[i]).szName);
      *out = FolderOperations().CreateDragData(*this, names);
    });
  }
  if (IsEqualIID(iid, IID_IContextMenu)) {
    return ComGuard(E_FAIL, [&] {
      std::vector<std::string> names;
      for (UINT i = 0; i < count && items != nullptr; ++i) names.emplace_back(ReadItemId(items[i]).szName);
      *out = static_cast<IContextMenu*>(CItemMenu::Create(this, std::move(names)));
    });
  }
  if (IsEqualIID(iid, IID_IExtractIconW)) return E_NOINTERFACE;
  if (count == 0 || items == nullptr) return E_INVALIDARG;
  return BindToObject(items[0], nullptr, iid, out);
}

STDMETHODIMP CZipFolder::GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF flags, STRRET* name) {
  if (name == nullptr || item == nullptr) return E_POINTER;
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    const ZIPENTRY record = ReadItemId(item);
    std::wstring text;
    {
      CriticalSectionLock lock(m_pRoot->RootLock());
      const MemberEntry* member = MemberOfKey(record.szName);
      if ((flags & 0xFF00) == SHGDN_FORPARSING) {
        text = Utf8ToWide(m_pRoot->ZipPath() + " : " + m_strPath) +
               (member != nullptr ? Utf8ToWide(member->Shown()) : AnsiToWide(record.szName));
      } else {
        // A member no listing confirms any more keeps the name it was given.
        text = member != nullptr ? Utf8ToWide(member->Display()) : AnsiToWide(record.szDisplayName);
      }
    }
    // Always the wide form: the ANSI field can neither spell every name nor
    // hold a long one.
    auto* wide = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (wide == nullptr) throw CZipWinException(0, ERROR_NOT_ENOUGH_MEMORY);
    memcpy(wide, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    name->uType = STRRET_WSTR;
    name->pOleStr = wide;
    return S_OK;
  });
}

STDMETHODIMP CZipFolder::SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF, PITEMID_CHILD* out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CZipFolder::GetIconLocation(UINT flags, LPSTR iconFile, UINT size, int* index, UINT* iconFlags) {
  if (iconFile == nullptr || index == nullptr || iconFlags == nullptr) return E_POINTER;
  lstrcpynA(iconFile, "shell32.dll", static_cast<int>(size));
  *index = (flags & GIL_OPENICON) ? 4 : 3;
  *iconFlags = GIL_PERCLASS;
  return S_OK;
}

STDMETHODIMP CZipFolder::Extract(LPCSTR, UINT, HICON*, HICON*, UINT) { return E_NOTIMPL; }
