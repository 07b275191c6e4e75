// Engine requests through the archive object, with the real engine and the
// real progress dialog; questions and reports go to the fake user.
#include <gtest/gtest.h>

#include <process.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>

#include "archive_state.h"
#include "engine_adaptor.h"
#include "fake_user_interaction.h"
#include "guard.h"
#include "handles.h"
#include "member_list.h"
#include "message_log.h"
#include "profile.h"
#include "resource.h"
#include "scoped_setting.h"
#include "strings.h"
#include "temp_dir.h"
#include "tree_support.h"
#include "zip_exceptions.h"
#include "zip_maker.h"
#include "zip_request.h"
#include "test_files.h"

namespace {


std::string Members(const std::vector<std::string>& paths) {
  MemberList list;
  for (const std::string& path : paths) list.AddMember(path);
  return list.Text();
}

INT_PTR CALLBACK HandlesNothing(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class RequestTest : public ::testing::Test, protected WithFakeUser {
 protected:
  void SetUp() override {
    source.Write("a.txt", "alpha");
    ASSERT_EQ(0, zip_maker::Add(zip, source.path(), {"a.txt"}));
    ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
  }

  void Run(ZIPREQUEST& request) {
    CriticalSectionLock lock(holder.root()->RootLock());
    NamedMutexLock mutex(holder.root()->ArchiveMutex());
    holder.root()->RunRequest(request, nullptr);
  }
  // The worker's steps as a long run makes them: every report reaches a
  // dialog window of this thread synchronously.
  void RunAttached(ZIPREQUEST& request) {
    CriticalSectionLock lock(holder.root()->RootLock());
    NamedMutexLock mutex(holder.root()->ArchiveMutex());
    const HWND window =
        CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, HandlesNothing, 0);
    ASSERT_NE(nullptr, window);
    ProgressSink sink;
    sink.Attach(window);
    request.pRoot = holder.root();
    request.pProgress = &sink;
    const UniqueKernelHandle worker(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ExecuteRequest, &request, 0, nullptr)));
    ASSERT_TRUE(worker);
    const HANDLE handle = worker.get();
    while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    DestroyWindow(window);
    ASSERT_FALSE(request.pException);
  }

  TempDir source;
  TempDir archives;
  TempDir files;
  std::string zip = archives / "test.zip";
  RootHolder holder;
};

TEST_F(RequestTest, CopyListAloneIsStagedAndAddedUnderTheFolder) {
  files.Write("notes.txt", "notes!");
  files.Write("pics\\x.gif", "GIF89a");
  const std::vector<std::string> copies = {files / "notes.txt", files / "pics", files / "pics\\x.gif"};
  ScopedTempDirectory temp(files / "tmp");

  ZIPREQUEST request;
  request.nOperation = kRequestUpdate;
  request.pCopyList = &copies;
  request.strBaseDir = files.path() + "\\";
  request.strFolderPath = "docs\\";
  Run(request);

  const std::map<std::string, uint32_t> expected = {
      {"a.txt", 5}, {"docs\\notes.txt", 6}, {"docs\\pics\\", 0}, {"docs\\pics\\x.gif", 6}};
  EXPECT_EQ(expected, Listing(zip));
  EXPECT_TRUE(Workspaces().empty()) << "the staging workspace is removed";
  const std::string bytes = ReadAll(zip);
  EXPECT_EQ(kArchiveComment, bytes.substr(bytes.size() - strlen(kArchiveComment)));
  EXPECT_TRUE(user.boxes.empty());
}

TEST_F(RequestTest, UnknownOperationChangesNothingAndShowsNoDialog) {
  const std::string bytes = ReadAll(zip);
  ZIPREQUEST request;
  request.nOperation = 7;
  request.strSpec = Members({"a.txt"});
  Run(request);
  EXPECT_EQ(nullptr, request.hProgressWnd) << "a run over at once needs no window";
  EXPECT_EQ(bytes, ReadAll(zip));
}

