// The per-user profile: integer values in sections under
// HKEY_CURRENT_USER\Software\Fenwright Software\Marrowbox.
#pragma once

#include <windows.h>

#include <string>

extern const char kRegistryCompany[];  // "Fenwright Software"
extern const char kSettingsSection[];  // "Settings"

// Software\<company>\<application>, relative to HKEY_CURRENT_USER.
std::string ProfileKeyPath();

// A missing or non-numeric value gives the default.
int ReadProfileInt(const char* section, const char* entry, int defaultValue);
// False when the registry refused; GetLastError then holds its result.
bool WriteProfileInt(const char* section, const char* entry, int value);

// Every setting the system reads or writes, with its default.
struct SettingDef {
  const char* name;
  int defaultValue;
};

namespace settings {
inline constexpr SettingDef kCompression{"Compression", 4};
inline constexpr SettingDef kGrowExisting{"GrowExisting", 0};
inline constexpr SettingDef kNoWarnLaunchExe{"NoWarnLaunchExe", 0};
inline constexpr SettingDef kShowComprSize{"ShowComprSize", 1};
inline constexpr SettingDef kShowRatio{"ShowRatio", 1};
// How long a window waits for an archive another one is using, in ms.
inline constexpr SettingDef kArchiveWaitMs{"ArchiveWaitMs", 30000};
}  // namespace settings

inline int ReadSetting(const SettingDef& setting) {
  return ReadProfileInt(kSettingsSection, setting.name, setting.defaultValue);
}
inline bool WriteSetting(const SettingDef& setting, int value) {
  return WriteProfileInt(kSettingsSection, setting.name, value);
}
