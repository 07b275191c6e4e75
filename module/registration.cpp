#include "registration.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "class_ids.h"
#include "empty_archive.h"
#include "handles.h"
#include "resource.h"
#include "strings.h"
#include "verbs.h"
#include "zip_exceptions.h"

namespace {

constexpr char kApprovedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr char kZipExtension[] = ".zip";
constexpr char kContentType[] = "application/x-zip-compressed";

// Each class of the library: its CLSID key and ProgID key are ours alone and
// go whole on removal, with everything written below them; its approval is
// one value in a shared key.
struct ClassEntries {
  const char* clsidText;
  const char* progId;
  const char* name;  // the CLSID key's default value
  bool hasIcon;      // the library's icon stands for the class
};
constexpr ClassEntries kClasses[] = {
    // The archive root's key is unnamed: the shell shows the ProgID's name.
    {kZipFileClsidText, kZipFileProgId, "", true},
    {kFileHandlerClsidText, kFileHandlerProgId, kFileHandlerProgId, false},
};

// Keys of ours inside keys other programs share: written with our class id,
// and removed only while they still name it.
struct SharedEntry {
  const char* parent;
  const char* name;
  const char* clsidText;
};
constexpr SharedEntry kSharedHandlers[] = {
    {"*\\shellex\\ContextMenuHandlers", kFileHandlerProgId, kFileHandlerClsidText},
    {"Folder\\shellex\\ContextMenuHandlers", kFileHandlerProgId, kFileHandlerClsidText},
};

std::string ClsidKey(const char* clsidText) { return std::string("CLSID\\") + clsidText; }
std::string SharedPath(const SharedEntry& entry) { return std::string(entry.parent) + "\\" + entry.name; }
std::string BelowZipFile(const std::string& path) { return std::string(kZipFileProgId) + "\\" + path; }
// The browser command that opens an archive as the root of its own window.
std::string RootCommand(const char* switches) {
  return std::string("explorer.exe ") + switches + "/root," + kZipFileClsidText + ",%1";
}

void Check(LONG result) {
  if (result != ERROR_SUCCESS) throw CZipWinException(0, static_cast<uint32_t>(result));
}

UniqueRegKey CreateKey(HKEY parent, const std::string& path, LONG* result = nullptr) {
  HKEY key = nullptr;
  const LONG r =
      RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (result != nullptr) *result = r;
  return UniqueRegKey(r == ERROR_SUCCESS ? key : nullptr);
}

UniqueRegKey OpenKey(HKEY parent, const std::string& path, LONG* result = nullptr, REGSAM access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  const LONG r = RegOpenKeyExA(parent, path.c_str(), 0, access, &key);
  if (result != nullptr) *result = r;
  return UniqueRegKey(r == ERROR_SUCCESS ? key : nullptr);
}

// Values are UTF-8 (the library's own path may be in any script), stored as
// the system's UTF-16.
LONG SetString(HKEY key, const char* name, const std::string& value) {
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  const std::wstring wideName = name != nullptr ? Utf8ToWide(name) : std::wstring();
  const std::wstring wideValue = Utf8ToWide(value);
  return RegSetValueExW(key, name != nullptr ? wideName.c_str() : nullptr, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(wideValue.c_str()),
                        static_cast<DWORD>((wideValue.size() + 1) * sizeof(WCHAR)));
}

// RegSetValueA: sets a key's default value, creating the key path as needed.
void SetDefault(const std::string& path, const std::string& value) {
  Check(RegSetValueA(HKEY_CLASSES_ROOT, path.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size())));
}

// The standard entries of an in-process class and its class name.
void RegisterClass(const ClassEntries& entry, const std::string& libraryPath) {
  const char* clsidText = entry.clsidText;
  const char* progId = entry.progId;
  const std::string clsidKey = ClsidKey(clsidText);
  LONG result = ERROR_SUCCESS;
  UniqueRegKey clsid = CreateKey(HKEY_CLASSES_ROOT, clsidKey, &result);
  Check(result);
  Check(SetString(clsid.get(), nullptr, entry.name));
  UniqueRegKey server = CreateKey(clsid.get(), "InprocServer32", &result);
  Check(result);
  Check(SetString(server.get(), nullptr, libraryPath));
  UniqueRegKey progIdKey = CreateKey(clsid.get(), "ProgID", &result);
  Check(result);
  Check(SetString(progIdKey.get(), nullptr, progId));

  UniqueRegKey name = CreateKey(HKEY_CLASSES_ROOT, progId, &result);
  Check(result);
  Check(SetString(name.get(), nullptr, progId));
  UniqueRegKey nameClsid = CreateKey(name.get(), "CLSID", &result);
  Check(result);
  Check(SetString(nameClsid.get(), nullptr, clsidText));
}

// The default value of a key, or false when the key or value is missing.
bool ReadDefault(HKEY parent, const std::string& path, std::string* value) {
  UniqueRegKey key = OpenKey(parent, path, nullptr, KEY_READ);
  if (!key) return false;
  char buffer[1024];
  DWORD size = sizeof(buffer) - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  buffer[size] = '\0';
  *value = buffer;
  return true;
}

