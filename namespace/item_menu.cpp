#include "item_menu.h"

#include "zip_folder.h"

CItemMenu* CItemMenu::Create(CZipFolder* folder, std::vector<std::string> selection) {
  auto* menu = new CItemMenu(folder, std::move(selection));
  menu->InternalAddRef();
  return menu;
}

CItemMenu::CItemMenu(CZipFolder* folder, std::vector<std::string> selection)
    : m_pFolder(folder), m_listSelection(std::move(selection)) {}

CItemMenu::~CItemMenu() = default;

const InterfaceEntry* CItemMenu::Interfaces() const {
  static const InterfaceEntry table[] = {COM_INTERFACE_ENTRY(CItemMenu, IContextMenu), {nullptr, 0}};
  return table;
}

STDMETHODIMP CItemMenu::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT, UINT flags) {
  return m_menu.Query(*m_pFolder.Get(), menu, index, firstId, flags);
}

STDMETHODIMP CItemMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) {
  return m_menu.Invoke(*m_pFolder.Get(), m_listSelection, info);
}

STDMETHODIMP CItemMenu::GetCommandString(UINT_PTR command, UINT type, UINT*, CHAR* name, UINT size) {
  return m_menu.CommandString(command, type, name, size);
}
