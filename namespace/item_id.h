// Member records and the item identifiers that carry them to the shell.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "member_record.h"

#pragma pack(push, 1)

// The record as an identifier carries it: 552 bytes on every architecture,
// because the shell stores identifiers.  The sub-folder field is the folder
// pointer where pointers are 32-bit and a non-zero tag elsewhere; nothing
// ever reads it back.
struct ZIPENTRY_STORED {
  char szName[260];
  char szDisplayName[260];
  int32_t iIcon;
  uint32_t dwSize;
  uint32_t dwCompressedSize;
  FILETIME ftModified;
  uint32_t dwAttributes;
  uint32_t dwListingStamp;
  uint32_t dwSubFolder;
};

struct ZIPITEMID {
  uint16_t cb;  // always 554
  ZIPENTRY_STORED record;
  uint16_t terminator;  // the empty item that ends a one-item list
};

#pragma pack(pop)

static_assert(sizeof(ZIPENTRY_STORED) == 552);
static_assert(offsetof(ZIPENTRY_STORED, iIcon) == 520 && offsetof(ZIPENTRY_STORED, ftModified) == 532);
static_assert(offsetof(ZIPENTRY_STORED, dwAttributes) == 540 && offsetof(ZIPENTRY_STORED, dwSubFolder) == 548);
static_assert(sizeof(ZIPITEMID) == 556 && offsetof(ZIPITEMID, record) == 2);

constexpr uint16_t kItemIdSize = 554;

// A new one-item identifier list for the record, from the shell's allocator.
// Throws CZipUserException (out of memory) when it cannot be allocated.
LPITEMIDLIST MakeItemId(const ZIPENTRY& record);
void FreeItemId(LPITEMIDLIST item);
// The record of a list's first item; its pSubFolder is always null.
ZIPENTRY ReadItemId(LPCITEMIDLIST list);
LPCITEMIDLIST NextItemId(LPCITEMIDLIST item);
// The relative folder path a list names: each szName followed by a backslash.
std::string ItemIdListToPath(LPCITEMIDLIST list);

