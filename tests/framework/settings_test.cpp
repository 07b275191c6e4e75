#include <gtest/gtest.h>

#include "profile.h"

namespace {

const char kSettingsKey[] = "Software\\Fenwright Software\\Marrowbox\\Settings";

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey); }
  void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey); }
};

TEST_F(SettingsTest, MissingValuesGiveTheTableDefaults) {
  EXPECT_EQ(4, ReadSetting(settings::kCompression));
  EXPECT_EQ(0, ReadSetting(settings::kGrowExisting));
  EXPECT_EQ(0, ReadSetting(settings::kNoWarnLaunchExe));
  EXPECT_EQ(1, ReadSetting(settings::kShowComprSize));
  EXPECT_EQ(1, ReadSetting(settings::kShowRatio));
}

TEST_F(SettingsTest, WrittenValuesLandUnderTheUsersKeyAndReadBack) {
  ASSERT_TRUE(WriteSetting(settings::kNoWarnLaunchExe, 1));
  EXPECT_EQ(1, ReadSetting(settings::kNoWarnLaunchExe));
  EXPECT_EQ(1, ReadSetting(settings::kNoWarnLaunchExe));
  DWORD value = 0, size = sizeof(value), type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, "NoWarnLaunchExe", RRF_RT_ANY, &type,
                                        &value, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(1u, value);
}

TEST_F(SettingsTest, ValuesOfAnotherTypeGiveTheDefault) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, kSettingsKey, &key));
  RegSetValueExA(key, "Compression", 0, REG_SZ, reinterpret_cast<const BYTE*>("9"), 2);
  RegCloseKey(key);
  EXPECT_EQ(4, ReadSetting(settings::kCompression));
}

}  // namespace
