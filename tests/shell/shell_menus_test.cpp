// The zip file's own menu and drop target, and the menu of folder items in a
// browsed archive, created through the registered DLL as the shell creates
// them: class object, IShellExtInit with the shell's data object, a real menu.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "archive_state.h"
#include "dialog_script.h"
#include "menu_spy.h"
#include "produced.h"
#include "registered_root.h"
#include "shell_host.h"
#include "shell_data.h"
#include "strings.h"
#include "temp_dir.h"
#include "workspace.h"
#include "zip_maker.h"

namespace {

const CLSID kFileHandler = CLSID_FileHandler;
constexpr UINT kFirst = 100;

std::string ItemText(HMENU menu, int position) {
  char text[128] = "";
  GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof(text), MF_BYPOSITION);
  return text;
}

class ShellMenus : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OleInitialize(nullptr); }
  static void TearDownTestSuite() { OleUninitialize(); }

  void SetUp() override { menu = CreatePopupMenu(); }
  void TearDown() override { DestroyMenu(menu); }

  void MakeArchive(const std::vector<std::string>& files) {
    for (const std::string& f : files) source.Write(f, "content of " + f);
    ASSERT_EQ(0, zip_maker::Add(zip, source.path(), files));
  }

  // The root as the shell makes it for a right-click on the zip file, or for
  // files dropped on its icon.
  template <typename I>
  I* ZipFileObject() {
    IShellExtInit* init = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(kZipFile, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                     reinterpret_cast<void**>(&init)));
    if (!init) return nullptr;
    IDataObject* data = ShellDataObject({zip});
    EXPECT_NE(nullptr, data);
    EXPECT_EQ(S_OK, init->Initialize(nullptr, data, nullptr));
    if (data) data->Release();
    I* out = nullptr;
    EXPECT_EQ(S_OK, init->QueryInterface(__uuidof(I), reinterpret_cast<void**>(&out)));
    init->Release();
    return out;
  }

  IShellFolder* Browse() { return BrowseRegistered(zip); }

  // The first sub-folder item of a folder.
  static PITEMID_CHILD FirstFolderItem(IShellFolder* folder) {
    IEnumIDList* list = nullptr;
    PITEMID_CHILD item = nullptr;
    if (folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &list) == S_OK) {
      list->Next(1, &item, nullptr);
      list->Release();
    }
    return item;
  }

  // The context menu of the folder's first sub-folder item, as the shell
  // asks its parent for it; *item is the caller's to free.
  static IContextMenu* FolderItemMenu(IShellFolder* folder, PITEMID_CHILD* item) {
    *item = FirstFolderItem(folder);
    if (*item == nullptr) return nullptr;
    PCUITEMID_CHILD items[] = {*item};
    IContextMenu* context = nullptr;
    folder->GetUIObjectOf(nullptr, 1, items, IID_IContextMenu, nullptr, reinterpret_cast<void**>(&context));
    return context;
  }

  static HRESULT Invoke(IContextMenu* menu, const char* verb) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.lpVerb = verb;
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(&info);
  }

  TempDir source, archives;
  std::string zip = archives / "pack.zip";
  HMENU menu = nullptr;
};

