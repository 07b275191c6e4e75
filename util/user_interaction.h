// Every way the system talks to the user goes through one replaceable object,
// so tests can answer questions and record reports without any window.  The
// real one shows the system's message boxes and dialogs.
#pragma once

#include <windows.h>

#include <string>

struct ZIPREQUEST;

// What the file replace question shows.
struct FileReplaceTexts {
  std::string question;      // "This folder already contains a file called '...'."
  std::string existingText;  // size and date of the member in the archive
  std::string newText;       // size and date of the file to add
  std::string newFilePath;   // the file to add, for its icon
};

// What a property sheet's one page shows; every field is display only.
struct PropertiesPage {
  enum Kind { kSingle, kFolder, kMultiple };
  Kind kind = kFolder;
  std::string name;        // single and folder: the name; multiple: the count text
  std::string location;    // single and multiple: the folder's name
  std::string type;        // single and multiple
  std::string size;        // the long size forms
  std::string compressed;
  std::string date;        // single: modified; folder: created ("?" when unknown)
  std::string contains;    // folder: "%d Files, %d Folders"
  DWORD attributes = 0;    // the boxes ticked (none for several members)
  int iconIndex = 0;       // single: the system image list index
};

// The "File name" question's answers.
enum : int { kFileNameOverwrite = IDOK, kFileNameOtherName = 4, kFileNameCancel = IDCANCEL };

class IUserInteraction {
 public:
  virtual ~IUserInteraction() = default;
  // A message box; returns the button chosen (IDOK, IDYES, ...).
  virtual int ShowMessage(HWND owner, const std::string& text, UINT type) = 0;
  // The "nothing to do" signal.
  virtual void Beep(UINT type) = 0;

  // Replace questions: IDYES, IDOK (yes to all), IDNO or IDCANCEL.
  virtual int ConfirmFileReplace(HWND owner, const FileReplaceTexts& texts) = 0;
  virtual int ConfirmFolderReplace(HWND owner, const std::string& text) = 0;
  // kFileNameOverwrite, kFileNameOtherName or kFileNameCancel.
  virtual int AskFileName(HWND owner, const std::string& message) = 0;
  // The save dialog for a new zip file, starting in directory with name
  // proposed (either may be empty); asks itself before an existing file is
  // overwritten.  IDOK with path set, or IDCANCEL.
  virtual int AskSaveZipPath(HWND owner, const std::string& directory, const std::string& name,
                             std::string& path) = 0;
  // The modal property sheet with its one page.
  virtual void ShowPropertySheet(HWND owner, const PropertiesPage& page) = 0;
  // IDOK with a name that passed the dialog's rules, or IDCANCEL.
  virtual int AskNewFolderName(HWND owner, std::string& name) = 0;
  // The warning before an application member is launched: IDOK goes on.
  virtual int ConfirmLaunchApplication(HWND owner) = 0;
  // Returns when the user is done with a member opened in its folder.
  virtual void WaitForOpenInFolder(HWND owner) = 0;
  // The modal About box.
  virtual void ShowAbout(HWND owner) = 0;

  // Starts the file's program with the "open" verb in the directory.
  // Throws CZipWinException when the shell refuses.
  virtual void Launch(HWND owner, const std::string& file, const std::string& directory) = 0;
  // Moves a directory into another with the shell's own progress and
  // questions; the shell's result (0 on success).
  virtual int MoveWithShell(const std::string& source, const std::string& destinationDir) = 0;

  // Runs worker(&request) on a thread of its own under the progress window,
  // which appears only when the run takes longer than a moment.  Returns
  // once the thread has ended: IDOK, or -1 when the window could not be
  // made.  A thread that cannot start comes back as the request's
  // exception or is thrown.
  using Worker = unsigned(__stdcall*)(void* request);
  virtual INT_PTR RunWithProgress(Worker worker, ZIPREQUEST& request, HWND owner) = 0;
};

// The one in force: a test's replacement, else the default.
IUserInteraction& UserInteraction();

// The default: the real windows, which the module installs when it starts
// (the dialogs live in a layer above this one).  Until then a stand-in that
// never blocks: messages go to the debugger, questions are cancelled and
// requests run without a window.
IUserInteraction& DefaultUserInteraction();
void InstallDefaultUserInteraction(IUserInteraction& windows);

// Installs a replacement for as long as the object lives.
class ScopedUserInteraction {
 public:
  explicit ScopedUserInteraction(IUserInteraction& replacement);
  ~ScopedUserInteraction();
  ScopedUserInteraction(const ScopedUserInteraction&) = delete;
  ScopedUserInteraction& operator=(const ScopedUserInteraction&) = delete;

 private:
  IUserInteraction* m_previous;
};
