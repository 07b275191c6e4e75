#include "drop_data.h"

#include <cstring>

FORMATETC DropFilesFormat() { return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

bool OffersDropFiles(IDataObject* data) {
  FORMATETC format = DropFilesFormat();
  return data != nullptr && data->QueryGetData(&format) == S_OK;
}

Microsoft::WRL::ComPtr<IDataObject> ClipboardFiles() {
  Microsoft::WRL::ComPtr<IDataObject> data;
  if (FAILED(OleGetClipboard(&data)) || !OffersDropFiles(data.Get())) return nullptr;
  return data;
}

DropFilesMedium::DropFilesMedium(IDataObject* data) {
  FORMATETC format = DropFilesFormat();
  if (data == nullptr || FAILED(data->GetData(&format, &m_medium))) return;
  if (m_medium.tymed == TYMED_HGLOBAL && m_medium.hGlobal != nullptr) {
    m_held = true;
  } else {
    ReleaseStgMedium(&m_medium);
  }
}

DropFilesMedium::~DropFilesMedium() {
  if (m_held) ReleaseStgMedium(&m_medium);
}

HGLOBAL CopyGlobal(HGLOBAL source) {
  const SIZE_T size = GlobalSize(source);
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  if (copy == nullptr) return nullptr;
  void* to = GlobalLock(copy);
  void* from = GlobalLock(source);
  if (to == nullptr || from == nullptr) {
    if (from) GlobalUnlock(source);
    if (to) GlobalUnlock(copy);
    GlobalFree(copy);
    return nullptr;
  }
  memcpy(to, from, size);
  GlobalUnlock(source);
  GlobalUnlock(copy);
  return copy;
}