TEST_F(ShellMenus, TheZipFileOffersUnzipAndRunInstallationOnlyWithAnInstaller) {
  MakeArchive({"readme.txt", "docs\\setup.exe"});
  IContextMenu* context = ZipFileObject<IContextMenu>();
  ASSERT_NE(nullptr, context);
  // Without the rename flag the shell is not showing a file's menu.
  EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1), context->QueryContextMenu(menu, 0, kFirst, kFirst + 10, CMF_NORMAL));
  EXPECT_EQ(0, GetMenuItemCount(menu));

  // setup.exe lies in a sub-folder only: no installer at the top.
  EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1), context->QueryContextMenu(menu, 0, kFirst, kFirst + 10, CMF_CANRENAME));
  ASSERT_EQ(1, GetMenuItemCount(menu));
  EXPECT_EQ("&Unzip to new folder", ItemText(menu, 0));
  EXPECT_EQ(kFirst, GetMenuItemID(menu, 0));

  char text[256] = "";
  EXPECT_EQ(S_OK, context->GetCommandString(0, GCS_HELPTEXTA, nullptr, text, sizeof(text)));
  EXPECT_STREQ("Unzips the contents of the zip file into a new folder with the same name.", text);
  EXPECT_EQ(S_OK, context->GetCommandString(0, GCS_VERBA, nullptr, text, sizeof(text)));
  EXPECT_STREQ("extract_to_folder", text);
  WCHAR wide[256] = L"";
  EXPECT_EQ(S_OK, context->GetCommandString(0, GCS_VERBW, nullptr, reinterpret_cast<char*>(wide), 256));
  EXPECT_STREQ(L"extract_to_folder", wide);
  EXPECT_EQ(S_OK, context->GetCommandString(0, GCS_VALIDATEA, nullptr, nullptr, 0));
  EXPECT_EQ(S_FALSE, context->GetCommandString(1, GCS_VALIDATEA, nullptr, nullptr, 0));
  // A verb string cut to the buffer keeps its terminator.
  EXPECT_EQ(S_OK, context->GetCommandString(0, GCS_VERBA, nullptr, text, 5));
  EXPECT_STREQ("extr", text);
  context->Release();

  // An installer at the top adds the second item.
  TempDir more;
  more.Write("setup.exe", "MZ");
  ASSERT_EQ(0, zip_maker::Add(zip, more.path(), {"setup.exe"}));
  DestroyMenu(menu);
  menu = CreatePopupMenu();
  context = ZipFileObject<IContextMenu>();
  ASSERT_NE(nullptr, context);
  EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 2), context->QueryContextMenu(menu, 0, kFirst, kFirst + 10, CMF_CANRENAME));
  ASSERT_EQ(2, GetMenuItemCount(menu));
  EXPECT_EQ("Run &Installation", ItemText(menu, 1));
  EXPECT_EQ(kFirst + 1, GetMenuItemID(menu, 1));
  EXPECT_EQ(S_OK, context->GetCommandString(1, GCS_HELPTEXTA, nullptr, text, sizeof(text)));
  EXPECT_STREQ("", text);
  context->Release();
}

TEST_F(ShellMenus, UnzipToNewFolderByOffsetMakesTheFolderBesideTheArchive) {
  MakeArchive({"readme.txt", "docs\\guide.txt"});
  IContextMenu* context = ZipFileObject<IContextMenu>();
  ASSERT_NE(nullptr, context);
  ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1), context->QueryContextMenu(menu, 0, kFirst, kFirst + 10, CMF_CANRENAME));
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof(info);
  info.lpVerb = MAKEINTRESOURCEA(0);
  EXPECT_EQ(S_OK, context->InvokeCommand(&info));
  context->Release();
  EXPECT_EQ("content of readme.txt", ReadAll(archives / "pack\\readme.txt"));
  EXPECT_EQ("content of docs\\guide.txt", ReadAll(archives / "pack\\docs\\guide.txt"));
}

TEST_F(ShellMenus, AFolderItemOfABrowsedArchiveHasOpenGreyedCopyDeleteAndProperties) {
  MakeArchive({"a\\one.txt", "a\\two.txt", "top.txt"});
  IShellFolder* folder = Browse();
  ASSERT_NE(nullptr, folder);
  PITEMID_CHILD item = nullptr;
  IContextMenu* context = FolderItemMenu(folder, &item);
  ASSERT_NE(nullptr, context);
  ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4),
            context->QueryContextMenu(menu, 0, kFirst, kFirst + 20, CMF_EXPLORE | CMF_CANRENAME));
  ASSERT_EQ(6, GetMenuItemCount(menu));
  const char* texts[] = {"&Open", "", "&Copy", "&Delete", "", "P&roperties"};
  const UINT ids[] = {kFirst, 0, kFirst + 1, kFirst + 2, 0, kFirst + 3};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(texts[i], ItemText(menu, i));
    const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    EXPECT_EQ(ids[i] == 0, (state & MF_SEPARATOR) != 0);
    if (ids[i] != 0) {
      EXPECT_EQ(ids[i], GetMenuItemID(menu, i));
      EXPECT_EQ(i == 0, (state & MF_GRAYED) != 0);
    }
  }
  WCHAR help[256] = L"";
  EXPECT_EQ(S_OK, context->GetCommandString(2, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(help), 256));
  EXPECT_STREQ(L"Deletes the selected items.", help);

  // Offset 1 is Copy: the folder's files go to the clipboard as a drop list.
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof(info);
  info.lpVerb = MAKEINTRESOURCEA(1);
  ASSERT_EQ(S_OK, context->InvokeCommand(&info));
  ASSERT_TRUE(OpenClipboard(nullptr));
  auto drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
  ASSERT_NE(nullptr, drop);
  char path[MAX_PATH] = "";
  ASSERT_EQ(1u, DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0));
  DragQueryFileA(drop, 0, path, MAX_PATH);
  CloseClipboard();
  EXPECT_EQ("a", std::string(PathFindFileNameA(path)));

  // "open" and verbs not ours do nothing and succeed.
  EXPECT_EQ(S_OK, Invoke(context, "open"));
  EXPECT_EQ(S_OK, Invoke(context, "Delete"));  // verbs are case-sensitive
  EXPECT_EQ(3u, Listing(zip).size());
  context->Release();
  CoTaskMemFree(item);
  folder->Release();
}

