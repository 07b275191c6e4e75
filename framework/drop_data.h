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
// flags.  The paths are in the system code page; a malformed block gives
// nullopt.  A wide path the code page cannot spell exactly is never read as
// the other path best fit would make of it: the list gives nullopt, and the
// first such path goes to unspellable.
std::optional<std::vector<std::string>> ParseDropList(const void* bytes, size_t size,
                                                      std::wstring* unspellable = nullptr);
// The same for a block in global memory, checked against its GlobalSize.
// Throws CUnspellableNameException for a path the code page cannot spell.
std::optional<std::vector<std::string>> ReadDropFiles(HGLOBAL block);

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
