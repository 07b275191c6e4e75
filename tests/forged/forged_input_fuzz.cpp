// Forged file lists and identifier lists from a seeded mutation loop, fed to
// every entry point that reads them: the drop targets of the zip file's icon,
// of a folder in the tree and of the view, Paste, "Copy to Zip File" and the
// zip file's own menu being initialised, and the folder's identifier methods.
// Each input ends where readable memory ends, so a read past it faults, and
// each answer is checked against what the input's bytes say.  A fixed number
// of rounds from a fixed seed: every run is the same run.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "archive_state.h"
#include "drop_data.h"
#include "class_objects.h"
#include "fake_user_interaction.h"
#include "file_handler.h"
#include "forged_input.h"
#include "item_id.h"
#include "resource.h"
#include "shell_data.h"
#include "shell_host.h"
#include "strings.h"
#include "temp_dir.h"
#include "zip_file.h"
#include "zip_folder.h"
#include "zip_maker.h"
#include "zip_view.h"

namespace {

constexpr uint32_t kSeed = 0x4D425846;
constexpr int kDropRounds = 10000;
constexpr int kItemRounds = 20000;
// The slow doors get a share of the rounds: Paste goes through the system
// clipboard, a data object makes and removes a workspace directory.
constexpr int kPasteEvery = 16;
constexpr int kDataObjectEvery = 16;

// xorshift32: small, and the same sequence on every platform.
class Random {
 public:
  explicit Random(uint32_t seed) : m_state(seed != 0 ? seed : 1) {}
  uint32_t Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return m_state;
  }
  uint32_t Below(size_t n) { return n == 0 ? 0 : static_cast<uint32_t>(Next() % n); }
  bool OneIn(uint32_t n) { return Below(n) == 0; }
  BYTE Byte() { return static_cast<BYTE>(Next()); }

 private:
  uint32_t m_state;
};

std::string Hex(const std::vector<BYTE>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (BYTE b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

void PutDword(std::vector<BYTE>& bytes, size_t at, DWORD value) {
  if (bytes.size() < at + sizeof(value)) bytes.resize(at + sizeof(value), 0);
  memcpy(bytes.data() + at, &value, sizeof(value));
}

void MutateBlock(std::vector<BYTE>& block, Random& random) {
  const int steps = 1 + static_cast<int>(random.Below(3));
  for (int step = 0; step < steps; ++step) {
    const size_t size = block.size();
    switch (random.Below(10)) {
      case 0:
        if (size > 0) block[random.Below(size)] ^= static_cast<BYTE>(1u << random.Below(8));
        break;
      case 1:
        if (size > 0) block[random.Below(size)] = random.Byte();
        break;
      case 2: {  // where the list starts
        const DWORD early[] = {0, 1, 4, 19, 20, 21, 22, 24};
        const DWORD edges[] = {static_cast<DWORD>(size - 2), static_cast<DWORD>(size - 1), static_cast<DWORD>(size),
                               static_cast<DWORD>(size + 1), 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
        const DWORD value = random.OneIn(2)   ? early[random.Below(8)]
                            : random.OneIn(2) ? edges[random.Below(8)]
                                              : random.Next();
        PutDword(block, 0, value);
        break;
      }
      case 3:  // the width flag, sometimes a BOOL that is neither 0 nor 1
        PutDword(block, 16, random.OneIn(3) ? random.Next() : random.Below(2));
        break;
      case 4:
        block.resize(random.Below(size + 1));
        break;
      case 5:
        block.resize(size - std::min<size_t>(size, 1 + random.Below(3)));
        break;
      case 6: {
        const size_t extra = 1 + random.Below(16);
        for (size_t i = 0; i < extra; ++i) block.push_back(random.OneIn(4) ? 0 : random.Byte());
        break;
      }
      case 7:  // terminators turned into characters
        for (size_t i = sizeof(DROPFILES); i < size; ++i)
          if (block[i] == 0 && random.OneIn(2)) block[i] = static_cast<BYTE>('a' + random.Below(26));
        break;
      case 8:
        if (size > 0) block.insert(block.begin() + random.Below(size + 1), 0);
        break;
      case 9:
        if (size > sizeof(DROPFILES)) {
          const size_t from = sizeof(DROPFILES) + random.Below(size - sizeof(DROPFILES));
          const size_t length = 1 + random.Below(std::min<size_t>(size - from, 64));
          const std::vector<BYTE> chunk(block.begin() + from, block.begin() + from + length);
          block.insert(block.begin() + random.Below(size + 1), chunk.begin(), chunk.end());
        }
        break;
    }
  }
}

// A list of items, each kept as its own bytes with cb equal to its length.
using Items = std::vector<std::vector<BYTE>>;

std::vector<BYTE> Serialise(Items items) {
  // An item shorter than its cb field can only be the last: the next one's
  // cb would overlap it.
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].size() == 0) {
      items.resize(i);
      break;
    }
    if (items[i].size() == 1) {
      items.resize(i + 1);
      break;
    }
  }
  for (auto& item : items) {
    const auto cb = static_cast<USHORT>(item.size());
    memcpy(item.data(), &cb, std::min(item.size(), sizeof(cb)));
  }
  return ForgedList(items);
}

