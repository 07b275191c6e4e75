#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "class_ids.h"

namespace {

const char* const kZipFileClsid = kZipFileClsidText;
const char* const kHandlerClsid = kFileHandlerClsidText;
const CLSID CLSID_ZipFileClass = CLSID_ZipFile;
const CLSID CLSID_FileHandlerClass = CLSID_FileHandler;
const std::string kZipFile = kZipFileProgId;
const std::string kHandler = kFileHandlerProgId;
const char kApproved[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char kForeignClsid[] = "{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}";

struct Value {
  DWORD type;
  std::vector<unsigned char> data;
  bool operator==(const Value&) const = default;
};

Value Sz(const std::string& text) {
  return {REG_SZ, std::vector<unsigned char>(text.c_str(), text.c_str() + text.size() + 1)};
}

std::optional<Value> Read(HKEY root, const std::string& path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  Value value{};
  DWORD size = 0;
  LONG result = RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size);
  if (result == ERROR_SUCCESS) {
    value.data.resize(size);
    result = RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size);
  }
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::nullopt;
  return value;
}

bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void Write(HKEY root, const std::string& path, const char* name, const Value& value) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  RegSetValueExA(key, name, 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
  RegCloseKey(key);
}

void DeleteValue(HKEY root, const std::string& path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

// Every value below a key, by "key path|value name".
void Snapshot(HKEY root, const std::string& path, std::map<std::string, Value>& out) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out[path + "|<key>"] = Value{};
  for (DWORD i = 0;; ++i) {
    char name[512];
    DWORD nameSize = sizeof(name);
    DWORD type = 0;
    unsigned char data[2048];
    DWORD size = sizeof(data);
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    out[path + "|" + name] = Value{type, std::vector<unsigned char>(data, data + size)};
  }
  std::vector<std::string> children;
  for (DWORD i = 0;; ++i) {
    char name[512];
    DWORD nameSize = sizeof(name);
    if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    children.push_back(name);
  }
  RegCloseKey(key);
  for (const std::string& child : children) Snapshot(root, path + "\\" + child, out);
}

std::map<std::string, Value> SnapshotOurEntries() {
  std::map<std::string, Value> all;
  for (const std::string& path :
       {std::string("CLSID\\") + kZipFileClsid, std::string("CLSID\\") + kHandlerClsid, kZipFile,
        kHandler, std::string(".zip"), std::string("*\\shellex\\ContextMenuHandlers"),
        std::string("Folder\\shellex\\ContextMenuHandlers")}) {
    Snapshot(HKEY_CLASSES_ROOT, path, all);
  }
  Snapshot(HKEY_LOCAL_MACHINE, kApproved, all);
  return all;
}

// The built DLL as the prefix sees it (Z: is the Unix root).
std::string DllPath() {
  std::string path = std::string("Z:") + MBX_DLL_PATH;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// What the DLL records for itself: its short file name.
std::string RegisteredPath() {
  char shortName[MAX_PATH] = "";
  const DWORD length = GetShortPathNameA(DllPath().c_str(), shortName, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(shortName) : DllPath();
}

// Runs the system's regsvr32 of this program's bitness; returns its exit code.
DWORD Regsvr32(const char* options) {
  char directory[MAX_PATH] = "";
#ifdef _WIN64
  GetSystemDirectoryA(directory, MAX_PATH);
#else
  if (GetSystemWow64DirectoryA(directory, MAX_PATH) == 0) GetSystemDirectoryA(directory, MAX_PATH);
#endif
  std::string command = std::string("\"") + directory + "\\regsvr32.exe\" /s " + options + " \"" + DllPath() + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return static_cast<DWORD>(-1);
  }
  DWORD code = static_cast<DWORD>(-2);
  if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

// Foreign entries some tests plant; whatever a test did, the DLL ends
// registered and the plants are gone.
class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
  void TearDown() override {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\OtherHandler");
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "Folder\\shellex\\ContextMenuHandlers\\OtherHandler");
    DeleteValue(HKEY_LOCAL_MACHINE, kApproved, kForeignClsid);
    DeleteValue(HKEY_CLASSES_ROOT, ".zip", "PerceivedType");
    EXPECT_EQ(0u, Regsvr32(""));
    CoUninitialize();
  }
};

using Registration = RegistrationTest;
using Removal = RegistrationTest;

