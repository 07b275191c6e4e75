// Dragging members out of the view and dropping files onto its list.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include <vector>

#include "com_ptr.h"
#include "drop_data.h"
#include "guard.h"
#include "handles.h"
#include "resource.h"
#include "trace.h"
#include "view_drop_target.h"
#include "zip_exceptions.h"
#include "zip_view.h"

namespace {

// The system's own drag behaviour: Escape cancels, releasing the button drops.
class DefaultDropSource final : public IDropSource {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
      *out = static_cast<IDropSource*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the stack of the drag.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (escape) return DRAGDROP_S_CANCEL;
    if (!(keys & (MK_LBUTTON | MK_RBUTTON))) return DRAGDROP_S_DROP;
    return S_OK;
  }
  STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

}  // namespace

HGLOBAL CZipView::MakeItemOffsets(POINT anchor) {
  HWND list = m_list.GetSafeHwnd();
  std::vector<POINT> points;
  POINT screen = anchor;
  ClientToScreen(list, &screen);
  points.push_back(screen);
  for (int index = m_list.GetNextItem(-1, LVNI_SELECTED); index >= 0; index = m_list.GetNextItem(index, LVNI_SELECTED)) {
    POINT position{};
    SendMessageA(list, LVM_GETITEMPOSITION, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&position));
    points.push_back({position.x - anchor.x, position.y - anchor.y});
  }
  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, points.size() * sizeof(POINT)));
  if (!block) throw CZipWinException(0, 0);
  {
    const GlobalLockGuard target(block.get());
    if (!target) throw CZipWinException(0, GetLastError());
    memcpy(target.get(), points.data(), points.size() * sizeof(POINT));
  }
  return block.release();
}

void CZipView::OnBeginDrag(const NMLISTVIEW& start) {
  const std::vector<std::string> names = GetSelectedNames();
  if (names.empty()) return;
  const Microsoft::WRL::ComPtr<IDataObject> data =
      AdoptRef(m_pFolder->CreateDragData(names, m_hWnd.load(), MakeItemOffsets(start.ptAction)));
  if (data == nullptr) return;
  DefaultDropSource source;
  DWORD effect = DROPEFFECT_NONE;
  // Nothing in the archive changes because of a drag out; members let go
  // over their own list stay where they are.
  m_bDraggingOut = true;
  DoDragDrop(data.Get(), &source, DROPEFFECT_COPY, &effect);
  m_bDraggingOut = false;
}

bool CZipViewDropTarget::Register(HWND list) {
  m_list = list;
  return SUCCEEDED(RegisterDragDrop(list, this));
}

void CZipViewDropTarget::Revoke() {
  if (m_list != nullptr) RevokeDragDrop(m_list);
  m_list = nullptr;
}

STDMETHODIMP CZipViewDropTarget::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
    *out = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CZipViewDropTarget::AddRef() { return m_view.AddRef(); }
STDMETHODIMP_(ULONG) CZipViewDropTarget::Release() { return m_view.Release(); }

void CZipViewDropTarget::ClearHighlight() {
  if (m_dropHighlight >= 0) ListView_SetItemState(m_list, m_dropHighlight, 0, LVIS_DROPHILITED);
  m_dropHighlight = -1;
}

STDMETHODIMP CZipViewDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  m_offersFiles = !m_view.IsDraggingOut() && OffersDropFiles(data);
  m_dropHighlight = -1;
  *effect = m_offersFiles ? DROPEFFECT_COPY : DROPEFFECT_NONE;
  return S_OK;
}

STDMETHODIMP CZipViewDropTarget::DragOver(DWORD, POINTL point, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  if (!m_offersFiles) {
    *effect = DROPEFFECT_NONE;
    return S_OK;
  }
  ClearHighlight();
  // Nothing is reported inside the drag loop: a row that cannot be read
  // (the listing changed meanwhile) just gets no highlight.
  try {
    LVHITTESTINFO hit{};
    hit.pt = {point.x, point.y};
    ScreenToClient(m_list, &hit.pt);
    const int row = ListView_HitTest(m_list, &hit);
    if (row >= 0 && (hit.flags & LVHT_ONITEM) && m_view.GetEntryAt(row).IsFolder()) {
      ListView_SetItemState(m_list, row, LVIS_DROPHILITED, LVIS_DROPHILITED);
      m_dropHighlight = row;
    }
  } catch (...) {
    TraceCurrentException("drop highlight");
  }
  // Whatever the keys: files are always copied in.
  *effect = DROPEFFECT_COPY;
  return S_OK;
}

STDMETHODIMP CZipViewDropTarget::DragLeave() {
  ClearHighlight();
  m_offersFiles = false;
  return S_OK;
}

STDMETHODIMP CZipViewDropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  m_offersFiles = false;
  if (m_view.IsDraggingOut()) {
    ClearHighlight();
    if (effect != nullptr) *effect = DROPEFFECT_NONE;
    return S_OK;
  }
  const DropFilesMedium files(data);
  if (!files) {
    ClearHighlight();
    if (effect != nullptr) *effect = DROPEFFECT_NONE;
    return E_INVALIDARG;
  }
  // A failure reports itself once; the drop then did nothing.
  const HRESULT hr = ComGuard(E_FAIL, [&] {
    // Adding refreshes the listing, which may free a row's folder object:
    // the drop holds its own reference on the folder it adds to.
    Microsoft::WRL::ComPtr<CZipFolder> folder(m_view.Folder());
    if (m_dropHighlight >= 0) {
      const int row = m_dropHighlight;
      ClearHighlight();
      const MemberEntry entry = m_view.GetEntryAt(row);
      if (entry.IsFolder()) folder = folder->FindFolderRef(entry.Shown() + "\\");
      if (folder == nullptr) throw CZipUserException(IDS_SYNC_ERROR);
    }
    folder->AddDroppedFiles(files.get(), m_list);
  });
  ClearHighlight();
  if (effect != nullptr) *effect = SUCCEEDED(hr) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
  return S_OK;
}
