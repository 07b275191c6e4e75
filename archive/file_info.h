// Display names and icons of members, as the shell's file-information query
// gives them for a name with the directory or the normal attribute.
#pragma once

#include <string>

#include "member_record.h"

// Fills szDisplayName and iIcon of the record for the given name (one path
// component).  True when the user's settings hide the name's extension.
bool FillShellInfo(ZIPENTRY& record, const std::string& name, bool isFolder);

// Forgets what the shell answered, so a new listing follows the user's
// current preferences (hidden extensions, changed type icons).
void ResetShellInfoCache();
