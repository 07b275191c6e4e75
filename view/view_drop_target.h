// The view's list as a drop target: files dropped on empty space land in the
// shown folder, on a sub-folder row in that sub-folder, which carries the
// drop highlight while the mouse is over it.
#pragma once

#include <windows.h>
#include <ole2.h>

class CZipView;

class CZipViewDropTarget final : public IDropTarget {
 public:
  explicit CZipViewDropTarget(CZipView& view) : m_view(view) {}
  CZipViewDropTarget(const CZipViewDropTarget&) = delete;
  CZipViewDropTarget& operator=(const CZipViewDropTarget&) = delete;

  // On the list window; Revoke before the window goes.
  bool Register(HWND list);
  void Revoke();

  // IUnknown: a member of the view, counted on it.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // IDropTarget
  STDMETHODIMP DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragOver(DWORD keys, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragLeave() override;
  STDMETHODIMP Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

 private:
  void ClearHighlight();

  CZipView& m_view;
  HWND m_list = nullptr;
  bool m_offersFiles = false;  // the data being dragged, as DragEnter saw it
  int m_dropHighlight = -1;
};
