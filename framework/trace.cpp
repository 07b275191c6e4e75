#include "trace.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "exception.h"

void Trace(const char* where, HRESULT hr, const std::string& what) noexcept {
  try {
    char head[32];
    snprintf(head, sizeof(head), ": 0x%08lX ", static_cast<unsigned long>(hr));
    std::string text = what;
    // One line each: the system's texts come with their own line break.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const std::string line = std::string("Marrowbox: ") + (where != nullptr ? where : "?") + head + text + "\n";
    // Messages are UTF-8; converted by hand so a failure to convert cannot
    // throw from the one place that must not.
    const int length = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
    if (length <= 0) {
      OutputDebugStringA(line.c_str());
      return;
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), length);
    OutputDebugStringW(wide.c_str());
  } catch (...) {
    // Out of memory while tracing: the failure itself is handled elsewhere.
  }
}

void TraceCurrentException(const char* where) noexcept {
  try {
    throw;
  } catch (const CException& e) {
    try {
      Trace(where, e.Result(), e.Message());
    } catch (...) {
      Trace(where, e.Result(), "");
    }
  } catch (const std::bad_alloc&) {
    Trace(where, E_OUTOFMEMORY, "out of memory");
  } catch (const std::exception& e) {
    Trace(where, E_UNEXPECTED, e.what());
  } catch (...) {
    Trace(where, E_UNEXPECTED, "an exception not of ours");
  }
}
