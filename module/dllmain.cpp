// The loader's entry.  Under the loader lock nothing here may load libraries,
// start OLE, wait or touch the clipboard, so the application object starts at
// the first call into an export instead (EnsureAppStarted), and the clean-up
// of workspaces happens in DllCanUnloadNow, which refuses to let the library
// go while one is pending.  Whatever a host leaves behind by unloading
// without asking stays in the temporary directory.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
