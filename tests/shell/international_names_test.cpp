// Members whose names no single code page spells, read through the
// registered DLL the way the shell reads them: the names its folders give,
// the rows of the view, the files that leave through data objects, and
// identifiers the shell kept.  The program runs once per code page CTest
// starts it under (MBX_EXPECT_ACP).
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "registered_root.h"
#include "resource.h"
#include "shell_host.h"
#include "synthetic_zip.h"
#include "temp_dir.h"
#include "test_files.h"

namespace {

// --- the archives make_named_archives.sh wrote ------------------------------

// Folders end with "/"; every file holds its own name and a newline.
const std::vector<std::string> kTree = {
    "Ελληνικά/", "Ελληνικά/κείμενο.txt", "Русский/", "Русский/файл.txt",
    "中文/", "中文/子目录/", "中文/子目录/文件.txt",
    "日本語 フォルダ/", "日本語 フォルダ/表示ソース.txt", "עברית/", "עברית/קובץ.txt",
    "😀.txt", "readme.txt", "readme\u00ad.txt"};
const std::vector<std::string> kOem = {"Café.txt", "Übung/", "Übung/Lösung.txt"};

std::string LongName() {
  std::string name;
  char level[32];
  for (int i = 1; i <= 15; ++i) {
    snprintf(level, sizeof(level), "node_modules/pkg-%02d/", i);
    name += level;
  }
  return name + "a.txt";
}

// The long member and every folder above it.
std::vector<std::string> LongMembers() {
  std::vector<std::string> members = {"top.txt", LongName()};
  const std::string name = LongName();
  for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
    members.push_back(name.substr(0, slash + 1));
  return members;
}

std::string Content(const std::string& member) { return member + "\n"; }

std::string Utf8(const std::wstring& wide) {
  std::string out(wide.size() * 4, '\0');
  out.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                                 static_cast<int>(out.size()), nullptr, nullptr));
  return out;
}

std::wstring Backslashed(std::wstring path) {
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

std::wstring Made(const std::string& file) {
  return Backslashed(L"Z:" + WideFromUtf8(getenv("MBX_BINARY_DIR")) + L"/tests/shell/named/" + WideFromUtf8(file));
}

// The names one folder of a member list holds; folders end with "/".
std::multiset<std::string> ChildrenOf(const std::vector<std::string>& members, const std::string& folder) {
  std::multiset<std::string> children;
  for (const std::string& member : members) {
    if (member.size() <= folder.size() || member.compare(0, folder.size(), folder) != 0) continue;
    const std::string rest = member.substr(folder.size());
    const size_t slash = rest.find('/');
    if (slash == std::string::npos || slash + 1 == rest.size()) children.insert(rest);
  }
  return children;
}

std::set<std::string> FoldersOf(const std::vector<std::string>& members) {
  std::set<std::string> folders;
  for (const std::string& m : members)
    if (m.back() == '/') folders.insert(m);
  return folders;
}

std::string WithoutSlash(std::string name) {
  if (!name.empty() && name.back() == '/') name.pop_back();
  return name;
}

// A file's bytes by a wide path of any length, or a note that there is none.
std::string ReadBytes(const std::wstring& path) {
  const std::wstring full = path.size() >= MAX_PATH && path.compare(0, 4, L"\\\\?\\") != 0 ? L"\\\\?\\" + path : path;
  HANDLE file = CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(no file " + Utf8(path) + ")";
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

// --- message boxes ---------------------------------------------------------

// Answers every message box this process shows, so that a failing call
// cannot hang the run, and keeps its text for the test to report.  Only
// boxes (their text control is 0xFFFF) are answered, never a progress window.
class Boxes {
 public:
  Boxes() : m_thread([this] {
    while (!m_stop) {
      EnumWindows(Answer, reinterpret_cast<LPARAM>(this));
      Sleep(20);
    }
  }) {}
  ~Boxes() {
    m_stop = true;
    m_thread.join();
  }
  std::vector<std::string> Texts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts;
  }

 private:
  static BOOL CALLBACK Answer(HWND window, LPARAM context) {
    auto* self = reinterpret_cast<Boxes*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    HWND text = GetDlgItem(window, 0xFFFF);
    if (process != GetCurrentProcessId() || std::wstring(name) != L"#32770" || text == nullptr ||
        !IsWindowVisible(window))
      return TRUE;
    wchar_t message[1024] = L"";
    GetWindowTextW(text, message, 1024);
    {
      std::lock_guard<std::mutex> lock(self->m_mutex);
      if (self->m_answered.insert(window).second) self->m_texts.push_back(Utf8(message));
    }
    // OK closes an OK box, Cancel or No whatever asks.
    for (int id : {IDOK, IDCANCEL, IDNO}) PostMessageW(window, WM_COMMAND, id, 0);
    return TRUE;
  }

  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::set<HWND> m_answered;
  std::vector<std::string> m_texts;
  std::thread m_thread;
};

// --- the shell's side --------------------------------------------------------

IShellFolder* Root(const std::wstring& zip) {
  IPersistFolder* persist = nullptr;
  EXPECT_EQ(S_OK, CoCreateInstance(kZipFile, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFolder,
                                   reinterpret_cast<void**>(&persist)));
  if (persist == nullptr) return nullptr;
  PIDLIST_ABSOLUTE pidl = nullptr;
  EXPECT_EQ(S_OK, SHParseDisplayName(zip.c_str(), nullptr, &pidl, 0, nullptr)) << Utf8(zip);
  IShellFolder* folder = nullptr;
  if (pidl != nullptr && persist->Initialize(pidl) == S_OK)
    persist->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&folder));
  else
    ADD_FAILURE() << "Initialize failed for " << Utf8(zip);
  CoTaskMemFree(pidl);
  persist->Release();
  return folder;
}

