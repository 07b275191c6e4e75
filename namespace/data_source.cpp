#include "data_source.h"

#include <shlobj.h>

#include <cstring>

#include "drop_data.h"
#include "folder_operations.h"
#include "guard.h"
#include "trace.h"
#include "workspace.h"
#include "zip_exceptions.h"
#include "zip_folder.h"

namespace {

bool IsGlobalContent(const FORMATETC& format) {
  return (format.tymed & TYMED_HGLOBAL) != 0 && format.dwAspect == DVASPECT_CONTENT;
}

}  // namespace

UINT ShellObjectOffsetsFormat() { return RegisterClipboardFormatA(kShellObjectOffsetsFormatName); }

CZipDataSource* CZipDataSource::Create(CZipFolder* folder, HGLOBAL dropTemplate, std::string memberSpec,
                                       std::string workspace, HWND parent, HGLOBAL offsets) {
  auto* object = new CZipDataSource(folder, dropTemplate, std::move(memberSpec), std::move(workspace), parent,
                                    offsets);
  object->InternalAddRef();
  return object;
}

CZipDataSource::CZipDataSource(CZipFolder* folder, HGLOBAL dropTemplate, std::string memberSpec,
                               std::string workspace, HWND parent, HGLOBAL offsets)
    : m_pFolder(folder),
      m_hDropTemplate(dropTemplate),
      m_strMemberSpec(std::move(memberSpec)),
      m_strWorkspace(std::move(workspace)),
      m_pParentWnd(parent),
      m_hOffsets(offsets) {}

CZipDataSource::~CZipDataSource() {
  // The consumer may still be copying from the files.
  DeferWorkspaceDeletion(m_strWorkspace);
}

const InterfaceEntry* CZipDataSource::Interfaces() const {
  static const InterfaceEntry table[] = {COM_INTERFACE_ENTRY(CZipDataSource, IDataObject), {nullptr, 0}};
  return table;
}

bool CZipDataSource::Offers(const FORMATETC& format) const {
  if (!IsGlobalContent(format)) return false;
  return format.cfFormat == CF_HDROP || (m_hOffsets && format.cfFormat == ShellObjectOffsetsFormat());
}

HGLOBAL CZipDataSource::RenderDropList() {
  // While our own extraction runs (its progress dialog pumps messages) or
  // after it failed, the files the list names are not all there: a
  // consumer gets nothing rather than a partial copy.
  if (m_bExtracting || m_bFailed) return nullptr;
  UniqueGlobal list(CopyGlobal(m_hDropTemplate.get()));
  if (!list) return nullptr;
  // The button is still down: a target is only looking at the data.
  if (GetCapture() != nullptr || m_bExtracted) return list.release();
  m_bExtracted = true;
  m_bExtracting = true;
  try {
    FolderOperations().ExtractToDirectory(*m_pFolder.Get(), m_strMemberSpec, m_strWorkspace, m_pParentWnd);
  } catch (const CException& e) {
    m_bExtracting = false;
    m_bFailed = true;
    list.reset();
    TraceCurrentException("drop list extraction");
    e.ReportError();
    return nullptr;
  } catch (...) {
    m_bExtracting = false;
    m_bFailed = true;
    throw;
  }
  m_bExtracting = false;
  return list.release();
}

STDMETHODIMP CZipDataSource::GetData(FORMATETC* format, STGMEDIUM* medium) {
  if (format == nullptr || medium == nullptr) return E_INVALIDARG;
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    *medium = STGMEDIUM{};
    if (!Offers(*format)) return DV_E_FORMATETC;
    HGLOBAL data = format->cfFormat == CF_HDROP ? RenderDropList() : CopyGlobal(m_hOffsets.get());
    if (data == nullptr) return E_FAIL;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = data;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  });
}

STDMETHODIMP CZipDataSource::QueryGetData(FORMATETC* format) {
  if (format == nullptr) return E_INVALIDARG;
  return Offers(*format) ? S_OK : DV_E_FORMATETC;
}

STDMETHODIMP CZipDataSource::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
  if (out == nullptr) return E_INVALIDARG;
  out->ptd = nullptr;
  return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP CZipDataSource::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  if (direction != DATADIR_GET) return E_NOTIMPL;
  FORMATETC formats[2] = {{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                          {static_cast<CLIPFORMAT>(ShellObjectOffsetsFormat()), nullptr, DVASPECT_CONTENT, -1,
                           TYMED_HGLOBAL}};
  return SHCreateStdEnumFmtEtc(m_hOffsets ? 2 : 1, formats, out);
}
