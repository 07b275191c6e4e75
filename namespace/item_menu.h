// The context menu of members the shell picked in a folder.  Each request
// gets one of its own, so menus open at the same time (two windows, the tree
// and the view) each act on what was picked for them.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "com_object.h"
#include "folder_menu.h"

class CZipFolder;

class CItemMenu final : public ComObject, public IContextMenu {
 public:
  // Holds a reference on folder (and through it on its root); starts with
  // one for the caller.
  static CItemMenu* Create(CZipFolder* folder, std::vector<std::string> selection);
  DECLARE_COM_OBJECT()

  // IContextMenu
  STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) override;
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  STDMETHODIMP GetCommandString(UINT_PTR command, UINT type, UINT* reserved, CHAR* name, UINT size) override;

 protected:
  const InterfaceEntry* Interfaces() const override;

 private:
  CItemMenu(CZipFolder* folder, std::vector<std::string> selection);
  ~CItemMenu() override;

  Microsoft::WRL::ComPtr<CZipFolder> m_pFolder;
  const std::vector<std::string> m_listSelection;
  FolderMenu m_menu;
};
