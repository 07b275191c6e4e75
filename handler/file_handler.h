// The context-menu handler the shell asks for on every file and folder:
// "Copy to Zip File" packs the selection into a new archive beside it.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "com_object.h"
#include "handles.h"

class CFileHandler final : public ComObject, public IShellExtInit, public IContextMenu {
 public:
  // What the selection is.
  enum Kind : int32_t { kOneFile = 0, kOneFolder = 1, kSeveral = 2, kZipFile = 3 };

  explicit CFileHandler(IUnknown* outer) : ComObject(outer) {}
  DECLARE_COM_OBJECT()

  // IShellExtInit
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* selection, HKEY progId) override;

  // IContextMenu
  STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) override;
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  STDMETHODIMP GetCommandString(UINT_PTR command, UINT type, UINT* reserved, CHAR* name, UINT size) override;

 protected:
  const InterfaceEntry* Interfaces() const override;

 private:
  // Where the new archive goes: path, and whether a file is already there
  // that the new archive replaces only once it is complete.  False: the
  // user cancelled.
  bool ChooseArchivePath(HWND owner, std::string& path, bool& replaces);
  // Adds the selection to the empty archive at path through the archive
  // object's own drop target.
  void AddSelection(const std::string& archivePath);
  HRESULT CopyToZipFile(HWND owner);

  std::string m_strPath;
  UniqueGlobal m_hDropList;
  int32_t m_nKind = kOneFile;
};

// The class object's creator.
HRESULT CreateFileHandlerObject(IUnknown* outer, REFIID iid, void** out);
