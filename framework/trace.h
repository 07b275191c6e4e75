// A line for the debugger about a failure that a boundary swallows or
// reports: the user may see only a box, or nothing at all, so the debugger
// is told where and what.  Under Wine it shows with WINEDEBUG=+debugstr, or
// from Wine 8 on with WINEDEBUG=warn+seh.
#pragma once

#include <windows.h>

#include <string>

// Writes "Marrowbox: <where>: 0x<hr> <what>" to the debugger; never throws.
void Trace(const char* where, HRESULT hr, const std::string& what) noexcept;

// Traces the exception being handled, for a catch block that swallows it:
// ours with its result and message, anything else as what it is.
void TraceCurrentException(const char* where) noexcept;
