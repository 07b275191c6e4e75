// The file lists (CF_HDROP) that data objects carry: asking for one, holding
// its medium, and copying global memory for a consumer that owns it.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <wrl/client.h>

// CF_HDROP in global memory, the content aspect, any index.
FORMATETC DropFilesFormat();
bool OffersDropFiles(IDataObject* data);
// The clipboard as a data object when it offers a file list; null otherwise.
Microsoft::WRL::ComPtr<IDataObject> ClipboardFiles();

// The data object's file list for as long as this object lives; empty when
// the data offers none in global memory.
class DropFilesMedium {
 public:
  explicit DropFilesMedium(IDataObject* data);
  ~DropFilesMedium();
  DropFilesMedium(const DropFilesMedium&) = delete;
  DropFilesMedium& operator=(const DropFilesMedium&) = delete;

  explicit operator bool() const { return m_held; }
  HDROP get() const { return static_cast<HDROP>(m_medium.hGlobal); }

 private:
  STGMEDIUM m_medium{};
  bool m_held = false;
};

// A separately allocated copy; null when it cannot be made.
HGLOBAL CopyGlobal(HGLOBAL source);
