// Taking members out of an archive: open, open in folder, run installation,
// unzip to a new folder, copy to the clipboard.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <iterator>

#include "app.h"
#include "archive_state.h"
#include "fake_user_interaction.h"
#include "profile.h"
#include "scoped_setting.h"
#include "resource.h"
#include "strings.h"
#include "temp_dir.h"
#include "tree_support.h"
#include "workspace.h"
#include "zip_exceptions.h"
#include "zip_maker.h"
#include "test_files.h"

namespace {



std::vector<std::string> ClipboardFiles() {
  std::vector<std::string> files;
  if (!OpenClipboard(nullptr)) return files;
  if (HANDLE drop = GetClipboardData(CF_HDROP)) {
    const UINT count = DragQueryFileA(static_cast<HDROP>(drop), 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      char path[MAX_PATH] = "";
      DragQueryFileA(static_cast<HDROP>(drop), i, path, MAX_PATH);
      files.push_back(path);
    }
  }
  CloseClipboard();
  return files;
}

void PutTextOnClipboard(const char* text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, strlen(text) + 1);
  memcpy(GlobalLock(block), text, strlen(text) + 1);
  GlobalUnlock(block);
  SetClipboardData(CF_TEXT, block);
  CloseClipboard();
}

// Deletes every workspace the application object keeps, however young.
void ForgetWorkspaces() {
  TheApp().SetClipboardWorkspace("");
  const auto clock = TheApp().SetClock([] { return std::time(nullptr) + 3600; });
  TheApp().CleanWorkspaces();
  TheApp().SetClock(clock);
}

class TakeOut : public ::testing::Test, protected WithFakeUser {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    ForgetWorkspaces();  // the one application object keeps what operations hand on
    source.Write("notes.txt", "notes");
    source.Write("tool.EXE", "MZ tool");
    source.Write("setup.exe\\inner.txt", "a folder named setup.exe");
    source.Write("install.exe", "MZ installer");
    source.Write("docs\\img\\a.gif", "GIF-a");
    source.Write("docs\\readme.txt", "read me");
    ASSERT_EQ(0, zip_maker::Add(zip, source.path(),
                                {"notes.txt", "tool.EXE", "setup.exe", "install.exe", "docs"}));
    ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
    holder.root()->RefreshListing();
  }
  void TearDown() override {
    ForgetWorkspaces();
    OleUninitialize();
  }
  CZipFolder* Docs() {
    std::string path = "docs\\";
    return top->FindFolder(path);
  }

  TempDir source, archives;
  std::string zip = archives / "a.b.zip";
  RootHolder holder;
  CZipFolder* top = holder.top();
};

TEST_F(TakeOut, AnApplicationWarnsFirstInAnyLetterCase) {
  ScopedSetting warn(settings::kNoWarnLaunchExe, 0);
  user.answers = {IDCANCEL};
  top->OpenMember("tool.EXE", nullptr);
  ASSERT_EQ(1u, user.questions.size());
  EXPECT_EQ("launch", user.questions[0].kind);
  EXPECT_TRUE(user.launches.empty()) << "declined: nothing launched";
  EXPECT_TRUE(TheApp().PendingWorkspaces().empty()) << "declined: nothing extracted";

  top->OpenMember("notes.txt", nullptr);
  EXPECT_EQ(1u, user.questions.size()) << "a document never warns";
  ASSERT_EQ(1u, user.launches.size());
}

TEST_F(TakeOut, OpenedCopiesAreReadOnlyAndWaitForTheCleanUp) {
  ScopedSetting warn(settings::kNoWarnLaunchExe, 1);
  top->OpenMember("TOOL.exe", nullptr);  // names resolve without regard to case
  EXPECT_TRUE(user.questions.empty());
  ASSERT_EQ(1u, user.launches.size());
  const auto& launched = user.launches[0];
  EXPECT_EQ(launched.directory + "\\tool.EXE", launched.file);
  EXPECT_EQ("MZ tool", ReadAll(launched.file));
  EXPECT_TRUE(GetFileAttributesA(launched.file.c_str()) & FILE_ATTRIBUTE_READONLY);
  // The workspace directory is marked too, but Wine keeps no read-only
  // mark on directories, so that half is not checked here.
  const auto pending = TheApp().PendingWorkspaces();
  ASSERT_EQ(1u, pending.size());
  EXPECT_EQ(launched.directory, pending.front().path);
}

TEST_F(TakeOut, AMemberThatVanishedIsASynchronizationError) {
  ScopedSetting warn(settings::kNoWarnLaunchExe, 1);
  try {
    top->OpenMember("gone.txt", nullptr);
    FAIL() << "no error";
  } catch (const CZipUserException& e) {
    EXPECT_EQ(LoadStr(IDS_SYNC_ERROR), e.Message());
  }
  EXPECT_TRUE(user.launches.empty());
}

