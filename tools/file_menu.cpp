// The zip file's own context menu, as the file browser shows it for a
// right-click on the file: the archive class created for the file and
// initialised through IShellExtInit with the file's data object.
#include <shlwapi.h>
#include <wrl/client.h>

#include "shell_host.h"

using Microsoft::WRL::ComPtr;

namespace host {

namespace {
// A file item's menu as the browser asks for it.
constexpr UINT kFileMenuFlags = CMF_NORMAL | CMF_CANRENAME;
}  // namespace

std::string ShellHost::ShowFileContextMenu(POINT screen) {
  if (m_archivePath.empty()) return {};
  // The file's data object, from its parent folder, as the browser has it.
  PIDLIST_ABSOLUTE pidl = nullptr;
  if (FAILED(SHParseDisplayName(m_archivePath.c_str(), nullptr, &pidl, 0, nullptr))) return {};
  ComPtr<IShellFolder> parent;
  PCUITEMID_CHILD child = nullptr;
  ComPtr<IDataObject> data;
  HRESULT hr = SHBindToParent(pidl, IID_PPV_ARGS(&parent), &child);
  if (SUCCEEDED(hr))
    hr = parent->GetUIObjectOf(m_frame, 1, &child, IID_IDataObject, nullptr, reinterpret_cast<void**>(data.GetAddressOf()));
  PIDLIST_ABSOLUTE folderPidl = ILCloneFull(pidl);
  if (folderPidl) ILRemoveLastID(folderPidl);
  ComPtr<IShellExtInit> init;
  if (SUCCEEDED(hr)) hr = CoCreateInstance(m_archiveClass, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&init));
  if (SUCCEEDED(hr)) hr = init->Initialize(folderPidl, data.Get(), nullptr);
  CoTaskMemFree(folderPidl);
  CoTaskMemFree(pidl);
  ComPtr<IContextMenu> menu;
  if (SUCCEEDED(hr)) hr = init.As(&menu);
  if (FAILED(hr)) {
    Fail(L"The zip file has no context menu", hr);
    return {};
  }

  return RunContextMenu(menu.Get(), kFileMenuFlags, screen, m_frame, m_tree.Chooser());
}

}  // namespace host
