// The registry entries that attach the library to the shell, and their
// removal.  Both throw CZipWinException with the failing registry call's
// result.
#pragma once

#include <string>

// libraryPath: the in-process server's file as the registry should name it.
void RegisterServer(const std::string& libraryPath);
// Removes what RegisterServer wrote and nothing of other programs: shared
// values are removed only while they still hold ours.
void UnregisterServer();
