// Reads a whole archive without writing anything: the directory, every
// member's name and attributes, and every member's data with its CRC.  The
// memory form is what fuzzing drives.
#pragma once

#include <cstddef>

#include "source.h"

namespace ze {

// Returns ZE_OK or the result code extraction would fail with.
int verifyArchive(Source& src);
int verifyArchive(const void* data, size_t size);

}  // namespace ze