TEST_F(Registration, WritesEveryKeyAndValueWithItsExactData) {
  // A template that creates an empty file is replaced by ours.
  DeleteValue(HKEY_CLASSES_ROOT, ".zip\\ShellNew", "Data");
  Write(HKEY_CLASSES_ROOT, ".zip\\ShellNew", "NullFile", Sz(""));
  ASSERT_EQ(0u, Regsvr32(""));

  const std::string path = RegisteredPath();
  const std::string zipClsid = std::string("CLSID\\") + kZipFileClsid;
  const std::string handlerClsid = std::string("CLSID\\") + kHandlerClsid;
  const HKEY hkcr = HKEY_CLASSES_ROOT;
  EXPECT_EQ(Sz(""), Read(hkcr, zipClsid, nullptr));
  EXPECT_EQ(Sz(path), Read(hkcr, zipClsid + "\\InprocServer32", nullptr));
  EXPECT_EQ(Sz("Apartment"), Read(hkcr, zipClsid + "\\InprocServer32", "ThreadingModel"));
  EXPECT_EQ(Sz(path + ",0"), Read(hkcr, zipClsid + "\\DefaultIcon", nullptr));
  EXPECT_EQ(Sz(path), Read(hkcr, handlerClsid + "\\InprocServer32", nullptr));
  EXPECT_EQ(Sz("Apartment"), Read(hkcr, handlerClsid + "\\InprocServer32", "ThreadingModel"));
  EXPECT_EQ(Sz(kZipFileClsid), Read(hkcr, kZipFile + "\\CLSID", nullptr));
  EXPECT_EQ(Sz(kHandlerClsid), Read(hkcr, kHandler + "\\CLSID", nullptr));

  EXPECT_EQ(Sz(kZipFile), Read(HKEY_LOCAL_MACHINE, kApproved, kZipFileClsid));
  EXPECT_EQ(Sz(kHandler), Read(HKEY_LOCAL_MACHINE, kApproved, kHandlerClsid));

  EXPECT_EQ(Sz(kZipFile), Read(hkcr, ".zip", nullptr));
  EXPECT_EQ(Sz("application/x-zip-compressed"), Read(hkcr, ".zip", "Content Type"));
  const Value emptyArchive{REG_BINARY, {0x50, 0x4B, 0x05, 0x06, 0, 0, 0, 0, 0, 0, 0,
                                        0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0}};
  EXPECT_EQ(emptyArchive, Read(hkcr, ".zip\\ShellNew", "Data"));
  EXPECT_FALSE(Read(hkcr, ".zip\\ShellNew", "NullFile").has_value());

  EXPECT_EQ(Sz("Zip File"), Read(hkcr, kZipFile, nullptr));
  EXPECT_EQ(Sz(std::string("explorer.exe /e,/root,") + kZipFileClsid + ",%1"),
            Read(hkcr, kZipFile + "\\shell\\explore\\command", nullptr));
  EXPECT_EQ(Sz(std::string("explorer.exe /root,") + kZipFileClsid + ",%1"),
            Read(hkcr, kZipFile + "\\shell\\open\\command", nullptr));
  EXPECT_EQ(Sz(kZipFileClsid), Read(hkcr, kZipFile + "\\shellex\\ContextMenuHandlers\\" + kZipFile, nullptr));
  EXPECT_EQ(Sz(kZipFileClsid), Read(hkcr, kZipFile + "\\shellex\\DropHandler", nullptr));
  EXPECT_EQ(Sz(kHandlerClsid), Read(hkcr, "*\\shellex\\ContextMenuHandlers\\" + kHandler, nullptr));
  EXPECT_EQ(Sz(kHandlerClsid), Read(hkcr, "Folder\\shellex\\ContextMenuHandlers\\" + kHandler, nullptr));
}

TEST_F(Registration, RunningAgainChangesNothingAndRestoresOurValues) {
  ASSERT_EQ(0u, Regsvr32(""));
  const auto first = SnapshotOurEntries();
  ASSERT_GT(first.size(), 20u);
  ASSERT_EQ(0u, Regsvr32(""));
  EXPECT_EQ(first, SnapshotOurEntries());

  Write(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kZipFileClsid, nullptr, Sz("stale description"));
  Write(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kHandlerClsid + "\\InprocServer32", "ThreadingModel", Sz("Both"));
  Write(HKEY_CLASSES_ROOT, kZipFile + "\\shell\\open\\command", nullptr, Sz("notepad.exe %1"));
  ASSERT_EQ(0u, Regsvr32(""));
  EXPECT_EQ(first, SnapshotOurEntries());
}

