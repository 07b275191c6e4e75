// Views of the registered DLL opened and closed in the shell browser host, as
// a user opens and closes archive windows in Explorer: whatever a view
// brought to life (its folder, the archive object, the archive's watcher
// thread and mutex, its windows) goes with it, and the library may unload.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <atomic>
#include <string>
#include <thread>

#include "dialog_script.h"
#include "process_state.h"
#include "shell_host.h"
#include "temp_dir.h"
#include "zip_maker.h"

namespace {

BOOL CALLBACK CountViewWindow(HWND window, LPARAM count) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof(name));
  if (std::string(name) == "MarrowboxZipView") ++*reinterpret_cast<int*>(count);
  return TRUE;
}

BOOL CALLBACK CountViewWindowsBelow(HWND top, LPARAM count) {
  DWORD process = 0;
  GetWindowThreadProcessId(top, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  CountViewWindow(top, count);
  EnumChildWindows(top, CountViewWindow, count);
  return TRUE;
}

int ViewWindowsOfThisProcess() {
  int count = 0;
  EnumWindows(CountViewWindowsBelow, reinterpret_cast<LPARAM>(&count));
  return count;
}

HRESULT LibraryCanUnloadNow() {
  HMODULE library = GetModuleHandleA("Marrowbx.dll");
  if (library == nullptr) return E_FAIL;
  auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
  return canUnload != nullptr ? canUnload() : E_FAIL;
}

void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

class ViewLifetime : public ::testing::Test {
 protected:
  // The shell's threads are OLE threads: only then does a view register
  // itself for drops, the registration that used to keep it alive.
  static void SetUpTestSuite() { ASSERT_EQ(S_OK, OleInitialize(nullptr)); }
  static void TearDownTestSuite() { OleUninitialize(); }

  void SetUp() override {
    for (const char* f : {"docs\\readme.txt", "a.txt"}) source.Write(f, f);
    ASSERT_EQ(0, zip_maker::Add(zip, source.path(), {"docs\\readme.txt", "a.txt"}));
  }

  // Opens the archive in a new host window and closes it again.
  HRESULT OpenAndClose(const std::string& path) {
    host::ShellHost* browser = host::ShellHost::Create();
    if (browser == nullptr) return E_FAIL;
    const HRESULT hr = browser->OpenArchive(std::wstring(path.begin(), path.end()));
    if (SUCCEEDED(hr) && browser->View() == nullptr) ADD_FAILURE() << "no view";
    browser->PumpPending();
    viewsBeforeClose = ViewWindowsOfThisProcess();
    browser->Close();
    browser->Release();
    Pump(50);
    return hr;
  }

  // What is left once everything had the time to end.
  void ExpectNothingLeft(const std::string& path, int threadsBefore) {
    int threads = ThreadsOfThisProcess();
    for (int i = 0; i < 100 && threads > threadsBefore; ++i) {
      Pump(50);
      threads = ThreadsOfThisProcess();
    }
    EXPECT_EQ(threadsBefore, threads) << "a watcher thread outlived its archive";
    EXPECT_FALSE(ArchiveObjectLives(path)) << "the archive object is still alive";
    EXPECT_EQ(0, ViewWindowsOfThisProcess());
    // A thread's last reference may go just after the thread count fell.
    HRESULT unload = LibraryCanUnloadNow();
    for (int i = 0; i < 100 && unload != S_OK; ++i) {
      Pump(50);
      unload = LibraryCanUnloadNow();
    }
    EXPECT_EQ(S_OK, unload);
  }

  TempDir source, archives;
  std::string zip = archives / "pack.zip";
  int viewsBeforeClose = 0;
};

TEST_F(ViewLifetime, FiftyViewsOpenedAndClosedLeaveNothingBehind) {
  // The first view starts what the system starts once per process.
  ASSERT_EQ(S_OK, OpenAndClose(zip));
  ASSERT_EQ(1, viewsBeforeClose);
  Pump(200);
  const int threadsBefore = ThreadsOfThisProcess();
  ASSERT_GT(threadsBefore, 0);
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(S_OK, OpenAndClose(zip)) << "cycle " << i;
    ASSERT_EQ(1, viewsBeforeClose) << "cycle " << i;
  }
  ExpectNothingLeft(zip, threadsBefore);
}

// A view that cannot show its archive reports it (the real message box,
// answered here as a user would) and leaves no window and no object behind.
TEST_F(ViewLifetime, AViewThatCannotOpenItsArchiveLeavesNothingBehind) {
  ASSERT_EQ(S_OK, OpenAndClose(zip));
  Pump(200);
  const int threadsBefore = ThreadsOfThisProcess();
  const std::string damaged = archives.Write("damaged.zip", std::string("PK\x03\x04", 4) + std::string(200, 'x'));

  std::atomic<bool> done{false};
  std::atomic<int> answered{0};
  std::thread user([&] {
    while (!done) {
      if (HWND box = dialog_script::WaitForDialog("")) {
        dialog_script::Click(box, IDOK);
        ++answered;
      }
    }
  });
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(FAILED(OpenAndClose(damaged))) << "cycle " << i;
    EXPECT_EQ(0, viewsBeforeClose) << "cycle " << i;
  }
  done = true;
  user.join();
  EXPECT_GE(answered.load(), 3) << "the failure was not reported";
  ExpectNothingLeft(damaged, threadsBefore);
}

}  // namespace
