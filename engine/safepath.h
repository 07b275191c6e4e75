// Where an extracted member may land: only inside the destination directory.
#pragma once

#include <string>
#include <string_view>

#include "platform.h"

namespace ze {

// True when a relative name (either separator) stays below its base: no
// absolute or drive-qualified path, no "." or ".." component (nor one of only
// dots and blanks), no ':' (drives, alternate streams), no device name such
// as CON or lpt1.txt, no NUL.
bool isSafeRelativeName(std::string_view name);

// The output path for a member: `renamed` must lie inside `destDir` (compared
// with separators unified, case-blind on Windows) and its remainder must be a
// safe relative name.  Returns false otherwise.  `out` uses the platform's
// separator and has no trailing separator.  Names are UTF-8 with Enc::Utf8:
// then the root compares by whole characters.
bool resolveOutputPath(std::string_view destDir, std::string_view renamed, std::string& out,
                       os::Enc enc = os::Enc::Ansi);

}  // namespace ze
