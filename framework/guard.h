// The one way into the system from outside (COM methods, exported functions,
// thread and window procedures): nothing escapes, and each exception is
// reported exactly once, here.
#pragma once

#include <windows.h>

#include <new>
#include <source_location>
#include <type_traits>

#include "exception.h"
#include "trace.h"

// Runs body; an exception of ours reports itself and gives failure (or, with
// failure null, its own result), memory exhaustion gives outOfMemory,
// anything else gives unexpected.  A body that returns nothing gives
// success.  Every failure is traced under where.
template <typename R, typename Body>
R GuardedCall(Body&& body, R success, const R* failure, R outOfMemory, R unexpected, const char* where) noexcept {
  try {
    if constexpr (std::is_void_v<std::invoke_result_t<Body>>) {
      body();
      return success;
    } else {
      return body();
    }
  } catch (const CException& e) {
    TraceCurrentException(where);
    try {
      e.ReportError();
    } catch (...) {
      // Reporting cannot make things worse than the failure already is.
    }
    if (failure != nullptr) return *failure;
    if constexpr (std::is_same_v<R, HRESULT>) {
      return e.Result();
    } else {
      return unexpected;
    }
  } catch (const std::bad_alloc&) {
    TraceCurrentException(where);
    return outOfMemory;
  } catch (...) {
    TraceCurrentException(where);
    return unexpected;
  }
}

// COM methods and exports: failure is the method's failure result, for the
// methods whose callers rely on one documented value.
template <typename Body>
HRESULT ComGuard(HRESULT failure, Body&& body,
                 const std::source_location where = std::source_location::current()) noexcept {
  return GuardedCall<HRESULT>(static_cast<Body&&>(body), S_OK, &failure, E_OUTOFMEMORY, E_UNEXPECTED,
                              where.function_name());
}

// COM methods whose failure is the generic one: the caller learns what went
// wrong (access denied, disk full, cancelled by the user) from the result.
template <typename Body>
HRESULT ComGuardResult(Body&& body, const std::source_location where = std::source_location::current()) noexcept {
  return GuardedCall<HRESULT>(static_cast<Body&&>(body), S_OK, nullptr, E_OUTOFMEMORY, E_UNEXPECTED,
                              where.function_name());
}

// Thread and window procedures: every failure gives the same value.
template <typename R, typename Body>
R Guard(R success, R failure, Body&& body, const std::source_location where = std::source_location::current()) noexcept {
  return GuardedCall<R>(static_cast<Body&&>(body), success, &failure, failure, failure, where.function_name());
}