void MutateItems(Items& items, const Items& seeds, Random& random) {
  if (items.empty()) items.push_back(seeds[random.Below(seeds.size())]);
  const int steps = 1 + static_cast<int>(random.Below(3));
  for (int step = 0; step < steps; ++step) {
    std::vector<BYTE>& item = items[random.Below(items.size())];
    const uint32_t kind = random.Below(8);
    switch (kind) {
      case 0: {  // another size: cut, or grown with zeros or junk
        const size_t sizes[] = {0, 1, 2, 3, 4, 7, 261, 262, 263, 522, 523, 553, 554, 555, 556, 600, 1500};
        const size_t size = random.OneIn(3) ? 2 + random.Below(1200) : sizes[random.Below(17)];
        const bool junk = random.OneIn(2);
        const size_t old = item.size();
        item.resize(size);
        for (size_t i = old; i < size && junk; ++i) item[i] = random.Byte();
        break;
      }
      case 1:
        if (item.size() > 2) item[2 + random.Below(item.size() - 2)] ^= static_cast<BYTE>(1u << random.Below(8));
        break;
      case 2:
        if (item.size() > 2) item[2 + random.Below(item.size() - 2)] = random.Byte();
        break;
      case 3:    // a name without its NUL, to the end of its field or beyond
      case 4: {  // the same for the display name
        const size_t start = kind == 3 ? 2 : 262;
        const size_t length = 1 + random.Below(300);
        for (size_t i = start; i < start + length && i < item.size(); ++i)
          item[i] = static_cast<BYTE>('A' + random.Below(26));
        break;
      }
      case 5:
        items.push_back(seeds[random.Below(seeds.size())]);
        break;
      case 6:
        if (items.size() > 1) items.erase(items.begin() + random.Below(items.size()));
        break;
      case 7: {
        std::vector<BYTE> bytes(2 + random.Below(700));
        for (BYTE& b : bytes) b = random.Byte();
        item = bytes;
        break;
      }
    }
    if (items.empty()) break;
  }
}

// The first item's name as its bytes give it: within cb, within the field's
// 259 characters, up to the first NUL.
std::string NameOf(const std::vector<BYTE>& list) {
  const size_t cb = list.size() >= 2 ? (list[0] | list[1] << 8) : 0;
  const size_t room = cb > 2 ? std::min<size_t>(cb - 2, 259) : 0;
  std::string name;
  for (size_t i = 0; i < room && list[2 + i] != 0; ++i) name += static_cast<char>(list[2 + i]);
  return name;
}

std::vector<BYTE> ItemOf(const char* name, bool folder) {
  ZIPENTRY record{};
  SetName(record.szName, name);
  SetName(record.szDisplayName, name);
  record.dwAttributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  LPITEMIDLIST id = MakeItemId(record);
  const auto* bytes = reinterpret_cast<const BYTE*>(id);
  std::vector<BYTE> item(bytes, bytes + kItemIdSize);
  FreeItemId(id);
  return item;
}

