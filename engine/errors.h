// Internal failures travel as one exception type carrying the result code the
// entry point returns; nothing else is thrown on purpose.
#pragma once

#include "zipengine.h"

namespace ze {

struct EngineError {
  int code;
};

[[noreturn]] inline void fail(int code) { throw EngineError{code}; }

}  // namespace ze