TEST_F(RequestTest, FailedReplaceKeepsTheOldMemberAndIsReportedOnceAfterTheDialog) {
  files.Write("a.txt", "new a");
  const std::string bytes = ReadAll(zip);
  ZIPREQUEST request;
  request.nOperation = kRequestUpdate;
  // a.txt is replaced, but the second file is gone when the engine looks.
  request.strSpec = Members({"a.txt"});
  request.strAddSpec = "\"" + (files / "a.txt") + "\" \"" + (files / "missing.txt") + "\"";
  request.strBaseDir = files.path() + "\\";

  bool dialogGoneAtThrow = false;
  const HRESULT result = ComGuard(E_FAIL, [&] {
    try {
      Run(request);
    } catch (const CZipEngineException& e) {
      dialogGoneAtThrow = !IsWindow(request.hProgressWnd);
      EXPECT_EQ(ZE_NOT_FOUND, e.Code());
      throw;
    }
  });
  EXPECT_EQ(E_FAIL, result);
  EXPECT_TRUE(dialogGoneAtThrow);
  EXPECT_EQ(bytes, ReadAll(zip)) << "nothing was added or dropped";
  ASSERT_EQ(1u, user.boxes.size());
  EXPECT_EQ("Zipping Error: 0-9 Cannot find file", user.boxes[0].text);
}

TEST_F(RequestTest, AddedNamesArePlacedUnderTheFolderPath) {
  files.Write("img\\a.gif", "GIF");
  files.Write("img\\b.gif", "GIF!");
  ZIPREQUEST request;
  request.nOperation = kRequestUpdate;
  request.strAddSpec = "\"" + (files / "img\\a.gif") + "\" \"" + (files / "img\\b.gif") + "\"";
  request.strBaseDir = files.path() + "\\";
  request.strFolderPath = "docs\\";
  Run(request);
  const std::map<std::string, uint32_t> expected = {{"a.txt", 5}, {"docs\\img\\a.gif", 3}, {"docs\\img\\b.gif", 4}};
  EXPECT_EQ(expected, Listing(zip));
}

