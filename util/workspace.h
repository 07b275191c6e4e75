// Workspaces: fresh directories in the system's temporary directory into which
// members are extracted before any other program sees them, and the small
// file and path helpers around them.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

// The CF_HDROP header is part of a published clipboard layout: 20 bytes on
// every architecture (offset, point, two flags).
static_assert(sizeof(DROPFILES) == 20, "DROPFILES must keep the published 20-byte layout");

// Creates a new empty directory with a unique "bdx" name in the temporary
// directory and returns its full path without a trailing backslash.
// Throws CZipWinException.
std::string CreateWorkspace();

// Removes a directory tree, clearing read-only attributes on the way.  True
// when the directory itself is gone; never throws.
bool DeleteTree(const std::string& path);

// Stages one file or directory below destination, keeping its path relative
// to base (base and destination end with a backslash).  A directory is created
// empty, with a trailing backslash on the returned path; a file is copied and
// never overwrites.  Throws CZipWinException.
std::string CopyIntoWorkspace(const std::string& source, const std::string& base, const std::string& destination);

// A CF_HDROP block (GMEM_MOVEABLE, ANSI) from NUL-separated paths; the list
// may or may not end with its own NUL.  The caller owns the handle.
// Throws CZipWinException.
HGLOBAL MakeDropFiles(const std::string& nulSeparatedPaths);

// True for the extensions that start a program: .exe, .bat, .com, .pif.
bool IsApplicationName(const char* name);

// In place: "/" to "\" and back.
void ToBackslashes(char* text);
void ToForwardSlashes(char* text);
inline void ToBackslashes(std::string& text) { ToBackslashes(text.data()); }
inline void ToForwardSlashes(std::string& text) { ToForwardSlashes(text.data()); }