TEST_F(ShellMenus, CopyByVerbNeedsNoMenuQuery) {
  MakeArchive({"a\\one.txt"});
  IShellFolder* folder = Browse();
  ASSERT_NE(nullptr, folder);
  PITEMID_CHILD item = nullptr;
  IContextMenu* context = FolderItemMenu(folder, &item);
  ASSERT_NE(nullptr, context);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(S_OK, Invoke(context, "copy"));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_HDROP));
  context->Release();
  CoTaskMemFree(item);
  folder->Release();
}

TEST_F(ShellMenus, FilesDroppedOnTheZipFileOrOnAFolderAreAddedThere) {
  MakeArchive({"docs\\old.txt"});
  TempDir dropped;
  const std::string file = dropped.Write("new.txt", "dropped");

  IDropTarget* target = ZipFileObject<IDropTarget>();
  ASSERT_NE(nullptr, target);
  OneFormatData text(CF_TEXT, TextBlock("not files"));
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(S_OK, target->DragEnter(&text, MK_LBUTTON, POINTL{0, 0}, &effect));
  EXPECT_EQ(DROPEFFECT_NONE, effect);
  EXPECT_EQ(E_INVALIDARG, target->Drop(&text, MK_LBUTTON, POINTL{0, 0}, &effect));

  OneFormatData files(CF_HDROP, MakeDropFiles(file + '\0'));
  effect = DROPEFFECT_MOVE;
  EXPECT_EQ(S_OK, target->DragEnter(&files, MK_SHIFT, POINTL{0, 0}, &effect));
  EXPECT_EQ(DROPEFFECT_COPY, effect);
  EXPECT_EQ(S_OK, target->Drop(&files, MK_SHIFT, POINTL{0, 0}, &effect));
  target->Release();
  EXPECT_EQ(1u, Listing(zip).count("new.txt"));

  // Onto a sub-folder of a browsed archive, through its parent's GetUIObjectOf.
  IShellFolder* folder = Browse();
  ASSERT_NE(nullptr, folder);
  PITEMID_CHILD item = FirstFolderItem(folder);
  ASSERT_NE(nullptr, item);
  PCUITEMID_CHILD items[] = {item};
  ASSERT_EQ(S_OK, folder->GetUIObjectOf(nullptr, 1, items, IID_IDropTarget, nullptr,
                                        reinterpret_cast<void**>(&target)));
  EXPECT_EQ(S_OK, target->Drop(&files, 0, POINTL{0, 0}, &effect));
  target->Release();
  CoTaskMemFree(item);
  folder->Release();
  const auto members = Listing(zip);
  EXPECT_EQ(1u, members.count("docs\\new.txt"));
  EXPECT_EQ(1u, members.count("docs\\old.txt"));
  KeepProduced(zip, "dropped_on_zip_file");
}