TEST_F(RequestTest, AReplaceWithStagedCopiesCommitsOnceOrNotAtAll) {
  files.Write("a.txt", "new a");
  files.Write("docs\\b.txt", "bee");
  const std::vector<std::string> copies = {files / "docs", files / "docs\\b.txt"};
  ScopedTempDirectory temp(files / "tmp");
  ZIPREQUEST request;
  request.nOperation = kRequestUpdate;
  request.strSpec = Members({"a.txt"});
  request.strAddSpec = "\"" + (files / "a.txt") + "\"";
  request.pCopyList = &copies;
  request.strBaseDir = files.path() + "\\";

  // A staged copy that cannot be read stops the whole change.
  const std::string bytes = ReadAll(zip);
  {
    const UniqueFileHandle locked(CreateFileA((files / "docs\\b.txt").c_str(), GENERIC_READ, 0, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked);
    EXPECT_EQ(E_FAIL, ComGuard(E_FAIL, [&] { Run(request); }));
  }
  ASSERT_EQ(1u, user.boxes.size());
  EXPECT_NE(std::string::npos, user.boxes[0].text.find("Sharing violation")) << user.boxes[0].text;
  EXPECT_EQ(bytes, ReadAll(zip)) << "a.txt is still the old one";
  user.boxes.clear();

  // Both sources land in one rewrite, each under its own root.
  Run(request);
  EXPECT_EQ((std::map<std::string, uint32_t>{{"a.txt", 5}, {"docs\\", 0}, {"docs\\b.txt", 3}}), Listing(zip));
  EXPECT_TRUE(Workspaces().empty()) << "the staging workspace is removed";
  TempDir out;
  ZIPREQUEST extract;
  extract.nOperation = kRequestExtract;
  extract.strSpec = Members({"a.txt"});
  extract.strBaseDir = out.path() + "\\";
  Run(extract);
  EXPECT_EQ("new a", ReadAll(out / "a.txt"));
}

TEST_F(RequestTest, DeleteRemovesTheNamedMembersOnly) {
  files.Write("b.txt", "bee");
  ASSERT_EQ(0, zip_maker::Add(zip, files.path(), {"b.txt"}));
  ZIPREQUEST request;
  request.nOperation = kRequestDelete;
  request.strSpec = Members({"a.txt"});
  Run(request);
  EXPECT_EQ((std::map<std::string, uint32_t>{{"b.txt", 3}}), Listing(zip));
}

TEST_F(RequestTest, EachStepSetsTheDialogCaption) {
  files.Write("new.txt", "new");
  SentMessageLog log;
  ASSERT_TRUE(log.Installed());
  ZIPREQUEST update;
  update.nOperation = kRequestUpdate;
  update.strSpec = Members({"a.txt"});
  update.strAddSpec = "\"" + (files / "new.txt") + "\"";
  update.strBaseDir = files.path() + "\\";
  RunAttached(update);
  ZIPREQUEST remove;
  remove.nOperation = kRequestDelete;
  remove.strSpec = Members({"new.txt"});
  RunAttached(remove);
  files.Write("new.txt", "new");
  update.strSpec.clear();
  RunAttached(update);
  ZIPREQUEST extract;
  extract.nOperation = kRequestExtract;
  extract.strSpec = Members({"new.txt"});
  extract.strBaseDir = files.path() + "\\out\\";
  CreateDirectoryA((files / "out").c_str(), nullptr);
  RunAttached(extract);

  std::vector<std::string> captions;
  for (const auto& entry : log.Entries())
    if (entry.message == WM_SETTEXT) captions.push_back(entry.text);
  // A replace is one adding run.
  EXPECT_EQ((std::vector<std::string>{"Adding ...", "Deleting ...", "Adding ...", "Unzipping ..."}), captions);
  EXPECT_EQ("new", ReadAll(files / "out\\new.txt"));
}

TEST_F(RequestTest, AThousandFileAddMovesTheAllFilesBarStepByStep) {
  for (int i = 0; i < 1000; ++i) files.Write("many\\f" + std::to_string(i) + ".txt", "x");
  SentMessageLog log;
  ASSERT_TRUE(log.Installed());
  ZIPREQUEST request;
  request.nOperation = kRequestUpdate;
  request.strAddSpec = "\"" + (files / "many") + "\"";
  request.strBaseDir = files.path() + "\\";
  RunAttached(request);

  std::set<WPARAM> allFilesPositions;
  WPARAM last = 0;
  bool neverBackwards = true;
  for (const auto& entry : log.Entries()) {
    if (entry.message != WM_USER || entry.lParam != 0) continue;
    neverBackwards = neverBackwards && entry.wParam >= last;
    last = entry.wParam;
    allFilesPositions.insert(entry.wParam);
  }
  EXPECT_GE(allFilesPositions.size(), 50u);
  EXPECT_TRUE(neverBackwards);
  EXPECT_EQ(100u, last);
  EXPECT_EQ(1002u, Listing(zip).size());  // a.txt, many\ and its files
}

TEST_F(RequestTest, ACancelledRequestLeavesEverythingAsItWasAndReportsNothing) {
  // The user pressed Cancel before the engine's first step.
  files.Write("big.txt", std::string(3 << 20, 'b'));
  const std::string before = ReadAll(zip);
  auto runCancelled = [&](ZIPREQUEST& request) {
    ProgressSink sink;
    sink.RequestCancel();
    request.pRoot = holder.root();
    request.pProgress = &sink;
    CriticalSectionLock lock(holder.root()->RootLock());
    NamedMutexLock mutex(holder.root()->ArchiveMutex());
    ExecuteRequest(&request);
    EXPECT_TRUE(request.pException);
    try {
      if (request.pException) std::rethrow_exception(request.pException);
    } catch (const CUserCancelException& e) {
      e.ReportError();
    } catch (const CException& e) {
      ADD_FAILURE() << "not a cancel: " << e.Message();
    }
  };

  ZIPREQUEST update;
  update.nOperation = kRequestUpdate;
  update.strSpec = Members({"a.txt"});
  update.strAddSpec = "\"" + (files / "big.txt") + "\"";
  update.strBaseDir = files.path() + "\\";
  runCancelled(update);
  EXPECT_EQ(before, ReadAll(zip));
  WIN32_FIND_DATAA found;
  const UniqueFindHandle search(FindFirstFileA((archives / "*").c_str(), &found));
  std::set<std::string> inArchives;
  if (search) do inArchives.insert(found.cFileName); while (FindNextFileA(search.get(), &found));
  EXPECT_EQ((std::set<std::string>{".", "..", "test.zip"}), inArchives) << "no replacement left behind";

  ZIPREQUEST extract;
  extract.nOperation = kRequestExtract;
  extract.strSpec = Members({"a.txt"});
  extract.strBaseDir = files.path() + "\\out\\";
  CreateDirectoryA((files / "out").c_str(), nullptr);
  runCancelled(extract);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((files / "out\\a.txt").c_str()));
  EXPECT_TRUE(user.boxes.empty()) << "a cancel is not reported";
}

