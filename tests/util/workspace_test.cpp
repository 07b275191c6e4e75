#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "strings.h"
#include "workspace.h"
#include "zip_exceptions.h"
#include "test_files.h"

namespace {


void WriteText(const std::string& path, const char* text) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
  CloseHandle(file);
}

std::string ReadText(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[256];
  DWORD read = 0;
  ::ReadFile(file, buffer, sizeof(buffer), &read, nullptr);
  CloseHandle(file);
  return std::string(buffer, read);
}

// A workspace that is removed after the test whatever happened in it.
class WorkspaceTest : public ::testing::Test {
 protected:
  void SetUp() override { m_root = CreateWorkspace(); }
  void TearDown() override {
    if (Exists(m_root)) DeleteTree(m_root);
  }
  std::string m_root;
};

TEST(Workspace, NamesAreUniqueFreshDirectoriesInTheTemporaryDirectory) {
  const std::string first = CreateWorkspace();
  const std::string second = CreateWorkspace();
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  for (const std::string& path : {first, second}) {
    EXPECT_EQ(0, path.compare(0, std::strlen(temp), temp)) << path;
    EXPECT_EQ("bdx", path.substr(std::strlen(temp), 3)) << path;
    EXPECT_NE('\\', path.back());
    const DWORD attributes = GetFileAttributesA(path.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes) << path;
    EXPECT_NE(0u, attributes & FILE_ATTRIBUTE_DIRECTORY);
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    int entries = 0;
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0) ++entries;
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    EXPECT_EQ(0, entries) << path;
  }
  EXPECT_NE(first, second);
  EXPECT_TRUE(DeleteTree(first));
  EXPECT_TRUE(DeleteTree(second));
}