// An identifier the shell keeps: its bytes, whole, with the terminator.
using Kept = std::vector<BYTE>;

std::vector<Kept> FolderItems(IShellFolder* folder) {
  std::vector<Kept> items;
  IEnumIDList* list = nullptr;
  if (folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &list) != S_OK) {
    ADD_FAILURE() << "EnumObjects failed";
    return items;
  }
  PITEMID_CHILD item = nullptr;
  while (list->Next(1, &item, nullptr) == S_OK) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(item);
    items.emplace_back(bytes, bytes + ILGetSize(item));
    CoTaskMemFree(item);
  }
  list->Release();
  return items;
}

PCUITEMID_CHILD Id(const Kept& kept) { return reinterpret_cast<PCUITEMID_CHILD>(kept.data()); }

// An identifier as the DLL makes one for a member whose name the code page
// spells: 554 bytes whose record names it by that spelling.
Kept ItemSpelled(const std::string& spelling) {
  Kept item(556, 0);
  item[0] = 554 & 0xFF;
  item[1] = 554 >> 8;
  spelling.copy(reinterpret_cast<char*>(item.data()) + 2, 259);
  spelling.copy(reinterpret_cast<char*>(item.data()) + 2 + 260, 259);
  return item;
}

// The exact ANSI spelling of a name, or empty where the code page has none.
std::string AnsiSpelling(const std::string& utf8) {
  const std::wstring wide = WideFromUtf8(utf8);
  BOOL lossy = FALSE;
  std::string ansi(wide.size() * 2, '\0');
  ansi.resize(WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                  ansi.data(), static_cast<int>(ansi.size()), nullptr, &lossy));
  return lossy ? std::string() : ansi;
}

struct Shown {
  UINT type = 0;
  std::string name;
};

Shown NameOf(IShellFolder* folder, PCUITEMID_CHILD item, SHGDNF flags) {
  STRRET ret{};
  Shown shown;
  if (folder->GetDisplayNameOf(item, flags, &ret) != S_OK) {
    shown.name = "(GetDisplayNameOf failed)";
    return shown;
  }
  shown.type = ret.uType;
  wchar_t* text = nullptr;
  if (StrRetToStrW(&ret, item, &text) == S_OK) {
    shown.name = Utf8(text);
    CoTaskMemFree(text);
  }
  return shown;
}

