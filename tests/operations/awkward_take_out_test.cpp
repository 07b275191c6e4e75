// Members whose names hold wildcards, quotes, brackets or blanks, each
// taken out alone (a drag's data, the clipboard, open): only that member is
// written.  Names Windows refuses fail without writing any other file.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "app.h"
#include "archive_state.h"
#include "awkward_archive.h"
#include "fake_user_interaction.h"
#include "temp_dir.h"
#include "tree_support.h"
#include "zip_exceptions.h"
#include "test_files.h"

namespace {

using namespace awkward;


// Every file below a directory, by name alone.
void FilesBelow(const std::string& directory, std::vector<std::string>& found) {
  WIN32_FIND_DATAA data;
  const HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) FilesBelow(directory + "\\" + name, found);
    else found.push_back(name);
  } while (FindNextFileA(search, &data));
  FindClose(search);
}

std::vector<std::string> FilesBelow(const std::string& directory) {
  std::vector<std::string> found;
  FilesBelow(directory, found);
  return found;
}

// Whether this system can hold a file of that name at all.
bool CanHoldFileNamed(const std::string& directory, const std::string& name) {
  const std::string path = directory + "\\" + name;
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  DeleteFileA(path.c_str());
  return true;
}

void ForgetWorkspaces() {
  TheApp().SetClipboardWorkspace("");
  const auto clock = TheApp().SetClock([] { return std::time(nullptr) + 3600; });
  TheApp().CleanWorkspaces();
  TheApp().SetClock(clock);
}

class AwkwardTakeOut : public ::testing::Test, protected WithFakeUser {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    ForgetWorkspaces();
    const std::string made = ArchivePath();
    ASSERT_FALSE(made.empty());
    ASSERT_TRUE(CopyFileA(made.c_str(), zip.c_str(), FALSE)) << made;
    ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
    holder.root()->RefreshListing();
  }
  void TearDown() override {
    ForgetWorkspaces();
    OleUninitialize();
  }

  TempDir archives, probe;
  std::string zip = archives / "awkward.zip";
  RootHolder holder;
  CZipFolder* top = holder.top();
};

TEST_F(AwkwardTakeOut, ADragsDataExtractsOnlyTheSelectedMember) {
  for (const std::string& name : kSelectedFiles) {
    SCOPED_TRACE(name);
    const bool holdable = CanHoldFileNamed(probe.path(), name);
    IDataObject* data = top->CreateDragData({name}, nullptr, nullptr);
    ASSERT_NE(nullptr, data);
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    EXPECT_EQ(holdable ? S_OK : E_FAIL, data->GetData(&format, &medium));
    if (holdable) ReleaseStgMedium(&medium);
    data->Release();
    // The workspace stays for the clean-up, with what was written into it.
    const auto pending = TheApp().PendingWorkspaces();
    ASSERT_EQ(1u, pending.size());
    EXPECT_EQ(holdable ? std::vector<std::string>{name} : std::vector<std::string>{}, FilesBelow(pending.front().path));
    ForgetWorkspaces();
  }
}

TEST_F(AwkwardTakeOut, CopyAndOpenWriteOnlyTheSelectedMember) {
  for (const std::string& name : kSelectedFiles) {
    SCOPED_TRACE(name);
    if (!CanHoldFileNamed(probe.path(), name)) {
      // Refused as a whole: a failed extraction leaves no workspace behind.
      EXPECT_THROW(top->CopyToClipboard({name}, nullptr, nullptr), CException);
      continue;
    }
    top->CopyToClipboard({name}, nullptr, nullptr);
    EXPECT_EQ(std::vector<std::string>{name}, FilesBelow(TheApp().ClipboardWorkspace()));
    EXPECT_EQ("content of " + name, ReadAll(TheApp().ClipboardWorkspace() + "\\" + name));

    top->OpenMember(name, nullptr);
    ASSERT_FALSE(user.launches.empty());
    const std::string opened = user.launches.back().file;
    EXPECT_EQ("content of " + name, ReadAll(opened));
    EXPECT_EQ(std::vector<std::string>{name}, FilesBelow(opened.substr(0, opened.rfind('\\'))));
  }
}

}  // namespace
