// The shell view of one archive folder: the window Explorer hosts in its
// right-hand pane, with the item list, the view's toolbar buttons and
// accelerators, and the column layout one view hands on to the next.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "browser_commands.h"
#include "com_object.h"
#include "entry_map.h"
#include "item_id.h"
#include "list_ctrl.h"
#include "view_drop_target.h"
#include "zip_folder.h"

// The column layout: which optional columns show, and the width of each of
// the seven column kinds.
struct VIEWCOLUMNS {
  uint32_t showCompressedSize;
  uint32_t showRatio;
  uint32_t showAttributes;
  int32_t widths[7];
};
static_assert(sizeof(VIEWCOLUMNS) == 40);

// Column kinds, as the sort key and the column positions name them.
enum ColumnKind : int {
  kColumnName,
  kColumnSize,
  kColumnType,
  kColumnModified,
  kColumnCompressed,
  kColumnRatio,
  kColumnAttributes,
  kColumnKinds
};

// One row of the list: what its texts and its order need, taken from the
// member when the list is filled, so that neither asks the folder again.
struct ViewRow {
  CEntryMap::Position position;  // the member, while the listing token holds
  std::wstring display;
  std::string key;  // the record's key: its extension gives the type
  uint64_t size;
  uint64_t compressedSize;
  FILETIME modified;
  DWORD attributes;
  bool isFolder;
  int icon;
  // The shell's type name, asked once per fill when first shown or sorted on.
  std::optional<std::string> typeName;
};

// GetCurrentInfo with this ViewMode asks a view of this system for its column
// layout.
constexpr UINT kViewColumnsMarker = 0x11111111;
// Posted to the view window by RefreshBrowser, which may run on the change
// watcher's thread: the browser is only ever called from the view's thread.
constexpr UINT kMsgRefreshBrowser = WM_APP + 0x21;

// How a view recognises a predecessor of its own kind and takes its column
// layout: a pointer to the block does not fit in ViewMode where pointers are
// 64-bit, so the block is copied through an interface only our views answer.
extern const IID IID_IZipViewColumns;
struct IZipViewColumns : public IUnknown {
  // Brings the widths up to date from the list and copies the block.
  virtual HRESULT STDMETHODCALLTYPE GetViewColumns(VIEWCOLUMNS* columns) = 0;
};

class CZipView final : public ComObject, public IShellView, public IZipViewColumns, public IZipFolderView {
 public:
  // A new view of folder with one reference.
  static CZipView* Create(CZipFolder* folder, HWND owner);
  DECLARE_COM_OBJECT()

  // IOleWindow
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IShellView
  STDMETHODIMP TranslateAccelerator(MSG* msg) override;
  STDMETHODIMP EnableModeless(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP UIActivate(UINT state) override;
  STDMETHODIMP Refresh() override;
  STDMETHODIMP CreateViewWindow(IShellView* previous, LPCFOLDERSETTINGS settings, IShellBrowser* browser,
                                RECT* rect, HWND* window) override;
  STDMETHODIMP DestroyViewWindow() override;
  STDMETHODIMP GetCurrentInfo(LPFOLDERSETTINGS settings) override;
  STDMETHODIMP AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM) override { return E_NOTIMPL; }
  STDMETHODIMP SaveViewState() override { return S_OK; }
  STDMETHODIMP SelectItem(PCUITEMID_CHILD, SVSIF) override { return S_OK; }
  STDMETHODIMP GetItemObject(UINT, REFIID, void** out) override;
  // IZipViewColumns
  STDMETHODIMP GetViewColumns(VIEWCOLUMNS* columns) override;
  // IZipFolderView: safe from any thread.
  void RefreshBrowser() override;

  // The item list.
  void InsertColumns();
  void ApplyViewStyle();
  UINT CurrentViewModeCommand() const;
  void FillList();
  void SortList();
  static int CALLBACK CompareItems(LPARAM first, LPARAM second, LPARAM view);
  // The row a list item's data names; nullptr for none.
  ViewRow* RowOf(LPARAM data);
  // A cell's text as the list shows it; position counts the shown columns.
  std::wstring CellText(ViewRow& row, int position);
  MemberEntry GetEntryAt(int index);
  std::vector<std::string> GetSelectedNames();
  void SelectAll();
  void InvertSelection();