// Every folder below folder as the shell names it, as "path/", checking on
// the way that both the in-folder and the normal name come as wide text.
void CollectFolders(IShellFolder* folder, const std::string& path, std::multiset<std::string>& out) {
  for (const Kept& item : FolderItems(folder)) {
    const Shown inFolder = NameOf(folder, Id(item), SHGDN_INFOLDER);
    const Shown normal = NameOf(folder, Id(item), SHGDN_NORMAL);
    EXPECT_EQ(UINT(STRRET_WSTR), inFolder.type) << "in " << path << ": " << inFolder.name;
    EXPECT_EQ(UINT(STRRET_WSTR), normal.type) << "in " << path << ": " << normal.name;
    EXPECT_EQ(inFolder.name, normal.name) << path;
    const std::string child = path + inFolder.name + "/";
    out.insert(child);
    IShellFolder* sub = nullptr;
    if (out.size() > 100 ||
        folder->BindToObject(Id(item), nullptr, IID_IShellFolder, reinterpret_cast<void**>(&sub)) != S_OK) {
      ADD_FAILURE() << "cannot bind " << child;
      continue;
    }
    CollectFolders(sub, child, out);
    sub->Release();
  }
}

// A drop list as the data object renders it.
struct DropList {
  bool wide = false;
  std::vector<std::wstring> files;
};

DropList ReadDrop(HGLOBAL global) {
  DropList list;
  const auto* drop = static_cast<const DROPFILES*>(GlobalLock(global));
  if (drop == nullptr) return list;
  list.wide = drop->fWide != FALSE;
  const BYTE* at = reinterpret_cast<const BYTE*>(drop) + drop->pFiles;
  if (list.wide) {
    for (auto* name = reinterpret_cast<const wchar_t*>(at); *name; name += wcslen(name) + 1) list.files.push_back(name);
  } else {
    for (auto* name = reinterpret_cast<const char*>(at); *name; name += strlen(name) + 1) {
      wchar_t wide[4096] = L"";
      MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 4096);
      list.files.push_back(wide);
    }
  }
  GlobalUnlock(global);
  return list;
}

DropList DropOf(IDataObject* data) {
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (data == nullptr || data->GetData(&format, &medium) != S_OK) return {};
  DropList list = ReadDrop(medium.hGlobal);
  ReleaseStgMedium(&medium);
  return list;
}

DropList DropOfItems(IShellFolder* folder, const std::vector<PCUITEMID_CHILD>& items) {
  IDataObject* data = nullptr;
  EXPECT_EQ(S_OK, folder->GetUIObjectOf(nullptr, static_cast<UINT>(items.size()), const_cast<PCUITEMID_CHILD_ARRAY>(items.data()), IID_IDataObject,
                                        nullptr, reinterpret_cast<void**>(&data)));
  DropList list = DropOf(data);
  if (data) data->Release();
  return list;
}

