// "Copy to Zip File" on ordinary files and folders: the handler of this
// program's own code, with the archive class registered in-process so that
// the archive it creates by ProgID is this code too and every question goes
// through the fake user.  One test answers the real "File name" dialog.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <thread>
#include <vector>

#include "archive_state.h"
#include "class_objects.h"
#include "dialog_script.h"
#include "fake_user_interaction.h"
#include "file_handler.h"
#include "forged_input.h"
#include "produced.h"
#include "resource.h"
#include "shell_data.h"
#include "strings.h"
#include "drop_data.h"
#include "temp_dir.h"
#include "zip_maker.h"

namespace {

constexpr UINT kFirst = 40;

class CopyToZip : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OleInitialize(nullptr);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, GetClassObject(CLSID_ZipFile, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_ZipFile, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &s_cookie));
    factory->Release();
    // The ProgID must lead to this program's class object, not to the
    // registered DLL, or the fake would answer nothing.
    CLSID clsid{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(kZipFileProgIdWide.data(), &clsid));
    IUnknown* object = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)));
    HMODULE owner = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>((*reinterpret_cast<void***>(object))[0]), &owner);
    object->Release();
    ASSERT_EQ(GetModuleHandleA(nullptr), owner);
  }
  static void TearDownTestSuite() {
    CoRevokeClassObject(s_cookie);
    OleUninitialize();
  }

  void SetUp() override { menu = CreatePopupMenu(); }
  void TearDown() override {
    DestroyMenu(menu);
    if (handler) handler->Release();
  }

  // A handler initialised as the shell does for a right-click on paths.
  HRESULT Select(const std::vector<std::string>& paths) {
    IDataObject* data = ShellDataObject(paths);
    EXPECT_NE(nullptr, data);
    const HRESULT hr = SelectData(data);
    if (data) data->Release();
    return hr;
  }
  // A new handler initialised with the selection's data.
  HRESULT SelectData(IDataObject* data) {
    if (handler) handler->Release();
    handler = nullptr;
    EXPECT_EQ(S_OK, CreateFileHandlerObject(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&handler)));
    IShellExtInit* init = nullptr;
    handler->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init));
    const HRESULT hr = init->Initialize(nullptr, data, nullptr);
    init->Release();
    return hr;
  }

  HRESULT Invoke() {
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1), handler->QueryContextMenu(menu, 0, kFirst, kFirst + 5, CMF_NORMAL));
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(0);
    return handler->InvokeCommand(&info);
  }

  std::string Help() {
    char text[256] = "";
    EXPECT_EQ(S_OK, handler->GetCommandString(0, GCS_HELPTEXTA, nullptr, text, sizeof(text)));
    return text;
  }

  // Files in the directory whose names are not in keep: leftovers.
  static std::vector<std::string> Others(const TempDir& dir, const std::vector<std::string>& keep) {
    std::vector<std::string> others;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir / "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return others;
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      bool kept = false;
      for (const std::string& k : keep) kept = kept || lstrcmpiA(k.c_str(), name.c_str()) == 0;
      if (!kept) others.push_back(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return others;
  }

  static DWORD s_cookie;
  WithFakeUser fake;
  TempDir dir;
  HMENU menu = nullptr;
  IContextMenu* handler = nullptr;
};
DWORD CopyToZip::s_cookie = 0;

