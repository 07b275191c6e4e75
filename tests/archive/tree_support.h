// Helpers for tests that build folder trees by hand.
#pragma once

#include <string>

#include "item_id.h"
#include "zip_file.h"
#include "zip_folder.h"

inline ZIPENTRY ListedRecord(const std::string& path, bool isFolder, uint32_t stamp, uint32_t size = 0) {
  ZIPENTRY record{};
  SetName(record.szName, path);
  SetName(record.szDisplayName, path.substr(path.rfind('\\') + 1));
  record.dwAttributes = isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  record.dwSize = size;
  record.dwCompressedSize = size / 2;
  record.ftModified = {0x12345678, 0x01D00000};
  record.dwListingStamp = stamp;
  return record;
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

inline const ZIPENTRY* Member(CZipFolder* folder, const char* name) { return folder->Entries().Lookup(name); }
