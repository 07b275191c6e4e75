// The real dialogs, driven by their control ids under the X server.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "confirm_file_replace_dlg.h"
#include "confirm_folder_replace_dlg.h"
#include "dialog_script.h"
#include "exception.h"
#include "new_folder_dlg.h"
#include "fake_user_interaction.h"
#include "profile.h"
#include "replace_questions.h"
#include "resource.h"
#include "strings.h"
#include "temp_dir.h"
#include "windows_user_interaction.h"

using namespace dialog_script;

namespace {

bool operator==(SIZE a, SIZE b) { return a.cx == b.cx && a.cy == b.cy; }

FileReplaceTexts SomeTexts(const std::string& path) {
  return FileReplaceTexts{"This folder already contains a file called 'a.txt'.", "1 KB\nmodified on then",
                          "2 KB\nmodified on now", path};
}

TEST(ReplaceDialogs, EachButtonGivesItsAnswer) {
  TempDir dir;
  const std::string path = dir.Write("a.txt", "new");
  const struct {
    int button;
    int expected;
  } cases[] = {{IDYES, IDYES}, {IDOK, IDOK}, {IDNO, IDNO}, {IDCANCEL, IDCANCEL}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    std::string question, existing, incoming;
    bool iconsSet = false, sized = false;
    Script script("Confirm File Replace", [&](HWND dialog) {
      question = Text(dialog, IDC_REPLACE_QUESTION);
      existing = Text(dialog, IDC_REPLACE_EXISTING_TEXT);
      incoming = Text(dialog, IDC_REPLACE_NEW_TEXT);
      iconsSet = SendDlgItemMessageA(dialog, IDC_REPLACE_NEW_ICON, STM_GETICON, 0, 0) != 0 &&
                 SendDlgItemMessageA(dialog, IDC_REPLACE_EXISTING_ICON, STM_GETICON, 0, 0) != 0;
      sized = ClientSize(dialog) == DialogUnits(dialog, 289, 139);
      Click(dialog, c.button);
    });
    EXPECT_EQ(c.expected, WindowsUserInteraction().ConfirmFileReplace(nullptr, SomeTexts(path)));
    ASSERT_TRUE(script.Found());
    EXPECT_FALSE(script.LeftOpen());
    EXPECT_EQ("This folder already contains a file called 'a.txt'.", question);
    EXPECT_EQ("1 KB\nmodified on then", existing);
    EXPECT_EQ("2 KB\nmodified on now", incoming);
    EXPECT_TRUE(iconsSet);
    EXPECT_TRUE(sized);
  }

  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    std::string text;
    bool sized = false;
    Script script("Confirm Folder Replace", [&](HWND dialog) {
      text = Text(dialog, IDC_REPLACE_QUESTION);
      sized = ClientSize(dialog) == DialogUnits(dialog, 275, 93);
      Click(dialog, c.button);
    });
    EXPECT_EQ(c.expected, WindowsUserInteraction().ConfirmFolderReplace(nullptr, "the text"));
    ASSERT_TRUE(script.Found());
    EXPECT_EQ("the text", text);
    EXPECT_TRUE(sized);
  }
}

TEST(ReplaceDialogs, QuestionsAndMessagesShowNamesOfEveryScript) {
  // Greek, Hebrew, CJK and an emoji: no code page holds them all.
  const std::string name = "\xCE\xB1\xCE\xB2 \xD7\x90 \xE6\x96\x87\xE4\xBB\xB6 \xF0\x9F\x98\x80";
  std::string shown;
  Script folder("Confirm Folder Replace", [&](HWND dialog) {
    shown = WideText(dialog, IDC_REPLACE_QUESTION);
    Click(dialog, IDNO);
  });
  EXPECT_EQ(IDNO, WindowsUserInteraction().ConfirmFolderReplace(nullptr, "Replace " + name + "?"));
  ASSERT_TRUE(folder.Found());
  EXPECT_EQ("Replace " + name + "?", shown);

  std::string boxText;
  Script box("Marrowbox", [&](HWND dialog) {
    boxText = WideText(dialog, 0xFFFF);  // the message box's text
    Click(dialog, IDOK);
  });
  EXPECT_EQ(IDOK, WindowsUserInteraction().ShowMessage(nullptr, "Cannot open " + name, MB_OK));
  ASSERT_TRUE(box.Found());
  EXPECT_EQ("Cannot open " + name, boxText);
}

