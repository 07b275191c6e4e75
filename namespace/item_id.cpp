#include "item_id.h"

#include <cstring>

#include "resource.h"
#include "zip_exceptions.h"

namespace {

uint32_t SubFolderTag(const CZipFolder* folder) {
  if (folder == nullptr) return 0;
  const auto bits = reinterpret_cast<uintptr_t>(folder);
  const auto tag = static_cast<uint32_t>(bits);
  return tag != 0 ? tag : 1;
}

}  // namespace

LPITEMIDLIST MakeItemId(const ZIPENTRY& record) {
  // The shell's allocator: the shell frees what a folder hands it.
  auto* item = static_cast<ZIPITEMID*>(SHAlloc(sizeof(ZIPITEMID)));
  if (item == nullptr) throw CZipUserException(IDS_NO_MEMORY);
  item->cb = kItemIdSize;
  ZIPENTRY_STORED& out = item->record;
  memcpy(out.szName, record.szName, sizeof(out.szName));
  memcpy(out.szDisplayName, record.szDisplayName, sizeof(out.szDisplayName));
  out.iIcon = record.iIcon;
  out.dwSize = record.dwSize;
  out.dwCompressedSize = record.dwCompressedSize;
  out.ftModified = record.ftModified;
  out.dwAttributes = record.dwAttributes;
  out.dwListingStamp = record.dwListingStamp;
  out.dwSubFolder = SubFolderTag(record.pSubFolder);
  item->terminator = 0;
  return reinterpret_cast<LPITEMIDLIST>(item);
}

void FreeItemId(LPITEMIDLIST item) {
  if (item != nullptr) ILFree(item);
}

ZIPENTRY ReadItemId(LPCITEMIDLIST list) {
  ZIPENTRY record{};
  if (list == nullptr) return record;  // names no member
  // A damaged or foreign item is read only as far as it reaches, and its
  // names always end within their fields.
  ZIPENTRY_STORED in{};
  const size_t available = list->mkid.cb > sizeof(uint16_t) ? list->mkid.cb - sizeof(uint16_t) : 0;
  memcpy(&in, reinterpret_cast<const BYTE*>(list) + sizeof(uint16_t), available < sizeof(in) ? available : sizeof(in));
  in.szName[sizeof(in.szName) - 1] = '\0';
  in.szDisplayName[sizeof(in.szDisplayName) - 1] = '\0';
  memcpy(record.szName, in.szName, sizeof(record.szName));
  memcpy(record.szDisplayName, in.szDisplayName, sizeof(record.szDisplayName));
  record.iIcon = in.iIcon;
  record.dwSize = in.dwSize;
  record.dwCompressedSize = in.dwCompressedSize;
  record.ftModified = in.ftModified;
  record.dwAttributes = in.dwAttributes;
  record.dwListingStamp = in.dwListingStamp;
  record.pSubFolder = nullptr;
  return record;
}

LPCITEMIDLIST NextItemId(LPCITEMIDLIST item) { return ILNext(item); }

std::string ItemIdListToPath(LPCITEMIDLIST list) {
  std::string path;
  for (LPCITEMIDLIST item = list; !ILIsEmpty(item); item = ILNext(item)) {
    const char* name = reinterpret_cast<const char*>(item) + sizeof(uint16_t);
    const size_t room = item->mkid.cb > sizeof(uint16_t) ? item->mkid.cb - sizeof(uint16_t) : 0;
    path.append(name, strnlen(name, room < 260 ? room : 260));
    path += '\\';
  }
  return path;
}