// Missing keys and values are what removal wants; anything else fails.
void CheckRemoval(LONG result) {
  if (result != ERROR_FILE_NOT_FOUND && result != ERROR_PATH_NOT_FOUND) Check(result);
}

void DeleteKeyTree(HKEY root, const std::string& path) { CheckRemoval(RegDeleteTreeA(root, path.c_str())); }

// Deletes a handler key that we named, only while it still names our class.
void DeleteHandlerKey(const std::string& path, const char* clsidText) {
  std::string value;
  if (ReadDefault(HKEY_CLASSES_ROOT, path, &value) && lstrcmpiA(value.c_str(), clsidText) == 0) {
    DeleteKeyTree(HKEY_CLASSES_ROOT, path);
  }
}

}  // namespace

void RegisterServer(const std::string& libraryPath) {
  for (const ClassEntries& entry : kClasses) RegisterClass(entry, libraryPath);

  LONG result = ERROR_SUCCESS;
  for (const ClassEntries& entry : kClasses) {
    UniqueRegKey clsid = OpenKey(HKEY_CLASSES_ROOT, ClsidKey(entry.clsidText), &result);
    Check(result);
    UniqueRegKey server = OpenKey(clsid.get(), "InprocServer32");
    SetString(server.get(), "ThreadingModel", "Apartment");
    if (entry.hasIcon) {
      UniqueRegKey icon = CreateKey(clsid.get(), "DefaultIcon");
      SetString(icon.get(), nullptr, libraryPath + ",0");
    }
  }
  {
    UniqueRegKey approved = CreateKey(HKEY_LOCAL_MACHINE, kApprovedKey, &result);
    Check(result);
    for (const ClassEntries& entry : kClasses) SetString(approved.get(), entry.clsidText, entry.progId);
  }
  {
    UniqueRegKey zip = CreateKey(HKEY_CLASSES_ROOT, kZipExtension, &result);
    Check(result);
    SetString(zip.get(), nullptr, kZipFileProgId);
    SetString(zip.get(), "Content Type", kContentType);
    UniqueRegKey shellNew = CreateKey(zip.get(), "ShellNew");
    if (shellNew) {
      RegSetValueExA(shellNew.get(), "Data", 0, REG_BINARY, kEmptyArchive, sizeof(kEmptyArchive));
      RegDeleteValueA(shellNew.get(), "NullFile");
    }
  }
  SetDefault(kZipFileProgId, LoadStr(IDS_ZIP_FILE_TYPE));

  // Below the archive root's ProgID, so removing that key removes them.
  SetDefault(BelowZipFile(std::string("shell\\") + kVerbExplore + "\\command"), RootCommand("/e,"));
  SetDefault(BelowZipFile(std::string("shell\\") + kVerbOpen + "\\command"), RootCommand(""));
  SetDefault(BelowZipFile(std::string("shellex\\ContextMenuHandlers\\") + kZipFileProgId), kZipFileClsidText);
  SetDefault(BelowZipFile("shellex\\DropHandler"), kZipFileClsidText);
  for (const SharedEntry& entry : kSharedHandlers) SetDefault(SharedPath(entry), entry.clsidText);
}

void UnregisterServer() {
  for (const SharedEntry& entry : kSharedHandlers) DeleteHandlerKey(SharedPath(entry), entry.clsidText);

  // The .zip type stays for other programs: only what still holds our values
  // goes.
  LONG result = ERROR_SUCCESS;
  if (UniqueRegKey zip = OpenKey(HKEY_CLASSES_ROOT, kZipExtension, &result)) {
    std::string type;
    if (ReadDefault(zip.get(), "", &type) && type == kZipFileProgId) CheckRemoval(RegDeleteValueA(zip.get(), ""));
    if (UniqueRegKey shellNew = OpenKey(zip.get(), "ShellNew")) {
      BYTE data[64];
      DWORD size = sizeof(data);
      DWORD valueType = 0;
      if (RegQueryValueExA(shellNew.get(), "Data", nullptr, &valueType, data, &size) == ERROR_SUCCESS &&
          valueType == REG_BINARY && size == sizeof(kEmptyArchive) &&
          std::memcmp(data, kEmptyArchive, sizeof(kEmptyArchive)) == 0) {
        CheckRemoval(RegDeleteValueA(shellNew.get(), "Data"));
      }
      // A template key left with nothing in it would offer an entry that
      // creates nothing.
      DWORD subKeys = 0;
      DWORD values = 0;
      if (RegQueryInfoKeyA(shellNew.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                           nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
          subKeys == 0 && values == 0) {
        shellNew.reset();
        CheckRemoval(RegDeleteKeyA(zip.get(), "ShellNew"));
      }
    }
  } else {
    CheckRemoval(result);
  }

  if (UniqueRegKey approved = OpenKey(HKEY_LOCAL_MACHINE, kApprovedKey, &result)) {
    for (const ClassEntries& entry : kClasses) CheckRemoval(RegDeleteValueA(approved.get(), entry.clsidText));
  } else {
    CheckRemoval(result);
  }

  for (const ClassEntries& entry : kClasses) DeleteKeyTree(HKEY_CLASSES_ROOT, entry.progId);
  for (const ClassEntries& entry : kClasses) DeleteKeyTree(HKEY_CLASSES_ROOT, ClsidKey(entry.clsidText));
}
