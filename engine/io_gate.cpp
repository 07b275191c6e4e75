// The product's gate: every write and open goes through.
#include "io_gate.h"

namespace ze::os::gate {

bool mayWrite(size_t) { return true; }
bool mayOpenForReading(const std::string&) { return true; }

}  // namespace ze::os::gate
