// A new empty folder: an empty directory of that name, added like any
// dropped one, so the rules for replacing apply to it as well.
#include "drop_data.h"
#include "handles.h"
#include "strings.h"
#include "workspace.h"
#include "zip_exceptions.h"
#include "zip_folder.h"

void CZipFolder::NewFolder(const std::string& name, HWND parent) {
  const ScopedWorkspace workspace;
  const std::string directory = workspace.Path() + "\\" + name;
  if (!CreateDirectoryW(FileSystemPath(directory).c_str(), nullptr)) throw CZipWinException();
  const UniqueGlobal drop(MakeWideDropFiles({directory}));
  AddDroppedFiles(static_cast<HDROP>(drop.get()), parent);
}
