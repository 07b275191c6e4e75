// Commands of the system's file browser that a view sends it.  Plain on
// purpose: the test host answers the same ids and includes this alone.
#pragma once

#include <windows.h>

// The file browser's own refresh command: a view posts it to its top-level
// window to have the browser refresh it.
constexpr UINT kBrowserRefreshCommand = 41061;
