// Failures test programs can cause in the engine's file access.  Only the
// testable engine (zipengine_testable) has these.
#pragma once

#include <cstdint>
#include <string>

namespace ze::os {

// When non-negative, File::write fails with Err::DiskFull once this many
// more bytes have been written (once: clean-up writes then go through).
void setWriteFailureAfter(int64_t bytes);
// File::openRead of this path fails as if access were denied; "" clears it.
void setUnreadableForTests(const std::string& path);

}  // namespace ze::os