// Archives written by other tools: members under a folder come out relative
// to it.
class ForeignExtractTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ForeignExtractTest, ExtractedNamesAreRelativeToTheFolder) {
  WithFakeUser fake;
  const char* binaryDir = getenv("MBX_BINARY_DIR");
  ASSERT_NE(nullptr, binaryDir);
  std::string zip = std::string("Z:") + binaryDir + "/tests/archive/foreign/" + GetParam();
  for (char& c : zip)
    if (c == '/') c = '\\';
  RootHolder holder;
  ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
  TempDir dest;
  ZIPREQUEST request;
  request.nOperation = kRequestExtract;
  MemberList members;
  members.AddFolderTree("docs\\img");
  members.AddMember("docs\\readme.txt");
  request.strSpec = members.Text();
  request.strFolderPath = "docs\\";
  request.strBaseDir = dest.path() + "\\";
  {
    CriticalSectionLock lock(holder.root()->RootLock());
    NamedMutexLock mutex(holder.root()->ArchiveMutex());
    holder.root()->RunRequest(request, nullptr);
  }
  EXPECT_EQ("GIF89a-a", ReadAll(dest / "img\\a.gif"));
  EXPECT_EQ("GIF89a-b", ReadAll(dest / "img\\sub\\b.gif"));
  EXPECT_EQ("read me", ReadAll(dest / "readme.txt"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dest / "top.txt").c_str()));
  for (const auto& box : fake.user.boxes) ADD_FAILURE() << box.text;
}

INSTANTIATE_TEST_SUITE_P(Tools, ForeignExtractTest,
                         ::testing::Values("python.zip", "bsdtar.zip", "bsdtar-dot.zip", "7z.zip"),
                         [](const auto& info) {
                           std::string name = info.param;
                           name = name.substr(0, name.find('.'));
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name == "7z" ? std::string("sevenzip") : name;
                         });

