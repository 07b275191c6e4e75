// The questions' logic through the seam: what is asked, and what each
// answer does to the operation.
#include <gtest/gtest.h>

#include "confirm_file_replace_dlg.h"
#include "confirm_folder_replace_dlg.h"
#include "exception.h"
#include "fake_user_interaction.h"
#include "format.h"
#include "replace_questions.h"
#include "temp_dir.h"

namespace {

class ReplaceQuestions : public ::testing::Test, protected WithFakeUser {
 protected:
  void SetUp() override {
    existing.name = "docs\\a.txt";
    existing.size = 1500;
    SYSTEMTIME time{2024, 3, 0, 9, 14, 5, 0, 0};
    SystemTimeToFileTime(&time, &existing.modified);
    path = dir.Write("a.txt", "new");
  }
  MemberEntry existing{};
  TempDir dir;
  std::string path;
};

TEST_F(ReplaceQuestions, FileQuestionWordsBothSides) {
  user.answers = {IDYES};
  bool yesToAll = false;
  EXPECT_TRUE(AskFileReplace(nullptr, existing, yesToAll, path));
  EXPECT_FALSE(yesToAll);
  ASSERT_EQ(1u, user.fileReplaceTexts.size());
  const FileReplaceTexts& texts = user.fileReplaceTexts[0];
  EXPECT_EQ("This folder already contains a file called 'docs\\a.txt'.", texts.question);
  EXPECT_EQ(format::FormatByteSize(1500, false) + "\nmodified on " + format::FormatFileTime(existing.modified, true),
            texts.existingText);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
  FILETIME local;
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  EXPECT_EQ(format::FormatByteSize(3, false) + "\nmodified on " + format::FormatFileTime(local, true), texts.newText);
  EXPECT_EQ(path, texts.newFilePath);
}

TEST_F(ReplaceQuestions, YesToAllSilencesLaterFileQuestionsOnly) {
  user.answers = {IDOK, IDNO};
  bool filesToAll = false, foldersToAll = false;
  EXPECT_TRUE(AskFileReplace(nullptr, existing, filesToAll, path));
  EXPECT_TRUE(filesToAll);
  EXPECT_TRUE(AskFileReplace(nullptr, existing, filesToAll, path));
  EXPECT_TRUE(AskFileReplace(nullptr, existing, filesToAll, path));
  EXPECT_EQ(1u, user.questions.size());
  // The folder question has its own flag and is still asked.
  EXPECT_FALSE(AskFolderReplace(nullptr, "pics", foldersToAll));
  ASSERT_EQ(2u, user.questions.size());
  EXPECT_EQ("folder replace", user.questions[1].kind);
  EXPECT_EQ(0u, user.questions[1].text.find("This folder already contains a file called 'pics'.\n\nIf the files"));
}

TEST_F(ReplaceQuestions, NoSkipsAndCancelAbandons) {
  user.answers = {IDNO, IDCANCEL, IDNO, IDCANCEL};
  bool yesToAll = false;
  EXPECT_FALSE(AskFileReplace(nullptr, existing, yesToAll, path));
  EXPECT_THROW(AskFileReplace(nullptr, existing, yesToAll, path), CUserCancelException);
  EXPECT_FALSE(AskFolderReplace(nullptr, "pics", yesToAll));
  EXPECT_THROW(AskFolderReplace(nullptr, "pics", yesToAll), CUserCancelException);
  EXPECT_FALSE(yesToAll);
  EXPECT_TRUE(user.boxes.empty()) << "a cancel reports nothing";
}

TEST_F(ReplaceQuestions, AVanishedNewFileStillGetsAQuestion) {
  user.answers = {IDYES};
  bool yesToAll = false;
  EXPECT_TRUE(AskFileReplace(nullptr, existing, yesToAll, dir / "gone.txt"));
  ASSERT_EQ(1u, user.fileReplaceTexts.size());
  EXPECT_EQ(format::FormatByteSize(0, false) + "\nmodified on ?", user.fileReplaceTexts[0].newText);
}

}  // namespace