TEST(ReplaceDialogs, EscapeAbandonsTheOperation) {
  MemberEntry existing{};
  existing.name = "a.txt";
  TempDir dir;
  const std::string path = dir.Write("a.txt", "new");
  bool yesToAll = false;
  Script file("Confirm File Replace", [](HWND dialog) { PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0); });
  EXPECT_THROW(AskFileReplace(nullptr, existing, yesToAll, path), CUserCancelException);
  EXPECT_TRUE(file.Found());
  Script folder("Confirm Folder Replace", [](HWND dialog) { PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0); });
  EXPECT_THROW(AskFolderReplace(nullptr, "pics", yesToAll), CUserCancelException);
  EXPECT_TRUE(folder.Found());
  EXPECT_FALSE(yesToAll);
}

TEST(FileNameDialog, EachButtonGivesItsAnswer) {
  const struct {
    int button;
    int expected;
  } cases[] = {{IDOK, kFileNameOverwrite}, {IDC_FILE_NAME_OTHER, kFileNameOtherName}, {IDCANCEL, kFileNameCancel}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    std::string message;
    bool sized = false;
    Script script("File name", [&](HWND dialog) {
      message = Text(dialog, IDC_FILE_NAME_MESSAGE);
      sized = ClientSize(dialog) == DialogUnits(dialog, 263, 55);
      Click(dialog, c.button);
    });
    EXPECT_EQ(c.expected, WindowsUserInteraction().AskFileName(nullptr, "A zip file called \"x.zip\" already exists"));
    ASSERT_TRUE(script.Found());
    EXPECT_EQ("A zip file called \"x.zip\" already exists", message);
    EXPECT_TRUE(sized);
  }
}

TEST(NewFolderDialog, RefusesBadNamesAndStaysOpen) {
  WithFakeUser fake;  // takes the "Invalid filename" box
  int typed = 0;
  bool openAfterColon = false, openAfterEmpty = false, openAfterLoneHalf = false, sized = false;
  size_t boxesAfterRefusals = 0;
  Script script("New folder", [&](HWND dialog) {
    sized = ClientSize(dialog) == DialogUnits(dialog, 276, 47);
    const HWND edit = GetDlgItem(dialog, IDC_NEW_FOLDER_NAME);
    for (int i = 0; i < 31; ++i) SendMessageA(edit, WM_CHAR, 'a' + i % 26, 1);
    typed = GetWindowTextLengthA(edit);
    SetWindowTextA(edit, "a:b");
    Click(dialog, IDOK);
    openAfterColon = IsWindow(dialog) && IsWindowVisible(dialog);
    SetWindowTextA(edit, "");
    Click(dialog, IDOK);
    openAfterEmpty = IsWindow(dialog) && IsWindowVisible(dialog);
    // Half of a surrogate pair has no UTF-8 spelling: no folder can be named so.
    SetWindowTextW(edit, (L"half" + std::wstring(1, wchar_t(0xD83D)) + L"pair").c_str());
    Click(dialog, IDOK);
    openAfterLoneHalf = IsWindow(dialog) && IsWindowVisible(dialog);
    boxesAfterRefusals = fake.user.boxes.size();
    SetWindowTextA(edit, " what? * ");
    Click(dialog, IDOK);
  });
  std::string name;
  EXPECT_EQ(IDOK, WindowsUserInteraction().AskNewFolderName(nullptr, name));
  ASSERT_TRUE(script.Found());
  EXPECT_TRUE(sized);
  EXPECT_EQ(30, typed);
  EXPECT_TRUE(openAfterColon);
  EXPECT_TRUE(openAfterEmpty);
  EXPECT_TRUE(openAfterLoneHalf);
  ASSERT_EQ(3u, boxesAfterRefusals);
  EXPECT_EQ("Invalid filename", fake.user.boxes[0].text);
  EXPECT_EQ("Invalid filename", fake.user.boxes[1].text);
  EXPECT_EQ(CUnspellableNameException(L"half" + std::wstring(1, wchar_t(0xD83D)) + L"pair").Message(),
            fake.user.boxes[2].text);
  EXPECT_EQ(" what? * ", name) << "only < > : \" / \\ | are refused";

  Script cancel("New folder", [](HWND dialog) { Click(dialog, IDCANCEL); });
  std::string untouched = "kept";
  EXPECT_EQ(IDCANCEL, WindowsUserInteraction().AskNewFolderName(nullptr, untouched));
  EXPECT_EQ("kept", untouched);
}