bool PrintableAscii(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (path.size() >= MAX_PATH) return false;
    for (char c : path)
      if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

class ForgedInput : public ::testing::Test, protected WithFakeUser {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    sandbox.Write("content\\d.txt", "d");
    sandbox.Write("content\\docs\\r.txt", "r");
    sandbox.Write("content\\docs\\sub\\s.txt", "s");
    ASSERT_EQ(0, zip_maker::Add(zip, sandbox / "content", {"d.txt", "docs\\r.txt", "docs\\sub\\s.txt"}));
    inbox = sandbox / "in";
    sandbox.Write("in\\new.txt", "new");
    sandbox.Write("in\\sub\\x.txt", "x");
    root = CZipFile::Create();
    root->AddRef();
    ASSERT_EQ(S_OK, root->Load(std::wstring(zip.begin(), zip.end()).c_str(), 0));
    root->RefreshListing();
    top = root->GetRootFolder();
    std::string path = "docs\\";
    docs = top->FindFolder(path);
    ASSERT_NE(nullptr, docs);
  }
  void TearDown() override {
    root->Release();
    OleUninitialize();
  }

  // Paths a forged list may hand to the adding doors: only inside the
  // sandbox's inbox, so that no mutation ever adds a real directory tree.
  bool Harmless(const std::vector<std::string>& paths) const {
    for (const std::string& path : paths) {
      if (path.compare(0, inbox.size() + 1, inbox + "\\") != 0) return false;
      if (path.find("\\.") != std::string::npos) return false;
      for (size_t i = inbox.size(); i < path.size(); ++i) {
        const char c = path[i];
        if (!isalnum(static_cast<unsigned char>(c)) && c != '\\' && c != '.' && c != '_') return false;
      }
    }
    return true;
  }

  std::vector<std::vector<BYTE>> DropSeeds() const {
    using namespace std::string_literals;
    const std::string other = sandbox / "content\\d.txt";
    const std::wstring wideInbox(inbox.begin(), inbox.end());
    return {
        DropBlock(AnsiList(inbox + "\\new.txt\0"s + inbox + "\\missing.txt\0\0"s)),
        DropBlock(AnsiList(inbox + "\\new.txt\0\0"s)),
        DropBlock(WideList(wideInbox + L"\\new.txt\0"s + wideInbox + L"\\sub\0\0"s), true),
        DropBlock(WideList(wideInbox + L"\\gone.txt\0\0"s), true),
        // Half of a surrogate pair: the one wide path no door can take.
        DropBlock(WideList(wideInbox + L"\\half" + wchar_t(0xD83D) + L".txt\0\0"s), true),
        DropBlock(AnsiList("\0\0"s)),
        DropBlock(AnsiList(inbox + "\\new.txt\0"s + other + "\0\0"s)),
        DropBlock(AnsiList(zip + "\0\0"s)),
        DropBlock(AnsiList("\x01\x02\x03\x04" + inbox + "\\sub\0\0"s), false, sizeof(DROPFILES) + 4),
    };
  }

  void ForgetWhatTheUserSaw() {
    user.boxes.clear();
    user.beeps.clear();
    user.questions.clear();
    user.fileReplaceTexts.clear();
  }

  // Its name is fixed: the seeds spell out paths in it, and with the same
  // seeds every run feeds the same bytes.
  TempDir sandbox{"mbx-forged-input"};
  ScopedTempDirectory privateTemp{sandbox / "temp"};
  std::string zip = sandbox / "forged.zip";
  std::string inbox;
  CZipFile* root = nullptr;
  CZipFolder* top = nullptr;
  CZipFolder* docs = nullptr;
};

