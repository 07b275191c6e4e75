// The member record: what the listing makes of one member, what the folder
// tree keeps and what an item identifier carries to the shell.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

class CZipFolder;

#pragma pack(push, 1)

// One member of a folder level.  In memory pSubFolder is the real folder
// object (set for a folder member, null for a file).
struct ZIPENTRY {
  char szName[260];
  char szDisplayName[260];
  int32_t iIcon;
  uint32_t dwSize;
  uint32_t dwCompressedSize;
  FILETIME ftModified;
  uint32_t dwAttributes;
  uint32_t dwListingStamp;
  CZipFolder* pSubFolder;
};

#pragma pack(pop)

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(ZIPENTRY) == 552 && offsetof(ZIPENTRY, pSubFolder) == 548);
#endif

// Fills a fixed-size name field, cutting what does not fit.
void SetName(char (&field)[260], const std::string& text);
