// Data objects as the shell hands them to extensions: the parent folder's
// own object for files it holds, and a plain one offering one format.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "test_files.h"

// The shell's data object for files of one directory (full paths); null
// when the shell gives none.  The caller releases it.
inline IDataObject* ShellDataObject(const std::vector<std::string>& paths) {
  IShellFolder* parent = nullptr;
  std::vector<PIDLIST_ABSOLUTE> absolute;
  std::vector<PCUITEMID_CHILD> children;
  for (const std::string& path : paths) {
    // UTF-8, as the library's paths are.
    std::wstring wide = WideFromUtf8(path);
    PIDLIST_ABSOLUTE pidl = nullptr;
    if (FAILED(SHParseDisplayName(wide.c_str(), nullptr, &pidl, 0, nullptr))) break;
    absolute.push_back(pidl);
    PCUITEMID_CHILD child = nullptr;
    if (parent) parent->Release();
    parent = nullptr;
    if (FAILED(SHBindToParent(pidl, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child))) break;
    children.push_back(child);
  }
  IDataObject* data = nullptr;
  if (parent && children.size() == paths.size())
    parent->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(), IID_IDataObject, nullptr,
                          reinterpret_cast<void**>(&data));
  if (parent) parent->Release();
  for (PIDLIST_ABSOLUTE pidl : absolute) CoTaskMemFree(pidl);
  return data;
}

// A data object that offers one clipboard format in global memory.
class OneFormatData final : public IDataObject {
 public:
  OneFormatData(CLIPFORMAT format, HGLOBAL data) : m_format(format), m_data(data) {}
  ~OneFormatData() { GlobalFree(m_data); }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
      *out = static_cast<IDataObject*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the test's stack.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    const SIZE_T size = GlobalSize(m_data);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = GlobalAlloc(GMEM_MOVEABLE, size);
    // An empty block has no memory to lock.
    if (size > 0) {
      memcpy(GlobalLock(medium->hGlobal), GlobalLock(m_data), size);
      GlobalUnlock(medium->hGlobal);
      GlobalUnlock(m_data);
    }
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* format) override {
    return format->cfFormat == m_format && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  // The OLE clipboard asks what it may render.
  STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC format{m_format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return SHCreateStdEnumFmtEtc(1, &format, out);
  }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  CLIPFORMAT m_format;
  HGLOBAL m_data;
};

// Plain text, which no drop target of ours takes.
inline HGLOBAL TextBlock(const char* text) {
  const size_t size = strlen(text) + 1;
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  memcpy(GlobalLock(block), text, size);
  GlobalUnlock(block);
  return block;
}