TEST_F(CopyToZip, OneFileGoesIntoAnArchiveNamedAfterIt) {
  const std::string doc = dir.Write("report.doc", "the report");
  ASSERT_EQ(S_OK, Select({doc}));
  AppendMenuA(menu, MF_STRING, 1, "first");
  ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1), handler->QueryContextMenu(menu, 1, kFirst, kFirst + 5, CMF_NORMAL));
  ASSERT_EQ(2, GetMenuItemCount(menu));
  char text[64] = "";
  GetMenuStringA(menu, 1, text, sizeof(text), MF_BYPOSITION);
  EXPECT_STREQ("Copy to Zip File", text);
  EXPECT_EQ(kFirst, GetMenuItemID(menu, 1));
  EXPECT_EQ("Copies the file into a zip file with the same name.", Help());
  EXPECT_EQ(S_OK, handler->GetCommandString(0, GCS_VERBA, nullptr, text, sizeof(text)));
  EXPECT_STREQ("copy_to_zip", text);
  WCHAR wide[64] = L"";
  EXPECT_EQ(S_OK, handler->GetCommandString(0, GCS_VERBW, nullptr, reinterpret_cast<char*>(wide), 64));
  EXPECT_STREQ(L"copy_to_zip", wide);

  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof(info);
  info.lpVerb = MAKEINTRESOURCEA(0);
  ASSERT_EQ(S_OK, handler->InvokeCommand(&info));
  const std::string zip = dir / "report.ZIP";
  EXPECT_EQ((std::map<std::string, uint32_t>{{"report.doc", 10}}), Listing(zip));
  EXPECT_TRUE(fake.user.questions.empty());
  EXPECT_TRUE(fake.user.boxes.empty());
  KeepProduced(zip, "copy_to_zip_file");

  // A name without extension gets one.
  const std::string plain = dir.Write("notes", "n");
  ASSERT_EQ(S_OK, Select({plain}));
  ASSERT_EQ(S_OK, Invoke());
  EXPECT_EQ(1u, Listing(dir / "notes.ZIP").count("notes"));
}

TEST_F(CopyToZip, NamesOfEveryScriptNameTheArchiveAndGoInWhole) {
  const auto wide = [](const std::string& utf8) { return Utf8ToWide(utf8); };
  const std::string greek = "\xCE\xB1\xCF\x81\xCF\x87\xCE\xB5\xCE\xAF\xCE\xBF";  // αρχείο
  const std::string folder = "\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9 \xF0\x9F\x98\x80";  // 文件夹 😀
  const std::string hebrew = "\xD7\xA7\xD7\x95\xD7\x91\xD7\xA5.txt";
  const auto write = [&](const std::string& path, const std::string& content) {
    const HANDLE file =
        CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
  };

  // One file: the archive beside it takes its real name.
  const std::string doc = dir / (greek + ".txt");
  write(doc, "greek");
  ASSERT_EQ(S_OK, Select({doc}));
  ASSERT_EQ(S_OK, Invoke());
  const auto fileNames = StoredNames(dir / (greek + ".ZIP"));
  ASSERT_EQ(1u, fileNames.count(greek + ".txt"));
  EXPECT_NE(0, fileNames.at(greek + ".txt") & 0x0800) << "flagged UTF-8";

  // One folder: its content at the top of an archive named after it.
  ASSERT_TRUE(CreateDirectoryW(wide(dir / folder).c_str(), nullptr));
  write(dir / folder + "\\" + hebrew, "hebrew");
  ASSERT_TRUE(CreateDirectoryW(wide(dir / folder + "\\" + greek).c_str(), nullptr));
  write(dir / folder + "\\" + greek + "\\" + hebrew, "deeper");
  ASSERT_EQ(S_OK, Select({dir / folder}));
  ASSERT_EQ(S_OK, Invoke());
  const auto folderNames = StoredNames(dir / (folder + ".ZIP"));
  EXPECT_EQ(1u, folderNames.count(hebrew));
  EXPECT_EQ(1u, folderNames.count(greek + "/"));
  EXPECT_EQ(1u, folderNames.count(greek + "/" + hebrew));
  EXPECT_TRUE(fake.user.boxes.empty());
  EXPECT_TRUE(fake.user.questions.empty());
}

