// Installs, once, what the lower layers reach through interfaces: the top
// folder behind the archive root, the view and the operations behind the
// folder, the dialogs behind the user-interaction seam.  The application
// calls it as it starts; test programs call it too.
#pragma once

void WireLayers();
