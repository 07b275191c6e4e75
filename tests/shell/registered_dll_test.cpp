// The archive object as the shell meets it: through the registered DLL,
// created by class id and initialised with a real identifier list.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "temp_dir.h"
#include "zip_maker.h"

namespace {

const CLSID kZipFile = {0x3d91e7b2, 0x6a40, 0x4c8f, {0xb5, 0x12, 0xe0, 0x7a, 0x9c, 0x4d, 0x2f, 0x18}};
const CLSID kFileHandler = {0x6f2c9a41, 0x3b7d, 0x4e15, {0x9c, 0x2a, 0x5d, 0x8e, 0x1f, 0x04, 0x7b, 0x36}};

// Registers the built DLL the way a user does, with regsvr32 of the
// program's own bitness, and waits for it.
DWORD RunRegsvr32(const std::string& arguments) {
  std::string command = "regsvr32.exe /s " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return GetLastError();
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

std::string DllPath() { return std::string("Z:") + MBX_DLL_PATH; }

class RegisteredDll : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitialize(nullptr);
    ASSERT_EQ(0u, RunRegsvr32("\"" + DllPath() + "\""));
  }
  static void TearDownTestSuite() { CoUninitialize(); }

  void SetUp() override {
    for (const char* f : {"a\\b\\c.txt", "d.txt"}) source.Write(f, f);
    ASSERT_EQ(0, zip_maker::Add(zip, source.path(), {"a\\b\\c.txt", "d.txt"}));
  }

  // A root created by class id and initialised as the shell browses it.
  IShellFolder* Browse() {
    IPersistFolder* persist = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(kZipFile, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFolder,
                                     reinterpret_cast<void**>(&persist)));
    if (persist == nullptr) return nullptr;
    PIDLIST_ABSOLUTE pidl = nullptr;
    const std::wstring wide(zip.begin(), zip.end());
    EXPECT_EQ(S_OK, SHParseDisplayName(wide.c_str(), nullptr, &pidl, 0, nullptr));
    EXPECT_EQ(S_OK, persist->Initialize(pidl));
    CoTaskMemFree(pidl);
    IShellFolder* folder = nullptr;
    EXPECT_EQ(S_OK, persist->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&folder)));
    persist->Release();
    return folder;
  }

  TempDir source, archives;
  std::string zip = archives / "browsed.zip";
};

TEST_F(RegisteredDll, BothClassesAreCreatedByClassId) {
  IUnknown* handler = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(kFileHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&handler)));
  handler->Release();
  CLSID viaProgId{};
  ASSERT_EQ(S_OK, CLSIDFromProgID(L"ZipFile", &viaProgId));
  EXPECT_TRUE(IsEqualCLSID(kZipFile, viaProgId));
}

TEST_F(RegisteredDll, ABrowsedArchiveEnumeratesAndBindsItsFolders) {
  IShellFolder* folder = Browse();
  ASSERT_NE(nullptr, folder);
  IEnumIDList* e = nullptr;
  EXPECT_EQ(E_INVALIDARG, folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &e));
  ASSERT_EQ(S_OK, folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &e));
  PITEMID_CHILD item = nullptr;
  std::vector<PITEMID_CHILD> items;
  while (e->Next(1, &item, nullptr) == S_OK) items.push_back(item);
  e->Release();
  ASSERT_EQ(1u, items.size());

  STRRET name{};
  ASSERT_EQ(S_OK, folder->GetDisplayNameOf(items[0], SHGDN_INFOLDER | SHGDN_FORPARSING, &name));
  char text[MAX_PATH] = "";
  StrRetToBufA(&name, items[0], text, MAX_PATH);
  EXPECT_EQ(zip + " : a", std::string(text));

  IShellFolder* a = nullptr;
  ASSERT_EQ(S_OK, folder->BindToObject(items[0], nullptr, IID_IShellFolder, reinterpret_cast<void**>(&a)));
  IEnumIDList* inner = nullptr;
  ASSERT_EQ(S_OK, a->EnumObjects(nullptr, 0, &inner));
  ASSERT_EQ(S_OK, inner->Next(1, &item, nullptr));
  ASSERT_EQ(S_OK, a->GetDisplayNameOf(item, SHGDN_FORPARSING, &name));
  StrRetToBufA(&name, item, text, MAX_PATH);
  EXPECT_EQ(zip + " : a\\b", std::string(text));
  CoTaskMemFree(item);
  inner->Release();
  a->Release();
  for (PITEMID_CHILD i : items) CoTaskMemFree(i);
  folder->Release();
}

TEST_F(RegisteredDll, ANonFileSystemListCannotBeBrowsed) {
  IPersistFolder* persist = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(kZipFile, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFolder,
                                   reinterpret_cast<void**>(&persist)));
  PIDLIST_ABSOLUTE drives = nullptr;
  ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives));
  EXPECT_EQ(E_FAIL, persist->Initialize(drives));
  CoTaskMemFree(drives);
  persist->Release();
}

}  // namespace
