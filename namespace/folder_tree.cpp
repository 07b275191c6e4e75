// The tree half of a folder: filing listed members, sweeping what a listing
// no longer confirms, and resolving paths.
#include <shlwapi.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "engine_adaptor.h"
#include "file_info.h"
#include "member_key.h"
#include "strings.h"
#include "locks.h"
#include "resource.h"
#include "zip_exceptions.h"
#include "zip_file.h"
#include "zip_folder.h"

CZipFolder::CZipFolder(CZipFile* root, std::string path, IUnknown* outer)
    : ComObject(outer), m_strPath(std::move(path)), m_pRoot(root), m_bTop(outer != nullptr) {}

CZipFolder* CZipFolder::CreateSubFolder(CZipFile* root, const std::string& path) {
  auto* folder = new CZipFolder(root, path, nullptr);
  folder->InternalAddRef();
  return folder;
}

CZipFolder* CZipFolder::CreateTopFolder(CZipFile* root, IUnknown* outer) { return new CZipFolder(root, "", outer); }

TopFolder CZipFolder::MakeTopFolder(CZipFile* root, IUnknown* outer) {
  CZipFolder* folder = CreateTopFolder(root, outer);
  return {folder, folder, folder->InnerUnknown()};
}

void CZipFolder::DestroyTopFolder() { delete this; }

CZipFolder::~CZipFolder() {
  CriticalSectionLock lock(m_pRoot->RootLock());
  for (auto position = m_mapEntries.First(); position != nullptr; position = m_mapEntries.Next(position)) {
    CZipFolder* sub = CEntryMap::At(position).subFolder;
    if (sub != nullptr) ReleaseSubFolder(sub);
  }
}

HRESULT CZipFolder::QueryInterface(REFIID iid, void** out) {
  // The base answers IUnknown with an inner object that counts only this
  // folder; a sub-folder's identity must keep its root alive as well.
  if (!m_bTop && out != nullptr && IsEqualIID(iid, IID_IUnknown)) {
    *out = static_cast<IShellFolder*>(this);
    AddRef();
    return S_OK;
  }
  return ExternalQueryInterface(iid, out);
}

ULONG CZipFolder::AddRef() {
  if (m_bTop) return ExternalAddRef();
  m_pRoot->ControllingUnknown()->AddRef();
  return InternalAddRef();
}

ULONG CZipFolder::Release() {
  if (m_bTop) return ExternalRelease();
  // The root goes last: this folder's destructor still needs its lock.
  IUnknown* root = m_pRoot->ControllingUnknown();
  const ULONG remaining = InternalRelease();
  root->Release();
  return remaining;
}

CZipFolder* CZipFolder::NewSubFolder(const std::string& name) {
  CZipFolder* folder = CreateSubFolder(m_pRoot, m_strPath + name + "\\");
  ++m_nSubFolders;
  return folder;
}

void CZipFolder::ReleaseSubFolder(CZipFolder* folder) {
  --m_nSubFolders;
  folder->InternalRelease();
}

namespace {

// The icon and the extension rule of the member's type, taken from its key,
// which has the real name's extension.
void FillType(MemberEntry& entry) {
  const bool isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  std::string odd;
  if (entry.aside || !IsPlainKey(entry.name)) odd = entry.Key();
  const char* key = odd.empty() ? entry.name.c_str() : odd.c_str();
  const ShellType type = ShellTypeOf(key, isFolder);
  entry.icon = type.icon;
  // A name that is all extension keeps it.
  entry.hidesExtension = type.hidesExtension && PathFindExtensionA(key) != key;
}

}  // namespace

MemberEntry& CZipFolder::FolderMember(std::string_view name, uint32_t stamp) {
  if (MemberEntry* existing = m_mapEntries.Find(name)) {
    if (existing->IsFolder()) {
      existing->stamp = stamp;
      return *existing;
    }
    // A file of the folder's name: the folder keeps the name, the file goes
    // aside under a tagged one that stays the same from listing to listing.
    MemberEntry file = *existing;
    m_mapEntries.Remove(name);
    file.aside = true;
    FillType(file);
    m_mapEntries.Set(std::move(file));
  }
  MemberEntry folder;
  folder.name = name;
  folder.attributes = FILE_ATTRIBUTE_DIRECTORY;
  folder.stamp = stamp;
  FillType(folder);
  folder.subFolder = NewSubFolder(folder.name);
  return m_mapEntries.Set(std::move(folder));
}

void CZipFolder::AddEntry(const ListingRecord& member, size_t offset) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  const ZIPENTRY& listed = member.record;
  const uint32_t stamp = listed.dwListingStamp;
  const std::string_view path(member.path);
  const size_t separator = path.find('\\', offset);
  if (separator != std::string_view::npos) {
    MemberEntry& folder = FolderMember(path.substr(offset, separator - offset), stamp);
    folder.subFolder->AddEntry(member, separator + 1);
    return;
  }
  const std::string_view name = path.substr(offset);
  if (listed.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    MemberEntry& folder = FolderMember(name, stamp);
    folder.attributes = listed.dwAttributes;
    folder.modified = listed.ftModified;
    folder.size = member.size;
    folder.compressedSize = member.compressedSize;
    folder.subFolder->m_ownEntryStamp = stamp;
    return;
  }
  MemberEntry file;
  file.name = name;
  const MemberEntry* existing = m_mapEntries.Find(name);
  file.aside = existing != nullptr && existing->IsFolder();
  file.attributes = listed.dwAttributes;
  file.modified = listed.ftModified;
  file.stamp = stamp;
  file.size = member.size;
  file.compressedSize = member.compressedSize;
  FillType(file);
  if (file.aside) {
    if (const MemberEntry* same = m_mapEntries.Find(file.Shown()); same != nullptr && same->IsFolder())
      ReleaseSubFolder(same->subFolder);  // only a tag collision gets here
  }
  m_mapEntries.Set(std::move(file));
}