std::string LastPart(const std::wstring& path) { return Utf8(path.substr(path.find_last_of(L'\\') + 1)); }
std::wstring Directory(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::multiset<std::string> LastParts(const DropList& list) {
  std::multiset<std::string> names;
  for (const std::wstring& file : list.files) names.insert(LastPart(file));
  return names;
}

// Each file member under folder has its bytes below directory, by its real name.
void ExpectExtracted(const std::wstring& directory, const std::vector<std::string>& members,
                     const std::string& folder) {
  for (const std::string& member : members) {
    if (member.back() == '/' || member.compare(0, folder.size(), folder) != 0) continue;
    EXPECT_EQ(Content(member), ReadBytes(directory + L"\\" + Backslashed(WideFromUtf8(member)))) << member;
  }
}

// --- the view ----------------------------------------------------------------

void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

// An archive opened in the shell browser host, as the open command shows it.
class HostedView {
 public:
  explicit HostedView(const std::wstring& zip) : m_browser(host::ShellHost::Create()) {
    if (m_browser == nullptr || m_browser->OpenArchive(zip) != S_OK) return;
    Settle();
  }
  ~HostedView() {
    if (m_browser == nullptr) return;
    m_browser->Close();
    m_browser->Release();
    Pump(20);
  }
  bool ok() const { return List() != nullptr; }
  HWND List() const { return m_browser ? host::FindListView(m_browser->ViewWindow()) : nullptr; }
  IShellFolder* Folder() const { return m_browser->Folder(); }

  int RowCount() const { return static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
  std::string Text(int row, int column) const {
    wchar_t text[2048] = L"";
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 2048;
    SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return Utf8(text);
  }
  std::multiset<std::string> Names() const {
    std::multiset<std::string> names;
    for (int row = 0; row < RowCount(); ++row) names.insert(Text(row, 0));
    return names;
  }
  int Row(const std::string& name) const {
    for (int row = 0; row < RowCount(); ++row)
      if (Text(row, 0) == name) return row;
    return -1;
  }
  // The position of the column with this heading, or -1.
  int Column(const std::wstring& heading) const {
    HWND header = reinterpret_cast<HWND>(SendMessageW(List(), LVM_GETHEADER, 0, 0));
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int position = 0; position < count; ++position) {
      wchar_t text[128] = L"";
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT;
      column.pszText = text;
      column.cchTextMax = 128;
      if (SendMessageW(List(), LVM_GETCOLUMNW, position, reinterpret_cast<LPARAM>(&column)) && heading == text)
        return position;
    }
    return -1;
  }

  bool Enter(const Kept& folder) {
    const bool entered = m_browser->BrowseObject(reinterpret_cast<PCUIDLIST_RELATIVE>(folder.data()),
                                                 SBSP_RELATIVE | SBSP_SAMEBROWSER) == S_OK;
    Settle();
    return entered;
  }
  void Up() {
    m_browser->BrowseObject(nullptr, SBSP_PARENT | SBSP_SAMEBROWSER);
    Settle();
  }

  // Selects the rows (all of them when none is named), copies them as the
  // Copy command does, and renders the clipboard's drop list.
  DropList Copy(const std::vector<int>& rows = {}) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED;
    if (rows.empty()) SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    for (int row : rows) SendMessageW(List(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    OleSetClipboard(nullptr);
    SendMessageW(m_browser->ViewWindow(), WM_COMMAND, ID_EDIT_COPY, 0);
    Pump(50);
    IDataObject* data = nullptr;
    if (OleGetClipboard(&data) != S_OK) return {};
    DropList list = DropOf(data);
    data->Release();
    return list;
  }

 private:
  void Settle() {
    Pump(50);
    for (int i = 0; i < 100 && RowCount() == 0; ++i) Pump(20);
  }

  host::ShellHost* m_browser;
};

// --- the fixture ---------------------------------------------------------------

class InternationalNames : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(S_OK, OleInitialize(nullptr)); }
  static void TearDownTestSuite() { OleUninitialize(); }
  void TearDown() override {
    EXPECT_EQ(std::vector<std::string>{}, boxes.Texts()) << "message boxes shown";
  }
  Boxes boxes;
};

TEST_F(InternationalNames, TheProcessRunsUnderTheCodePageItWasStartedFor) {
  const char* expected = getenv("MBX_EXPECT_ACP");
  ASSERT_NE(nullptr, expected);
  EXPECT_EQ(UINT(atoi(expected)), GetACP());
}

struct Archive {
  const char* file;
  std::vector<std::string> members;
};

void PrintTo(const Archive& archive, std::ostream* out) { *out << archive.file; }

const Archive kArchives[] = {
    {"intl-7z.zip", kTree},        {"intl-python.zip", kTree},   {"intl-bsdtar.zip", kTree},
    {"intl-infozip.zip", kTree},   {"intl-unflagged.zip", kTree}, {"oem437.zip", kOem},
    {"long-path.zip", LongMembers()},
};

class EachArchive : public InternationalNames, public ::testing::WithParamInterface<Archive> {
 protected:
  std::wstring zip() const { return Made(GetParam().file); }
  const std::vector<std::string>& members() const { return GetParam().members; }
};

TEST_P(EachArchive, TheShellGetsEveryFolderByItsRealName) {
  IShellFolder* root = Root(zip());
  ASSERT_NE(nullptr, root);
  std::multiset<std::string> folders;
  CollectFolders(root, "", folders);
  root->Release();
  const std::set<std::string> expected = FoldersOf(members());
  EXPECT_EQ(std::multiset<std::string>(expected.begin(), expected.end()), folders);
}

