#include "folder_operations.h"

#include <atomic>
#include <stdexcept>

namespace {

std::atomic<IFolderOperations*> g_operations{nullptr};

}  // namespace

void InstallFolderOperations(IFolderOperations& operations) { g_operations.store(&operations); }

IFolderOperations& FolderOperations() {
  IFolderOperations* operations = g_operations.load();
  if (operations == nullptr) throw std::logic_error("no folder operations installed");
  return *operations;
}
