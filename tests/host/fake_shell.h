// A folder and a view that speak to the browser the way the system's view
// does (menu merge, toolbar set-up, status text, navigation) and record what
// the browser does to them, so the host can be checked without the real view.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace fake {

constexpr UINT kViewCommand = 32003;      // an item the view merges into the View pop-up
constexpr UINT kFileCommand = 32047;      // ... and into the File pop-up
constexpr UINT kToolbarCommand = 32031;   // a button the view adds

struct ViewLog {
  int created = 0;
  int destroyed = 0;
  int deleted = 0;                // views whose last reference went
  int refreshed = 0;
  int activations = 0;
  int accelerators = 0;           // messages offered to TranslateAccelerator
  IShellView* previous = nullptr;  // what CreateViewWindow was handed
  std::vector<UINT> commands;     // WM_COMMAND ids at the view window
  std::vector<UINT> menuSelects;  // WM_MENUSELECT ids
  int initMenuPopups = 0;
  std::vector<UINT> notifications;  // WM_NOTIFY codes
  LONG groupWidth2 = -1;            // third group width from InsertMenusSB
  int ownBitmapBase = -1;           // TB_ADDBITMAP result for the view's images
};

class View final : public IShellView {
 public:
  View(ViewLog* log, const std::string& name) : m_log(log), m_name(name) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refs); }
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetWindow(HWND* window) override {
    *window = m_window;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG*) override {
    ++m_log->accelerators;
    return S_FALSE;
  }
  STDMETHODIMP EnableModeless(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP UIActivate(UINT state) override;
  STDMETHODIMP Refresh() override {
    ++m_log->refreshed;
    return S_OK;
  }
  STDMETHODIMP CreateViewWindow(IShellView* previous, LPCFOLDERSETTINGS settings, IShellBrowser* browser, RECT* rect,
                                HWND* window) override;
  STDMETHODIMP DestroyViewWindow() override;
  STDMETHODIMP GetCurrentInfo(LPFOLDERSETTINGS settings) override {
    *settings = m_settings;
    return S_OK;
  }
  STDMETHODIMP AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM) override { return E_NOTIMPL; }
  STDMETHODIMP SaveViewState() override { return S_OK; }
  STDMETHODIMP SelectItem(PCUITEMID_CHILD, SVSIF) override { return S_OK; }
  STDMETHODIMP GetItemObject(UINT, REFIID, void**) override { return E_NOTIMPL; }

  IShellBrowser* Browser() const { return m_browser; }
  LONG Refs() const { return m_refs; }

 private:
  ~View() = default;
  void MergeMenus();
  void SetUpToolbar();

  LONG m_refs = 1;
  ViewLog* m_log;
  std::string m_name;
  HWND m_window = nullptr;
  IShellBrowser* m_browser = nullptr;
  HMENU m_shared = nullptr;
  FOLDERSETTINGS m_settings{};
};

// A folder whose sub-folders are named by any identifier; each level makes
// views that write into the same log.
class Folder final : public IShellFolder, public IPersistFolder {
 public:
  explicit Folder(ViewLog* log, int depth = 0) : m_log(log), m_depth(depth) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refs); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG refs = --m_refs;
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
  }
  STDMETHODIMP ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP EnumObjects(HWND, SHCONTF, IEnumIDList**) override { return E_NOTIMPL; }
  STDMETHODIMP BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx*, REFIID iid, void** out) override;
  STDMETHODIMP BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override { return E_NOTIMPL; }
  STDMETHODIMP CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override { return E_NOTIMPL; }
  STDMETHODIMP CreateViewObject(HWND, REFIID iid, void** out) override;
  STDMETHODIMP GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF*) override { return E_NOTIMPL; }
  STDMETHODIMP GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID, UINT*, void**) override { return E_NOTIMPL; }
  STDMETHODIMP GetDisplayNameOf(PCUITEMID_CHILD, SHGDNF, STRRET*) override { return E_NOTIMPL; }
  STDMETHODIMP SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF, PITEMID_CHILD*) override { return E_NOTIMPL; }

  // IPersistFolder, as an archive root is initialised.
  STDMETHODIMP GetClassID(CLSID* clsid) override {
    *clsid = CLSID_NULL;
    return S_OK;
  }
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidl) override;

  int Depth() const { return m_depth; }
  // The file-system path of the list Initialize was given; empty before.
  const std::wstring& InitializedPath() const { return m_initializedPath; }

 private:
  ~Folder() = default;
  LONG m_refs = 1;
  ViewLog* m_log;
  int m_depth;
  std::wstring m_initializedPath;
};

// A one-item identifier list for tests to navigate with; free with CoTaskMemFree.
PIDLIST_RELATIVE MakeChildId();

}  // namespace fake