// Every level of the view, entered through the folders the shell enumerates.
void ExpectRowsBelow(HostedView& view, const std::vector<std::string>& members, const std::string& folder,
                     size_t& levels) {
  SCOPED_TRACE(folder);
  std::multiset<std::string> expected;
  for (const std::string& child : ChildrenOf(members, folder)) expected.insert(WithoutSlash(child));
  EXPECT_EQ(expected, view.Names());
  ++levels;
  for (const Kept& item : FolderItems(view.Folder())) {
    const std::string child = folder + NameOf(view.Folder(), Id(item), SHGDN_INFOLDER).name + "/";
    if (levels > 100 || !view.Enter(item)) {
      ADD_FAILURE() << "cannot enter " << child;
      continue;
    }
    ExpectRowsBelow(view, members, child, levels);
    view.Up();
  }
}

TEST_P(EachArchive, TheViewShowsEveryMemberByItsRealName) {
  HostedView view(zip());
  ASSERT_TRUE(view.ok());
  size_t levels = 0;
  ExpectRowsBelow(view, members(), "", levels);
  EXPECT_EQ(FoldersOf(members()).size() + 1, levels);
}

// Every row of the top level copied: the clipboard's wide list names the
// real names, and the files below them hold their own bytes.
TEST_P(EachArchive, EveryMemberLeavesByItsRealNameWithItsBytes) {
  HostedView view(zip());
  ASSERT_TRUE(view.ok());
  const DropList list = view.Copy();
  ASSERT_FALSE(list.files.empty());
  EXPECT_TRUE(list.wide);
  std::multiset<std::string> expected;
  for (const std::string& child : ChildrenOf(members(), "")) expected.insert(WithoutSlash(child));
  EXPECT_EQ(expected, LastParts(list));
  ExpectExtracted(Directory(list.files[0]), members(), "");
}

// The folders the shell selects leave through the folder's own data object.
TEST_P(EachArchive, FoldersLeaveThroughTheDataObjectByTheirRealNames) {
  IShellFolder* root = Root(zip());
  ASSERT_NE(nullptr, root);
  const std::vector<Kept> items = FolderItems(root);
  std::vector<PCUITEMID_CHILD> ids;
  for (const Kept& item : items) ids.push_back(Id(item));
  const DropList list = DropOfItems(root, ids);
  root->Release();
  ASSERT_FALSE(list.files.empty());
  EXPECT_TRUE(list.wide);
  std::multiset<std::string> expected;
  for (const std::string& child : ChildrenOf(members(), ""))
    if (child.back() == '/') expected.insert(WithoutSlash(child));
  EXPECT_EQ(expected, LastParts(list));
  for (const std::wstring& file : list.files) ExpectExtracted(Directory(file), members(), LastPart(file) + "/");
}

// Folder identifiers kept from one root, used on a second root that nothing
// enumerated yet, as the shell does with what it stored.
TEST_P(EachArchive, KeptFolderIdentifiersWorkOnAFreshRoot) {
  IShellFolder* first = Root(zip());
  ASSERT_NE(nullptr, first);
  const std::vector<Kept> kept = FolderItems(first);
  first->Release();
  ASSERT_FALSE(kept.empty());

  IShellFolder* fresh = Root(zip());
  ASSERT_NE(nullptr, fresh);
  std::multiset<std::string> names, expected;
  for (const Kept& item : kept) {
    const Shown shown = NameOf(fresh, Id(item), SHGDN_INFOLDER);
    EXPECT_EQ(UINT(STRRET_WSTR), shown.type) << shown.name;
    names.insert(shown.name);
  }
  for (const std::string& child : ChildrenOf(members(), ""))
    if (child.back() == '/') expected.insert(WithoutSlash(child));
  EXPECT_EQ(expected, names);
  fresh->Release();

  // Each on a root of its own, the first thing asked of it.
  for (const Kept& item : kept) {
    IShellFolder* root = Root(zip());
    ASSERT_NE(nullptr, root);
    const DropList list = DropOfItems(root, {Id(item)});
    root->Release();
    ASSERT_EQ(1u, list.files.size());
    EXPECT_TRUE(list.wide);
    ExpectExtracted(Directory(list.files[0]), members(), LastPart(list.files[0]) + "/");
  }
}

