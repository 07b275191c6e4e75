// Putting files into an archive and taking members away: adding dropped
// files, deleting members, creating folders, with the real engine and files.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <map>

#include "archive_state.h"
#include "fake_user_interaction.h"
#include "forged_input.h"
#include "handles.h"
#include "member_list.h"
#include "produced.h"
#include "resource.h"
#include "shell_data.h"
#include "strings.h"
#include "temp_dir.h"
#include "tree_support.h"
#include "workspace.h"
#include "zip_exceptions.h"
#include "zip_maker.h"
#include "test_files.h"

namespace {


UniqueGlobal DropOf(const std::vector<std::string>& paths) {
  std::string list;
  for (const std::string& path : paths) list += path + '\0';
  return UniqueGlobal(MakeDropFiles(list));
}

// Creates a file through the wide calls: its path may be beyond MAX_PATH.
void WriteWide(const std::string& path, const std::string& content) {
  const HANDLE file = CreateFileW(FileSystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

constexpr uint16_t kUtf8Flag = 0x0800;
const std::string kCjkFolder = "\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9";               // 文件夹
const std::string kGreekFile = "\xCE\xB1\xCF\x81\xCF\x87\xCE\xB5\xCE\xAF\xCE\xBF.txt";  // αρχείο.txt
const std::string kEmojiFile = "\xF0\x9F\x98\x80 smile.txt";
const std::string kHebrewFile = "\xD7\xA7\xD7\x95\xD7\x91\xD7\xA5.txt";

class CountingView : public IZipFolderView {
 public:
  void RefreshBrowser() override { ++refreshes; }
  int refreshes = 0;
};

class PutIn : public ::testing::Test, protected WithFakeUser {
 protected:
  void SetUp() override {
    content.Write("keep.txt", "keep");
    content.Write("docs\\readme.txt", "old readme");
    content.Write("docs\\old.txt", "only in the archive");
    content.Write("docs\\x\\inner.txt", "in the sub-folder x");
    ASSERT_EQ(0, zip_maker::Add(zip, content.path(), {"keep.txt", "docs"}));
    Load();
  }
  void Load() {
    ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
    holder.root()->RefreshListing();
  }
  CZipFolder* Docs() {
    std::string path = "docs\\";
    return top->FindFolder(path);
  }
  // Adds and reports the message of a refusal ("" when it was accepted).
  std::string Drop(CZipFolder* folder, const std::vector<std::string>& paths) {
    const UniqueGlobal drop = DropOf(paths);
    try {
      folder->AddDroppedFiles(static_cast<HDROP>(drop.get()), nullptr);
    } catch (const CZipUserException& e) {
      return e.Message();
    }
    return "";
  }
  void ExpectRefused(const std::string& expected, CZipFolder* folder, const std::vector<std::string>& paths) {
    const std::string before = ReadAll(zip);
    EXPECT_EQ(expected, Drop(folder, paths));
    EXPECT_EQ(before, ReadAll(zip)) << "a refused drop leaves the archive as it was";
  }

  TempDir content, source, archives, temp;
  // Workspaces land here, apart from other test programs'.
  ScopedTempDirectory privateTemp{temp.path()};
  std::string zip = archives / "a.zip";
  RootHolder holder;
  CZipFolder* top = holder.top();
};

TEST_F(PutIn, YesToAllOnTheFirstFileAsksNoMoreAndEveryViewFollows) {
  source.Write("keep.txt", "new keep");
  source.Write("fresh.txt", "fresh");
  CountingView view;
  top->AddView(&view);
  user.answers = {IDOK};  // Yes to All
  EXPECT_EQ("", Drop(top, {source / "keep.txt", source / "fresh.txt"}));
  top->RemoveView(&view);
  ASSERT_EQ(1u, user.questions.size());
  EXPECT_EQ("file replace", user.questions[0].kind);
  const auto listing = Listing(zip);
  EXPECT_EQ(8u, listing.at("keep.txt"));
  EXPECT_EQ(5u, listing.at("fresh.txt"));
  EXPECT_NE(nullptr, Member(top, "fresh.txt")) << "the folder shows the new member without a refresh";
  EXPECT_GE(view.refreshes, 1);
  EXPECT_TRUE(Workspaces().empty()) << "a drop leaves no workspace";
  KeepProduced(zip, "replaced-files");
}

TEST_F(PutIn, NamesOfEveryScriptGoInFlaggedUtf8UnderTheirRealNames) {
  const std::string folder = source / kCjkFolder;
  ASSERT_TRUE(CreateDirectoryW(FileSystemPath(folder).c_str(), nullptr));
  WriteWide(folder + "\\" + kGreekFile, "greek");
  WriteWide(source / kEmojiFile, "emoji");
  WriteWide(source / kHebrewFile, "hebrew");
  EXPECT_EQ("", Drop(Docs(), {folder, source / kEmojiFile, source / kHebrewFile}));
  EXPECT_TRUE(user.boxes.empty());

  const auto stored = StoredNames(zip);
  for (const std::string& name : {"docs/" + kCjkFolder + "/", "docs/" + kCjkFolder + "/" + kGreekFile,
                                  "docs/" + kEmojiFile, "docs/" + kHebrewFile}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(1u, stored.count(name));
    EXPECT_EQ(kUtf8Flag, stored.at(name) & kUtf8Flag);
  }
  // Plain ASCII names stay unflagged, as before.
  ASSERT_EQ(1u, stored.count("keep.txt"));
  EXPECT_EQ(0, stored.at("keep.txt") & kUtf8Flag);
}

TEST_F(PutIn, FilesBeyondMaxPathGoInWhole) {
  // The dropped directory alone is deeper than the current directory may be.
  const std::string deep = source.path() + "\\" + std::string(130, 'd') + "\\" + std::string(130, 'e');
  ASSERT_TRUE(CreateDirectoryW(FileSystemPath(source.path() + "\\" + std::string(130, 'd')).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(FileSystemPath(deep).c_str(), nullptr));
  const std::string file = deep + "\\" + kGreekFile;
  ASSERT_GT(file.size(), static_cast<size_t>(MAX_PATH));
  WriteWide(file, "far down");
  EXPECT_EQ("", Drop(Docs(), {file}));
  EXPECT_TRUE(user.boxes.empty());
  const auto stored = StoredNames(zip);
  ASSERT_EQ(1u, stored.count("docs/" + kGreekFile));
  EXPECT_EQ(kUtf8Flag, stored.at("docs/" + kGreekFile) & kUtf8Flag);
}

TEST_F(PutIn, ADirectoryOverAFolderReplacesOnlyWhatItBrings) {
  source.Write("docs\\readme.txt", "new readme");
  source.Write("docs\\added.txt", "added");
  user.answers = {IDYES};
  AddSpec addSpec;
  MemberList replaced;
  std::vector<std::string> copyList;
  top->CollectForAdd(source / "docs", source.path() + "\\", addSpec, replaced, copyList);
  // The folder's own entry, not what the directory does not bring.
  EXPECT_EQ(std::string("Edocs") + '\0' + "Mdocs\\readme.txt" + '\0', replaced.Text());

  EXPECT_EQ("", Drop(top, {source / "docs"}));
  ASSERT_EQ(1u, user.questions.size());
  EXPECT_EQ("folder replace", user.questions[0].kind);
  const auto listing = Listing(zip);
  EXPECT_EQ(10u, listing.at("docs\\readme.txt"));
  EXPECT_EQ(5u, listing.at("docs\\added.txt"));
  EXPECT_EQ(19u, listing.at("docs\\old.txt")) << "members the directory lacks stay";
  EXPECT_EQ(1u, listing.count("docs\\x\\inner.txt"));
  EXPECT_EQ(1u, listing.count("keep.txt"));
  KeepProduced(zip, "replaced-folder");
}

// Many tools store no entry for a folder: a directory dropped over one merges
// into it, replacing only what it brings.
TEST_F(PutIn, AFolderWithoutAnEntryOfItsOwnTakesADirectory) {
  ASSERT_EQ(0, zip_maker::Delete(zip, "\"docs\\\""));
  ASSERT_EQ(0u, Listing(zip).count("docs\\"));
  holder.root()->RefreshListing();
  source.Write("docs\\new.txt", "new");
  user.answers = {IDYES};
  EXPECT_EQ("", Drop(top, {source / "docs"}));
  const auto listing = Listing(zip);
  EXPECT_EQ(1u, listing.count("docs\\new.txt"));
  EXPECT_EQ(1u, listing.count("docs\\old.txt"));
  KeepProduced(zip, "merged-folder");
}

TEST_F(PutIn, AFileAndAFolderOfOneNameAreRefusedAtAnyDepth) {
  source.Write("x", "a file named like the sub-folder");
  ExpectRefused(FormatStrings(IDS_FOLDER_EXISTS, {"x"}), Docs(), {source / "x"});

  TempDir deeper;
  deeper.Write("docs\\x", "a file deep down");
  user.answers = {IDYES};
  ExpectRefused(FormatStrings(IDS_FOLDER_EXISTS, {"x"}), top, {deeper / "docs"});

  TempDir folderOverFile;
  folderOverFile.Write("keep.txt\\inner.txt", "a directory named like a file");
  ExpectRefused(FormatStrings(IDS_FILE_EXISTS, {"keep.txt"}), top, {folderOverFile / "keep.txt"});
  EXPECT_TRUE(user.questions.size() == 1 && user.questions[0].kind == "folder replace")
      << "a conflict between a file and a folder asks nothing";
}

TEST_F(PutIn, SourcesItCannotUseAreRefusedBeforeAnything) {
  TempDir other;
  source.Write("a.txt", "a");
  other.Write("b.txt", "b");
  ExpectRefused(LoadStr(IDS_DIFFERENT_DIRS), top, {source / "a.txt", other / "b.txt"});

  std::string upper = source / "b.txt";
  const size_t cut = upper.rfind("mbxtest");
  upper.replace(cut, 7, "MBXTEST");
  ExpectRefused(LoadStr(IDS_DIFFERENT_DIRS), top, {source / "a.txt", upper});

  ExpectRefused(LoadStr(IDS_NETWORK_DRIVE), top, {"\\\\nosuchserver\\share\\a.txt"});

  // A document another program keeps open without sharing.
  const std::string locked = source.Write("locked.txt", "being edited");
  const UniqueFileHandle holder(
      CreateFileA(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  ExpectRefused(FormatStrings(IDS_FILE_IN_USE, {locked}), top, {source / "a.txt", locked});

  SetFileAttributesA(zip.c_str(), FILE_ATTRIBUTE_READONLY);
  source.Write("keep.txt", "would ask");
  ExpectRefused(LoadStr(IDS_READ_ONLY), top, {source / "keep.txt"});
  SetFileAttributesA(zip.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(user.questions.empty());
}

TEST_F(PutIn, NoToEveryItemOrCancelChangesNothing) {
  source.Write("keep.txt", "new keep");
  source.Write("docs\\readme.txt", "new");
  user.answers = {IDNO, IDNO};
  ExpectRefused("", top, {source / "docs", source / "keep.txt"});
  EXPECT_EQ(2u, user.questions.size());

  user.answers = {IDYES, IDCANCEL};
  const std::string before = ReadAll(zip);
  const UniqueGlobal drop = DropOf({source / "docs", source / "keep.txt"});
  EXPECT_THROW(top->AddDroppedFiles(static_cast<HDROP>(drop.get()), nullptr), CUserCancelException);
  EXPECT_EQ(before, ReadAll(zip));
}

TEST_F(PutIn, AnEmptyDirectoryBecomesAnEmptyFolderAndThePathRulesHold) {
  CreateDirectoryA((source / "empty").c_str(), nullptr);
  EXPECT_EQ("", Drop(Docs(), {source / "empty"}));
  const auto listing = Listing(zip);
  EXPECT_EQ(1u, listing.count("docs\\empty\\"));
  std::string path = "docs\\empty\\";
  ASSERT_NE(nullptr, top->FindFolder(path));
  KeepProduced(zip, "empty-folder");

  // A path that already lies inside the archive, seen from its drive's root,
  // goes through the copy list; anything else is named by its full path.
  AddSpec addSpec;
  MemberList replaced;
  std::vector<std::string> copyList;
  const std::string inside = content / "keep.txt";
  TempDir mirror;
  const std::string rooted = PathSkipRootA(inside.c_str());
  mirror.Write(rooted, "x");
  ASSERT_EQ(0, zip_maker::Add(zip, mirror.path(), {rooted.substr(0, rooted.find('\\'))}));
  holder.root()->RefreshListing();
  top->CollectForAdd(inside, content.path() + "\\", addSpec, replaced, copyList);
  EXPECT_EQ(std::vector<std::string>{inside}, copyList);
  EXPECT_EQ("", addSpec.Text());
  EXPECT_EQ(std::string("Mkeep.txt") + '\0', replaced.Text());
}

TEST_F(PutIn, DeletingNamesFilesAndWholeFoldersAfterTheQuestion) {
  top->DeleteMembers({}, nullptr);
  EXPECT_EQ(std::vector<UINT>{0}, user.beeps);

  SetFileAttributesA(zip.c_str(), FILE_ATTRIBUTE_READONLY);
  try {
    top->DeleteMembers({"keep.txt"}, nullptr);
    ADD_FAILURE() << "a read-only archive was changed";
  } catch (const CZipUserException& e) {
    EXPECT_EQ(LoadStr(IDS_READ_ONLY), e.Message());
  }
  SetFileAttributesA(zip.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(user.boxes.empty()) << "read-only is told before the question";

  // One request: a file and a whole folder of this folder.
  EXPECT_EQ(std::string("Mdocs\\readme.txt") + '\0' + "Tdocs\\x" + '\0', Docs()->BuildMemberSpec({"readme.txt", "x"}));
  const std::string before = ReadAll(zip);
  user.answer = IDNO;
  Docs()->DeleteMembers({"readme.txt", "x"}, nullptr);
  ASSERT_EQ(1u, user.boxes.size());
  EXPECT_EQ(LoadStr(IDS_CONFIRM_DELETE), user.boxes[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_YESNO), user.boxes[0].type);
  EXPECT_EQ(before, ReadAll(zip));

  user.answer = IDYES;
  Docs()->DeleteMembers({"readme.txt", "x"}, nullptr);
  const std::map<std::string, uint32_t> left{{"keep.txt", 4}, {"docs\\", 0}, {"docs\\old.txt", 19}};
  EXPECT_EQ(left, Listing(zip));
  EXPECT_EQ(nullptr, Member(Docs(), "x"));
  KeepProduced(zip, "deleted");
}

TEST_F(PutIn, ANewFolderFollowsTheRulesOfAdding) {
  const auto workspacesBefore = Workspaces();
  char directoryBefore[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, directoryBefore);
  Docs()->NewFolder("New Folder", nullptr);
  EXPECT_EQ(1u, Listing(zip).count("docs\\New Folder\\"));
  EXPECT_EQ(workspacesBefore, Workspaces());
  char directoryAfter[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, directoryAfter);
  EXPECT_STREQ(directoryBefore, directoryAfter);
  KeepProduced(zip, "new-folder");

  const std::string before = ReadAll(zip);
  user.answers = {IDNO};
  top->NewFolder("docs", nullptr);
  ASSERT_EQ(1u, user.questions.size());
  EXPECT_EQ("folder replace", user.questions[0].kind);
  EXPECT_EQ(before, ReadAll(zip));

  try {
    top->NewFolder("keep.txt", nullptr);
    ADD_FAILURE() << "a folder was made over a file";
  } catch (const CZipUserException& e) {
    EXPECT_EQ(FormatStrings(IDS_FILE_EXISTS, {"keep.txt"}), e.Message());
  }
  EXPECT_EQ(before, ReadAll(zip));
}

// A file list from another program that is malformed is refused like an
// absent one wherever it comes in, without a word, and nothing it names is
// added: not even the real file it lists before its end is missing.
TEST_F(PutIn, AMalformedListIsRefusedAtEveryDoorAndAddsNothing) {
  const std::string fresh = source.Write("fresh.txt", "fresh");
  const std::vector<BYTE> unended = DropBlock(AnsiList(fresh + '\0'));
  const std::vector<BYTE> farAway = DropBlock(AnsiList(fresh + '\0' + '\0'), false, 0x7FFFFFF0);
  const std::string before = ReadAll(zip);
  IDropTarget* icon = nullptr;
  ASSERT_EQ(S_OK, holder.root()->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&icon)));
  for (const auto& block : {unended, farAway}) {
    const UniqueGlobal drop(GlobalBlock(block));
    EXPECT_NO_THROW(top->AddDroppedFiles(static_cast<HDROP>(drop.get()), nullptr));

    // Dropped on the zip file's icon and on a folder of it in the tree.
    OneFormatData data(CF_HDROP, GlobalBlock(block));
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(E_INVALIDARG, icon->Drop(&data, 0, POINTL{0, 0}, &effect));
    EXPECT_EQ(E_INVALIDARG, static_cast<IDropTarget*>(Docs())->Drop(&data, 0, POINTL{0, 0}, &effect));

    // The zip file's context menu, initialised with the selection.
    CZipFile* other = CZipFile::Create();
    other->AddRef();
    IShellExtInit* init = nullptr;
    ASSERT_EQ(S_OK, other->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
    EXPECT_EQ(E_INVALIDARG, init->Initialize(nullptr, &data, nullptr));
    EXPECT_EQ("", other->ZipPath());
    init->Release();
    other->Release();
  }
  EXPECT_EQ(before, ReadAll(zip));
  EXPECT_TRUE(user.boxes.empty());
  EXPECT_TRUE(user.questions.empty());

  // The same file in a well-formed list goes in by the same door.
  OneFormatData good(CF_HDROP, GlobalBlock(DropBlock(AnsiList(fresh + '\0' + '\0'))));
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(S_OK, icon->Drop(&good, 0, POINTL{0, 0}, &effect));
  EXPECT_EQ(1u, Listing(zip).count("fresh.txt"));
  icon->Release();
}

}  // namespace
