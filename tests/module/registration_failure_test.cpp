#include <gtest/gtest.h>

#include <olectl.h>

#include "fake_user_interaction.h"

namespace {

const char kScratch[] = "Software\\Marrowbox tests\\deleted classes";
const char kProbe[] = "Marrowbox registration probe";

// HKEY_CLASSES_ROOT is redirected, for this process only, to a key that has
// been deleted, so registration fails at its first write without touching the
// prefix's real entries.
TEST(RegistrationFailure, IsReportedOnceAsASystemErrorAndGivesEFail) {
  HKEY scratch = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &scratch, nullptr));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, kScratch));
  ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CLASSES_ROOT, scratch));

  // Registration only runs once a write through the redirected root is refused.
  HKEY probe = nullptr;
  const LONG probeResult =
      RegCreateKeyExA(HKEY_CLASSES_ROOT, kProbe, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &probe, nullptr);
  HRESULT registered = S_OK;
  WithFakeUser fake;
  if (probeResult == ERROR_KEY_DELETED) registered = DllRegisterServer();
  RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  RegCloseKey(scratch);
  if (probe != nullptr) {
    RegCloseKey(probe);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kProbe);
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Marrowbox tests");
  ASSERT_EQ(ERROR_KEY_DELETED, probeResult) << "the redirected root accepted a write";

  EXPECT_EQ(E_FAIL, registered);
  ASSERT_EQ(1u, fake.user.boxes.size());
  EXPECT_EQ(0u, fake.user.boxes[0].text.rfind("System Error: 0-1018 ", 0)) << fake.user.boxes[0].text;
  EXPECT_EQ(static_cast<UINT>(MB_OK), fake.user.boxes[0].type & 0xF);
}

}  // namespace
