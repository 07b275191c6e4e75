// The library's entry points.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include "app.h"
#include "class_objects.h"
#include "com_object.h"
#include "guard.h"
#include "registration.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!EnsureAppStarted()) return CLASS_E_CLASSNOTAVAILABLE;
    return GetClassObject(clsid, iid, out);
  });
}

STDAPI DllCanUnloadNow() {
  return ComGuard(S_FALSE, []() -> HRESULT {
    EnsureAppStarted();
    // A failed clean-up is reported and leaves the answer to the counts.
    const bool clean = Guard<bool>(true, true, [] { return TheApp().CleanWorkspaces(); });
    if (!clean) return S_FALSE;
    return module_counts::CanUnload() ? S_OK : S_FALSE;
  });
}

STDAPI DllRegisterServer() {
  return ComGuard(E_FAIL, []() -> HRESULT {
    EnsureAppStarted();
    RegisterServer(ModuleShortFileName());
    return S_OK;
  });
}

// Not one of the shell's required entries: it gives "regsvr32 /u" a clean way
// out that leaves the .zip type to other programs.
STDAPI DllUnregisterServer() {
  return ComGuard(E_FAIL, []() -> HRESULT {
    EnsureAppStarted();
    UnregisterServer();
    return S_OK;
  });
}