TEST_F(ShellMenus, ADropWaitsForAChangeAnotherWindowIsMaking) {
  MakeArchive({"kept.txt"});
  TempDir dropped;
  const std::string file = dropped.Write("late.txt", "late");
  IDropTarget* target = ZipFileObject<IDropTarget>();
  ASSERT_NE(nullptr, target);

  // Another writer holds the archive while it rewrites it.
  std::atomic<bool> holding{false}, released{false};
  std::thread writer([&] {
    zip_maker::ArchiveMutexLock lock(zip);
    holding = true;
    TempDir more;
    more.Write("other.txt", "other");
    zip_maker::Add(zip, more.path(), {"other.txt"});
    Sleep(300);
    released = true;
  });
  while (!holding) Sleep(1);
  OneFormatData files(CF_HDROP, MakeDropFiles(file + '\0'));
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(S_OK, target->Drop(&files, 0, POINTL{0, 0}, &effect));
  EXPECT_TRUE(released);  // the drop waited for the writer to finish
  writer.join();
  target->Release();
  const auto members = Listing(zip);
  EXPECT_EQ(3u, members.size());
  EXPECT_EQ(1u, members.count("late.txt"));
  EXPECT_EQ(1u, members.count("other.txt"));
  KeepProduced(zip, "dropped_after_other_writer");
}

// "Copy to Zip File" on a file and on a folder, through the registered class.
TEST_F(ShellMenus, CopyToZipFilePacksAFileOrAFoldersContentBesideIt) {
  const std::string doc = source.Write("report.doc", "the report");
  source.Write("Data\\a.txt", "a");
  source.Write("Data\\sub\\b.txt", "b");
  for (const std::string& path : {doc, source / "Data"}) {
    IShellExtInit* init = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(kFileHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                     reinterpret_cast<void**>(&init)));
    IDataObject* data = ShellDataObject({path});
    ASSERT_NE(nullptr, data) << path;
    ASSERT_EQ(S_OK, init->Initialize(nullptr, data, nullptr));
    data->Release();
    IContextMenu* context = nullptr;
    ASSERT_EQ(S_OK, init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&context)));
    init->Release();
    ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1), context->QueryContextMenu(menu, 0, kFirst, kFirst + 5, CMF_NORMAL));
    EXPECT_EQ("Copy to Zip File", ItemText(menu, 0));
    DeleteMenu(menu, 0, MF_BYPOSITION);
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(0);
    EXPECT_EQ(S_OK, context->InvokeCommand(&info));
    context->Release();
  }
  EXPECT_EQ((std::map<std::string, uint32_t>{{"report.doc", 10}}), Listing(source / "report.ZIP"));
  const auto members = Listing(source / "Data.ZIP");
  EXPECT_EQ(1u, members.count("a.txt"));
  EXPECT_EQ(1u, members.count("sub\\b.txt"));
  KeepProduced(source / "Data.ZIP", "registered_copy_to_zip");
}

// A wide file list, as the shell offers names the code page cannot spell.
HGLOBAL WideDropFiles(const std::wstring& path) {
  const std::wstring list = path + L'\0' + L'\0';
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size() * sizeof(WCHAR));
  auto* header = static_cast<DROPFILES*>(GlobalLock(block));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  memcpy(reinterpret_cast<BYTE*>(header) + sizeof(DROPFILES), list.data(), list.size() * sizeof(WCHAR));
  GlobalUnlock(block);
  return block;
}

BOOL CALLBACK AppendStaticText(HWND child, LPARAM out) {
  char name[16] = "", text[1024] = "";
  GetClassNameA(child, name, sizeof(name));
  if (lstrcmpiA(name, "Static") == 0 && GetWindowTextA(child, text, sizeof(text)) > 0)
    *reinterpret_cast<std::string*>(out) += std::string(text) + "\n";
  return TRUE;
}

