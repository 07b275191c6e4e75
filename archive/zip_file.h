// The object that stands for one zip file the shell has in hand: its path,
// its locks, its listing, its watcher, and its top folder.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <memory>
#include <string>

#include "com_object.h"
#include "locks.h"

class CZipFolder;
class ChangeWatcher;
class IMemberTree;
struct ZIPREQUEST;

class CZipFile final : public ComObject, public IPersistFolder, public IPersistFile, public IShellExtInit {
 public:
  // A new, unloaded archive object with its top folder aggregated (made by
  // the installed factory, see top_folder.h).
  static CZipFile* Create();
  DECLARE_COM_OBJECT()

  // Lists the archive again when its file changed since the last listing.
  void RefreshListing();
  bool IsReadOnly() const;
  // Changes whenever a listing found the file changed: what a question
  // asked about the members is still about once this is the same.
  uint32_t ListingStamp() const { return m_timeListed; }
  CZipFolder* GetRootFolder() const { return m_pRootFolder; }
  const std::string& ZipPath() const { return m_strZipPath; }
  bool IsBrowsed() const { return m_bBrowsed; }
  CriticalSection& RootLock() { return m_rootLock; }
  const NamedMutex& ArchiveMutex() const { return m_archiveMutex; }
  // Runs the request on a worker thread under the progress dialog, owned by
  // parent; returns when it is done and throws what the worker threw, once
  // the dialog has gone.  Callers hold an ArchiveLock; changes also an
  // ArchiveChange.
  void RunRequest(ZIPREQUEST& request, HWND parent);
  // RunRequest for a request that changes the archive, followed by a new
  // listing, also when it failed, so every view shows what the file holds.
  void RunChange(ZIPREQUEST& request, HWND parent);
  // Takes a reference unless the object is already being destroyed.
  bool TryAddRef();

  // IPersist (for both IPersistFolder and IPersistFile)
  STDMETHODIMP GetClassID(CLSID* id) override;
  // IPersistFolder
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE list) override;
  // IPersistFile
  STDMETHODIMP IsDirty() override { return E_NOTIMPL; }
  STDMETHODIMP Load(LPCOLESTR path, DWORD mode) override;
  STDMETHODIMP Save(LPCOLESTR, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP SaveCompleted(LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP GetCurFile(LPOLESTR*) override { return E_NOTIMPL; }
  // IShellExtInit
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY key) override;

 protected:
  const InterfaceEntry* Interfaces() const override;
  HRESULT QueryAggregates(REFIID iid, void** out) override;

 private:
  CZipFile();
  ~CZipFile() override;
  void LoadPath(const std::string& path);

  std::string m_strZipPath;
  NamedMutex m_archiveMutex;
  CriticalSection m_rootLock;
  bool m_bBrowsed = false;
  // The file's time and size at the last complete listing; zero: not listed.
  uint64_t m_listedFileTime = 0;
  uint64_t m_listedFileSize = 0;
  uint32_t m_timeListed = 0;
  uint32_t m_lastStamp = 0;
  CZipFolder* m_pRootFolder = nullptr;
  IMemberTree* m_pTree = nullptr;
  IUnknown* m_pRootInner = nullptr;
  std::unique_ptr<ChangeWatcher> m_watcher;
};

// The class object's creator.
HRESULT CreateZipFileObject(IUnknown* outer, REFIID iid, void** out);
