// The library's three entry points.
#include <windows.h>
#include <objbase.h>

#include "com_object.h"
#include "guard.h"

STDAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* out) {
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
  });
}

STDAPI DllCanUnloadNow() {
  return ComGuard(S_FALSE, []() -> HRESULT { return module_counts::CanUnload() ? S_OK : S_FALSE; });
}

// Registration writes the shell's keys once the shell-facing classes exist.
STDAPI DllRegisterServer() { return E_NOTIMPL; }
