// Where the platform layer lets a write or an open for reading through.
// The product's version (io_gate.cpp) lets everything through; test
// programs link another one instead (testing/io_gate_for_tests.cpp) that
// can make a volume fill up or a file refuse to open, so the product holds
// no such switch.
#pragma once

#include <cstddef>
#include <string>

namespace ze::os::gate {

// False: File::write (or copyFrom) of len bytes fails as if the volume were full.
bool mayWrite(size_t len);
// False: File::openRead of path fails as if access were denied.
bool mayOpenForReading(const std::string& path);

}  // namespace ze::os::gate
