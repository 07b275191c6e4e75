#include "user_interaction.h"

#include <process.h>

#include <atomic>
#include <exception>

#include "exception.h"
#include "handles.h"
#include "strings.h"
#include "zip_exceptions.h"

namespace {

// What a component without its windows can honestly do: tell the debugger,
// decline every question, and run requests to their end unseen.
class StandInUserInteraction final : public IUserInteraction {
 public:
  int ShowMessage(HWND, const std::string& text, UINT) override {
    OutputDebugStringW(Utf8ToWide(std::string(kApplicationName) + ": " + text + "\n").c_str());
    return IDCANCEL;
  }
  void Beep(UINT) override {}
  int ConfirmFileReplace(HWND, const FileReplaceTexts&) override { return IDCANCEL; }
  int ConfirmFolderReplace(HWND, const std::string&) override { return IDCANCEL; }
  int AskFileName(HWND, const std::string&) override { return kFileNameCancel; }
  int AskSaveZipPath(HWND, const std::string&, const std::string&, std::string&) override { return IDCANCEL; }
  void ShowPropertySheet(HWND, const PropertiesPage&) override {}
  int AskNewFolderName(HWND, std::string&) override { return IDCANCEL; }
  int ConfirmLaunchApplication(HWND) override { return IDCANCEL; }
  void WaitForOpenInFolder(HWND) override {}
  void ShowAbout(HWND) override {}
  void Launch(HWND, const std::string&, const std::string&) override { throw CUserCancelException(); }
  int MoveWithShell(const std::string&, const std::string&) override { return ERROR_CANCELLED; }
  INT_PTR RunWithProgress(Worker worker, ZIPREQUEST& request, HWND) override {
    const uintptr_t thread = _beginthreadex(nullptr, 0, worker, &request, 0, nullptr);
    if (thread == 0) throw CZipWinException();
    const UniqueKernelHandle handle(reinterpret_cast<HANDLE>(thread));
    WaitForSingleObject(handle.get(), INFINITE);
    return IDOK;
  }
};

StandInUserInteraction g_standIn;
std::atomic<IUserInteraction*> g_default{&g_standIn};
// Null: the default.
std::atomic<IUserInteraction*> g_current{nullptr};

// The framework's exceptions report through whatever is in force here.
int ShowThroughSeam(const std::string& text, UINT type) { return UserInteraction().ShowMessage(nullptr, text, type); }
const bool g_hooked = (SetErrorMessageShower(&ShowThroughSeam), true);

}  // namespace

IUserInteraction& UserInteraction() {
  IUserInteraction* current = g_current.load();
  return current ? *current : *g_default.load();
}

IUserInteraction& DefaultUserInteraction() { return *g_default.load(); }

void InstallDefaultUserInteraction(IUserInteraction& windows) {
  g_default.store(&windows);
}

ScopedUserInteraction::ScopedUserInteraction(IUserInteraction& replacement)
    : m_previous(g_current.exchange(&replacement)) {}

ScopedUserInteraction::~ScopedUserInteraction() { g_current.store(m_previous); }
