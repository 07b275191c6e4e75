// The data object through which members leave an archive as files: it
// offers a drop-file list at once and extracts the members only when a
// consumer really takes the list, once.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <string>

#include "com_object.h"
#include "handles.h"

class CZipFolder;

class CZipDataSource final : public ComObject, public IDataObject {
 public:
  // Takes dropTemplate and offsets (null when none); the object holds a
  // reference on folder and starts with one for the caller.
  static CZipDataSource* Create(CZipFolder* folder, HGLOBAL dropTemplate, std::string memberSpec,
                                std::string workspace, HWND parent, HGLOBAL offsets);
  DECLARE_COM_OBJECT()

  // IDataObject
  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* format) override;
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 protected:
  const InterfaceEntry* Interfaces() const override;

 private:
  CZipDataSource(CZipFolder* folder, HGLOBAL dropTemplate, std::string memberSpec, std::string workspace,
                 HWND parent, HGLOBAL offsets);
  ~CZipDataSource() override;
  // A copy of the list for the caller; extracts first when the data is
  // really taken.  Null when nothing could be handed out.
  HGLOBAL RenderDropList();
  bool Offers(const FORMATETC& format) const;

  Microsoft::WRL::ComPtr<CZipFolder> m_pFolder;
  UniqueGlobal m_hDropTemplate;
  std::string m_strMemberSpec;
  std::string m_strWorkspace;
  HWND m_pParentWnd;
  UniqueGlobal m_hOffsets;
  bool m_bExtracted = false;
  // The extraction failed: the files the list names are not there.
  bool m_bFailed = false;
  bool m_bExtracting = false;
};

// The item positions of a drag, passed on byte for byte.
inline constexpr char kShellObjectOffsetsFormatName[] = "Shell Object Offsets";
UINT ShellObjectOffsetsFormat();