TEST_F(TakeOut, RunInstallationPassesOverAFolderNamedSetupExe) {
  std::string found;
  ASSERT_TRUE(top->FindInstaller(&found));
  EXPECT_EQ("install.exe", found);
  user.answers = {IDOK};
  std::string workspace;
  bool companionsThere = false;
  user.whileWaiting = [&] {
    workspace = user.launches.at(0).directory;
    companionsThere = Exists(workspace + "\\docs\\img\\a.gif") && Exists(workspace + "\\setup.exe\\inner.txt");
  };
  top->OpenInFolder(nullptr, nullptr);
  ASSERT_EQ(1u, user.launches.size());
  EXPECT_EQ(workspace + "\\install.exe", user.launches[0].file);
  EXPECT_TRUE(companionsThere) << "the whole folder is unpacked beside it";
  EXPECT_FALSE(Exists(workspace)) << "removed once the wait is over";

  EXPECT_FALSE(Docs()->FindInstaller(nullptr));
  Docs()->OpenInFolder(nullptr, nullptr);
  EXPECT_EQ(std::vector<UINT>{0}, user.beeps);
  EXPECT_EQ(1u, user.launches.size());
}

TEST_F(TakeOut, UnzipToNewFolderPlacesTheWholeTreeBesideTheArchive) {
  top->UnzipToNewFolder(nullptr);
  const std::string folder = archives / "a.b";
  EXPECT_EQ("notes", ReadAll(folder + "\\notes.txt"));
  EXPECT_EQ("GIF-a", ReadAll(folder + "\\docs\\img\\a.gif"));
  EXPECT_EQ("a folder named setup.exe", ReadAll(folder + "\\setup.exe\\inner.txt"));
  ASSERT_EQ(1u, user.moves.size());
  EXPECT_EQ(archives.path(), user.moves[0].directory);

  // An empty archive gives an empty folder, not an error.
  const std::string empty = archives / "empty.zip";
  const char eocd[22] = {'P', 'K', 5, 6};
  std::ofstream(empty, std::ios::binary).write(eocd, sizeof(eocd));
  RootHolder emptyHolder;
  ASSERT_EQ(S_OK, emptyHolder.root()->Load(Wide(empty).c_str(), 0));
  emptyHolder.top()->UnzipToNewFolder(nullptr);
  EXPECT_TRUE(GetFileAttributesA((archives / "empty").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(user.boxes.empty());
}

TEST_F(TakeOut, ADamagedArchiveLeavesNoHalfFolderBesideIt) {
  std::string bytes = ReadAll(zip);
  const size_t data = bytes.find("MZ installer");
  ASSERT_NE(std::string::npos, data) << "install.exe is stored";
  bytes[data] = 'X';  // its CRC no longer matches
  {
    zip_maker::ArchiveMutexLock lock(zip);
    std::ofstream(zip, std::ios::binary | std::ios::trunc) << bytes;
  }
  EXPECT_THROW(top->UnzipToNewFolder(nullptr), CZipEngineException);
  EXPECT_FALSE(Exists(archives / "a.b"));
  EXPECT_TRUE(user.moves.empty());
}

TEST_F(TakeOut, HostileNamesLandInsideTheNewFolderOnly) {
  const char* binaryDir = getenv("MBX_BINARY_DIR");
  ASSERT_NE(nullptr, binaryDir);
  std::string hostile = archives / "h.zip";
  std::string built = std::string("Z:") + binaryDir + "/tests/archive/foreign/hostile.zip";
  for (char& c : built)
    if (c == '/') c = '\\';
  ASSERT_TRUE(CopyFileA(built.c_str(), hostile.c_str(), FALSE));
  RootHolder hostileHolder;
  ASSERT_EQ(S_OK, hostileHolder.root()->Load(Wide(hostile).c_str(), 0));
  hostileHolder.root()->RefreshListing();
  // The browse shows the names made relative: no folder ".." or "C:".
  EXPECT_NE(nullptr, Member(hostileHolder.top(), "evil.txt"));
  EXPECT_NE(nullptr, Member(hostileHolder.top(), "abs.txt"));
  EXPECT_NE(nullptr, Member(hostileHolder.top(), "drive.txt"));
  EXPECT_EQ(nullptr, Member(hostileHolder.top(), ".."));
  EXPECT_EQ(nullptr, Member(hostileHolder.top(), "C:"));

  hostileHolder.top()->UnzipToNewFolder(nullptr);
  for (const char* inside : {"ok.txt", "evil.txt", "docs\\evil2.txt", "abs.txt", "drive.txt"})
    EXPECT_EQ("x", ReadAll(archives / "h\\" + inside)) << inside;
  EXPECT_FALSE(Exists(archives / "evil.txt"));
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  EXPECT_FALSE(Exists(std::string(temp) + "evil.txt"));
  EXPECT_FALSE(Exists(std::string(temp) + "evil2.txt"));
  EXPECT_FALSE(Exists("C:\\abs.txt"));
  EXPECT_FALSE(Exists("C:\\drive.txt"));
}

TEST_F(TakeOut, CopyPutsCompleteFilesOnTheClipboard) {
  Docs()->CopyToClipboard({"img", "readme.txt"}, nullptr, nullptr);
  const std::vector<std::string> files = ClipboardFiles();
  ASSERT_EQ(2u, files.size());
  const std::string workspace = files[0].substr(0, files[0].rfind('\\'));
  EXPECT_EQ(workspace + "\\img", files[0]) << "a folder is one directory path";
  EXPECT_EQ(workspace + "\\readme.txt", files[1]);
  EXPECT_EQ("GIF-a", ReadAll(files[0] + "\\a.gif"));
  EXPECT_EQ("read me", ReadAll(files[1]));
  EXPECT_TRUE(IsClipboardFormatAvailable(RegisterClipboardFormatA(kTemporaryDirectoryFormatName)));
  EXPECT_EQ(workspace, TheApp().ClipboardWorkspace());

  // A second copy queues the first workspace for deletion.
  top->CopyToClipboard({"notes.txt"}, nullptr, nullptr);
  EXPECT_NE(workspace, TheApp().ClipboardWorkspace());
  const auto pending = TheApp().PendingWorkspaces();
  ASSERT_EQ(1u, pending.size());
  EXPECT_EQ(workspace, pending.front().path);
}

TEST_F(TakeOut, ACopyThatCannotHappenLeavesTheClipboardAlone) {
  PutTextOnClipboard("before");
  top->CopyToClipboard({}, nullptr, nullptr);
  EXPECT_EQ(std::vector<UINT>{0}, user.beeps);
  try {
    top->CopyToClipboard({"notes.txt", "gone.txt"}, nullptr, nullptr);
    FAIL() << "no error";
  } catch (const CZipUserException& e) {
    EXPECT_EQ(LoadStr(IDS_SYNC_ERROR), e.Message());
  }
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP));
  EXPECT_TRUE(TheApp().PendingWorkspaces().empty());
}