// All the static texts of a window: a message box's message among them.
std::string StaticTexts(HWND window) {
  std::string texts;
  EnumChildWindows(window, AppendStaticText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

// Closes the message box the call shows, keeping its text; "" when none
// showed within the wait.
template <typename Call>
std::string MessageBoxOf(Call call) {
  std::string text;
  std::thread closer([&] {
    if (HWND box = dialog_script::WaitForDialog("")) {
      text = StaticTexts(box);
      dialog_script::Click(box, IDOK);
    }
  });
  call();
  closer.join();
  return text;
}

// Names with characters best fit would turn into "\\" and ".": each is the
// file of its own name, never taken for the other file that spelling names.
TEST_F(ShellMenus, NamesBestFitWouldTurnIntoOtherPathsStayTheirOwn) {
  // The file the look-alike names would reach, and the look-alikes.
  TempDir other;
  const std::string inside = other.Write("Documents\\secret.txt", "not to be touched");
  zip = other / "Documents\\taxes.zip";
  ASSERT_EQ(0, zip_maker::Add(zip, other / "Documents", {"secret.txt"}));
  const std::string taxesBefore = ReadAll(zip);
  const std::wstring directory(source.path().begin(), source.path().end());
  const std::wstring otherName(other.path().begin(), other.path().end());
  // source\..\<other>\Documents\taxes.zip, with fullwidth separators and dots.
  const std::wstring lookAlikeZip = directory + L"\\\uFF0E\uFF0E\uFF3C" + otherName.substr(otherName.rfind(L'\\') + 1) +
                                    L"\uFF3CDocuments\uFF3Ctaxes.zip";
  const std::wstring lookAlikeName =
      L"\uFF0E\uFF0E\uFF3C" + otherName.substr(otherName.rfind(L'\\') + 1) + L"\uFF3CDocuments\uFF3Csecret.txt";
  const std::wstring lookAlikeFile = directory + L"\\" + lookAlikeName;
  {
    HANDLE file = CreateFileW(lookAlikeFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
  }
  // The look-alike archive is an archive of its own, with a folder of its own
  // (the shell's view lists the files; the folder object its folders).
  source.Write("ownfolder\\own.txt", "own");
  const std::string own = archives / "own.zip";
  ASSERT_EQ(0, zip_maker::Add(own, source.path(), {"ownfolder"}));
  ASSERT_TRUE(CopyFileW(std::wstring(own.begin(), own.end()).c_str(), lookAlikeZip.c_str(), FALSE));

  // Opened by path: the archive of that very name, not the other one.
  IPersistFile* persist = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(kZipFile, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFile,
                                   reinterpret_cast<void**>(&persist)));
  EXPECT_EQ(S_OK, persist->Load(lookAlikeZip.c_str(), 0));
  IShellFolder* folder = nullptr;
  persist->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&folder));
  persist->Release();
  ASSERT_NE(nullptr, folder);
  std::vector<std::wstring> listed;
  IEnumIDList* items = nullptr;
  if (folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &items) == S_OK && items != nullptr) {
    PITEMID_CHILD item = nullptr;
    while (items->Next(1, &item, nullptr) == S_OK) {
      STRRET name{};
      WCHAR text[MAX_PATH] = L"";
      if (SUCCEEDED(folder->GetDisplayNameOf(item, SHGDN_INFOLDER, &name)))
        StrRetToBufW(&name, item, text, MAX_PATH);
      listed.push_back(text);
      CoTaskMemFree(item);
    }
    items->Release();
  }
  folder->Release();
  EXPECT_EQ(std::vector<std::wstring>{L"ownfolder"}, listed) << "its own members, not the other archive's";

  // Dropped on a zip file's icon: added under its own name.
  const std::string target = archives / "target.zip";
  source.Write("plain.txt", "plain");
  ASSERT_EQ(0, zip_maker::Add(target, source.path(), {"plain.txt"}));
  zip = target;
  IDropTarget* drop = ZipFileObject<IDropTarget>();
  ASSERT_NE(nullptr, drop);
  OneFormatData files(CF_HDROP, WideDropFiles(lookAlikeFile));
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(S_OK, drop->Drop(&files, 0, POINTL{0, 0}, &effect));
  drop->Release();
  const auto stored = StoredNames(target);
  EXPECT_EQ(1u, stored.count("plain.txt"));
  EXPECT_EQ(1u, stored.count(WideToUtf8(lookAlikeName))) << "one member of the look-alike's own name";
  EXPECT_EQ(2u, stored.size());

  // "Copy to Zip File" on the look-alike: an archive of its own name beside it.
  IShellExtInit* init = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(kFileHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                   reinterpret_cast<void**>(&init)));
  OneFormatData selection(CF_HDROP, WideDropFiles(lookAlikeFile));
  EXPECT_EQ(S_OK, init->Initialize(nullptr, &selection, nullptr));
  IContextMenu* menu = nullptr;
  ASSERT_EQ(S_OK, init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)));
  HMENU popup = CreatePopupMenu();
  menu->QueryContextMenu(popup, 0, 1, 10, CMF_NORMAL);
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof(info);
  info.lpVerb = MAKEINTRESOURCEA(0);
  EXPECT_EQ(S_OK, menu->InvokeCommand(&info));
  DestroyMenu(popup);
  menu->Release();
  init->Release();
  const std::wstring copied = lookAlikeFile.substr(0, lookAlikeFile.size() - 4) + L".ZIP";
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(copied.c_str()));

  // Nothing reached the other files.
  EXPECT_EQ(taxesBefore, ReadAll(other / "Documents\\taxes.zip"));
  EXPECT_EQ("not to be touched", ReadAll(inside));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((other / "Documents\\secret.ZIP").c_str()));
}

