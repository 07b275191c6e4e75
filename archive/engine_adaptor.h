// The listing through the zip engine, and the callbacks every command block
// carries.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "member_record.h"
#include "progress_sink.h"
#include "zipengine.h"

// Fills the whole unzip block, UTF-8 throughout: archive, callbacks, and the
// progress callbacks when a sink is given.
void InitUnzipBlock(UNZIPCMD& block, const std::string& zipPath, ProgressSink* progress);

// One member as the listing gives it: its real path inside the archive
// (UTF-8, backslashes, no trailing one), its real sizes, and the record's
// attributes, time, saturated sizes and stamp; the record's names are
// filled by the folder tree.
struct ListingRecord {
  std::string path;
  ZIPENTRY record{};
  uint64_t size = 0;
  uint64_t compressedSize = 0;
};

// Reads one listing.  Callers hold the archive's root lock and mutex.
class MemberListing {
 public:
  // Throws CZipEngineException on a nonzero engine result.
  explicit MemberListing(const std::string& zipPath);
  // Ends the engine's listing if it was left before its end.
  ~MemberListing();
  MemberListing(const MemberListing&) = delete;
  MemberListing& operator=(const MemberListing&) = delete;
  int32_t Count() const { return m_count; }
  // False past the last member and for a member that names only the top
  // ("./"), with member untouched.  Throws CZipEngineException, and
  // CZipUserException for an encrypted member or a volume label.
  bool Next(ListingRecord& member, uint32_t stamp);
  bool Ended() const { return m_ended; }

 private:
  std::string m_zipPath;
  int32_t m_count = 0;
  bool m_ended = false;
  std::unique_ptr<MEMBERINFOLONG> m_info;  // one buffer for the whole listing: names may be long
  ZE_LISTING* m_listing = nullptr;         // the engine's position, carried from call to call
};

// The listing's date text "mm/dd/yy hh:mm" as a FILETIME without time-zone
// conversion; zero when it cannot be converted.
FILETIME ParseListingDate(const char* text);

// Callbacks installed in every command block.
// The progress callbacks' user value is the ProgressSink; they stop the
// engine once the user asked to cancel.
int ZE_CALLBACK OnProgressA(int32_t, int32_t percent, void* sink);
int ZE_CALLBACK OnProgressB(int32_t, int32_t percent, void* sink);
int ZE_CALLBACK OnQuery(int32_t code, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t, void*);
