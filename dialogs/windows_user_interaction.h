// The real face of the user-interaction seam: message boxes, the system's
// dialogs and the progress window.  The module installs it as the default.
#pragma once

#include "user_interaction.h"

IUserInteraction& WindowsUserInteraction();
