// The archive operations the folder's own menus, drop target and data object
// start.  They are methods of the folder defined a layer above
// (operations/), so this layer reaches them through a table the module
// installs when it starts; the view and the handler call the methods
// directly.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <shellapi.h>

#include <string>
#include <vector>

class CZipFolder;

class IFolderOperations {
 public:
  virtual bool FindInstaller(CZipFolder& folder, std::string* name) = 0;
  virtual void DeleteMembers(CZipFolder& folder, const std::vector<std::string>& names, HWND parent) = 0;
  virtual void CopyToClipboard(CZipFolder& folder, const std::vector<std::string>& names, HWND parent) = 0;
  virtual void OpenInFolder(CZipFolder& folder, HWND parent) = 0;
  virtual void ShowProperties(CZipFolder& folder, HWND parent, const std::vector<std::string>& names) = 0;
  virtual void UnzipToNewFolder(CZipFolder& folder, HWND parent) = 0;
  virtual void AddDroppedFiles(CZipFolder& folder, HDROP drop, HWND parent) = 0;
  virtual IDataObject* CreateDragData(CZipFolder& folder, const std::vector<std::string>& names) = 0;
  virtual void ExtractToDirectory(CZipFolder& folder, const std::string& spec, const std::string& directory,
                                  HWND parent) = 0;

 protected:
  ~IFolderOperations() = default;
};

void InstallFolderOperations(IFolderOperations& operations);
// The installed table; throws std::logic_error while there is none.
IFolderOperations& FolderOperations();
