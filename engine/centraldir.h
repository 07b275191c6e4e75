// The archive's central directory, read in one piece and parsed into entries
// that point back into that buffer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform.h"
#include "source.h"

namespace ze {

struct Entry {
  uint32_t recordPos = 0;  // offset of the central record in CentralDirectory::data
  uint16_t nameLen = 0;
  uint16_t extraLen = 0;
  uint16_t commentLen = 0;
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint16_t internalAttr = 0;
  uint32_t crc = 0;
  uint32_t externalAttr = 0;
  uint64_t compressedSize = 0;
  uint64_t size = 0;
  uint64_t localOffset = 0;  // absolute position in the file
};

struct CentralDirectory {
  std::vector<uint8_t> data;  // the directory's bytes
  std::vector<Entry> entries;
  uint64_t fileSize = 0;
  uint64_t cdStart = 0;  // absolute position of the directory = end of member data
  uint64_t firstMember = 0;  // start of member data (after any leading stub)
  std::string comment;

  std::string_view rawName(const Entry& e) const {
    return {reinterpret_cast<const char*>(data.data()) + e.recordPos + 46, e.nameLen};
  }
  const uint8_t* extra(const Entry& e) const { return data.data() + e.recordPos + 46 + e.nameLen; }
  std::string_view rawComment(const Entry& e) const {
    return {reinterpret_cast<const char*>(data.data()) + e.recordPos + 46 + e.nameLen + e.extraLen,
            e.commentLen};
  }
};

// Reads and parses the directory.  Throws EngineError: ZE_DAMAGED for a bad
// structure, ZE_ZIP_READ for an I/O failure, ZE_MEMORY when it cannot be held.
// An empty source is an error; an end record alone is an empty archive.
void readCentralDirectory(Source& src, CentralDirectory& cd);

// Finds an extra-field block by id within [p, p+len); returns its payload.
bool findExtra(const uint8_t* p, size_t len, uint16_t id, const uint8_t*& payload, uint16_t& payloadLen);

// The member's UTC modification time from the extended timestamp field, or
// the DOS time taken as local time.
int64_t memberMtime(const CentralDirectory& cd, const Entry& e);

// The member's name converted for the caller (ANSI, forward slashes) and
// made relative: "." and ".." parts, leading slashes and a drive are
// dropped.  Empty for a member that names only the top ("./").
// A part that the ANSI code page cannot spell has '_' for the missing
// characters and a tag from its real bytes: "_~1a2b3c4d.txt".
std::string memberName(const CentralDirectory& cd, const Entry& e);
// The same name in ANSI and in UTF-8 (the real one, for the files written);
// both have the same parts.  Either may be null.
void memberNames(const CentralDirectory& cd, const Entry& e, std::string* ansi, std::string* utf8);
// The name as a caller of that encoding sees it: ANSI (tagged), or the real
// name in UTF-8.
std::string memberName(const CentralDirectory& cd, const Entry& e, os::Enc enc);

// The attribute word of the listing: DOS bits, volume and encryption marks.
uint16_t memberAttributes(const CentralDirectory& cd, const Entry& e);

// Sorts members by position and checks that none overlaps the next or runs
// into the directory.  Throws ZE_DAMAGED.
void checkLayout(const CentralDirectory& cd);

}  // namespace ze