TEST(NewFolderDialog, NamesOfEveryScriptComeBackAsTyped) {
  WithFakeUser fake;
  // A look-alike of the separator is a character of its own, not a "\\".
  const std::wstring typed = L"..\uFF3C\u03B1\u03B2 \u6587\u4EF6 \U0001F600";
  Script script("New folder", [&](HWND dialog) {
    SetWindowTextW(GetDlgItem(dialog, IDC_NEW_FOLDER_NAME), typed.c_str());
    Click(dialog, IDOK);
  });
  std::string name;
  EXPECT_EQ(IDOK, WindowsUserInteraction().AskNewFolderName(nullptr, name));
  ASSERT_TRUE(script.Found());
  EXPECT_EQ(WideToUtf8(typed), name);
  EXPECT_TRUE(fake.user.boxes.empty());
}

TEST(NewFolderDialog, NameRules) {
  for (const char* bad : {"", "a<b", "a>b", "a:b", "a\"b", "a/b", "a\\b", "a|b"}) EXPECT_FALSE(IsValidNewFolderName(bad)) << bad;
  for (const char* good : {"a", " a ", "a?b", "a*b", "..."}) EXPECT_TRUE(IsValidNewFolderName(good)) << good;
}

class ViewFileDialog : public ::testing::Test {
 protected:
  void SetUp() override { WriteSetting(settings::kNoWarnLaunchExe, 0); }
  void TearDown() override { WriteSetting(settings::kNoWarnLaunchExe, m_old); }
  int m_old = ReadSetting(settings::kNoWarnLaunchExe);
};

TEST_F(ViewFileDialog, TheCheckBoxIsSavedOnTheClickWhateverTheAnswer) {
  int settingBeforeAnswer = -1;
  bool sized = false;
  Script script("View file", [&](HWND dialog) {
    sized = ClientSize(dialog) == DialogUnits(dialog, 186, 90);
    Click(dialog, IDC_VIEW_FILE_NO_WARN);
    settingBeforeAnswer = ReadSetting(settings::kNoWarnLaunchExe);
    Click(dialog, IDCANCEL);  // "&No"
  });
  EXPECT_EQ(IDCANCEL, WindowsUserInteraction().ConfirmLaunchApplication(nullptr));
  ASSERT_TRUE(script.Found());
  EXPECT_TRUE(sized);
  EXPECT_EQ(1, settingBeforeAnswer);
  EXPECT_EQ(1, ReadSetting(settings::kNoWarnLaunchExe));

  Script untick("View file", [&](HWND dialog) {
    Click(dialog, IDC_VIEW_FILE_NO_WARN);
    Click(dialog, IDC_VIEW_FILE_NO_WARN);
    Click(dialog, IDOK);  // "&Yes"
  });
  EXPECT_EQ(IDOK, WindowsUserInteraction().ConfirmLaunchApplication(nullptr));
  ASSERT_TRUE(untick.Found());
  EXPECT_EQ(0, ReadSetting(settings::kNoWarnLaunchExe)) << "unticking writes the setting back";
}

TEST(OpenInFolderDialog, EndsWithOkOrWhenTheSessionEnds) {
  bool sized = false;
  Script ok("Open in folder ...", [&](HWND dialog) {
    sized = ClientSize(dialog) == DialogUnits(dialog, 221, 50);
    Click(dialog, IDOK);
  });
  WindowsUserInteraction().WaitForOpenInFolder(nullptr);
  ASSERT_TRUE(ok.Found());
  EXPECT_TRUE(sized);

  WithFakeUser fake;  // takes the beep
  LRESULT allowed = 0;
  Script shutdown("Open in folder ...", [&](HWND dialog) { allowed = SendMessageA(dialog, WM_QUERYENDSESSION, 0, 0); });
  WindowsUserInteraction().WaitForOpenInFolder(nullptr);
  ASSERT_TRUE(shutdown.Found());
  EXPECT_FALSE(shutdown.LeftOpen());
  EXPECT_EQ(TRUE, allowed);
  EXPECT_EQ(std::vector<UINT>{0}, fake.user.beeps);
}

}  // namespace
