// What tests read back after an operation: an archive's listing, its bytes,
// and the workspaces left in the temporary directory.
#pragma once

#include <windows.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "engine_adaptor.h"
#include "item_id.h"
#include "test_files.h"
#include "zip_maker.h"

// The names the central directory stores, with their general-purpose flags
// (bit 11: UTF-8): what any other tool will read.
inline std::map<std::string, uint16_t> StoredNames(const std::string& zip) {
  const std::string bytes = ReadAll(zip);
  std::map<std::string, uint16_t> names;
  const auto at16 = [&](size_t i) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
  };
  for (size_t i = 0; i + 46 <= bytes.size(); ++i) {
    if (bytes.compare(i, 4, "PK\x01\x02") != 0) continue;
    const size_t length = at16(i + 28);
    if (i + 46 + length > bytes.size()) break;
    names[bytes.substr(i + 46, length)] = at16(i + 8);
    i += 45 + length;
  }
  return names;
}

// Name (backslashes, folders with a trailing one) to size, as listed.  The
// archive object's watcher lists the same archive when its directory
// changes, so the listing holds the archive mutex as every listing does.
inline std::map<std::string, uint32_t> Listing(const std::string& zip) {
  zip_maker::ArchiveMutexLock lock(zip);
  std::map<std::string, uint32_t> members;
  MemberListing listing(zip);
  ListingRecord member;
  for (int32_t i = 0; i < listing.Count() && listing.Next(member, 1); ++i)
    members[member.path + ((member.record.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "\\" : "")] =
        member.record.dwSize;
  return members;
}

// Points the temporary directory of this process elsewhere, so what lands
// there is this test's alone: other test programs run beside it.
class ScopedTempDirectory {
 public:
  explicit ScopedTempDirectory(const std::string& path) {
    char old[MAX_PATH] = "";
    m_hadOld = GetEnvironmentVariableA("TMP", old, MAX_PATH) > 0;
    m_old = old;
    CreateDirectoryA(path.c_str(), nullptr);
    SetEnvironmentVariableA("TMP", path.c_str());
  }
  ~ScopedTempDirectory() { SetEnvironmentVariableA("TMP", m_hadOld ? m_old.c_str() : nullptr); }
  ScopedTempDirectory(const ScopedTempDirectory&) = delete;
  ScopedTempDirectory& operator=(const ScopedTempDirectory&) = delete;

 private:
  bool m_hadOld;
  std::string m_old;
};

// Workspace directories ("bdx...") in the temporary directory.
inline std::set<std::string> Workspaces() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::set<std::string> found;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((std::string(temp) + "bdx*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return found;
  do found.insert(data.cFileName);
  while (FindNextFileA(search, &data));
  FindClose(search);
  return found;
}
