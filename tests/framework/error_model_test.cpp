#include <gtest/gtest.h>

#include <cstring>

#include "fake_user_interaction.h"
#include "resource.h"
#include "zip_exceptions.h"

namespace {

std::string MessageOf(const CException& e) {
  char buffer[1024];
  return e.GetErrorMessage(buffer, sizeof(buffer)) ? std::string(buffer) : std::string("<none>");
}

TEST(EngineException, ListedCodesNameTheirCondition) {
  EXPECT_EQ("Zipping Error: 0-9 Cannot find file", MessageOf(CZipEngineException(0, 9)));
  EXPECT_EQ("Zipping Error: 0-1 The operation could not be completed. The zip file is perhaps damaged.",
            MessageOf(CZipEngineException(0, 1)));
  // Two codes share the disk-space text of a failed archive write.
  EXPECT_EQ(MessageOf(CZipEngineException(0, 14)).substr(20), MessageOf(CZipEngineException(0, 15)).substr(20));
  EXPECT_EQ("Zipping Error: 0-15 Could not write zip file. (Insufficient disk space?)",
            MessageOf(CZipEngineException(0, 15)));
  EXPECT_EQ("Zipping Error: 0-50 Insufficient disk space", MessageOf(CZipEngineException(0, 50)));
  EXPECT_EQ("Zipping Error: 3-18 Could not open zip file.", MessageOf(CZipEngineException(3, 18)));
}

TEST(EngineException, UnlistedCodesKeepTheSingleTrailingBlank) {
  EXPECT_EQ("Zipping Error: 0-2 ", MessageOf(CZipEngineException(0, 2)));
  EXPECT_EQ("Zipping Error: 0-12 ", MessageOf(CZipEngineException(0, 12)));
  EXPECT_EQ("Zipping Error: 0-51 ", MessageOf(CZipEngineException(0, 51)));
  EXPECT_EQ("Zipping Error: 0--7 ", MessageOf(CZipEngineException(0, -7)));
}

TEST(EngineException, CodeZeroTakesTheLastError) {
  SetLastError(ERROR_SHARING_VIOLATION);
  EXPECT_EQ(static_cast<int32_t>(ERROR_SHARING_VIOLATION), CZipEngineException(0, 0).Code());
}

TEST(WinException, ErrorZeroTakesTheLastErrorOfTheFailedCall) {
  const HANDLE file = CreateFileA("Z:\\no\\such\\dir\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_EQ(INVALID_HANDLE_VALUE, file);
  const DWORD expected = GetLastError();
  ASSERT_NE(0u, expected);
  const CZipWinException e(0, 0);
  EXPECT_EQ(expected, e.Error());
  EXPECT_EQ(0, MessageOf(e).find("System Error: 0-" + std::to_string(expected) + " "));
}

TEST(WinException, ExplicitRegistryResultWinsOverLastError) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  const CZipWinException e(0, ERROR_ACCESS_DENIED);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), e.Error());
  const std::string message = MessageOf(e);
  const std::string prefix = "System Error: 0-5 ";
  ASSERT_EQ(0u, message.find(prefix));
  // The system's description follows unchanged, its closing line break included.
  char system[201] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0, system,
                 200, nullptr);
  ASSERT_GT(strlen(system), 0u);
  EXPECT_EQ(prefix + system, message);
}

TEST(WinException, LargeErrorCodesPrintAsSignedDecimals) {
  const CZipWinException e(0, 0x80070005u);
  EXPECT_EQ(0u, MessageOf(e).find("System Error: 0--2147024891 "));
}

TEST(FailException, NamesBothCodes) { EXPECT_EQ("Unexpected Error: 0-0", MessageOf(CZipFailException(0, 0))); }

TEST(UserException, LoadsOrTakesItsText) {
  EXPECT_EQ("Synchronization error. Please repeat the operation.", MessageOf(CZipUserException(IDS_SYNC_ERROR)));
  EXPECT_EQ(
      "To add files from a network drive, assign a drive letter to the network drive first. "
      "(\"Map Network Drive\")",
      MessageOf(CZipUserException(IDS_NETWORK_DRIVE)));
  EXPECT_EQ("composed text", MessageOf(CZipUserException(std::string("composed text"))));
}