// Files whose whole path the code page spells, named by that spelling as
// the DLL's own identifiers name them: their real names and bytes come back.
// Under code page 932 this includes trail bytes of 0x5C ("\").
TEST_P(EachArchive, AFileNamedByItsCodePageSpellingShowsAndLeavesByItsRealName) {
  std::vector<std::string> spelled;
  for (const std::string& member : members()) {
    if (member.back() == '/') continue;
    bool all = true;
    size_t start = 0;
    for (size_t slash = member.find('/'); all; slash = member.find('/', start)) {
      all = !AnsiSpelling(member.substr(start, slash - start)).empty();
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
    if (all) spelled.push_back(member);
  }
  if (members() == kTree) {
    EXPECT_EQ(1, std::count(spelled.begin(), spelled.end(), "readme.txt"));
    if (GetACP() == 932) {
      EXPECT_EQ(1, std::count(spelled.begin(), spelled.end(), "日本語 フォルダ/表示ソース.txt"));
    }
    if (GetACP() == 1252) {
      EXPECT_EQ(1, std::count(spelled.begin(), spelled.end(), "readme\u00ad.txt"));
    }
  }
  for (const std::string& member : spelled) {
    SCOPED_TRACE(member);
    // The parent's folders as one relative list of spelled items.
    std::vector<BYTE> parent;
    size_t start = 0;
    for (size_t slash = member.find('/'); slash != std::string::npos; slash = member.find('/', start)) {
      const Kept step = ItemSpelled(AnsiSpelling(member.substr(start, slash - start)));
      parent.insert(parent.end(), step.begin(), step.end() - 2);
      start = slash + 1;
    }
    parent.insert(parent.end(), {0, 0});
    const std::string name = member.substr(start);
    const Kept file = ItemSpelled(AnsiSpelling(name));

    // Listed once, as the view lists a folder before a row is chosen.
    IShellFolder* root = Root(zip());
    ASSERT_NE(nullptr, root);
    FolderItems(root);
    IShellFolder* folder = root;
    if (parent.size() > 2) {
      folder = nullptr;
      ASSERT_EQ(S_OK, root->BindToObject(reinterpret_cast<PCUIDLIST_RELATIVE>(parent.data()), nullptr,
                                         IID_IShellFolder, reinterpret_cast<void**>(&folder)));
      root->Release();
    }
    const Shown shown = NameOf(folder, Id(file), SHGDN_INFOLDER);
    EXPECT_EQ(UINT(STRRET_WSTR), shown.type);
    EXPECT_EQ(name, shown.name);
    const DropList list = DropOfItems(folder, {Id(file)});
    folder->Release();
    ASSERT_EQ(1u, list.files.size());
    EXPECT_TRUE(list.wide);
    EXPECT_EQ(name, LastPart(list.files[0]));
    EXPECT_EQ(Content(member), ReadBytes(list.files[0]));
  }
}

INSTANTIATE_TEST_SUITE_P(Tools, EachArchive, ::testing::ValuesIn(kArchives), [](const auto& info) {
  std::string name = info.param.file;
  name = name.substr(0, name.find('.'));
  std::replace(name.begin(), name.end(), '-', '_');
  return name == "intl_7z" ? std::string("intl_sevenzip") : name;
});

// A file beside a folder of the same name: the folder keeps the name, the
// file shows under its name with "~" and eight hex digits before the
// extension, the same in every fresh view, and leaves with its own bytes.
TEST_F(InternationalNames, AFileBesideAFolderOfItsNameShowsUnderADistinctStableName) {
  const std::wstring zip = Made("file-and-folder.zip");
  IShellFolder* root = Root(zip);
  ASSERT_NE(nullptr, root);
  std::multiset<std::string> folders;
  CollectFolders(root, "", folders);
  root->Release();
  EXPECT_EQ((std::multiset<std::string>{"report.txt/", "x/"}), folders);

  std::vector<std::multiset<std::string>> shown;
  for (int i = 0; i < 2; ++i) {
    HostedView view(zip);
    ASSERT_TRUE(view.ok());
    shown.push_back(view.Names());
  }
  EXPECT_EQ(shown[0], shown[1]) << "the names differ between fresh views";
  const std::regex file("x~[0-9A-Fa-f]{8}"), report("report~[0-9A-Fa-f]{8}\\.txt");
  std::string fileName, reportName;
  for (const std::string& name : shown[0]) {
    if (std::regex_match(name, file)) fileName = name;
    if (std::regex_match(name, report)) reportName = name;
  }
  ASSERT_EQ(4u, shown[0].size());
  EXPECT_EQ(1u, shown[0].count("x"));
  EXPECT_EQ(1u, shown[0].count("report.txt"));
  ASSERT_FALSE(fileName.empty()) << "no row for the file x";
  ASSERT_FALSE(reportName.empty()) << "no row for the file report.txt";

  HostedView view(zip);
  ASSERT_TRUE(view.ok());
  const DropList list = view.Copy();
  ASSERT_EQ(4u, list.files.size());
  EXPECT_EQ(shown[0], LastParts(list));
  const std::wstring directory = Directory(list.files[0]);
  EXPECT_EQ("x\n", ReadBytes(directory + L"\\" + WideFromUtf8(fileName)));
  EXPECT_EQ("report.txt\n", ReadBytes(directory + L"\\" + WideFromUtf8(reportName)));
  EXPECT_EQ("x/in.txt\n", ReadBytes(directory + L"\\x\\in.txt"));
  EXPECT_EQ("report.txt/inner.txt\n", ReadBytes(directory + L"\\report.txt\\inner.txt"));
}

// The member name of 305 characters: every level browsable, and the file
// extracted below a path longer than MAX_PATH.
TEST_F(InternationalNames, AMemberNameBeyondMaxPathIsBrowsedAndExtracted) {
  const std::wstring zip = Made("long-path.zip");
  const std::string name = LongName();
  ASSERT_EQ(305u, name.size());
  IShellFolder* folder = Root(zip);
  ASSERT_NE(nullptr, folder);
  {
    // The top folder taken out: the file lands below a path beyond MAX_PATH.
    const std::vector<Kept> top = FolderItems(folder);
    ASSERT_EQ(1u, top.size());
    const DropList whole = DropOfItems(folder, {Id(top[0])});
    ASSERT_EQ(1u, whole.files.size());
    std::wstring deep = whole.files[0] + WideFromUtf8(name.substr(name.find('/'))).c_str();
    for (wchar_t& c : deep)
      if (c == L'/') c = L'\\';
    EXPECT_GT(deep.size(), size_t(MAX_PATH));
    EXPECT_EQ(Content(name), ReadBytes(deep));
  }
  size_t start = 0;
  for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', start)) {
    const std::vector<Kept> items = FolderItems(folder);
    ASSERT_EQ(1u, items.size()) << name.substr(0, slash);
    EXPECT_EQ(name.substr(start, slash - start), NameOf(folder, Id(items[0]), SHGDN_INFOLDER).name);
    IShellFolder* sub = nullptr;
    ASSERT_EQ(S_OK, folder->BindToObject(Id(items[0]), nullptr, IID_IShellFolder, reinterpret_cast<void**>(&sub)));
    folder->Release();
    folder = sub;
    start = slash + 1;
  }
  const Kept file = ItemSpelled("a.txt");
  EXPECT_EQ("a.txt", NameOf(folder, Id(file), SHGDN_INFOLDER).name);
  const DropList list = DropOfItems(folder, {Id(file)});
  folder->Release();
  ASSERT_EQ(1u, list.files.size());
  EXPECT_EQ(Content(name), ReadBytes(list.files[0]));
}

