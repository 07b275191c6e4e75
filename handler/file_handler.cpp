#include "file_handler.h"

#include "class_objects.h"

HRESULT CreateFileHandlerObject(IUnknown* outer, REFIID iid, void** out) {
  return CreateComInstance<CFileHandler>(outer, iid, out);
}

const InterfaceEntry* CFileHandler::Interfaces() const {
  static const InterfaceEntry table[] = {COM_INTERFACE_ENTRY(CFileHandler, IShellExtInit),
                                         COM_INTERFACE_ENTRY(CFileHandler, IContextMenu), {nullptr, 0}};
  return table;
}

STDMETHODIMP CFileHandler::Initialize(PCIDLIST_ABSOLUTE, IDataObject*, HKEY) {
  // The selection matters only to the menu command, which is not here yet.
  return S_OK;
}

STDMETHODIMP CFileHandler::QueryContextMenu(HMENU, UINT, UINT, UINT, UINT) {
  // Success with zero items added.
  return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0);
}

STDMETHODIMP CFileHandler::InvokeCommand(CMINVOKECOMMANDINFO*) {
  // No command of ours is on the menu, so whatever the shell names is not ours.
  return E_INVALIDARG;
}

STDMETHODIMP CFileHandler::GetCommandString(UINT_PTR, UINT, UINT*, CHAR*, UINT) { return E_INVALIDARG; }
