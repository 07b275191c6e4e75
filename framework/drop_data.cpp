#include "drop_data.h"

#include <shlobj.h>

#include <climits>
#include <cstring>
#include <new>

#include "handles.h"
#include "strings.h"

namespace {

// Walks a CF_HDROP block's list, giving onName each path's first character,
// its length in characters and whether they are wide.  True when the list
// is well formed; nothing outside the size is read.
template <typename OnName>
bool WalkDropList(const BYTE* bytes, size_t size, OnName&& onName) {
  if (bytes == nullptr || size < sizeof(DROPFILES)) return false;
  DROPFILES header;
  memcpy(&header, bytes, sizeof(header));
  if (header.pFiles < sizeof(DROPFILES) || header.pFiles >= size) return false;
  const BYTE* list = bytes + header.pFiles;
  const bool wide = header.fWide != FALSE;
  const size_t width = wide ? sizeof(WCHAR) : 1;
  // A wide list's odd last byte is no character.
  const size_t count = (size - header.pFiles) / width;
  const auto at = [&](size_t i) -> unsigned {
    return wide ? static_cast<unsigned>(list[2 * i] | list[2 * i + 1] << 8) : list[i];
  };
  size_t i = 0;
  while (i < count) {
    if (at(i) == 0) return true;
    const size_t start = i;
    while (i < count && at(i) != 0) ++i;
    if (i == count) return false;
    onName(list + start * width, i - start, wide);
    ++i;
  }
  return false;
}

// The characters may be unaligned: the list starts where pFiles says.
std::wstring WideAt(const BYTE* chars, size_t count) {
  std::wstring wide(count, L'\0');
  memcpy(wide.data(), chars, count * sizeof(WCHAR));
  return wide;
}

}  // namespace

std::optional<std::vector<std::string>> ParseDropList(const void* bytes, size_t size, std::wstring* unspellable) {
  std::vector<std::string> paths;
  bool tooLong = false;
  bool misspelled = false;
  std::wstring firstMisspelled;
  const auto path = [&](const BYTE* chars, size_t length, bool wide) {
    if (length > static_cast<size_t>(INT_MAX / 4)) {
      tooLong = true;
      return;
    }
    if (!wide) {
      paths.push_back(WideToUtf8(AnsiToWide(std::string_view(reinterpret_cast<const char*>(chars), length))));
      return;
    }
    try {
      paths.push_back(WideToUtf8(WideAt(chars, length)));
    } catch (const CUnspellableNameException&) {
      if (!misspelled) {
        misspelled = true;
        firstMisspelled = WideAt(chars, length);
      }
    }
  };
  const bool wellFormed = WalkDropList(static_cast<const BYTE*>(bytes), size, path);
  if (!wellFormed || tooLong) return std::nullopt;
  // Only a well-formed list has names worth telling the user about.
  if (misspelled) {
    if (unspellable != nullptr) *unspellable = std::move(firstMisspelled);
    return std::nullopt;
  }
  return paths;
}

std::optional<std::vector<std::string>> ReadDropFiles(HGLOBAL block) {
  const GlobalLockGuard locked(block);
  std::wstring unspellable;
  auto paths = ParseDropList(locked.bytes(), locked.size(), &unspellable);
  if (!paths && !unspellable.empty()) throw CUnspellableNameException(unspellable);
  return paths;
}

HGLOBAL MakeWideDropFiles(const std::vector<std::string>& paths) {
  // Each path with its terminator, then the list's own.
  std::wstring list;
  for (const std::string& path : paths) {
    list += Utf8ToWide(path);
    list.push_back(L'\0');
  }
  list.push_back(L'\0');
  const size_t listBytes = list.size() * sizeof(WCHAR);

  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, sizeof(DROPFILES) + listBytes));
  if (!block) throw std::bad_alloc();
  {
    const GlobalLockGuard locked(block.get());
    if (!locked) throw std::bad_alloc();
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fNC = FALSE;
    header.fWide = TRUE;
    memcpy(locked.bytes(), &header, sizeof(header));
    memcpy(locked.bytes() + sizeof(DROPFILES), list.data(), listBytes);
  }
  return block.release();
}

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
  if (m_medium.tymed != TYMED_HGLOBAL || m_medium.hGlobal == nullptr) {
    ReleaseStgMedium(&m_medium);
    return;
  }
  m_held = true;
  // Checked once here, without allocating, so that holders outside a guard
  // can test it; the paths are read where they are used.
  const GlobalLockGuard locked(m_medium.hGlobal);
  m_wellFormed = WalkDropList(locked.bytes(), locked.size(), [](const BYTE*, size_t, bool) {});
}

DropFilesMedium::~DropFilesMedium() {
  if (m_held) ReleaseStgMedium(&m_medium);
}

HGLOBAL CopyGlobal(HGLOBAL source) {
  const SIZE_T size = GlobalSize(source);
  UniqueGlobal copy(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!copy) return nullptr;
  {
    const GlobalLockGuard to(copy.get());
    const GlobalLockGuard from(source);
    if (!to || !from) return nullptr;
    memcpy(to.get(), from.get(), size);
  }
  return copy.release();
}
