// The real face of the user-interaction seam: message boxes and the
// system's dialogs.
#include "windows_user_interaction.h"

#include <commdlg.h>
#include <shellapi.h>

#include <vector>

#include "confirm_file_replace_dlg.h"
#include "confirm_folder_replace_dlg.h"
#include "file_name_dlg.h"
#include "new_folder_dlg.h"
#include "open_in_folder_dlg.h"
#include "progress_dlg.h"
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
    return ShowApplicationMessage(owner, text, type);
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
    std::wstring filter = Utf8ToWide(LoadStr(IDS_ZIP_FILTER));
    for (wchar_t& c : filter)
      if (c == L'|') c = L'\0';
    // Room for a path beyond MAX_PATH: the folder may be deep.
    constexpr DWORD kFileChars = 32768;
    std::vector<wchar_t> file(kFileChars, L'\0');
    const std::wstring proposed = Utf8ToWide(name);
    lstrcpynW(file.data(), proposed.c_str(), static_cast<int>(kFileChars));
    const std::wstring initialDir = Utf8ToWide(directory);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kFileChars;
    dialog.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    dialog.lpstrDefExt = L"zip";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&dialog)) {
      if (CommDlgExtendedError() != 0) throw CZipWinException(0, ERROR_INVALID_PARAMETER);
      return IDCANCEL;
    }
    path = WideToUtf8(file.data());
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
    const std::wstring wideFile = Utf8ToWide(file);
    const std::wstring wideDirectory = Utf8ToWide(directory);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = owner;
    info.lpVerb = L"open";
    info.lpFile = wideFile.c_str();
    info.lpDirectory = wideDirectory.c_str();
    info.nShow = SW_SHOW;
    if (!ShellExecuteExW(&info)) throw CZipWinException();
  }
  int MoveWithShell(const std::string& source, const std::string& destinationDir) override {
    // Each list ends with two NULs.
    const std::wstring from = Utf8ToWide(source) + L'\0';
    const std::wstring to = Utf8ToWide(destinationDir) + L'\0';
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_MOVE;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    return SHFileOperationW(&operation);
  }
  INT_PTR RunWithProgress(Worker worker, ZIPREQUEST& request, HWND owner) override {
    CProgressDlg dialog(worker, &request, owner);
    return dialog.DoModal();
  }
};

}  // namespace

IUserInteraction& WindowsUserInteraction() {
  static RealUserInteraction real;
  return real;
}