TEST(RenameCallbacks, PlaceNamesAsTheRequestsNeedThem) {
  // The long record is too big for a test thread's stack.
  const auto owned = std::make_unique<NAMEMAPLONG>();
  NAMEMAPLONG& map = *owned;
  strcpy(map.szInput, "C:\\src\\img\\a.gif");
  RENAMECONTEXT add{"C:\\src\\", "docs\\", "C:\\tmp\\ws\\"};
  EXPECT_EQ(0, AddRename(&map, &add));
  EXPECT_STREQ("docs/img/a.gif", map.szOutput);

  strcpy(map.szInput, "C:/src/img/b.gif");  // either separator comes in
  EXPECT_EQ(0, AddRename(&map, &add));
  EXPECT_STREQ("docs/img/b.gif", map.szOutput);

  strcpy(map.szInput, "C:\\tmp\\ws\\img\\c.gif");  // a staged copy, from its own root
  EXPECT_EQ(0, AddRename(&map, &add));
  EXPECT_STREQ("docs/img/c.gif", map.szOutput);

  // UTF-8 names of any script, longer than MAX_PATH, pass whole.
  const std::string deepUtf8 = "C:\\src\\" + std::string(100, 'x') + "\\\xCE\xB1\xCE\xB2\\" +
                               std::string(150, 'y') + "\\\xE6\x97\xA5\xF0\x9F\x98\x80.txt";
  strcpy(map.szInput, deepUtf8.c_str());
  EXPECT_EQ(0, AddRename(&map, &add));
  EXPECT_EQ("docs/" + std::string(100, 'x') + "/\xCE\xB1\xCE\xB2/" + std::string(150, 'y') +
                "/\xE6\x97\xA5\xF0\x9F\x98\x80.txt",
            std::string(map.szOutput));

  strcpy(map.szInput, "docs/img/a.gif");
  RENAMECONTEXT extract{"docs\\", "C:\\tmp\\x\\", {}};
  EXPECT_EQ(0, ExtractRename(&map, &extract));
  EXPECT_STREQ("C:\\tmp\\x\\img/a.gif", map.szOutput);

  // An output that does not fit is never cut: the name is left empty, which
  // the engine refuses.
  RENAMECONTEXT deep{"docs\\", std::string(ZE_LONG_NAME_MAX, 'd') + "\\", {}};
  EXPECT_NE(0, ExtractRename(&map, &deep));
  EXPECT_STREQ("", map.szOutput);
}

TEST(InitZipBlock, FillsTheBlockFromTheSettings) {
  ScopedSetting level(settings::kCompression, 7);
  ScopedSetting grow(settings::kGrowExisting, 5);
  std::string workDir;
  ZIPCMD block;
  memset(&block, 0xAB, sizeof(block));
  const std::string zip = "C:\\x.zip";
  ProgressSink progress;
  InitZipBlock(block, zip, workDir, &progress);
  EXPECT_EQ(static_cast<int32_t>(sizeof(ZIPCMD)), block.cbSize);
  EXPECT_EQ(zip.c_str(), block.pszZipFile);
  EXPECT_EQ(7, block.nLevel);
  EXPECT_EQ(1, block.bGrow);
  EXPECT_EQ(1, block.bUseWorkDir);
  EXPECT_EQ(1, block.bDirEntries);
  EXPECT_EQ(1, block.bUtf8);
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  temp[wcslen(temp) - 1] = L'\0';
  EXPECT_EQ(WideToUtf8(temp), block.pszWorkDir);
  EXPECT_EQ(workDir.c_str(), block.pszWorkDir);
  EXPECT_EQ(&progress, block.pProgressAUser);
  EXPECT_EQ(&progress, block.pProgressBUser);
  EXPECT_NE(nullptr, block.pfnProgressA);
  EXPECT_NE(nullptr, block.pfnQuery);
  EXPECT_EQ(0, block.nFunction);
  EXPECT_EQ(nullptr, block.pszItems);
  EXPECT_EQ(nullptr, block.pfnRename);
  EXPECT_EQ(nullptr, block.pfnRenameLong);
}

TEST(InitZipBlock, DefaultsAndNoWindow) {
  const HKEY root = HKEY_CURRENT_USER;
  const std::string key = ProfileKeyPath() + "\\Settings";
  const int oldLevel = ReadSetting(settings::kCompression);
  const int oldGrow = ReadSetting(settings::kGrowExisting);
  HKEY settingsKey = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, &settingsKey) == ERROR_SUCCESS) {
    RegDeleteValueA(settingsKey, "Compression");
    RegDeleteValueA(settingsKey, "GrowExisting");
    RegCloseKey(settingsKey);
  }
  std::string workDir;
  ZIPCMD block;
  InitZipBlock(block, "C:\\x.zip", workDir, nullptr);
  EXPECT_EQ(4, block.nLevel);
  EXPECT_EQ(0, block.bGrow);
  EXPECT_EQ(nullptr, block.pfnProgressA);
  EXPECT_EQ(nullptr, block.pfnProgressB);
  WriteSetting(settings::kCompression, oldLevel);
  WriteSetting(settings::kGrowExisting, oldGrow);
}

}  // namespace
