// The listing through the zip engine, and the callbacks every command block
// carries.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "item_id.h"
#include "progress_sink.h"
#include "zipengine.h"

// Fills the whole unzip block, UTF-8 throughout: archive, callbacks, and the
// progress callbacks when a sink is given.
void InitUnzipBlock(UNZIPCMD& block, const std::string& zipPath, ProgressSink* progress);

// Callers hold the archive's root lock and mutex.  Both throw
// CZipEngineException on a nonzero engine result.
int32_t CountMembers(const std::string& zipPath);
// False for a member with an empty name.  Throws CZipUserException for an
// encrypted member or a volume label.
bool ReadNextMember(const std::string& zipPath, ZIPENTRY& record, uint32_t stamp);

// The listing's date text "mm/dd/yy hh:mm" as a FILETIME without time-zone
// conversion; zero when it cannot be converted.
FILETIME ParseListingDate(const char* text);

// Callbacks installed in every command block.
// The progress callbacks' user value is the ProgressSink; they stop the
// engine once the user asked to cancel.
int ZE_CALLBACK OnProgressA(int32_t, int32_t percent, void* sink);
int ZE_CALLBACK OnProgressB(int32_t, int32_t percent, void* sink);
int ZE_CALLBACK OnQuery(int32_t code, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t, void*);
