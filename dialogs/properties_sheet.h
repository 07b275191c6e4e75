// The property sheet of members: captioned "Properties", with exactly one
// page, chosen by what the page shows.
#pragma once

#include <windows.h>

#include "user_interaction.h"

// Modal; returns when the user closes it.  Throws CZipWinException when the
// sheet cannot be shown.
void ShowPropertiesSheet(HWND owner, const PropertiesPage& page);
