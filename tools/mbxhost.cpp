// mbxhost: shows an archive (or any folder) in the shell browser host.
//
//   mbxhost.exe [options] <archive.zip | directory>
//     --progid NAME      class of the archive (default ZipFile)
//     --view-mode N      1 large icons, 2 small icons, 3 list, 4 details (default)
//     --exit-after MS    close the frame after MS milliseconds
//     --hwnd-file PATH   write the frame's window handle (decimal) once the
//                        folder is shown (or failed to show)
//     --show WHAT        once shown, select the row named NAME (a file) and open
//                        its context-menu or its properties:
//                        context-menu:NAME or properties:NAME
//
// Prints "frame <handle>" on standard output for scripts.  Exits 0 when the
// folder was shown, 2 when it could not be (the frame then shows why in its
// status bar until it is closed), 1 for a usage error.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell_host.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: mbxhost [--progid NAME] [--view-mode 1-4] [--exit-after MS] [--hwnd-file PATH] "
               "[--show context-menu:NAME | properties:NAME] <archive.zip | directory>\n");
  return 1;
}

// Selects the row and asks the view for its context menu there, or for the
// row's properties, as a user would (for pictures of the running system).
void Demonstrate(host::ShellHost& browser, const std::wstring& what) {
  const size_t colon = what.find(L':');
  if (colon == std::wstring::npos) return;
  const std::wstring action = what.substr(0, colon);
  const std::string name(what.begin() + static_cast<std::ptrdiff_t>(colon) + 1, what.end());
  HWND view = browser.ViewWindow();
  HWND list = host::FindListView(view);
  if (list == nullptr) return;
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  int row = 0;
  while (row < rows && host::ListItemText(list, row, 0) != name) ++row;
  if (row == rows) return;
  SetFocus(list);
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
  if (action == L"properties") {
    PostMessageW(view, WM_COMMAND, 32032, 0);  // Properties
    return;
  }
  RECT rect{LVIR_LABEL, 0, 0, 0};
  SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
  POINT point{rect.left + 20, (rect.top + rect.bottom) / 2};
  ClientToScreen(list, &point);
  PostMessageW(view, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(point.x, point.y));
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring target, progId = kZipFileProgIdWide.data(), hwndFile, demonstrate;
  long exitAfter = -1;
  UINT viewMode = FVM_DETAILS;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == L"--progid" && hasValue) {
      progId = argv[++i];
    } else if (arg == L"--view-mode" && hasValue) {
      viewMode = static_cast<UINT>(std::wcstoul(argv[++i], nullptr, 10));
      if (viewMode < 1 || viewMode > 4) return Usage();
    } else if (arg == L"--exit-after" && hasValue) {
      exitAfter = std::wcstol(argv[++i], nullptr, 10);
    } else if (arg == L"--hwnd-file" && hasValue) {
      hwndFile = argv[++i];
    } else if (arg == L"--show" && hasValue) {
      demonstrate = argv[++i];
    } else if (arg.rfind(L"--", 0) == 0 || !target.empty()) {
      return Usage();
    } else {
      target = arg;
    }
  }
  LocalFree(argv);
  if (target.empty()) return Usage();

  if (FAILED(OleInitialize(nullptr))) {
    std::fprintf(stderr, "mbxhost: OLE cannot be initialised\n");
    return 2;
  }
  host::ShellHost* browser = host::ShellHost::Create(instance);
  if (!browser) {
    std::fprintf(stderr, "mbxhost: the frame window cannot be created\n");
    OleUninitialize();
    return 2;
  }
  browser->QuitOnDestroy(true);
  browser->SetViewMode(viewMode);
  browser->Show(show == SW_HIDE ? SW_SHOWNORMAL : show);

  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool isDirectory = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  const HRESULT hr = isDirectory ? browser->OpenDirectory(target) : browser->OpenArchive(target, progId.c_str());

  std::printf("frame %llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(browser->Frame())));
  std::fflush(stdout);
  if (!hwndFile.empty()) {
    if (FILE* f = _wfopen(hwndFile.c_str(), L"w")) {
      std::fprintf(f, "%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(browser->Frame())));
      std::fclose(f);
    }
  }

  if (SUCCEEDED(hr) && !demonstrate.empty()) Demonstrate(*browser, demonstrate);
  browser->RunMessageLoop(exitAfter < 0 ? INFINITE : static_cast<DWORD>(exitAfter));
  browser->Close();
  browser->Release();
  OleUninitialize();
  return SUCCEEDED(hr) ? 0 : 2;
}