TEST_F(ForgedInput, DropBlocksAtEveryDoorThatReadsThem) {
  host::ShellHost* shell = host::ShellHost::Create();
  ASSERT_NE(nullptr, shell);
  shell->Show();
  IShellFolder* shown = nullptr;
  ASSERT_EQ(S_OK, root->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&shown)));
  ASSERT_EQ(S_OK, shell->OpenFolder(shown, nullptr));
  shown->Release();
  shell->PumpPending();
  HWND list = static_cast<CZipView*>(shell->View())->ListWindow();
  auto* view = static_cast<IDropTarget*>(GetPropA(list, "OleDropTargetInterface"));
  ASSERT_NE(nullptr, view);
  IDropTarget* icon = nullptr;
  ASSERT_EQ(S_OK, root->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&icon)));
  IDropTarget* tree = nullptr;
  const std::vector<BYTE> docsId = ForgedList({ItemOf("docs", true)});
  ASSERT_EQ(S_OK, top->BindToObject(reinterpret_cast<PCUIDLIST_RELATIVE>(docsId.data()), nullptr, IID_IDropTarget,
                                    reinterpret_cast<void**>(&tree)));

  const auto seeds = DropSeeds();
  Random random(kSeed);
  GuardedBytes memory;
  int malformed = 0, wellFormed = 0, unspellableLists = 0, harmless = 0, calls = 0, pastes = 0, compared = 0, findings = 0;
  const auto finding = [&](int round, const std::vector<BYTE>& block, const char* what, HRESULT hr) {
    if (++findings <= 10)
      ADD_FAILURE() << "round " << round << ": " << what << " answered 0x" << std::hex << hr << " for " << Hex(block);
  };

  for (int round = 0; round < kDropRounds; ++round) {
    std::vector<BYTE> block = seeds[random.Below(seeds.size())];
    if (!random.OneIn(10)) MutateBlock(block, random);
    FaultContext() = "drop block " + Hex(block);

    const BYTE* placed = memory.Place(block);
    ASSERT_NE(nullptr, placed);
    std::wstring unspellable;
    const auto paths = ParseDropList(placed, block.size(), &unspellable);
    // Well formed, but naming a path with a lone surrogate, which has no
    // UTF-8 spelling: every door refuses it with a message instead of
    // reading another path.
    const bool refused = !unspellable.empty();
    ++calls;
    paths ? ++wellFormed : refused ? ++unspellableLists : ++malformed;
    const bool adds = paths && Harmless(*paths);
    harmless += adds ? 1 : 0;

    // Lists the platform reads too must read the same.
    if (paths && !paths->empty() && PrintableAscii(*paths)) {
      HGLOBAL global = GlobalBlock(block);
      const auto drop = static_cast<HDROP>(global);
      std::vector<std::string> platform;
      const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < count && i <= paths->size(); ++i) {
        char path[MAX_PATH] = "";
        DragQueryFileA(drop, i, path, MAX_PATH);
        platform.emplace_back(path);
      }
      GlobalFree(global);
      ++compared;
      if (platform != *paths) finding(round, block, "the reader, against DragQueryFileA,", S_OK);
    }

    OneFormatData data(CF_HDROP, GlobalBlock(block));
    {
      IContextMenu* handler = nullptr;
      ASSERT_EQ(S_OK, CreateFileHandlerObject(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&handler)));
      IShellExtInit* init = nullptr;
      handler->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init));
      const HRESULT hr = init->Initialize(nullptr, &data, nullptr);
      ++calls;
      const HRESULT expected = refused ? E_FAIL : paths && !paths->empty() ? S_OK : E_INVALIDARG;
      if (hr != expected) finding(round, block, "Copy to Zip File", hr);
      HMENU menu = CreatePopupMenu();
      handler->QueryContextMenu(menu, 0, 1, 10, CMF_NORMAL);
      char help[200] = "";
      handler->GetCommandString(0, GCS_HELPTEXTA, nullptr, help, sizeof(help));
      DestroyMenu(menu);
      init->Release();
      handler->Release();
    }
    {
      CZipFile* menuRoot = CZipFile::Create();
      menuRoot->AddRef();
      IShellExtInit* init = nullptr;
      menuRoot->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init));
      const HRESULT hr = init->Initialize(nullptr, &data, nullptr);
      ++calls;
      if (hr != (refused ? E_FAIL : paths ? S_OK : E_INVALIDARG)) finding(round, block, "the zip file's menu", hr);
      init->Release();
      menuRoot->Release();
    }
    if (!paths || adds) {
      const HRESULT expected = paths || refused ? S_OK : E_INVALIDARG;
      // A refused list is told once per door.
      const auto told = [&](size_t before) { return !refused || user.boxes.size() == before + 1; };
      DWORD effect = DROPEFFECT_COPY;
      size_t boxes = user.boxes.size();
      HRESULT hr = icon->Drop(&data, 0, POINTL{0, 0}, &effect);
      if (hr != expected || !told(boxes)) finding(round, block, "the zip file's icon", hr);
      boxes = user.boxes.size();
      hr = tree->Drop(&data, 0, POINTL{0, 0}, &effect);
      if (hr != expected || !told(boxes)) finding(round, block, "a folder in the tree", hr);
      effect = DROPEFFECT_COPY;
      view->DragEnter(&data, MK_LBUTTON, POINTL{0, 0}, &effect);
      boxes = user.boxes.size();
      hr = view->Drop(&data, 0, POINTL{0, 0}, &effect);
      if (hr != expected || !told(boxes)) finding(round, block, "the view", hr);
      calls += 3;
      if (round % kPasteEvery == 0 && OleSetClipboard(&data) == S_OK) {
        const size_t beeps = user.beeps.size();
        const size_t boxes = user.boxes.size();
        SendMessageA(shell->ViewWindow(), WM_COMMAND, ID_EDIT_PASTE, 0);
        OleSetClipboard(nullptr);
        ++pastes;
        ++calls;
        // A malformed list beeps as no list does; a whole one is taken; a
        // refused one is told.
        if (user.beeps.size() != beeps + (paths || refused ? 0 : 1) || !told(boxes))
          finding(round, block, "Paste", S_OK);
      }
    }
    if (round % 64 == 0) shell->PumpPending();
    ForgetWhatTheUserSaw();
  }
  FaultContext().clear();
  tree->Release();
  icon->Release();
  shell->Close();
  shell->Release();
  printf("forged drop blocks: %d rounds from seed 0x%08x, %d malformed, %d well formed (%d harmless enough to add),"
         " %d refused for a lone surrogate; %d entry-point calls (%d pastes), %d lists compared with DragQueryFileA; findings: %d\n",
         kDropRounds, kSeed, malformed, wellFormed, harmless, unspellableLists, calls, pastes, compared, findings);
  EXPECT_GT(malformed, kDropRounds / 4) << "the mutations should mostly break the lists";
  EXPECT_GT(harmless, kDropRounds / 20) << "and leave enough whole for the adding doors";
  EXPECT_GT(unspellableLists, 0) << "and some wide ones holding a lone surrogate";
}