TEST(GetErrorMessage, EmptyTextReturnsFalseAndWritesNothing) {
  char buffer[8];
  memset(buffer, 'x', sizeof(buffer));
  EXPECT_FALSE(CZipUserException(std::string()).GetErrorMessage(buffer, sizeof(buffer)));
  EXPECT_EQ(std::string(8, 'x'), std::string(buffer, 8));
}

TEST(GetErrorMessage, SmallBufferGetsTheMessageCutAndTerminated) {
  char buffer[12];
  memset(buffer, 'x', sizeof(buffer));
  ASSERT_TRUE(CZipEngineException(0, 9).GetErrorMessage(buffer, 10));
  EXPECT_STREQ("Zipping E", buffer);
  EXPECT_EQ('x', buffer[10]);
  ASSERT_TRUE(CZipEngineException(0, 9).GetErrorMessage(buffer, 1));
  EXPECT_STREQ("", buffer);
}

TEST(ReportError, ShowsTheMessageOrTheFallbackInAnOkBox) {
  WithFakeUser fake;
  CZipUserException(IDS_READ_ONLY).ReportError();
  CZipUserException(std::string()).ReportError();
  CUserCancelException().ReportError();
  ASSERT_EQ(2u, fake.user.boxes.size());
  EXPECT_EQ("The zip file is read-only.", fake.user.boxes[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_OK), fake.user.boxes[0].type);
  EXPECT_EQ(kNoErrorMessageText, fake.user.boxes[1].text);
}

TEST(Result, EachExceptionTellsWhatWentWrong) {
  EXPECT_EQ(E_FAIL, CZipUserException(IDS_READ_ONLY).Result());
  EXPECT_EQ(E_FAIL, CZipFailException(0, 0).Result());
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_CANCELLED), CUserCancelException().Result());
  EXPECT_EQ(E_ACCESSDENIED, CZipWinException(0, ERROR_ACCESS_DENIED).Result());
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), CZipWinException(0, ERROR_SHARING_VIOLATION).Result());
  // A COM failure passed as the error stays itself.
  EXPECT_EQ(E_NOINTERFACE, CZipWinException(0, static_cast<uint32_t>(E_NOINTERFACE)).Result());
  // No error at all must still read as a failure, never as S_OK.
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(E_FAIL, CZipWinException(0, 0).Result());
}

TEST(Result, EngineResultsMapOntoTheirCondition) {
  EXPECT_EQ(E_OUTOFMEMORY, CZipEngineException(0, 4).Result());
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DISK_FULL), CZipEngineException(0, 50).Result());
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DISK_FULL), CZipEngineException(0, 15).Result());
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), CZipEngineException(0, 9).Result());
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT), CZipEngineException(0, 3).Result());
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_CANCELLED), CZipEngineException(0, 80).Result());
  EXPECT_EQ(E_FAIL, CZipEngineException(0, 18).Result());
  // The system's own reason is more precise than the engine's condition.
  EXPECT_EQ(E_ACCESSDENIED, CZipEngineException(0, 18, ERROR_ACCESS_DENIED).Result());
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), CZipEngineException(0, 14, ERROR_PATH_NOT_FOUND).Result());
  EXPECT_EQ(E_OUTOFMEMORY, CZipEngineException(0, 4, ERROR_ACCESS_DENIED).Result());
}

TEST(EngineException, TheSystemsReasonEndsTheMessage) {
  const std::string denied = SystemErrorText(ERROR_ACCESS_DENIED);
  ASSERT_FALSE(denied.empty());
  EXPECT_NE('\n', denied.back()) << "the closing line break is cut";
  EXPECT_EQ("Zipping Error: 0-18 Could not open zip file. " + denied,
            MessageOf(CZipEngineException(0, 18, ERROR_ACCESS_DENIED)));
  EXPECT_EQ("Zipping Error: 0-2 " + SystemErrorText(ERROR_DISK_FULL),
            MessageOf(CZipEngineException(0, 2, ERROR_DISK_FULL)));
  // "Cannot find file" says it all; a reason the system has no text for adds nothing.
  EXPECT_EQ("Zipping Error: 0-9 Cannot find file", MessageOf(CZipEngineException(0, 9, ERROR_FILE_NOT_FOUND)));
  EXPECT_EQ("Zipping Error: 0-18 Could not open zip file.", MessageOf(CZipEngineException(0, 18, 0x7FFFFFF0u)));
}

}  // namespace