TEST_F(CopyToZip, AFileBeyondMaxPathIsCopiedBesideItself) {
  const std::string deep = dir.path() + "\\" + std::string(130, 'd') + "\\" + std::string(120, 'e');
  ASSERT_TRUE(CreateDirectoryW(FileSystemPath(dir.path() + "\\" + std::string(130, 'd')).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(FileSystemPath(deep).c_str(), nullptr));
  const std::string doc = deep + "\\report.doc";
  ASSERT_GT(doc.size(), static_cast<size_t>(MAX_PATH));
  {
    const HANDLE file = CreateFileW(FileSystemPath(doc).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, "far", 3, &written, nullptr);
    CloseHandle(file);
  }
  // The shell's data object cannot name what it cannot parse: the list comes
  // as a long path would, wide.
  OneFormatData data(CF_HDROP, MakeWideDropFiles({doc}));
  ASSERT_EQ(S_OK, SelectData(&data));
  ASSERT_EQ(S_OK, Invoke());
  const std::string zip = deep + "\\report.ZIP";
  std::string bytes;
  {
    const HANDLE file = CreateFileW(FileSystemPath(zip).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << "the archive beside the file";
    char buffer[4096];
    DWORD read = 0;
    ReadFile(file, buffer, sizeof(buffer), &read, nullptr);
    bytes.assign(buffer, read);
    CloseHandle(file);
  }
  EXPECT_NE(std::string::npos, bytes.find("PK\x01\x02")) << "with a member in it";
  EXPECT_NE(std::string::npos, bytes.find("report.doc"));
  EXPECT_TRUE(fake.user.boxes.empty());
  DeleteFileW(FileSystemPath(zip).c_str());
  DeleteFileW(FileSystemPath(doc).c_str());
  RemoveDirectoryW(FileSystemPath(deep).c_str());
}

TEST_F(CopyToZip, AFolderGivesItsContentAtTheArchivesTop) {
  dir.Write("Data\\a.txt", "a");
  dir.Write("Data\\sub\\b.txt", "bb");
  const std::string hidden = dir.Write("Data\\.hidden", "h");
  SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
  ASSERT_EQ(S_OK, Select({dir / "Data"}));
  EXPECT_EQ("Copies the contents of the folder into a new zip file with the same name.", Help());
  ASSERT_EQ(S_OK, Invoke());
  const std::string zip = dir / "Data.ZIP";
  const auto members = Listing(zip);
  EXPECT_EQ(1u, members.count("a.txt"));
  EXPECT_EQ(1u, members.count("sub\\b.txt"));
  EXPECT_EQ(1u, members.count(".hidden"));
  for (const auto& [name, size] : members) EXPECT_NE(0u, name.rfind("Data", 0)) << name;
  KeepProduced(zip, "copy_folder_to_zip_file");

  // An empty folder's archive is empty, as asked.
  CreateDirectoryA((dir / "Empty").c_str(), nullptr);
  ASSERT_EQ(S_OK, Select({dir / "Empty"}));
  ASSERT_EQ(S_OK, Invoke());
  EXPECT_EQ(22u, ReadAll(dir / "Empty.ZIP").size());
}

TEST_F(CopyToZip, AnExistingArchiveIsOverwrittenOnlyWhenTheUserSaysSo) {
  const std::string doc = dir.Write("report.doc", "the report");
  TempDir other;
  other.Write("old.txt", "old");
  const std::string zip = dir / "report.ZIP";
  ASSERT_EQ(0, zip_maker::Add(zip, other.path(), {"old.txt"}));
  const std::string before = ReadAll(zip);

  // Cancel: nothing changes.
  ASSERT_EQ(S_OK, Select({doc}));
  fake.user.answers = {kFileNameCancel};
  EXPECT_EQ(S_FALSE, Invoke());
  ASSERT_EQ(1u, fake.user.questions.size());
  EXPECT_EQ("file name", fake.user.questions[0].kind);
  EXPECT_NE(std::string::npos, fake.user.questions[0].text.find("A zip file called \"report"));
  EXPECT_NE(std::string::npos, fake.user.questions[0].text.find("\" already exists in this folder."));
  EXPECT_EQ(before, ReadAll(zip));

  // Other Name: the save dialog, starting beside the file with the name.
  fake.user.questions.clear();
  fake.user.answers = {kFileNameOtherName, IDOK};
  fake.user.savePath = dir / "chosen.zip";
  ASSERT_EQ(S_OK, Select({doc}));
  EXPECT_EQ(S_OK, Invoke());
  ASSERT_EQ(1u, fake.user.saveDialogs.size());
  EXPECT_EQ(dir.path(), fake.user.saveDialogs[0].directory);
  EXPECT_EQ("report.ZIP", fake.user.saveDialogs[0].name);
  EXPECT_EQ(1u, Listing(dir / "chosen.zip").count("report.doc"));
  EXPECT_EQ(before, ReadAll(zip));

  // Overwrite: only the file is in it afterwards.
  fake.user.answers = {kFileNameOverwrite};
  ASSERT_EQ(S_OK, Select({doc}));
  EXPECT_EQ(S_OK, Invoke());
  EXPECT_EQ((std::map<std::string, uint32_t>{{"report.doc", 10}}), Listing(zip));
  EXPECT_TRUE(Others(dir, {"report.doc", "report.ZIP", "chosen.zip"}).empty());
  KeepProduced(zip, "copy_to_zip_overwritten");
}

TEST_F(CopyToZip, SeveralItemsAskForTheArchivesName) {
  const std::string a = dir.Write("a.txt", "a");
  const std::string b = dir.Write("b.txt", "b");
  ASSERT_EQ(S_OK, Select({a, b}));
  EXPECT_EQ("Copies the files into a zip file (ask for a name).", Help());
  fake.user.answers = {IDCANCEL};
  EXPECT_EQ(S_FALSE, Invoke());
  EXPECT_TRUE(Others(dir, {"a.txt", "b.txt"}).empty());

  // A chosen existing archive is replaced (the dialog asked about that).
  TempDir other;
  other.Write("old.txt", "old");
  const std::string zip = dir / "both.zip";
  ASSERT_EQ(0, zip_maker::Add(zip, other.path(), {"old.txt"}));
  fake.user.answers = {IDOK};
  fake.user.savePath = zip;
  ASSERT_EQ(S_OK, Select({a, b}));
  EXPECT_EQ(S_OK, Invoke());
  EXPECT_EQ((std::map<std::string, uint32_t>{{"a.txt", 1}, {"b.txt", 1}}), Listing(zip));
  EXPECT_EQ("", fake.user.saveDialogs.back().name);
  KeepProduced(zip, "copy_files_to_zip");
}

TEST_F(CopyToZip, ZipFilesAndDefaultOnlyMenusGetNoItem) {
  for (const char* name : {"x.zip", "y.Zip", "z.ZIP"}) {
    ASSERT_EQ(S_OK, Select({dir.Write(name, "")}));
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1), handler->QueryContextMenu(menu, 0, kFirst, kFirst + 5, CMF_NORMAL));
    EXPECT_EQ(0, GetMenuItemCount(menu)) << name;
  }
  ASSERT_EQ(S_OK, Select({dir.Write("doc.txt", "")}));
  EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0), handler->QueryContextMenu(menu, 0, kFirst, kFirst + 5, CMF_DEFAULTONLY));
  EXPECT_EQ(0, GetMenuItemCount(menu));

  // A selection without a file list offers nothing.
  IShellExtInit* init = nullptr;
  handler->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init));
  OneFormatData text(CF_TEXT, TextBlock("text"));
  EXPECT_EQ(S_FALSE, init->Initialize(nullptr, &text, nullptr));
  init->Release();
  EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1), handler->QueryContextMenu(menu, 0, kFirst, kFirst + 5, CMF_NORMAL));
  EXPECT_EQ(0, GetMenuItemCount(menu));
}