  CZipFolder* Folder() const { return m_pFolder.Get(); }
  // Where the selected rows lie relative to anchor (client coordinates): the
  // anchor on the screen, then each row's offset; the caller owns the block.
  HGLOBAL MakeItemOffsets(POINT anchor);
  HWND ListWindow() const { return m_list.GetSafeHwnd(); }
  // While a drag of this view's members runs.
  bool IsDraggingOut() const { return m_bDraggingOut; }
  const VIEWCOLUMNS& Columns() const { return m_columns; }
  const FOLDERSETTINGS& Settings() const { return m_folderSettings; }
  int SortKey() const { return m_sortKey; }
  bool SortAscending() const { return m_bSortAscending; }
  int ColumnKindAt(int position) const { return m_columnKinds[position]; }
  uint32_t ListingToken() const { return m_listingToken; }
  uint64_t TotalSize() const { return m_totalSize; }

 protected:
  const InterfaceEntry* Interfaces() const override;

 private:
  // After the window exists: takes over the predecessor's layout or sets up
  // the toolbar, and fills the list with the folder.
  void ShowFolder(IShellView* previous);
  // The list and the view's window, the drop registration first.
  void DestroyWindows();
  CZipView(CZipFolder* folder, HWND owner);
  ~CZipView() override;

  static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  int OnCreate();
  void OnCommand(WPARAM wParam, LPARAM lParam);
  void OnNotify(NMHDR& header);
  void OnGetDispInfo(NMLVDISPINFOW& info);
  void OnColumnClick(int position);
  // The status bar: menu help while a menu is open, else the row summary.
  void OnMenuSelect(WPARAM wParam);
  void OnItemChanged(const NMLISTVIEW& change);
  void OnBeginDrag(const NMLISTVIEW& start);
  void ShowSelectionSummary();
  void OnRefreshBrowser();
  void SetUpToolbar();
  void SetDefaultColumns();
  void UpdateColumnWidths();
  // Menus (view_menus.cpp).
  void MergeMenus(bool focus);
  void InsertMenuItems(HMENU target, UINT resource, UINT position);
  void OnInitMenuPopup(HMENU menu);
  bool InstallerOffered();
  bool FirstSelectedIsFile();
  // lParam: the screen point, or (-1, -1) from the keyboard.
  void OnContextMenu(LPARAM lParam);
  void OnToolTipText(NMHDR& header);
  // Item commands (view_commands.cpp); false for a command they do not know.
  bool OnItemCommand(UINT id);
  void OnCopy();
  void OnPaste();
  // Beeps unless exactly one row is selected.
  bool OneSelectedEntry(MemberEntry& member);
  void OnOpenInFolder();
  void OnOpen();
  void SortBy(int key);
  void SetViewMode(UINT mode);

  Microsoft::WRL::ComPtr<CZipFolder> m_pFolder;
  HWND m_hwndOwner;
  std::atomic<HWND> m_hWnd{nullptr};
  uint32_t m_listingToken = 0;
  HMENU m_sharedMenu;
  HACCEL m_accelerators = nullptr;
  FOLDERSETTINGS m_folderSettings{};
  VIEWCOLUMNS m_columns{};
  Microsoft::WRL::ComPtr<IShellBrowser> m_pBrowser;
  CZipListCtrl m_list;
  CZipViewDropTarget m_dropTarget{*this};
  int m_sortKey = kColumnName;
  bool m_bSortAscending = true;
  int m_columnKinds[kColumnKinds] = {};
  int m_columnCount = 0;
  // The rows of the last fill; an item's data is its index here plus one.
  std::vector<ViewRow> m_rows;
  uint64_t m_totalSize = 0;
  uint64_t m_selectedSize = 0;
  int m_selectedFileCount = 0;
  bool m_bHasSelection = false;
  bool m_bDraggingOut = false;
  // Set while the windows go: the list's focus loss must not merge menus again.
  bool m_bClosing = false;
};

// The folder side of a list fill: one row per member of the folder, under the
// archive's lock.  False when the folder has no listing.
bool FillListView(CZipFolder& folder, std::vector<ViewRow>& rows, uint64_t& totalSize, uint32_t& token);
// A row's type name, looked up on first need.
const std::string& TypeNameOf(ViewRow& row);

// The folder's view creator (view_creator.h): a new view of folder, asked
// for iid.
HRESULT CreateZipViewObject(CZipFolder* folder, HWND owner, REFIID iid, void** out);