TEST_F(TakeOut, ADragOfADamagedArchiveHandsOutNothing) {
  IDataObject* data = top->CreateDragData({"install.exe"}, nullptr, nullptr);
  std::string bytes = ReadAll(zip);
  bytes[bytes.find("MZ installer")] = 'X';
  {
    zip_maker::ArchiveMutexLock lock(zip);
    std::ofstream(zip, std::ios::binary | std::ios::trunc) << bytes;
  }
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  EXPECT_EQ(E_FAIL, data->GetData(&format, &medium));
  EXPECT_EQ(E_FAIL, data->GetData(&format, &medium)) << "no second try";
  EXPECT_EQ(1u, user.boxes.size()) << "reported once";
  data->Release();
  EXPECT_EQ(1u, TheApp().PendingWorkspaces().size()) << "the workspace waits for the clean-up";
}

TEST_F(TakeOut, MemberSpecificationsAndDropLists) {
  EXPECT_EQ("", Docs()->BuildMemberSpec({}));
  EXPECT_EQ(std::string("Mdocs\\readme.txt") + '\0' + "Tdocs\\img" + '\0',
            Docs()->BuildMemberSpec({"README.TXT", "img"}));
  HGLOBAL list = Docs()->BuildDropList({"readme.txt", "img"}, "C:\\w");
  ASSERT_NE(nullptr, list);
  const std::wstring expected = std::wstring(L"C:\\w\\readme.txt") + L'\0' + L"C:\\w\\img" + L'\0' + L'\0';
  EXPECT_EQ(sizeof(DROPFILES) + expected.size() * sizeof(WCHAR), GlobalSize(list));
  const auto* header = static_cast<const DROPFILES*>(GlobalLock(list));
  EXPECT_EQ(20u, header->pFiles);
  EXPECT_TRUE(header->fWide);
  EXPECT_EQ(expected, std::wstring(reinterpret_cast<const WCHAR*>(reinterpret_cast<const BYTE*>(header) + 20),
                                   expected.size()));
  GlobalUnlock(list);
  GlobalFree(list);
}

}  // namespace