TEST_F(Registration, ClassesAreCreatedThroughCom) {
  ASSERT_EQ(0u, Regsvr32(""));
  IContextMenu* menu = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FileHandlerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                                   reinterpret_cast<void**>(&menu)));
  IShellExtInit* init = nullptr;
  EXPECT_EQ(S_OK, menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
  if (init != nullptr) init->Release();
  menu->Release();

  IPersistFolder* root = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ZipFileClass, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFolder,
                                   reinterpret_cast<void**>(&root)));
  CLSID id{};
  EXPECT_EQ(S_OK, root->GetClassID(&id));
  EXPECT_TRUE(IsEqualCLSID(CLSID_ZipFileClass, id));
  root->Release();
}

TEST_F(Removal, LeavesNothingOfOursAndEverythingOfOthers) {
  ASSERT_EQ(0u, Regsvr32(""));
  Write(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\OtherHandler", nullptr, Sz(kForeignClsid));
  Write(HKEY_CLASSES_ROOT, "Folder\\shellex\\ContextMenuHandlers\\OtherHandler", nullptr, Sz(kForeignClsid));
  Write(HKEY_LOCAL_MACHINE, kApproved, kForeignClsid, Sz("Other"));
  Write(HKEY_CLASSES_ROOT, ".zip", "PerceivedType", Sz("compressed"));

  ASSERT_EQ(0u, Regsvr32("/u"));
  for (const std::string& key :
       {std::string("CLSID\\") + kZipFileClsid, std::string("CLSID\\") + kHandlerClsid, kZipFile,
        kHandler, std::string("*\\shellex\\ContextMenuHandlers\\") + kHandler,
        std::string("Folder\\shellex\\ContextMenuHandlers\\") + kHandler, std::string(".zip\\ShellNew")}) {
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
  }
  EXPECT_FALSE(Read(HKEY_LOCAL_MACHINE, kApproved, kZipFileClsid).has_value());
  EXPECT_FALSE(Read(HKEY_LOCAL_MACHINE, kApproved, kHandlerClsid).has_value());
  EXPECT_FALSE(Read(HKEY_CLASSES_ROOT, ".zip", nullptr).has_value());

  EXPECT_EQ(Sz(kForeignClsid), Read(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\OtherHandler", nullptr));
  EXPECT_EQ(Sz(kForeignClsid), Read(HKEY_CLASSES_ROOT, "Folder\\shellex\\ContextMenuHandlers\\OtherHandler", nullptr));
  EXPECT_EQ(Sz("Other"), Read(HKEY_LOCAL_MACHINE, kApproved, kForeignClsid));
  EXPECT_EQ(Sz("compressed"), Read(HKEY_CLASSES_ROOT, ".zip", "PerceivedType"));
  EXPECT_EQ(Sz("application/x-zip-compressed"), Read(HKEY_CLASSES_ROOT, ".zip", "Content Type"));

  IContextMenu* menu = nullptr;
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_FileHandlerClass, nullptr, CLSCTX_INPROC_SERVER,
                                                  IID_IContextMenu, reinterpret_cast<void**>(&menu)));
  EXPECT_EQ(0u, Regsvr32("/u")) << "removing twice is harmless";
}

TEST_F(Removal, LeavesTheZipTypeToTheProgramThatTookItOver) {
  ASSERT_EQ(0u, Regsvr32(""));
  const Value otherTemplate{REG_BINARY, {'P', 'K', 5, 6, 1}};
  Write(HKEY_CLASSES_ROOT, ".zip", nullptr, Sz("OtherArchiver.Zip"));
  Write(HKEY_CLASSES_ROOT, ".zip\\ShellNew", "Data", otherTemplate);
  Write(HKEY_CLASSES_ROOT, "Folder\\shellex\\ContextMenuHandlers\\" + kHandler, nullptr, Sz(kForeignClsid));

  ASSERT_EQ(0u, Regsvr32("/u"));
  EXPECT_EQ(Sz("OtherArchiver.Zip"), Read(HKEY_CLASSES_ROOT, ".zip", nullptr));
  EXPECT_EQ(otherTemplate, Read(HKEY_CLASSES_ROOT, ".zip\\ShellNew", "Data"));
  EXPECT_EQ(Sz(kForeignClsid), Read(HKEY_CLASSES_ROOT, "Folder\\shellex\\ContextMenuHandlers\\" + kHandler, nullptr));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\" + kHandler));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kZipFile));
}

}  // namespace
