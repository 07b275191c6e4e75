// The loader's entry.  Under the loader lock nothing here may load libraries
// or start OLE, so the application object starts at the first call into an
// export instead (EnsureAppStarted).
#include <windows.h>

#include "app.h"

namespace {

// At FreeLibrary the clean-up retries briefly: the library only unloads after
// DllCanUnloadNow found nothing pending, so a longer wait would only hold the
// loader lock against every other thread.  Whatever is still pending after
// that stays in the temporary directory.
constexpr DWORD kExitWaitLimitMs = 2000;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // At process termination (reserved not null) other threads are already
    // gone and files they held may be half-written: nothing is touched then.
    try {
      TheApp().ExitInstance(kExitWaitLimitMs);
    } catch (...) {
      // Unloading goes on whatever happens.
    }
  }
  return TRUE;
}