// The host opens the zip file's own menu as the shell builds it for a
// right-click: the registered class, IShellExtInit, not browsed.
TEST_F(ShellMenus, TheHostShowsTheZipFilesOwnMenu) {
  MakeArchive({"readme.txt"});
  host::ShellHost* browser = host::ShellHost::Create();
  ASSERT_NE(nullptr, browser);
  const std::wstring wide(zip.begin(), zip.end());
  ASSERT_EQ(S_OK, browser->OpenArchive(wide));
  std::vector<std::string> shown;
  browser->Tree().SetMenuChooser([&](HMENU popup, POINT) {
    for (int i = 0; i < GetMenuItemCount(popup); ++i) shown.push_back(ItemText(popup, i));
    return 0u;
  });
  EXPECT_EQ("", browser->ShowFileContextMenu(POINT{0, 0}));
  EXPECT_EQ((std::vector<std::string>{"&Unzip to new folder"}), shown);
  // The tree beside the view shows the archive's top.
  EXPECT_NE(nullptr, TreeView_GetRoot(browser->Tree().Window()));
  browser->Close();
  browser->Release();
}

// The view the registered DLL makes for a browsed archive carries its own
// menus, texts and tool-tips: merged into the browser's pop-ups, enabled by
// what the archive holds, and its context menu as really shown.
TEST_F(ShellMenus, TheViewMergesItsMenusAndShowsItsContextMenu) {
  using namespace menu_spy;
  MakeArchive({"setup.exe", "readme.txt"});
  host::ShellHost* browser = host::ShellHost::Create();
  ASSERT_NE(nullptr, browser);
  const std::wstring wide(zip.begin(), zip.end());
  ASSERT_EQ(S_OK, browser->OpenArchive(wide));
  ASSERT_EQ(S_OK, browser->View()->UIActivate(SVUIA_ACTIVATE_FOCUS));
  HMENU file = PopupOf(browser->MenuBar(), FCIDM_MENU_FILE);
  EXPECT_EQ((Texts{"&Open", "Open in &Folder", "", "&New Folder", "Run &Installation"}), MenuTexts(file, 5));
  SendMessageA(browser->Frame(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
  EXPECT_EQ(0u, GetMenuState(file, 32034, MF_BYCOMMAND) & MF_GRAYED);   // Run Installation
  EXPECT_NE(0u, GetMenuState(file, 32047, MF_BYCOMMAND) & MF_GRAYED);   // Open, nothing selected
  EXPECT_EQ((Texts{"&Help topics", "", "&About Marrowbox ...", ""}), MenuTexts(PopupOf(browser->MenuBar(), FCIDM_MENU_HELP), 4));

  NMTTDISPINFOW tip{};
  tip.hdr.idFrom = 32034;
  tip.hdr.code = TTN_NEEDTEXTW;
  SendMessageW(browser->Frame(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
  ASSERT_NE(nullptr, tip.lpszText);
  EXPECT_EQ(std::wstring(L"Run Installation"), tip.lpszText);

  const ShownMenu shown = ShowContextMenu(browser->ViewWindow(), host::FindListView(browser->ViewWindow()),
                                          POINT{-1, -1});
  EXPECT_EQ((Texts{"&View", "", "Arrange &Icons", "Lin&e up Icons", "", "&Paste", "&New Folder", "", "P&roperties"}),
            shown.texts);
  browser->Close();
  browser->Release();
}

}  // namespace
