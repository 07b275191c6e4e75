// The context-menu handler the shell asks for on every file and folder.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "com_object.h"

// Partial: the object, its interfaces and its module lock exist so that the
// class can be registered and created; the "Copy to Zip File" command comes
// with its own work, and until then the handler adds no menu item.
class CFileHandler final : public ComObject, public IShellExtInit, public IContextMenu {
 public:
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
  // The shell holds handlers across its menus; the library stays loaded.
  ModuleLock m_moduleLock;
};
