// The folder tree beside the view, as the file browser shows one: the
// opened folder and its sub-folders from EnumObjects and BindToObject, each
// item's context menu (from its parent's GetUIObjectOf) on right-click, and
// each item's drop target for files dragged onto it.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace host {

// Picks a command from a context menu the host built; 0 for none.  The
// default shows the menu at the point and lets the user choose.
using MenuChooser = std::function<UINT(HMENU menu, POINT screen)>;

// Fills a new pop-up from the context menu with the flags, lets the chooser
// (or, without one, the user) pick, and invokes the pick by its offset.
// Returns the verb invoked, or empty.
std::string RunContextMenu(IContextMenu* menu, UINT flags, POINT screen, HWND owner, const MenuChooser& chooser);

class TreePane {
 public:
  TreePane() = default;
  ~TreePane();
  TreePane(const TreePane&) = delete;
  TreePane& operator=(const TreePane&) = delete;

  bool Create(HWND parent, UINT id, HINSTANCE instance);
  // Before the window goes: the drop target is revoked and the folders
  // released.
  void Destroy();
  HWND Window() const { return m_tree; }

  // Shows root (with the given name) and its first level of sub-folders;
  // null empties the tree.
  void SetRoot(IShellFolder* root, const std::wstring& name);
  // Lists the folders again, keeping the expanded ones expanded.
  void Refresh();

  // The item's folder and its child id within its parent (null for the
  // root); the pointers stay the tree's.
  struct Node {
    Microsoft::WRL::ComPtr<IShellFolder> parent;  // null for the root
    PITEMID_CHILD child = nullptr;                // owned
    Microsoft::WRL::ComPtr<IShellFolder> folder;  // bound when first needed
    bool enumerated = false;
  };

  // The item with that label path below the root ("" the root, "a\\b").
  HTREEITEM FindItem(const std::wstring& path) const;
  std::wstring Label(HTREEITEM item) const;
  std::vector<std::wstring> ChildLabels(HTREEITEM item) const;

  // The item's context menu as the file browser builds it for a tree item:
  // chosen by the chooser and invoked.  Returns the verb invoked, or empty.
  std::string ShowContextMenu(HTREEITEM item, POINT screen, HWND owner);
  void SetMenuChooser(MenuChooser chooser) { m_chooser = std::move(chooser); }

  // The drop target of the item's folder (a reference for the caller).
  HRESULT DropTargetOf(HTREEITEM item, IDropTarget** out);

  const MenuChooser& Chooser() const { return m_chooser; }

  // WM_NOTIFY from the tree and WM_CONTEXTMENU from it.
  LRESULT OnNotify(NMHDR* header);
  void OnContextMenu(HWND owner, LPARAM lParam);

 private:
  Node* NodeOf(HTREEITEM item) const;
  IShellFolder* FolderOf(Node& node);
  HTREEITEM Insert(HTREEITEM parent, std::unique_ptr<Node> node, const std::wstring& label, bool hasChildren);
  void FillChildren(HTREEITEM item);
  void DeleteChildren(HTREEITEM item);
  void FreeItem(HTREEITEM item);
  void CollectExpanded(HTREEITEM item, const std::wstring& path, std::vector<std::wstring>& out) const;

  HWND m_tree = nullptr;
  IDropTarget* m_dropTarget = nullptr;  // ours, registered on the tree
  std::wstring m_rootName;
  Microsoft::WRL::ComPtr<IShellFolder> m_root;
  MenuChooser m_chooser;
};

}  // namespace host
