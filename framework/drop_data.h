// The file lists (CF_HDROP) that data objects carry: asking for one, holding
// its medium, reading its paths, and copying global memory for a consumer
// that owns it.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <wrl/client.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// CF_HDROP in global memory, the content aspect, any index.
FORMATETC DropFilesFormat();
bool OffersDropFiles(IDataObject* data);
// The clipboard as a data object when it offers a file list; null otherwise.
Microsoft::WRL::ComPtr<IDataObject> ClipboardFiles();

// File lists come from other programs, so every one is read through these and
// never past its end.  A list is well formed when the block holds the whole
// header, the list starts after the header and inside the block, and an empty
// name ends it before the block does, in the character width the header
// flags.  The paths come back in UTF-8, from wide lists as they are and from
// code-page lists through the code page; a malformed block gives nullopt.  A
// wide path with a lone surrogate has no UTF-8 spelling: the list gives
// nullopt, and the first such path goes to unspellable.
std::optional<std::vector<std::string>> ParseDropList(const void* bytes, size_t size,
                                                      std::wstring* unspellable = nullptr);
// The same for a block in global memory, checked against its GlobalSize.
// Throws CUnspellableNameException for a path with a lone surrogate.
std::optional<std::vector<std::string>> ReadDropFiles(HGLOBAL block);

// A wide CF_HDROP block (GMEM_MOVEABLE, fWide) of the UTF-8 paths, ended by
// the list's own empty name.  The caller owns the handle.  Throws
// std::bad_alloc without memory.
HGLOBAL MakeWideDropFiles(const std::vector<std::string>& paths);

// The data object's file list for as long as this object lives.  False when
// the data offers none in global memory or the one it offers is malformed.
class DropFilesMedium {
 public:
  explicit DropFilesMedium(IDataObject* data);
  ~DropFilesMedium();
  DropFilesMedium(const DropFilesMedium&) = delete;
  DropFilesMedium& operator=(const DropFilesMedium&) = delete;

  explicit operator bool() const { return m_wellFormed; }
  // The data gave a list in global memory, well formed or not.
  bool Offered() const { return m_held; }
  HDROP get() const { return static_cast<HDROP>(m_medium.hGlobal); }

 private:
  STGMEDIUM m_medium{};
  bool m_held = false;
  bool m_wellFormed = false;
};

// A separately allocated copy; null when it cannot be made.
HGLOBAL CopyGlobal(HGLOBAL source);
