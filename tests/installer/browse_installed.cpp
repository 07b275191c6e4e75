// What a program on a machine with the installed package does to show an
// archive as a folder: the class comes from the ProgID alone, the DLL from the
// registry view of this program's bitness.  Prints the DLL that served it and
// the archive's top-level folders (the folder object enumerates folders only;
// files are the view's business); installer_test.sh judges them.
//
// Usage: browse_installed ARCHIVE [RELEASE_FILE]
// With RELEASE_FILE the program keeps the folder (and so the DLL) until that
// file exists, the way Explorer holds an extension while a window is open.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>

#include "class_ids.h"

namespace {

int Fail(const char* what, HRESULT hr) {
  std::printf("error: %s failed (0x%08lx)\n", what, static_cast<unsigned long>(hr));
  return 1;
}

// Prints "folder <name>" for each folder the archive's root lists.
HRESULT ListFolders(IShellFolder* folder) {
  IEnumIDList* members = nullptr;
  HRESULT hr = folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &members);
  if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
  PITEMID_CHILD item = nullptr;
  while (members->Next(1, &item, nullptr) == S_OK) {
    STRRET name{};
    char text[MAX_PATH] = "";
    if (SUCCEEDED(folder->GetDisplayNameOf(item, SHGDN_INFOLDER, &name))) StrRetToBufA(&name, item, text, MAX_PATH);
    std::printf("folder %s\n", text);
    CoTaskMemFree(item);
  }
  members->Release();
  return S_OK;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: browse_installed ARCHIVE [RELEASE_FILE]\n");
    return 2;
  }
  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(hr)) return Fail("CoInitializeEx", hr);

  CLSID clsid{};
  hr = CLSIDFromProgID(kZipFileProgIdWide.data(), &clsid);
  if (FAILED(hr)) return Fail("CLSIDFromProgID(ZipFile)", hr);
  IPersistFolder* persist = nullptr;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFolder, reinterpret_cast<void**>(&persist));
  if (FAILED(hr)) return Fail("CoCreateInstance", hr);

  // The module COM loaded, by its long name (registration records the short one).
  char loaded[MAX_PATH] = "";
  char longName[MAX_PATH] = "";
  GetModuleFileNameA(GetModuleHandleA("Marrowbx.dll"), loaded, MAX_PATH);
  if (GetLongPathNameA(loaded, longName, MAX_PATH) == 0) lstrcpynA(longName, loaded, MAX_PATH);
  std::printf("dll %s\n", longName);

  const std::string archive = argv[1];
  const std::wstring wide(archive.begin(), archive.end());
  PIDLIST_ABSOLUTE pidl = nullptr;
  hr = SHParseDisplayName(wide.c_str(), nullptr, &pidl, 0, nullptr);
  if (FAILED(hr)) return Fail("SHParseDisplayName", hr);
  hr = persist->Initialize(pidl);
  CoTaskMemFree(pidl);
  if (FAILED(hr)) return Fail("IPersistFolder::Initialize", hr);
  IShellFolder* folder = nullptr;
  hr = persist->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&folder));
  persist->Release();
  if (FAILED(hr)) return Fail("QueryInterface(IShellFolder)", hr);

  if (FAILED(hr = ListFolders(folder))) return Fail("EnumObjects", hr);
  std::fflush(stdout);

  if (argc > 2) {
    std::printf("holding\n");
    std::fflush(stdout);
    // Bounded, so a test that dies never leaves this process behind for long.
    for (int i = 0; i < 6000 && GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  }
  folder->Release();
  CoUninitialize();
  return 0;
}