TEST_F(ForgedInput, IdentifierListsAtEveryFolderMethodThatReadsThem) {
  const Items seeds = {ItemOf("d.txt", false), ItemOf("docs", true), ItemOf("r.txt", false), ItemOf("sub", true),
                       ItemOf("nothing", false)};
  const std::vector<BYTE> knownList = ForgedList({seeds[0]});
  const auto known = reinterpret_cast<PCUIDLIST_RELATIVE>(knownList.data());
  Random random(kSeed ^ 0x1D);
  GuardedBytes memory;
  int calls = 0, members = 0, strangers = 0, findings = 0;
  const auto finding = [&](int round, const std::vector<BYTE>& list, const char* what, HRESULT hr) {
    if (++findings <= 10)
      ADD_FAILURE() << "round " << round << ": " << what << " answered 0x" << std::hex << hr << " for " << Hex(list);
  };

  for (int round = 0; round < kItemRounds; ++round) {
    Items items = {seeds[random.Below(seeds.size())]};
    if (random.OneIn(4)) items.push_back(seeds[random.Below(seeds.size())]);
    if (!random.OneIn(10)) MutateItems(items, seeds, random);
    const std::vector<BYTE> list = Serialise(items);
    FaultContext() = "identifier list " + Hex(list);
    const BYTE* placed = memory.Place(list);
    ASSERT_NE(nullptr, placed);
    const auto item = reinterpret_cast<PCUITEMID_CHILD>(placed);
    PCUITEMID_CHILD one[] = {item};
    PCUITEMID_CHILD two[] = {item, item};
    const std::string name = NameOf(list);

    for (CZipFolder* folder : {top, docs}) {
      const bool member = folder->Entries().FindKey(name) != nullptr;
      member ? ++members : ++strangers;
      SFGAOF flags = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
      HRESULT hr = folder->GetAttributesOf(1, one, &flags);
      if (hr != (member ? S_OK : E_INVALIDARG)) finding(round, list, "GetAttributesOf", hr);
      flags = SFGAO_FOLDER;
      folder->GetAttributesOf(2, two, &flags);
      hr = folder->CompareIDs(0, item, known);
      if (FAILED(hr)) finding(round, list, "CompareIDs", hr);
      hr = folder->CompareIDs(SHCIDS_ALLFIELDS, known, item);
      if (FAILED(hr)) finding(round, list, "CompareIDs", hr);
      calls += 4;

      for (SHGDNF form : {SHGDNF(SHGDN_NORMAL), SHGDNF(SHGDN_INFOLDER), SHGDNF(SHGDN_FORPARSING),
                          SHGDNF(SHGDN_INFOLDER | SHGDN_FORPARSING)}) {
        STRRET text{};
        hr = folder->GetDisplayNameOf(item, form, &text);
        ++calls;
        if (hr != S_OK) {
          finding(round, list, "GetDisplayNameOf", hr);
        } else if (text.uType != STRRET_WSTR) {
          finding(round, list, "GetDisplayNameOf not wide", hr);
        } else {
          const std::wstring wide = text.pOleStr;
          CoTaskMemFree(text.pOleStr);
          // The member's real name, or what is left of the identifier's, as
          // the code page reads it.
          const MemberEntry* found = folder->Entries().FindKey(name);
          const std::wstring expected = found ? Utf8ToWide(found->Shown()) : AnsiToWide(name);
          if (form == SHGDN_FORPARSING && wide != Utf8ToWide(zip + " : " + folder->Path()) + expected)
            finding(round, list, "GetDisplayNameOf for parsing", hr);
        }
      }

      if (round % kDataObjectEvery == 0) {
        IDataObject* data = nullptr;
        hr = folder->GetUIObjectOf(nullptr, 1, one, IID_IDataObject, nullptr, reinterpret_cast<void**>(&data));
        if (hr != (member ? S_OK : E_FAIL)) finding(round, list, "GetUIObjectOf(IDataObject)", hr);
        if (data) data->Release();
        ++calls;
      }
      IContextMenu* menu = nullptr;
      folder->GetUIObjectOf(nullptr, 1, one, IID_IContextMenu, nullptr, reinterpret_cast<void**>(&menu));
      if (menu) menu->Release();
      IDropTarget* target = nullptr;
      folder->GetUIObjectOf(nullptr, 1, one, IID_IDropTarget, nullptr, reinterpret_cast<void**>(&target));
      if (target) target->Release();
      IShellFolder* sub = nullptr;
      folder->BindToObject(item, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&sub));
      if (sub) sub->Release();
      calls += 3;
    }
    ForgetWhatTheUserSaw();
  }
  FaultContext().clear();
  printf("forged identifier lists: %d rounds from seed 0x%08x, %d readings naming a member, %d naming none;"
         " %d entry-point calls; findings: %d\n",
         kItemRounds, kSeed ^ 0x1D, members, strangers, calls, findings);
  EXPECT_GT(members, kItemRounds / 10) << "the mutations should leave some names whole";
}

}  // namespace
