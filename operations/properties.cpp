// Properties of members.
#include "user_interaction.h"
#include "zip_folder.h"

// The property sheet is not built yet: the command says there is nothing to
// show, as for any refused command.
void CZipFolder::ShowProperties(HWND, const std::vector<std::string>&) { UserInteraction().Beep(0); }