// A list another program made malformed, or one without a path, is no
// selection: the handler says so, offers nothing and shows no message.
TEST_F(CopyToZip, AMalformedOrEmptyListIsRefused) {
  const std::string doc = dir.Write("report.doc", "the report");
  const std::vector<BYTE> blocks[] = {
      DropBlock(AnsiList(doc + '\0')),
      DropBlock(AnsiList(doc + '\0' + '\0'), false, 0x7FFFFFF0),
      DropBlock(AnsiList(std::string(1, '\0'))),
      {},
  };
  for (const auto& block : blocks) {
    OneFormatData data(CF_HDROP, GlobalBlock(block));
    EXPECT_EQ(E_INVALIDARG, SelectData(&data));
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1), handler->QueryContextMenu(menu, 0, kFirst, kFirst + 5, CMF_NORMAL));
    EXPECT_EQ(0, GetMenuItemCount(menu));
  }
  EXPECT_TRUE(fake.user.boxes.empty());
  EXPECT_TRUE(Others(dir, {"report.doc"}).empty());
}

TEST_F(CopyToZip, AFailedAddLeavesNoHalfMadeArchive) {
  const std::string doc = dir.Write("report.doc", "the report");
  // Another program holds the file without sharing.
  HANDLE held = CreateFileA(doc.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  ASSERT_EQ(S_OK, Select({doc}));
  EXPECT_EQ(S_FALSE, Invoke());
  ASSERT_EQ(1u, fake.user.boxes.size());
  EXPECT_NE(std::string::npos, fake.user.boxes[0].text.find("report.doc"));
  EXPECT_TRUE(Others(dir, {"report.doc"}).empty());

  // Over an existing archive the old one stays as it was.
  TempDir other;
  other.Write("old.txt", "old");
  const std::string zip = dir / "report.ZIP";
  ASSERT_EQ(0, zip_maker::Add(zip, other.path(), {"old.txt"}));
  const std::string before = ReadAll(zip);
  fake.user.answers = {kFileNameOverwrite};
  ASSERT_EQ(S_OK, Select({doc}));
  EXPECT_EQ(S_FALSE, Invoke());
  EXPECT_EQ(before, ReadAll(zip));
  EXPECT_TRUE(Others(dir, {"report.doc", "report.ZIP"}).empty());
  CloseHandle(held);
}

// The real "File name" dialog, answered by its buttons from a second thread.
TEST(CopyToZipDialog, TheFileNameDialogIsAnsweredByItsButtons) {
  OleInitialize(nullptr);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(S_OK, GetClassObject(CLSID_ZipFile, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_ZipFile, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));
  factory->Release();
  TempDir dir, other;
  const std::string doc = dir.Write("report.doc", "the report");
  other.Write("old.txt", "old");
  const std::string zip = dir / "report.ZIP";
  ASSERT_EQ(0, zip_maker::Add(zip, other.path(), {"old.txt"}));
  const std::string before = ReadAll(zip);

  for (int button : {IDCANCEL, IDOK}) {
    IContextMenu* handler = nullptr;
    ASSERT_EQ(S_OK, CreateFileHandlerObject(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&handler)));
    IShellExtInit* init = nullptr;
    handler->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init));
    IDataObject* data = ShellDataObject({doc});
    ASSERT_EQ(S_OK, init->Initialize(nullptr, data, nullptr));
    data->Release();
    init->Release();
    std::string message;
    std::thread user([&] {
      HWND dialog = dialog_script::WaitForDialog("File name");
      if (!dialog) return;
      message = dialog_script::Text(dialog, IDC_FILE_NAME_MESSAGE);
      dialog_script::Click(dialog, button);
    });
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    const HRESULT hr = handler->InvokeCommand(&info);
    user.join();
    handler->Release();
    EXPECT_NE(std::string::npos, message.find("already exists in this folder.")) << message;
    if (button == IDCANCEL) {
      EXPECT_EQ(S_FALSE, hr);
      EXPECT_EQ(before, ReadAll(zip));
    } else {
      EXPECT_EQ(S_OK, hr);
      EXPECT_EQ((std::map<std::string, uint32_t>{{"report.doc", 10}}), Listing(zip));
    }
  }
  CoRevokeClassObject(cookie);
  OleUninitialize();
}

}  // namespace
