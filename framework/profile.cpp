#include "profile.h"

#include "handles.h"
#include "strings.h"

const char kRegistryCompany[] = "Fenwright Software";
const char kSettingsSection[] = "Settings";

std::string ProfileKeyPath() {
  return std::string("Software\\") + kRegistryCompany + "\\" + kApplicationName;
}

int ReadProfileInt(const char* section, const char* entry, int defaultValue) {
  const std::string path = ProfileKeyPath() + "\\" + section;
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
    return defaultValue;
  UniqueRegKey key(raw);
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegQueryValueExA(key.get(), entry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value))
    return defaultValue;
  return static_cast<int>(value);
}

bool WriteProfileInt(const char* section, const char* entry, int value) {
  const std::string path = ProfileKeyPath() + "\\" + section;
  HKEY raw = nullptr;
  LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                                nullptr);
  if (result == ERROR_SUCCESS) {
    UniqueRegKey key(raw);
    const DWORD data = static_cast<DWORD>(value);
    result = RegSetValueExA(key.get(), entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
  }
  SetLastError(static_cast<DWORD>(result));
  return result == ERROR_SUCCESS;
}
