// The archive layer on its own, before the module installed anything above
// it: nothing may crash, show a window or block.
#include <gtest/gtest.h>

#include <atomic>

#include "fake_user_interaction.h"
#include "resource.h"
#include "zip_exceptions.h"
#include "zip_file.h"
#include "zip_request.h"

namespace {

std::atomic<int> g_runs{0};

unsigned __stdcall CountingWorker(void* argument) {
  auto& request = *static_cast<ZIPREQUEST*>(argument);
  request.strSpec = "ran";
  ++g_runs;
  return 0;
}

}  // namespace

TEST(Unwired, AnArchiveObjectWithoutItsTopFolderIsRefusedNotMadeHalf) {
  EXPECT_THROW(CZipFile::Create(), std::logic_error);
  IUnknown* object = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(E_UNEXPECTED, CreateZipFileObject(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)));
  EXPECT_EQ(nullptr, object);
}

TEST(Unwired, TheDefaultSeamDeclinesEveryQuestionWithoutAWindow) {
  IUserInteraction& standIn = UserInteraction();
  EXPECT_EQ(&standIn, &DefaultUserInteraction());
  EXPECT_EQ(IDCANCEL, standIn.ShowMessage(nullptr, "a report", MB_YESNO));
  EXPECT_EQ(IDCANCEL, standIn.ConfirmFileReplace(nullptr, FileReplaceTexts{}));
  EXPECT_EQ(IDCANCEL, standIn.ConfirmFolderReplace(nullptr, "pics"));
  EXPECT_EQ(kFileNameCancel, standIn.AskFileName(nullptr, "x.zip"));
  std::string path = "untouched";
  EXPECT_EQ(IDCANCEL, standIn.AskSaveZipPath(nullptr, "C:\\", "x.zip", path));
  std::string name = "untouched";
  EXPECT_EQ(IDCANCEL, standIn.AskNewFolderName(nullptr, name));
  EXPECT_EQ("untouched", path);
  EXPECT_EQ("untouched", name);
  EXPECT_EQ(IDCANCEL, standIn.ConfirmLaunchApplication(nullptr));
  EXPECT_THROW(standIn.Launch(nullptr, "C:\\x.txt", "C:\\"), CUserCancelException);
  EXPECT_NE(0, standIn.MoveWithShell("C:\\a", "C:\\b"));
}

TEST(Unwired, TheDefaultSeamRunsARequestToItsEndUnseen) {
  ZIPREQUEST request;
  const int before = g_runs.load();
  EXPECT_EQ(IDOK, DefaultUserInteraction().RunWithProgress(CountingWorker, request, nullptr));
  EXPECT_EQ(before + 1, g_runs.load());
  EXPECT_EQ("ran", request.strSpec);
}

TEST(Unwired, ReportedErrorsReachTheSeamInForce) {
  FakeUserInteraction fake;
  const ScopedUserInteraction installed(fake);
  CZipUserException(IDS_READ_ONLY).ReportError();
  ASSERT_EQ(1u, fake.boxes.size());
  EXPECT_FALSE(fake.boxes[0].text.empty());
  EXPECT_EQ(static_cast<UINT>(MB_OK), fake.boxes[0].type);
}
