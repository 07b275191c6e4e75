// One folder level of an archive: its members, its sub-folder objects, the
// views showing it, and its face towards the shell.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "com_object.h"
#include "entry_map.h"
#include "folder_menu.h"
#include "item_id.h"
#include "top_folder.h"

class CZipFile;
class AddSpec;
class MemberList;
struct ListingRecord;
struct PropertyTotals;
struct PropertiesPage;

// What a folder needs of a view that shows it.
class IZipFolderView {
 public:
  // Asks the shell browser to refresh; the view then reloads its list.
  virtual void RefreshBrowser() = 0;

 protected:
  ~IZipFolderView() = default;
};

class CZipFolder final : public ComObject,
                         public IShellFolder,
                         public IDropTarget,
                         public IContextMenu,
                         public IExtractIconA,
                         public IMemberTree {
 public:
  // A folder created by the tree; its creator holds the first reference.
  static CZipFolder* CreateSubFolder(CZipFile* root, const std::string& path);
  // The top folder, aggregated into its root and deleted by it.
  static CZipFolder* CreateTopFolder(CZipFile* root, IUnknown* outer);
  // The same, as the archive root's factory wants it (top_folder.h).
  static TopFolder MakeTopFolder(CZipFile* root, IUnknown* outer);
  void DestroyTopFolder() override;

  // IUnknown: the top folder counts on its root; every other folder keeps
  // its root alive for as long as anyone but its parent holds it, through
  // any of its interfaces, its identity included.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // The tree.  Every operation takes the root lock.
  // Files a listed member under its path below this folder, starting at
  // offset; implicit folders are created on the way.
  void AddEntry(const ListingRecord& member, size_t offset = 0);
  void ListMember(const ListingRecord& member) override { AddEntry(member); }
  void Sweep(uint32_t stamp) override;
  // Resolves a\b\ (consuming it); a path without backslash names this folder.
  // The result is only safe under the root lock: a sweep may free it.
  CZipFolder* FindFolder(std::string& path);
  // The same, referenced before the lock is let go; null when none.
  Microsoft::WRL::ComPtr<CZipFolder> FindFolderRef(std::string path);
  // The folder a list of identifiers names below this one, each resolved by
  // its key; null when one has gone.  Throws CZipFailException for a file
  // standing where the path needs a folder.
  Microsoft::WRL::ComPtr<CZipFolder> FolderOfItems(LPCITEMIDLIST list);
  // False once a listing has dropped this folder from the tree (someone
  // still holding it keeps a detached object).
  bool IsInTree();
  bool FindEntry(const std::string& path);
  void LookupEntry(CEntryMap::Position position, MemberEntry& out, uint32_t stamp);
  bool IsListingCurrent(uint32_t stamp);
  void AddView(IZipFolderView* view);
  void RemoveView(IZipFolderView* view);

  const std::string& Path() const { return m_strPath; }
  CZipFile* Root() const { return m_pRoot; }
  // Read under the root lock.
  uint32_t Stamp() const { return m_stamp; }
  int SubFolderCount() const { return m_nSubFolders; }
  const CEntryMap& Entries() const { return m_mapEntries; }

  // Taking members out (operations/).  Each takes the root lock; those that
  // run the engine take the archive mutex as well.  All throw; the caller's
  // boundary reports.
  // The engine's literal member list (member_list.h) for members of this
  // folder: a file itself, a folder with everything below it.
  std::string BuildMemberSpec(const std::vector<std::string>& names);
  // spec: a literal member list; directory: without a trailing backslash.
  void ExtractToDirectory(const std::string& spec, const std::string& directory, HWND parent);
  // The files below this folder set aside for a folder of their name, and
  // the names they are extracted under (see ZIPREQUEST::renamed).  Under the
  // root lock.
  std::map<std::string, std::string> AsideNames() const;
  void OpenMember(const std::string& name, HWND parent);
  // Without a name, the folder's installer.
  void OpenInFolder(HWND parent, const std::string* name);
  bool FindInstaller(std::string* name);
  void UnzipToNewFolder(HWND parent);
  // Where each member lies (or will lie) below directory, as a CF_HDROP
  // block the caller owns.
  HGLOBAL BuildDropList(const std::vector<std::string>& names, const std::string& directory);
  // positions: the view's item offsets or null; the clipboard takes it.
  void CopyToClipboard(const std::vector<std::string>& names, HWND parent, HGLOBAL positions);
  // A data object that extracts when its files are really taken; one
  // reference for the caller.  It takes positions.
  IDataObject* CreateDragData(const std::vector<std::string>& names, HWND parent, HGLOBAL positions);

  // Changing the archive (operations/).  Each takes the root lock and the
  // archive mutex, checks everything before the engine runs, and lists the
  // archive again afterwards.  All throw, Cancel included.
  // The dropped files and directories land in this folder; the caller keeps
  // the list.  A malformed list adds nothing.
  void AddDroppedFiles(HDROP drop, HWND parent);
  // Appends path, and below a directory everything in it, to the add
  // specification or the copy list, and the members it replaces to
  // `replaced`.  Throws on a conflict.
  void CollectForAdd(const std::string& path, const std::string& sourceDir, AddSpec& addSpec,
                     MemberList& replaced, std::vector<std::string>& copyList);
  // A copy of this folder's listed member of that name, read under the root
  // lock, so the caller can ask about it with nothing held.
  std::optional<MemberEntry> ListedMember(const std::string& name);
  bool InTreeNow();
  // After the user's confirmation; an empty list only beeps.
  void DeleteMembers(const std::vector<std::string>& names, HWND parent);
  // name: already accepted by the new-folder dialog.
  void NewFolder(const std::string& name, HWND parent);
  // A folder member may exist only because members lie in it; then the
  // archive holds no entry of its own for it.
  bool HasOwnEntry() const { return m_ownEntryStamp != 0 && m_ownEntryStamp == m_stamp; }

  // The property sheet of the named members, or of this folder when there
  // are none; modal, with nothing locked.
  void ShowProperties(HWND parent, const std::vector<std::string>& names);
  // What that sheet shows, read under the root lock.
  void FillPropertiesPage(const std::vector<std::string>& names, PropertiesPage& page);
  // Adds the sizes and counts of folder's members (all of them, or the named
  // ones with their common type text) to totals, and of everything below.
  void AccumulateTotals(CZipFolder* folder, PropertyTotals& totals, const std::vector<std::string>* names);
  // The folder's last path component; the archive's file name at the top.
  std::string GetFolderDisplayName() const;

  // IShellFolder
  STDMETHODIMP ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*, ULONG*) override;
  STDMETHODIMP EnumObjects(HWND owner, SHCONTF flags, IEnumIDList** out) override;
  STDMETHODIMP BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx*, REFIID iid, void** out) override;
  STDMETHODIMP BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override;
  STDMETHODIMP CompareIDs(LPARAM column, PCUIDLIST_RELATIVE first, PCUIDLIST_RELATIVE second) override;
  STDMETHODIMP CreateViewObject(HWND owner, REFIID iid, void** out) override;
  STDMETHODIMP GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items, SFGAOF* inOut) override;
  STDMETHODIMP GetUIObjectOf(HWND owner, UINT count, PCUITEMID_CHILD_ARRAY items, REFIID iid, UINT*,
                             void** out) override;
  STDMETHODIMP GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF flags, STRRET* name) override;
  STDMETHODIMP SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF, PITEMID_CHILD*) override;

  // IContextMenu: the zip file's own menu (root not browsed) or the menu of
  // the folder itself (the tree's).
  STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) override;
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  STDMETHODIMP GetCommandString(UINT_PTR command, UINT type, UINT* reserved, CHAR* name, UINT size) override;

  // IDropTarget: files dropped here are added to this folder.
  STDMETHODIMP DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragOver(DWORD keys, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragLeave() override;
  STDMETHODIMP Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

  // IExtractIconA: the system's folder icons for everything the shell draws.
  STDMETHODIMP GetIconLocation(UINT flags, LPSTR iconFile, UINT size, int* index, UINT* iconFlags) override;
  STDMETHODIMP Extract(LPCSTR, UINT, HICON*, HICON*, UINT) override;

 protected:
  const InterfaceEntry* Interfaces() const override;
  void* MostDerived() override { return this; }

 private:
  CZipFolder(CZipFile* root, std::string path, IUnknown* outer);
  ~CZipFolder() override;

  // A new sub-folder member's folder object, counted in m_nSubFolders.
  CZipFolder* NewSubFolder(const std::string& name);
  // The folder member of that name, made (and a file of its name set
  // aside) when there is none.
  MemberEntry& FolderMember(std::string_view name, uint32_t stamp);
  // The member's record, or 57673 when it has gone.  Under the root lock.
  // The member an identifier's key names, listing the archive first when
  // this folder does not know it; null when it has gone.  Under the root lock.
  const MemberEntry* MemberOfKey(const char* key);
  MemberEntry& MemberOrSyncError(const std::string& key);
  void ReleaseSubFolder(CZipFolder* folder);

  std::string m_strPath;
  CZipFile* m_pRoot;
  CEntryMap m_mapEntries;
  uint32_t m_stamp = 0;
  uint32_t m_ownEntryStamp = 0;  // the listing that last saw the folder's own entry
  int m_nSubFolders = 0;
  std::set<IZipFolderView*> m_mapViews;
  // The folder's own context menu.
  FolderMenu m_menu;
  bool m_bTop;
};
