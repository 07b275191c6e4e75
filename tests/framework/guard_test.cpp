#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "fake_user_interaction.h"
#include "guard.h"
#include "resource.h"
#include "zip_exceptions.h"

namespace {

class GuardTest : public ::testing::Test, protected WithFakeUser {};

TEST_F(GuardTest, EachExceptionFamilyGivesItsResultAndIsReportedOnce) {
  struct Case {
    std::function<void()> raise;
    HRESULT expected;
    size_t reports;
  };
  const Case cases[] = {
      {[] { throw CZipUserException(IDS_READ_ONLY); }, E_FAIL, 1},
      {[] { throw CZipWinException(0, ERROR_ACCESS_DENIED); }, E_FAIL, 1},
      {[] { throw CZipFailException(0, 0); }, E_FAIL, 1},
      {[] { throw CZipEngineException(0, 9); }, E_FAIL, 1},
      {[] { throw CUserCancelException(); }, E_FAIL, 0},
      {[] { throw std::bad_alloc(); }, E_OUTOFMEMORY, 0},
      {[] { throw std::runtime_error("not ours"); }, E_UNEXPECTED, 0},
      {[] { throw 42; }, E_UNEXPECTED, 0},
  };
  for (const Case& c : cases) {
    user.boxes.clear();
    EXPECT_EQ(c.expected, ComGuard(E_FAIL, [&] { c.raise(); }));
    EXPECT_EQ(c.reports, user.boxes.size());
  }
}

TEST_F(GuardTest, ReportsTheExceptionsOwnMessage) {
  ComGuard(E_FAIL, [] { throw CZipEngineException(0, 9); });
  ASSERT_EQ(1u, user.boxes.size());
  EXPECT_EQ("Zipping Error: 0-9 Cannot find file", user.boxes[0].text);
}

TEST_F(GuardTest, PassesResultsThroughAndTakesTheCallersFailureValue) {
  EXPECT_EQ(S_FALSE, ComGuard(E_FAIL, []() -> HRESULT { return S_FALSE; }));
  EXPECT_EQ(S_OK, ComGuard(E_FAIL, [] {}));
  // Some entry points report and still answer S_OK.
  EXPECT_EQ(S_OK, ComGuard(S_OK, [] { throw CZipUserException(IDS_SYNC_ERROR); }));
  EXPECT_EQ(1u, user.boxes.size());
}

TEST_F(GuardTest, ThreadProceduresEndWithTheirExitCode) {
  EXPECT_EQ(0u, Guard<DWORD>(0, 0, [] { throw CZipWinException(0, ERROR_INVALID_HANDLE); }));
  EXPECT_EQ(7u, Guard<DWORD>(0, 7, [] { throw std::bad_alloc(); }));
  EXPECT_EQ(3u, Guard<DWORD>(0, 7, []() -> DWORD { return 3; }));
  EXPECT_EQ(1u, user.boxes.size());
}

TEST_F(GuardTest, TheGenericFailureGivesTheExceptionsOwnResult) {
  struct Case {
    std::function<void()> raise;
    HRESULT expected;
    size_t reports;
  };
  const Case cases[] = {
      {[] { throw CZipWinException(0, ERROR_ACCESS_DENIED); }, E_ACCESSDENIED, 1},
      {[] { throw CZipEngineException(0, 50); }, HRESULT_FROM_WIN32(ERROR_DISK_FULL), 1},
      {[] { throw CZipUserException(IDS_READ_ONLY); }, E_FAIL, 1},
      {[] { throw CUserCancelException(); }, HRESULT_FROM_WIN32(ERROR_CANCELLED), 0},
      {[] { throw std::bad_alloc(); }, E_OUTOFMEMORY, 0},
      {[] { throw 42; }, E_UNEXPECTED, 0},
  };
  for (const Case& c : cases) {
    user.boxes.clear();
    EXPECT_EQ(c.expected, ComGuardResult([&] { c.raise(); }));
    EXPECT_EQ(c.reports, user.boxes.size());
  }
  EXPECT_EQ(S_FALSE, ComGuardResult([]() -> HRESULT { return S_FALSE; }));
}

}  // namespace
