// The one way into the system from outside (COM methods, exported functions,
// thread and window procedures): nothing escapes, and each exception is
// reported exactly once, here.
#pragma once

#include <windows.h>

#include <new>
#include <type_traits>

#include "exception.h"

// Runs body; an exception of ours reports itself and gives failure, memory
// exhaustion gives outOfMemory, anything else gives unexpected.  A body that
// returns nothing gives success.
template <typename R, typename Body>
R GuardedCall(Body&& body, R success, R failure, R outOfMemory, R unexpected) noexcept {
  try {
    if constexpr (std::is_void_v<std::invoke_result_t<Body>>) {
      body();
      return success;
    } else {
      return body();
    }
  } catch (const CException& e) {
    try {
      e.ReportError();
    } catch (...) {
      // Reporting cannot make things worse than the failure already is.
    }
    return failure;
  } catch (const std::bad_alloc&) {
    return outOfMemory;
  } catch (...) {
    return unexpected;
  }
}

// COM methods and exports: failure is the method's failure result.
template <typename Body>
HRESULT ComGuard(HRESULT failure, Body&& body) noexcept {
  return GuardedCall<HRESULT>(static_cast<Body&&>(body), S_OK, failure, E_OUTOFMEMORY, E_UNEXPECTED);
}

// Thread and window procedures: every failure gives the same value.
template <typename R, typename Body>
R Guard(R success, R failure, Body&& body) noexcept {
  return GuardedCall<R>(static_cast<Body&&>(body), success, failure, failure, failure);
}
