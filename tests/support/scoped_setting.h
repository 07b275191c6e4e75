// Sets one of the user's settings for a test and restores it afterwards.
#pragma once

#include "profile.h"

class ScopedSetting {
 public:
  ScopedSetting(const SettingDef& setting, int value) : m_setting(setting), m_old(ReadSetting(setting)) {
    WriteSetting(setting, value);
  }
  ~ScopedSetting() { WriteSetting(m_setting, m_old); }
  ScopedSetting(const ScopedSetting&) = delete;
  ScopedSetting& operator=(const ScopedSetting&) = delete;

 private:
  SettingDef m_setting;
  int m_old;
};
