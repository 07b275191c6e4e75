// The real face of the user-interaction seam: message boxes and the
// system's dialogs.
#include "user_interaction.h"

#include <commdlg.h>
#include <shellapi.h>

#include <vector>

#include "confirm_file_replace_dlg.h"
#include "confirm_folder_replace_dlg.h"
#include "file_name_dlg.h"
#include "new_folder_dlg.h"
#include "open_in_folder_dlg.h"
#include "properties_sheet.h"
#include "resource.h"
#include "strings.h"
#include "view_file_dlg.h"
#include "zip_exceptions.h"

namespace {

// A dialog that cannot even be created must not pass for an answer.
int Checked(INT_PTR result) {
  if (result == -1) throw CZipWinException();
  return static_cast<int>(result);
}

class RealUserInteraction final : public IUserInteraction {
 public:
  int ShowMessage(HWND owner, const std::string& text, UINT type) override {
    return MessageBoxA(owner, text.c_str(), kApplicationName, type | MB_SETFOREGROUND);
  }
  void Beep(UINT type) override { MessageBeep(type); }

  int ConfirmFileReplace(HWND owner, const FileReplaceTexts& texts) override {
    CConfirmFileReplaceDlg dialog(texts, owner);
    return Checked(dialog.DoModal());
  }
  int ConfirmFolderReplace(HWND owner, const std::string& text) override {
    CConfirmFolderReplaceDlg dialog(text, owner);
    return Checked(dialog.DoModal());
  }
  int AskFileName(HWND owner, const std::string& message) override {
    CFileNameDlg dialog(message, owner);
    return Checked(dialog.DoModal());
  }
  int AskSaveZipPath(HWND owner, const std::string& directory, const std::string& name,
                     std::string& path) override {
    // The resource writes the filter's separators as '|'.
    std::string filter = LoadStr(IDS_ZIP_FILTER);
    for (char& c : filter)
      if (c == '|') c = '\0';
    std::vector<char> file(MAX_PATH, '\0');
    lstrcpynA(file.data(), name.c_str(), MAX_PATH);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
    dialog.lpstrDefExt = "zip";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameA(&dialog)) {
      if (CommDlgExtendedError() != 0) throw CZipWinException(0, ERROR_INVALID_PARAMETER);
      return IDCANCEL;
    }
    path = file.data();
    return IDOK;
  }
  void ShowPropertySheet(HWND owner, const PropertiesPage& page) override { ShowPropertiesSheet(owner, page); }
  int AskNewFolderName(HWND owner, std::string& name) override {
    CNewFolderDlg dialog(owner);
    const int result = Checked(dialog.DoModal());
    if (result == IDOK) name = dialog.Name();
    return result;
  }
  int ConfirmLaunchApplication(HWND owner) override {
    CViewFileDlg dialog(owner);
    return Checked(dialog.DoModal());
  }
  void WaitForOpenInFolder(HWND owner) override {
    COpenInFolderDlg dialog(owner);
    Checked(dialog.DoModal());
  }
  void ShowAbout(HWND owner) override {
    CDialog dialog(IDD_ABOUT, owner);
    Checked(dialog.DoModal());
  }
  void Launch(HWND owner, const std::string& file, const std::string& directory) override {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.hwnd = owner;
    info.lpVerb = "open";
    info.lpFile = file.c_str();
    info.lpDirectory = directory.c_str();
    info.nShow = SW_SHOW;
    if (!ShellExecuteExA(&info)) throw CZipWinException();
  }
  int MoveWithShell(const std::string& source, const std::string& destinationDir) override {
    const std::string from = source + '\0';  // the list ends with two NULs
    const std::string to = destinationDir + '\0';
    SHFILEOPSTRUCTA operation{};
    operation.wFunc = FO_MOVE;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    return SHFileOperationA(&operation);
  }
};

}  // namespace

IUserInteraction& WindowsUserInteraction() {
  static RealUserInteraction real;
  return real;
}
