#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "fake_user_interaction.h"
#include "temp_dir.h"
#include "tree_support.h"
#include "zip_exceptions.h"
#include "zip_maker.h"
#include "test_files.h"

namespace {


class CountingView : public IZipFolderView {
 public:
  void RefreshBrowser() override { ++refreshes; }
  int refreshes = 0;
};

void SetWriteTime(const std::string& path, uint64_t ticks) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

uint64_t WriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class RefreshTest : public ::testing::Test, protected WithFakeUser {
 protected:
  void SetUp() override {
    source.Write("a\\b\\c.txt", "hello");
    source.Write("d.txt", "world!");
    ASSERT_EQ(0, zip_maker::Add(zip, source.path(), {"a\\b\\c.txt", "d.txt"}));
    ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
    top->AddView(&view);
  }
  void TearDown() override { top->RemoveView(&view); }

  TempDir source;
  TempDir archives;
  std::string zip = archives / "test.zip";
  RootHolder holder;
  CZipFolder* top = holder.top();
  CountingView view;
};

TEST_F(RefreshTest, ListsTheArchiveIntoTheTree) {
  holder.root()->RefreshListing();
  EXPECT_EQ(1, view.refreshes);
  ASSERT_NE(nullptr, Member(top, "d.txt"));
  EXPECT_EQ(6u, Member(top, "d.txt")->dwSize);
  EXPECT_NE(0u, Member(top, "d.txt")->ftModified.dwHighDateTime);
  const ZIPENTRY* a = Member(top, "a");
  ASSERT_NE(nullptr, a);
  ASSERT_NE(nullptr, a->pSubFolder);
  std::string path = "a\\b\\";
  CZipFolder* ab = top->FindFolder(path);
  ASSERT_NE(nullptr, ab);
  EXPECT_EQ(5u, Member(ab, "c.txt")->dwSize);
  EXPECT_EQ(static_cast<uint32_t>(FILE_ATTRIBUTE_DIRECTORY), a->dwAttributes);
  EXPECT_TRUE(user.boxes.empty());
}

TEST_F(RefreshTest, AnUnchangedFileIsNotListedAgain) {
  holder.root()->RefreshListing();
  const uint32_t stamp = top->Stamp();
  holder.root()->RefreshListing();
  EXPECT_EQ(1, view.refreshes);
  EXPECT_EQ(stamp, top->Stamp());
}

TEST_F(RefreshTest, ATouchedFileIsListedAgainInPlace) {
  holder.root()->RefreshListing();
  CZipFolder* a = Member(top, "a")->pSubFolder;
  const uint32_t stamp = top->Stamp();
  SetWriteTime(zip, WriteTime(zip) + 10000000ull * 3600);
  holder.root()->RefreshListing();
  EXPECT_EQ(2, view.refreshes);
  EXPECT_NE(stamp, top->Stamp());
  EXPECT_EQ(a, Member(top, "a")->pSubFolder);
  EXPECT_NE(nullptr, Member(top, "d.txt"));
}

TEST_F(RefreshTest, ChangesWithinOneSecondAreAllSeen) {
  holder.root()->RefreshListing();
  const uint64_t time = WriteTime(zip);
  ASSERT_EQ(0, zip_maker::Delete(zip, "\"d.txt\""));
  // The same second as the first listing, but a different file.
  SetWriteTime(zip, time + 1);
  holder.root()->RefreshListing();
  EXPECT_EQ(nullptr, Member(top, "d.txt"));
  EXPECT_NE(nullptr, Member(top, "a"));
}

TEST_F(RefreshTest, ADeletedFileEmptiesTheTreeAndARecreatedOneIsListed) {
  holder.root()->RefreshListing();
  const std::string bytes = ReadAll(zip);
  ASSERT_TRUE(DeleteFileA(zip.c_str()));
  holder.root()->RefreshListing();
  EXPECT_EQ(0u, top->Entries().Count());
  EXPECT_EQ(0u, top->Stamp());
  EXPECT_EQ(2, view.refreshes);
  holder.root()->RefreshListing();
  EXPECT_EQ(2, view.refreshes);
  WriteAll(zip, bytes);
  holder.root()->RefreshListing();
  EXPECT_EQ(2u, top->Entries().Count());
  EXPECT_TRUE(user.boxes.empty());
}

TEST_F(RefreshTest, AListingThatFailsPartWayIsRepeatedByTheNextRefresh) {
  const std::string good = ReadAll(zip);
  const uint64_t time = WriteTime(zip);
  // Mark the second central-directory entry as encrypted.
  std::string bad = good;
  size_t entry = bad.find("PK\x01\x02");
  entry = bad.find("PK\x01\x02", entry + 4);
  ASSERT_NE(std::string::npos, entry);
  bad[entry + 8] = static_cast<char>(bad[entry + 8] | 1);
  WriteAll(zip, bad);
  SetWriteTime(zip, time);
  try {
    holder.root()->RefreshListing();
    FAIL() << "an encrypted member was listed";
  } catch (const CZipUserException& e) {
    EXPECT_EQ("Encrypted zip files are not supported.", e.Message());
  }
  // Same file time as before, but the failed listing does not count.
  WriteAll(zip, good);
  SetWriteTime(zip, time);
  holder.root()->RefreshListing();
  EXPECT_EQ(2u, top->Entries().Count());
  EXPECT_NE(0u, top->Stamp());
}

TEST_F(RefreshTest, ReadOnlyFollowsTheFileAttribute) {
  EXPECT_FALSE(holder.root()->IsReadOnly());
  SetFileAttributesA(zip.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(holder.root()->IsReadOnly());
  SetFileAttributesA(zip.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ZipFileLoad, LoadsOnceAndAcceptsAFileThatDoesNotExistYet) {
  WithFakeUser fake;
  TempDir dir;
  RootHolder holder;
  const std::string zip = dir / "later.zip";
  EXPECT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
  EXPECT_EQ(S_FALSE, holder.root()->Load(L"C:\\other.zip", 0));
  EXPECT_EQ(zip, holder.root()->ZipPath());
  holder.root()->RefreshListing();
  EXPECT_EQ(0u, holder.top()->Entries().Count());
  EXPECT_TRUE(fake.user.boxes.empty());
}

TEST(ZipFileLoad, ShellExtInitLoadsOnlyASingleFile) {
  WithFakeUser fake;
  RootHolder holder;
  EXPECT_EQ(S_OK, holder.root()->Initialize(nullptr, nullptr, nullptr));
  EXPECT_TRUE(holder.root()->ZipPath().empty());
}

}  // namespace
