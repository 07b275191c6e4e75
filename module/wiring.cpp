#include "wiring.h"

#include "folder_operations.h"
#include "installed_operations.h"
#include "top_folder.h"
#include "view_creator.h"
#include "windows_user_interaction.h"
#include "zip_folder.h"
#include "zip_view.h"

void WireLayers() {
  InstallTopFolderFactory(&CZipFolder::MakeTopFolder);
  InstallFolderOperations(ArchiveOperations());
  InstallViewCreator(&CreateZipViewObject);
  InstallDefaultUserInteraction(WindowsUserInteraction());
}
