// Internal failures travel as one exception type carrying the result code the
// entry point returns, and the system's error behind it where there is one;
// nothing else is thrown on purpose.
#pragma once

#include <cstdint>

#include "platform.h"
#include "zipengine.h"

namespace ze {

struct EngineError {
  int code;
  uint32_t systemError = 0;
};

[[noreturn]] inline void fail(int code) { throw EngineError{code}; }

// A failure whose cause is the platform call that just failed: the result
// carries the system's own error of that call.
[[noreturn]] inline void failSystem(int code) { throw EngineError{code, os::lastSystemError()}; }

}  // namespace ze