// A stored member of 5 GiB whose bytes are a hole in a sparse file: only
// the zip64 records are real, and nothing here reads the data.
void WriteFiveGiBArchive(const std::wstring& path) {
  using namespace synthetic_zip;
  const uint64_t size = 5ull << 30;
  const std::string name = "big.bin";
  // The CRC of that many zero bytes, from 1 MiB blocks.
  const std::vector<Bytef> block(1 << 20, 0);
  const uLong blockCrc = crc32(0, block.data(), static_cast<uInt>(block.size()));
  uLong crc = 0;
  for (uint64_t done = 0; done < size; done += block.size()) crc = crc32_combine(crc, blockCrc, block.size());
  const uint32_t dosTime = (12u << 11) | (30u << 5), dosDate = ((2024u - 1980u) << 9) | (5u << 5) | 17u;
  std::string zip64;
  Put16(zip64, 0x0001);
  Put16(zip64, 16);
  Put64(zip64, size);
  Put64(zip64, size);

  std::string local;
  Put32(local, 0x04034b50);
  for (uint32_t v : {45u, 0u, 0u, dosTime, dosDate}) Put16(local, v);
  Put32(local, static_cast<uint32_t>(crc));
  Put32(local, 0xFFFFFFFF);
  Put32(local, 0xFFFFFFFF);
  Put16(local, static_cast<uint32_t>(name.size()));
  Put16(local, static_cast<uint32_t>(zip64.size()));
  local += name + zip64;

  std::string central;
  Put32(central, 0x02014b50);
  for (uint32_t v : {45u, 45u, 0u, 0u, dosTime, dosDate}) Put16(central, v);
  Put32(central, static_cast<uint32_t>(crc));
  Put32(central, 0xFFFFFFFF);
  Put32(central, 0xFFFFFFFF);
  Put16(central, static_cast<uint32_t>(name.size()));
  Put16(central, static_cast<uint32_t>(zip64.size()));
  for (uint32_t v : {0u, 0u, 0u}) Put16(central, v);
  Put32(central, 0x20);
  Put32(central, 0);
  central += name + zip64;

  const uint64_t centralOffset = local.size() + size;
  std::string tail = central;
  AppendEnd64(tail, 1, central.size(), centralOffset);

  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file, local.data(), static_cast<DWORD>(local.size()), &written, nullptr));
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(centralOffset);
  EXPECT_TRUE(SetFilePointerEx(file, at, nullptr, FILE_BEGIN));
  EXPECT_TRUE(WriteFile(file, tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr));
  CloseHandle(file);
}

