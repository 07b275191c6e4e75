#include "zip_file.h"

#include <shellapi.h>

#include <atomic>
#include <stdexcept>

#include "archive_lock.h"
#include "change_watcher.h"
#include "class_ids.h"
#include "drop_data.h"
#include "engine_adaptor.h"
#include "file_info.h"
#include "guard.h"
#include "handles.h"
#include "strings.h"
#include "zip_exceptions.h"
#include "top_folder.h"
#include "user_interaction.h"
#include "zip_request.h"

namespace {

uint64_t ToUint64(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Seconds since 1970-01-01 of a file time, as the listing stamps count.
uint32_t StampOf(const FILETIME& time) {
  constexpr uint64_t kEpoch = 116444736000000000ull;
  const uint64_t ticks = ToUint64(time);
  return ticks > kEpoch ? static_cast<uint32_t>((ticks - kEpoch) / 10000000ull) : 0;
}

std::atomic<TopFolderFactory> g_topFolderFactory{nullptr};

}  // namespace

void InstallTopFolderFactory(TopFolderFactory factory) { g_topFolderFactory.store(factory); }

CZipFile* CZipFile::Create() {
  auto* file = new CZipFile();
  return file;
}

CZipFile::CZipFile() {
  const TopFolderFactory factory = g_topFolderFactory.load();
  if (factory == nullptr) throw std::logic_error("no top folder factory installed");
  const TopFolder top = factory(this, ControllingUnknown());
  m_pRootFolder = top.folder;
  m_pTree = top.tree;
  m_pRootInner = top.inner;
}

CZipFile::~CZipFile() {
  m_watcher.reset();  // stops the watcher before anything it could use goes
  m_pTree->DestroyTopFolder();
}

const InterfaceEntry* CZipFile::Interfaces() const {
  static const InterfaceEntry table[] = {COM_INTERFACE_ENTRY(CZipFile, IPersistFolder),
                                         COM_INTERFACE_ENTRY(CZipFile, IPersistFile),
                                         COM_INTERFACE_ENTRY(CZipFile, IShellExtInit),
                                         COM_INTERFACE_ENTRY_AS(CZipFile, IPersist, IPersistFolder),
                                         {nullptr, 0}};
  return table;
}

HRESULT CZipFile::QueryAggregates(REFIID iid, void** out) { return m_pRootInner->QueryInterface(iid, out); }

void CZipFile::RunRequest(ZIPREQUEST& request, HWND parent) {
  request.pRoot = this;
  request.pException = nullptr;
  const INT_PTR result = UserInteraction().RunWithProgress(ExecuteRequest, request, parent);
  if (request.pException) std::rethrow_exception(request.pException);
  if (result == -1) throw CZipWinException();
}

void CZipFile::RunChange(ZIPREQUEST& request, HWND parent) {
  try {
    RunRequest(request, parent);
  } catch (...) {
    // A change that failed part-way may still have changed the file.
    try {
      RefreshListing();
    } catch (...) {
    }
    throw;
  }
  RefreshListing();
}

bool CZipFile::TryAddRef() { return InternalTryAddRef(); }

STDMETHODIMP CZipFile::GetClassID(CLSID* id) {
  if (id == nullptr) return E_POINTER;
  *id = CLSID_ZipFile;
  return S_OK;
}

void CZipFile::LoadPath(const std::string& path) {
  m_strZipPath = path;
  if (!m_archiveMutex.Create(ArchiveMutexName(Utf8ToWide(path)))) throw CZipWinException(0, 0);
  m_watcher = ChangeWatcher::Start(this);
}

STDMETHODIMP CZipFile::Load(LPCOLESTR path, DWORD) {
  return ComGuard(S_OK, [&]() -> HRESULT {
    if (!m_strZipPath.empty()) return S_FALSE;
    LoadPath(path != nullptr ? WideToUtf8(path) : std::string());
    return S_OK;
  });
}

STDMETHODIMP CZipFile::Initialize(PCIDLIST_ABSOLUTE list) {
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    m_bBrowsed = true;
    // Read wide: the ANSI call would best-fit the name into another one.
    WCHAR path[MAX_PATH] = L"";
    if (list == nullptr || !SHGetPathFromIDListW(list, path)) return E_FAIL;
    if (!m_strZipPath.empty()) return S_FALSE;
    LoadPath(WideToUtf8(path));
    return S_OK;
  });
}

STDMETHODIMP CZipFile::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    const DropFilesMedium files(data);
    if (!files.Offered()) return S_OK;
    const auto paths = ReadDropFiles(files.get());
    if (!paths) return E_INVALIDARG;
    if (paths->size() != 1) return S_OK;
    if (!m_strZipPath.empty()) return S_FALSE;
    LoadPath(paths->front());
    return S_OK;
  });
}

void CZipFile::RefreshListing() {
  // An object not loaded yet has no file to list, nor a mutex to take.
  if (m_strZipPath.empty()) return;
  const ArchiveLock archiveLock(*this);

  // Only the times are read: other programs may write, replace or delete the
  // archive meanwhile, so a refresh never makes their change fail.
  UniqueFileHandle file(CreateFileW(FileSystemPath(m_strZipPath).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
  if (!file) {
    if (m_timeListed != 0) {
      m_timeListed = 0;
      m_listedFileTime = 0;
      m_pTree->Sweep(0);
    }
    return;
  }
  FILETIME created, accessed, written;
  LARGE_INTEGER size{};
  if (!GetFileTime(file.get(), &created, &accessed, &written) || !GetFileSizeEx(file.get(), &size))
    throw CZipWinException(0, 0);
  if (!CloseHandle(file.release())) throw CZipWinException(0, 0);

  // The file's full time and size decide whether it changed: two changes in
  // one second must both be seen.
  const uint64_t fileTime = ToUint64(written);
  const auto fileSize = static_cast<uint64_t>(size.QuadPart);
  if (m_timeListed != 0 && fileTime == m_listedFileTime && fileSize == m_listedFileSize) return;

  // Each listing gets a stamp of its own, so the sweep removes exactly what
  // this listing did not confirm even when the file's second did not move.
  uint32_t stamp = StampOf(written);
  if (stamp <= m_lastStamp) stamp = m_lastStamp + 1;
  m_lastStamp = stamp;

  m_timeListed = 0;
  ResetShellInfoCache();
  MemberListing listing(m_strZipPath);
  ListingRecord member;
  for (int32_t i = 0; i < listing.Count() && !listing.Ended(); ++i)
    if (listing.Next(member, stamp)) m_pTree->ListMember(member);
  m_pTree->Sweep(stamp);
  m_timeListed = stamp;
  m_listedFileTime = fileTime;
  m_listedFileSize = fileSize;
}

bool CZipFile::IsReadOnly() const {
  const DWORD attributes = GetFileAttributesW(FileSystemPath(m_strZipPath).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) throw CZipWinException(0, 0);
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

HRESULT CreateZipFileObject(IUnknown* outer, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  return ComGuard(E_OUTOFMEMORY, [&]() -> HRESULT {
    return CZipFile::Create()->QueryNewObject(iid, out);
  });
}
