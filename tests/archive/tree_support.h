// Helpers for tests that build folder trees by hand.
#pragma once

#include <deque>
#include <string>

#include "engine_adaptor.h"
#include "item_id.h"
#include "zip_file.h"
#include "zip_folder.h"

// A member as the listing gives it; path in UTF-8.
inline ListingRecord ListedRecord(const std::string& path, bool isFolder, uint32_t stamp, uint64_t size = 0) {
  ListingRecord listed;
  listed.path = path;
  listed.size = size;
  listed.compressedSize = size / 2;
  ZIPENTRY& record = listed.record;
  record.dwAttributes = isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  record.dwSize = size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size);
  record.dwCompressedSize = static_cast<uint32_t>(size / 2 > UINT32_MAX ? UINT32_MAX : size / 2);
  record.ftModified = {0x12345678, 0x01D00000};
  record.dwListingStamp = stamp;
  return listed;
}

// An archive root that is never loaded: the tree is fed by the test.
class RootHolder {
 public:
  RootHolder() : m_root(CZipFile::Create()) { m_root->AddRef(); }
  ~RootHolder() { m_root->Release(); }
  RootHolder(const RootHolder&) = delete;
  RootHolder& operator=(const RootHolder&) = delete;
  CZipFile* root() const { return m_root; }
  CZipFolder* top() const { return m_root->GetRootFolder(); }

 private:
  CZipFile* m_root;
};

// The record of the member shown under name (UTF-8) as it is handed out,
// or null.  Each call makes a snapshot that lasts as long as the program.
inline const ZIPENTRY* Member(CZipFolder* folder, const char* name) {
  const MemberEntry* member = folder->Entries().Find(name);
  if (member == nullptr) return nullptr;
  static std::deque<ZIPENTRY> snapshots;
  return &snapshots.emplace_back(member->Record());
}
inline const MemberEntry* Entry(CZipFolder* folder, const char* name) { return folder->Entries().Find(name); }
