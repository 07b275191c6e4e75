// The help page goes where the user's temporary folder is, whatever script
// names it and however deep it lies, and the launch names that very file.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "fake_user_interaction.h"
#include "help.h"
#include "strings.h"
#include "workspace.h"

namespace {

TEST(Help, ThePageIsWrittenAndLaunchedUnderAPathOfAnyScript) {
  FakeUserInteraction fake;
  const ScopedUserInteraction installed(fake);
  const std::string root = CreateWorkspace();
  // Greek, Hebrew and an emoji, and deep enough to pass MAX_PATH.
  const std::string folder = root + "\\\xCE\xB2\xCE\xBF\xCE\xAE\xCE\xB8\xCE\xB5\xCE\xB9\xCE\xB1 \xD7\xA2\xD7\x96\xD7\xA8\xD7\x94 \xF0\x9F\x93\x96";
  const std::string deep = folder + "\\" + std::string(120, 'h') + "\\" + std::string(100, 'p');
  for (const std::string& directory : {folder, folder + "\\" + std::string(120, 'h'), deep})
    ASSERT_TRUE(CreateDirectoryW(FileSystemPath(directory).c_str(), nullptr)) << directory.size();
  const std::string page = deep + "\\Marrowbox Help.htm";
  ASSERT_GT(page.size(), static_cast<size_t>(MAX_PATH));

  const std::string previous = HelpFilePath();
  SetHelpFilePath(page);
  ShowHelpTopics(nullptr);
  SetHelpFilePath(previous);

  ASSERT_EQ(1u, fake.launches.size());
  // The launch names the very file: its wide form is the path's.
  EXPECT_EQ(Utf8ToWide(page), Utf8ToWide(fake.launches[0].file));
  EXPECT_EQ(Utf8ToWide(deep), Utf8ToWide(fake.launches[0].directory));
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(FileSystemPath(page).c_str(), GetFileExInfoStandard, &data));
  EXPECT_GT(data.nFileSizeLow, 100u) << "the page was written";
  EXPECT_TRUE(fake.boxes.empty());
  EXPECT_TRUE(DeleteTree(root));
}

}  // namespace