TEST_F(InternationalNames, AFiveGiBMemberShowsItsWholeSize) {
  if (GetUserDefaultLCID() != MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT))
    GTEST_SKIP() << "the size text is checked under en-US";
  TempDir dir;
  const std::wstring zip = WideFromUtf8(dir / "five.zip");
  ASSERT_NO_FATAL_FAILURE(WriteFiveGiBArchive(zip));
  HostedView view(zip);
  ASSERT_TRUE(view.ok());
  const int row = view.Row("big.bin");
  ASSERT_GE(row, 0);
  const int size = view.Column(L"Size");
  ASSERT_GE(size, 0);
  EXPECT_EQ("5,242,880 KB", view.Text(row, size));
}

// An archive whose own path holds emoji, Hebrew, Greek and Cyrillic.
TEST_F(InternationalNames, AnArchiveWhosePathNoCodePageSpellsIsOpenedAndListed) {
  TempDir dir;
  const std::wstring zip = WideFromUtf8(dir / "📦 ארכיון Αρχείο Архив.zip");
  ASSERT_TRUE(CopyFileW(Made("intl-python.zip").c_str(), zip.c_str(), FALSE));
  IShellFolder* root = Root(zip);
  ASSERT_NE(nullptr, root);
  std::multiset<std::string> folders;
  CollectFolders(root, "", folders);
  root->Release();
  const std::set<std::string> expected = FoldersOf(kTree);
  EXPECT_EQ(std::multiset<std::string>(expected.begin(), expected.end()), folders);

  HostedView view(zip);
  ASSERT_TRUE(view.ok());
  std::multiset<std::string> rows;
  for (const std::string& child : ChildrenOf(kTree, "")) rows.insert(WithoutSlash(child));
  EXPECT_EQ(rows, view.Names());
}

}  // namespace
