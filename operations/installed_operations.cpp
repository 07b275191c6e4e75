#include "installed_operations.h"

#include "zip_folder.h"

namespace {

class ArchiveOperationsTable final : public IFolderOperations {
 public:
  bool FindInstaller(CZipFolder& folder, std::string* name) override { return folder.FindInstaller(name); }
  void DeleteMembers(CZipFolder& folder, const std::vector<std::string>& names, HWND parent) override {
    folder.DeleteMembers(names, parent);
  }
  void CopyToClipboard(CZipFolder& folder, const std::vector<std::string>& names, HWND parent) override {
    folder.CopyToClipboard(names, parent, nullptr);
  }
  void OpenInFolder(CZipFolder& folder, HWND parent) override { folder.OpenInFolder(parent, nullptr); }
  void ShowProperties(CZipFolder& folder, HWND parent, const std::vector<std::string>& names) override {
    folder.ShowProperties(parent, names);
  }
  void UnzipToNewFolder(CZipFolder& folder, HWND parent) override { folder.UnzipToNewFolder(parent); }
  void AddDroppedFiles(CZipFolder& folder, HDROP drop, HWND parent) override { folder.AddDroppedFiles(drop, parent); }
  IDataObject* CreateDragData(CZipFolder& folder, const std::vector<std::string>& names) override {
    return folder.CreateDragData(names, nullptr, nullptr);
  }
  void ExtractToDirectory(CZipFolder& folder, const std::string& spec, const std::string& directory,
                          HWND parent) override {
    folder.ExtractToDirectory(spec, directory, parent);
  }
};

}  // namespace

IFolderOperations& ArchiveOperations() {
  static ArchiveOperationsTable table;
  return table;
}
