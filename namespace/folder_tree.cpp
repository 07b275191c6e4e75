// The tree half of a folder: filing listed members, sweeping what a listing
// no longer confirms, and resolving paths.
#include <cstring>
#include <vector>

#include "file_info.h"
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

void CZipFolder::DestroyTopFolder() { delete this; }

CZipFolder::~CZipFolder() {
  CriticalSectionLock lock(m_pRoot->RootLock());
  for (auto position = m_mapEntries.First(); position != nullptr; position = m_mapEntries.Next(position)) {
    CZipFolder* sub = CEntryMap::At(position).pSubFolder;
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

CZipFolder* CZipFolder::NewSubFolder(const char* name) {
  CZipFolder* folder = CreateSubFolder(m_pRoot, m_strPath + name + "\\");
  ++m_nSubFolders;
  return folder;
}

void CZipFolder::ReleaseSubFolder(CZipFolder* folder) {
  --m_nSubFolders;
  folder->InternalRelease();
}

void CZipFolder::AddEntry(ZIPENTRY record) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  char* separator = strchr(record.szName, '\\');
  if (separator != nullptr) {
    const std::string first(record.szName, separator);
    const std::string rest(separator + 1);
    const std::string key = CEntryMap::SortKey(first.c_str());
    ZIPENTRY folderRecord{};
    if (const ZIPENTRY* existing = m_mapEntries.LookupKey(key)) {
      folderRecord = *existing;
    } else {
      SetName(folderRecord.szName, first);
      folderRecord.dwAttributes = FILE_ATTRIBUTE_DIRECTORY;
      FillShellInfo(folderRecord, first, true);
      folderRecord.pSubFolder = NewSubFolder(folderRecord.szName);
    }
    folderRecord.dwListingStamp = record.dwListingStamp;
    m_mapEntries.SetAtKey(folderRecord, key);
    // A file standing where the path needs a folder.
    if (folderRecord.pSubFolder == nullptr) throw CZipFailException(0, 0);
    SetName(record.szName, rest);
    folderRecord.pSubFolder->AddEntry(record);
    return;
  }

  const bool isFolder = (record.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const std::string key = CEntryMap::SortKey(record.szName);
  if (const ZIPENTRY* existing = m_mapEntries.LookupKey(key)) {
    if (isFolder != (existing->pSubFolder != nullptr)) throw CZipFailException(0, 0);
    record.pSubFolder = existing->pSubFolder;
  } else if (isFolder) {
    record.pSubFolder = NewSubFolder(record.szName);
  }
  if (isFolder) record.pSubFolder->m_ownEntryStamp = record.dwListingStamp;
  m_mapEntries.SetAtKey(record, key);
}

void CZipFolder::Sweep(uint32_t stamp) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  std::vector<std::string> gone;
  for (auto position = m_mapEntries.First(); position != nullptr; position = m_mapEntries.Next(position)) {
    const ZIPENTRY& member = CEntryMap::At(position);
    if (member.dwListingStamp != stamp) {
      if (member.pSubFolder != nullptr) {
        member.pSubFolder->Sweep(0);
        ReleaseSubFolder(member.pSubFolder);
      }
      gone.emplace_back(member.szName);
    } else if (member.pSubFolder != nullptr) {
      member.pSubFolder->Sweep(stamp);
    }
  }
  for (const std::string& name : gone) m_mapEntries.Remove(name.c_str());
  m_stamp = stamp;
  for (IZipFolderView* view : m_mapViews) view->RefreshBrowser();
}

CZipFolder* CZipFolder::FindFolder(std::string& path) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  const size_t separator = path.find('\\');
  if (separator == std::string::npos) return this;
  const std::string first = path.substr(0, separator);
  path.erase(0, separator + 1);
  const ZIPENTRY* member = m_mapEntries.Lookup(first.c_str());
  if (member == nullptr) return nullptr;
  if (member->pSubFolder == nullptr) throw CZipFailException(0, 0);
  return member->pSubFolder->FindFolder(path);
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
  if (separator == std::string::npos) return m_mapEntries.Lookup(path.c_str()) != nullptr;
  const ZIPENTRY* member = m_mapEntries.Lookup(path.substr(0, separator).c_str());
  if (member == nullptr) return false;
  if (member->pSubFolder == nullptr) return true;
  return member->pSubFolder->FindEntry(path.substr(separator + 1));
}

void CZipFolder::LookupEntry(CEntryMap::Position position, ZIPENTRY& out, uint32_t stamp) {
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