TEST_F(WorkspaceTest, DeleteTreeRemovesReadOnlyFilesAndDirectories) {
  const std::string sub = m_root + "\\sub";
  const std::string deeper = sub + "\\deeper";
  ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(deeper.c_str(), nullptr));
  WriteText(m_root + "\\top.txt", "top");
  WriteText(sub + "\\locked.txt", "locked");
  WriteText(deeper + "\\deep.txt", "deep");
  SetFileAttributesA((sub + "\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA((deeper + "\\deep.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesA(deeper.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA(sub.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);

  EXPECT_TRUE(DeleteTree(m_root));
  EXPECT_FALSE(Exists(m_root));
}

TEST_F(WorkspaceTest, DeleteTreeReportsATreeItCouldNotFinish) {
  const std::string held = m_root + "\\held.txt";
  WriteText(held, "x");
  const HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_FALSE(DeleteTree(m_root));
  EXPECT_TRUE(Exists(held));
  CloseHandle(file);
  EXPECT_TRUE(DeleteTree(m_root));
  EXPECT_FALSE(DeleteTree(m_root)) << "a missing directory is not removed again";
}

TEST(Workspace, DeleteTreeOfTheEmptyPathIsRefused) { EXPECT_FALSE(DeleteTree("")); }

TEST_F(WorkspaceTest, CopyIntoWorkspaceKeepsTheRelativePathAndNeverOverwrites) {
  const std::string source = CreateWorkspace();
  ASSERT_TRUE(CreateDirectoryA((source + "\\img").c_str(), nullptr));
  WriteText(source + "\\img\\a.gif", "GIF89a");
  const std::string base = source + "\\";
  const std::string destination = m_root + "\\";

  EXPECT_EQ(destination + "img\\", CopyIntoWorkspace(source + "\\img", base, destination));
  EXPECT_NE(0u, GetFileAttributesA((m_root + "\\img").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(destination + "img\\a.gif", CopyIntoWorkspace(source + "\\img\\a.gif", base, destination));
  EXPECT_EQ("GIF89a", ReadText(m_root + "\\img\\a.gif"));

  WriteText(source + "\\img\\a.gif", "changed");
  try {
    CopyIntoWorkspace(source + "\\img\\a.gif", base, destination);
    ADD_FAILURE() << "the existing copy was overwritten";
  } catch (const CZipWinException& e) {
    EXPECT_EQ(static_cast<uint32_t>(ERROR_FILE_EXISTS), e.Error());
  }
  EXPECT_EQ("GIF89a", ReadText(m_root + "\\img\\a.gif"));

  try {
    CopyIntoWorkspace(source + "\\missing.txt", base, destination);
    ADD_FAILURE() << "a missing source was not reported";
  } catch (const CZipWinException& e) {
    EXPECT_EQ(static_cast<uint32_t>(ERROR_FILE_NOT_FOUND), e.Error());
  }
  DeleteTree(source);
}

TEST(Workspace, DropBlockHoldsTheHeaderThenEachPathAndAFinalNul) {
  // A wide list (fWide, the last header field, is 1): every path can be
  // spelled.
  const char kExpected[] = {20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0,
                            'C', 0, ':', 0, '\\', 0, 'a', 0, 0, 0, 'C', 0, ':', 0, '\\', 0, 'b', 0, 0, 0, 0, 0};
  for (const std::string& list : {std::string("C:\\a\0C:\\b\0", 10), std::string("C:\\a\0C:\\b", 9)}) {
    const HGLOBAL block = MakeDropFiles(list);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(0u, GlobalFlags(block) & GMEM_FIXED);
    ASSERT_EQ(sizeof(kExpected), GlobalSize(block));
    const void* bytes = GlobalLock(block);
    EXPECT_EQ(0, std::memcmp(kExpected, bytes, sizeof(kExpected)));
    GlobalUnlock(block);

    // The shell reads it back as the two paths.
    const auto drop = static_cast<HDROP>(block);
    ASSERT_EQ(2u, DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0));
    char name[MAX_PATH];
    DragQueryFileA(drop, 1, name, MAX_PATH);
    EXPECT_STREQ("C:\\b", name);
    GlobalFree(block);
  }
}

TEST(Workspace, ApplicationNamesAreThoseThatStartAProgram) {
  for (const char* name : {"SETUP.EXE", "Tool.Pif", "run.bat", "C:\\dir.x\\command.com", "a.tar.exe"}) {
    EXPECT_TRUE(IsApplicationName(name)) << name;
  }
  for (const char* name : {"readme", "archive.exe.bak", "", "C:\\tools.exe\\readme", "notes.txt", ".exe\\x"}) {
    EXPECT_FALSE(IsApplicationName(name)) << name;
  }
}

TEST_F(WorkspaceTest, FilesBeyondMaxPathAndOfAnyScriptAreStagedAndRemoved) {
  // A source tree whose deepest file lies beyond MAX_PATH, named in Greek,
  // CJK and emoji.
  const std::string source = m_root + "\\src";
  const std::string deep = source + "\\" + std::string(120, 'a') + "\\\xCE\xB1\xCE\xB2\xCE\xB3 " +
                           std::string(100, 'b') + "\\\xE6\x96\x87\xE4\xBB\xB6";
  const std::string file = deep + "\\\xF0\x9F\x98\x80 " + std::string(40, 'c') + ".txt";
  ASSERT_GT(file.size(), static_cast<size_t>(MAX_PATH));
  for (size_t i = m_root.size() + 1; i <= deep.size(); ++i) {
    if (i == deep.size() || deep[i] == '\\') {
      ASSERT_TRUE(CreateDirectoryW(FileSystemPath(deep.substr(0, i)).c_str(), nullptr)) << i;
    }
  }
  {
    const HANDLE handle = CreateFileW(FileSystemPath(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    DWORD written = 0;
    WriteFile(handle, "deep", 4, &written, nullptr);
    CloseHandle(handle);
  }

  // Staged parents first, as the add names them.
  const std::string staged = m_root + "\\staged\\";
  ASSERT_TRUE(CreateDirectoryW(FileSystemPath(staged).c_str(), nullptr));
  const std::string base = source + "\\";
  std::string copy;
  for (size_t i = base.size(); i <= file.size(); ++i) {
    if (i == file.size() || file[i] == '\\') copy = CopyIntoWorkspace(file.substr(0, i), base, staged);
  }
  EXPECT_EQ(staged + file.substr(base.size()), copy);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(FileSystemPath(copy).c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(4u, data.nFileSizeLow);

  // The tree goes, read-only file and all.
  EXPECT_TRUE(DeleteTree(m_root));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(FileSystemPath(m_root).c_str()));
}

TEST(Workspace, PathPartsAreReadAtTheSeparatorsOnly) {
  // U+0101 is C4 81 in UTF-8: 0x81 starts a double-byte character in some
  // code pages, which would swallow the separator after it.
  const std::string name = "\xC4\x81";
  EXPECT_EQ("b.txt", FileNameOf("C:\\" + name + "\\b.txt"));
  EXPECT_EQ("C:\\" + name, ParentOf("C:\\" + name + "\\b.txt"));
  EXPECT_EQ("C:\\", ParentOf("C:\\b.txt"));
  EXPECT_EQ("\\\\server\\share", ParentOf("\\\\server\\share\\b.txt"));
  EXPECT_EQ("x", FileNameOf("C:x"));
  EXPECT_EQ("", ParentOf("b.txt"));
  EXPECT_EQ("\xCE\xB1.tar", WithoutExtension("\xCE\xB1.tar.zip"));
  EXPECT_EQ("C:\\d.x\\" + name, WithoutExtension("C:\\d.x\\" + name));
  EXPECT_EQ(".profile", WithoutExtension(".profile"));
  EXPECT_TRUE(IsApplicationName(("C:\\" + name + "\\setup.EXE").c_str()));
}

TEST(Workspace, SlashConversionsTurnEverySeparator) {
  char mixed[] = "a/b\\c//d";
  ToBackslashes(mixed);
  EXPECT_STREQ("a\\b\\c\\\\d", mixed);
  ToForwardSlashes(mixed);
  EXPECT_STREQ("a/b/c//d", mixed);
  char empty[] = "";
  ToForwardSlashes(empty);
  EXPECT_STREQ("", empty);
}

}  // namespace