void CZipFolder::Sweep(uint32_t stamp) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  for (auto position = m_mapEntries.First(); position != nullptr; position = m_mapEntries.Next(position)) {
    const MemberEntry& member = CEntryMap::At(position);
    if (member.stamp != stamp) {
      if (member.IsFolder()) {
        member.subFolder->Sweep(0);
        ReleaseSubFolder(member.subFolder);
      }
      m_mapEntries.RemoveAt(position);
    } else if (member.IsFolder()) {
      member.subFolder->Sweep(stamp);
    }
  }
  // A file set aside for a folder that has gone takes its own name again.
  std::vector<MemberEntry> back;
  for (auto position = m_mapEntries.First(); position != nullptr; position = m_mapEntries.Next(position)) {
    const MemberEntry& member = CEntryMap::At(position);
    if (member.IsAside() && m_mapEntries.Find(member.name) == nullptr) back.push_back(member);
  }
  for (MemberEntry& file : back) {
    m_mapEntries.Remove(file.Shown());
    file.aside = false;
    FillType(file);
    m_mapEntries.Set(std::move(file));
  }
  m_stamp = stamp;
  for (IZipFolderView* view : m_mapViews) view->RefreshBrowser();
}

CZipFolder* CZipFolder::FindFolder(std::string& path) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  const size_t separator = path.find('\\');
  if (separator == std::string::npos) return this;
  const std::string first = path.substr(0, separator);
  path.erase(0, separator + 1);
  const MemberEntry* member = m_mapEntries.Find(first);
  if (member == nullptr) return nullptr;
  if (!member->IsFolder()) throw CZipFailException(0, 0);
  return member->subFolder->FindFolder(path);
}

Microsoft::WRL::ComPtr<CZipFolder> CZipFolder::FindFolderRef(std::string path) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  return Microsoft::WRL::ComPtr<CZipFolder>(FindFolder(path));
}

bool CZipFolder::IsInTree() {
  CriticalSectionLock lock(m_pRoot->RootLock());
  if (m_bTop) return true;
  std::string path = m_strPath;
  try {
    return m_pRoot->GetRootFolder()->FindFolder(path) == this;
  } catch (const CException&) {
    return false;  // a file now stands where the folder was
  }
}

bool CZipFolder::FindEntry(const std::string& path) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  const size_t separator = path.find('\\');
  if (separator == std::string::npos) return m_mapEntries.Find(path) != nullptr;
  const MemberEntry* member = m_mapEntries.Find(path.substr(0, separator));
  if (member == nullptr) return false;
  if (!member->IsFolder()) return true;
  return member->subFolder->FindEntry(path.substr(separator + 1));
}

void CZipFolder::LookupEntry(CEntryMap::Position position, MemberEntry& out, uint32_t stamp) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  if (stamp != m_stamp) throw CZipUserException(IDS_SYNC_ERROR);
  if (position == nullptr) position = m_mapEntries.First();
  if (position == nullptr) throw CZipUserException(IDS_SYNC_ERROR);
  out = CEntryMap::At(position);
}

bool CZipFolder::IsListingCurrent(uint32_t stamp) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  m_pRoot->RefreshListing();
  return stamp == m_stamp;
}

void CZipFolder::AddView(IZipFolderView* view) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  m_mapViews.insert(view);
}

void CZipFolder::RemoveView(IZipFolderView* view) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  m_mapViews.erase(view);
}

const MemberEntry* CZipFolder::MemberOfKey(const char* key) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  if (const MemberEntry* member = m_mapEntries.FindKey(key)) return member;
  // An identifier the shell kept may name a member of an archive this
  // object has not listed yet, or of a newer version of it.
  m_pRoot->RefreshListing();
  return m_mapEntries.FindKey(key);
}

MemberEntry& CZipFolder::MemberOrSyncError(const std::string& key) {
  const MemberEntry* member = MemberOfKey(key.c_str());
  if (member == nullptr) throw CZipUserException(IDS_SYNC_ERROR);
  return const_cast<MemberEntry&>(*member);
}

Microsoft::WRL::ComPtr<CZipFolder> CZipFolder::FolderOfItems(LPCITEMIDLIST list) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  CZipFolder* folder = this;
  for (LPCITEMIDLIST item = list; !ILIsEmpty(item); item = ILNext(item)) {
    // An item too short for its own size field names nothing.
    if (item->mkid.cb < sizeof(uint16_t)) return nullptr;
    const ZIPENTRY record = ReadItemId(item);
    const MemberEntry* member = folder->MemberOfKey(record.szName);
    if (member == nullptr) return nullptr;
    // A file standing where the path needs a folder.
    if (!member->IsFolder()) throw CZipFailException(0, 0);
    folder = member->subFolder;
  }
  return Microsoft::WRL::ComPtr<CZipFolder>(folder);
}
