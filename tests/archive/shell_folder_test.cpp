#include <gtest/gtest.h>

#include <vector>

#include "class_ids.h"
#include "fake_user_interaction.h"
#include "strings.h"
#include "forged_input.h"
#include "temp_dir.h"
#include "tree_support.h"
#include "zip_maker.h"
#include "test_files.h"

namespace {


// A one-item identifier list naming a member, and lists of several levels.
class ItemList {
 public:
  explicit ItemList(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      ZIPENTRY record{};
      SetName(record.szName, name);
      SetName(record.szDisplayName, name);
      LPITEMIDLIST item = MakeItemId(record);
      const auto* bytes = reinterpret_cast<const BYTE*>(item);
      m_bytes.insert(m_bytes.end(), bytes, bytes + 554);
      FreeItemId(item);
    }
    m_bytes.resize(m_bytes.size() + 2, 0);
  }
  PCUIDLIST_RELATIVE get() const { return reinterpret_cast<PCUIDLIST_RELATIVE>(m_bytes.data()); }
  PCUITEMID_CHILD child() const { return reinterpret_cast<PCUITEMID_CHILD>(m_bytes.data()); }

 private:
  std::vector<BYTE> m_bytes;
};

class ShellFolderTest : public ::testing::Test, protected WithFakeUser {
 protected:
  void SetUp() override {
    for (const char* f : {"a\\b\\c.txt", "a\\b\\deeper\\e.txt", "d.txt", "Same.txt", "x\\y.txt"}) source.Write(f, f);
    ASSERT_EQ(0, zip_maker::Add(zip, source.path(), {"a\\b\\c.txt", "a\\b\\deeper\\e.txt", "d.txt", "Same.txt", "x\\y.txt"}));
    root = CZipFile::Create();
    root->AddRef();
    ASSERT_EQ(S_OK, root->Load(Wide(zip).c_str(), 0));
    ASSERT_EQ(S_OK, root->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&folder)));
  }
  void TearDown() override {
    folder->Release();
    root->Release();
  }

  TempDir source, archives;
  std::string zip = archives / "pack.zip";
  CZipFile* root = nullptr;
  IShellFolder* folder = nullptr;
};

TEST_F(ShellFolderTest, TheRootAnswersWithItsTopFolderAndKeepsOneIdentity) {
  EXPECT_EQ(static_cast<IShellFolder*>(root->GetRootFolder()), folder);
  IPersistFolder* persist = nullptr;
  ASSERT_EQ(S_OK, folder->QueryInterface(IID_IPersistFolder, reinterpret_cast<void**>(&persist)));
  IUnknown* a = nullptr;
  IUnknown* b = nullptr;
  persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
  folder->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
  EXPECT_EQ(a, b);
  a->Release();
  b->Release();
  persist->Release();
  CLSID id{};
  EXPECT_EQ(S_OK, root->GetClassID(&id));
  const CLSID expected = CLSID_ZipFile;
  EXPECT_TRUE(IsEqualCLSID(expected, id));
}

TEST_F(ShellFolderTest, EnumeratesSubFoldersOnly) {
  IEnumIDList* e = nullptr;
  ASSERT_EQ(S_OK, folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &e));
  std::vector<std::string> names;
  PITEMID_CHILD item = nullptr;
  while (e->Next(1, &item, nullptr) == S_OK) {
    names.push_back(ReadItemId(item).szName);
    FreeItemId(item);
  }
  e->Release();
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"a", "x"}), names);
}

TEST_F(ShellFolderTest, BindsThroughFolderPathsAndReportsAFileInTheWay) {
  folder->EnumObjects(nullptr, 0, nullptr);
  root->RefreshListing();
  IShellFolder* ab = nullptr;
  ASSERT_EQ(S_OK, folder->BindToObject(ItemList({"a", "b"}).get(), nullptr, IID_IShellFolder,
                                       reinterpret_cast<void**>(&ab)));
  EXPECT_EQ("a\\b\\", static_cast<CZipFolder*>(ab)->Path());
  ab->Release();
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_FAIL, folder->BindToObject(ItemList({"nothing"}).get(), nullptr, IID_IShellFolder, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_TRUE(user.boxes.empty());
  EXPECT_EQ(E_FAIL, folder->BindToObject(ItemList({"d.txt", "z"}).get(), nullptr, IID_IShellFolder, &out));
  ASSERT_EQ(1u, user.boxes.size());
  EXPECT_EQ("Unexpected Error: 0-0", user.boxes[0].text);
  EXPECT_EQ(E_NOINTERFACE, folder->BindToObject(ItemList({"a"}).get(), nullptr, IID_IStream, &out));
}

TEST_F(ShellFolderTest, NamesItemsForParsingAndForDisplay) {
  STRRET name{};
  // Always the wide form, which spells every name at any length.
  auto text = [](STRRET& name) {
    EXPECT_EQ(static_cast<UINT>(STRRET_WSTR), name.uType);
    if (name.uType != STRRET_WSTR) return std::string();
    const std::string utf8 = WideToUtf8(name.pOleStr);
    CoTaskMemFree(name.pOleStr);
    return utf8;
  };
  ASSERT_EQ(S_OK, folder->GetDisplayNameOf(ItemList({"d.txt"}).child(), SHGDN_INFOLDER | SHGDN_FORPARSING, &name));
  EXPECT_EQ(zip + " : d.txt", text(name));
  ASSERT_EQ(S_OK, folder->GetDisplayNameOf(ItemList({"d.txt"}).child(), SHGDN_FORADDRESSBAR | SHGDN_FORPARSING, &name));
  EXPECT_EQ("d.txt", text(name));

  root->RefreshListing();
  IShellFolder* a = nullptr;
  ASSERT_EQ(S_OK, folder->BindToObject(ItemList({"a"}).get(), nullptr, IID_IShellFolder, reinterpret_cast<void**>(&a)));
  ASSERT_EQ(S_OK, a->GetDisplayNameOf(ItemList({"b"}).child(), SHGDN_FORPARSING, &name));
  EXPECT_EQ(zip + " : a\\b", text(name));
  a->Release();
}

TEST_F(ShellFolderTest, AttributesFollowMembershipAndSubFolders) {
  SFGAOF flags = 0xFFFFFFFF;
  ASSERT_EQ(S_OK, folder->GetAttributesOf(0, nullptr, &flags));
  EXPECT_EQ(static_cast<SFGAOF>(SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_DROPTARGET), flags);

  ItemList a({"a"}), d({"d.txt"}), gone({"gone.txt"}), x({"x"});
  PCUITEMID_CHILD one[] = {a.child()};
  flags = 0xFFFFFFFF;
  ASSERT_EQ(S_OK, folder->GetAttributesOf(1, one, &flags));
  EXPECT_EQ(static_cast<SFGAOF>(0x20000161 | SFGAO_HASSUBFOLDER), flags);
  flags = SFGAO_FOLDER;
  ASSERT_EQ(S_OK, folder->GetAttributesOf(1, one, &flags));
  EXPECT_EQ(static_cast<SFGAOF>(SFGAO_FOLDER), flags);
  // x holds only a file: no sub-folder flag; neither has a file member.
  PCUITEMID_CHILD two[] = {x.child(), d.child()};
  flags = 0xFFFFFFFF;
  ASSERT_EQ(S_OK, folder->GetAttributesOf(2, two, &flags));
  EXPECT_EQ(static_cast<SFGAOF>(0x20000161), flags);
  PCUITEMID_CHILD missing[] = {d.child(), gone.child()};
  flags = 0xFFFFFFFF;
  EXPECT_EQ(E_INVALIDARG, folder->GetAttributesOf(2, missing, &flags));
  EXPECT_EQ(0u, flags);
}

TEST_F(ShellFolderTest, ComparesByDisplayNameWithCaseAndPutsStrangersLast) {
  root->RefreshListing();
  ItemList same({"Same.txt"}), lower({"same.txt"}), d({"d.txt"}), gone({"gone.txt"});
  EXPECT_EQ(0, HRESULT_CODE(folder->CompareIDs(0, same.get(), same.get())));
  // The identifiers' own display names decide, so case matters.
  EXPECT_NE(0, HRESULT_CODE(folder->CompareIDs(0, same.get(), lower.get())));
  EXPECT_EQ(0xFFFF, HRESULT_CODE(folder->CompareIDs(0, d.get(), same.get())));
  EXPECT_EQ(1, HRESULT_CODE(folder->CompareIDs(0, same.get(), d.get())));
  EXPECT_EQ(1, HRESULT_CODE(folder->CompareIDs(0, gone.get(), d.get())));
}

TEST_F(ShellFolderTest, HandsOutFolderIconsAndRefusesWideOnes) {
  root->RefreshListing();
  ItemList a({"a"});
  PCUITEMID_CHILD items[] = {a.child()};
  void* out = nullptr;
  EXPECT_EQ(E_NOINTERFACE, folder->GetUIObjectOf(nullptr, 1, items, IID_IExtractIconW, nullptr, &out));
  IExtractIconA* icon = nullptr;
  ASSERT_EQ(S_OK, folder->GetUIObjectOf(nullptr, 1, items, IID_IExtractIconA, nullptr, reinterpret_cast<void**>(&icon)));
  char file[MAX_PATH];
  int index = 0;
  UINT iconFlags = 0;
  ASSERT_EQ(S_OK, icon->GetIconLocation(GIL_OPENICON, file, MAX_PATH, &index, &iconFlags));
  EXPECT_STREQ("shell32.dll", file);
  EXPECT_EQ(4, index);
  EXPECT_EQ(static_cast<UINT>(GIL_PERCLASS), iconFlags);
  icon->GetIconLocation(0, file, MAX_PATH, &index, &iconFlags);
  EXPECT_EQ(3, index);
  icon->Release();
  IShellFolder* sub = nullptr;
  ASSERT_EQ(S_OK, folder->GetUIObjectOf(nullptr, 1, items, IID_IShellFolder, nullptr, reinterpret_cast<void**>(&sub)));
  EXPECT_EQ("a\\", static_cast<CZipFolder*>(sub)->Path());
  sub->Release();
}

// Identifiers the shell hands back may have been stored, damaged or made by
// another program.  Each is read only as far as its cb reaches and its names
// only within their fields; the list ends where readable memory ends, so a
// read past it faults.  What is left of a name still finds its member.
TEST_F(ShellFolderTest, ForgedIdentifiersAreReadOnlyWithinTheirSize) {
  root->RefreshListing();
  const auto bytes = [](const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); };
  std::vector<BYTE> record = bytes("a");
  record.resize(260 + 260 + 32, 0);
  std::vector<BYTE> cutInDisplay = bytes("d.txt");
  cutInDisplay.resize(260, 0);
  cutInDisplay.push_back('d');
  std::vector<BYTE> longItem = record;
  longItem.resize(1200, 0xEE);
  struct Case {
    const char* what;
    std::vector<BYTE> list;
    const char* member;  // the member it names, or null
  } cases[] = {
      {"cb 0: the empty list", ForgedList({}), nullptr},
      {"cb 1", ForgedList({ForgedItem(1, {})}), nullptr},
      {"cb 2: no record at all", ForgedList({ForgedItem(2, {})}), nullptr},
      {"a short name without its NUL", ForgedList({ForgedItem(7, bytes("d.txt"))}), "d.txt"},
      {"cut inside the display name", ForgedList({ForgedItem(2 + 261, cutInDisplay)}), "d.txt"},
      {"a name filling its field", ForgedList({ForgedItem(554, std::vector<BYTE>(552, 'x'))}), nullptr},
      {"longer than a record", ForgedList({ForgedItem(1202, longItem)}), "a"},
      {"two levels, the second short", ForgedList({ForgedItem(554, record), ForgedItem(3, bytes("b"))}), "a"},
  };
  GuardedBytes memory;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const BYTE* placed = memory.Place(c.list);
    ASSERT_NE(nullptr, placed);
    const auto item = reinterpret_cast<PCUITEMID_CHILD>(placed);
    PCUITEMID_CHILD items[] = {item};
    const auto known = ItemList({"d.txt"});

    SFGAOF flags = SFGAO_FOLDER;
    EXPECT_EQ(c.member ? S_OK : E_INVALIDARG, folder->GetAttributesOf(1, items, &flags));
    const HRESULT order = folder->CompareIDs(0, item, known.get());
    EXPECT_TRUE(SUCCEEDED(order));
    if (!c.member) {
      EXPECT_EQ(1, HRESULT_CODE(order));
    }
    EXPECT_TRUE(SUCCEEDED(folder->CompareIDs(0, known.get(), item)));

    for (SHGDNF form : std::initializer_list<SHGDNF>{SHGDN_NORMAL, SHGDN_INFOLDER | SHGDN_FORPARSING, SHGDN_FORPARSING}) {
      STRRET name{};
      ASSERT_EQ(S_OK, folder->GetDisplayNameOf(item, form, &name));
      ASSERT_EQ(static_cast<UINT>(STRRET_WSTR), name.uType);
      const std::string text = WideToUtf8(name.pOleStr);
      CoTaskMemFree(name.pOleStr);
      if (c.member && form == SHGDN_FORPARSING) {
        EXPECT_EQ(zip + " : " + c.member, text);
      }
    }

    IDataObject* data = nullptr;
    const HRESULT made =
        folder->GetUIObjectOf(nullptr, 1, items, IID_IDataObject, nullptr, reinterpret_cast<void**>(&data));
    EXPECT_EQ(c.member ? S_OK : E_FAIL, made);
    if (data) data->Release();

    // Binding names a path of folders; "a" is one, and two levels go on to "a\b".
    IShellFolder* sub = nullptr;
    const HRESULT bound = folder->BindToObject(item, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&sub));
    if (sub) sub->Release();
    if (c.member && std::string(c.member) == "a") {
      EXPECT_EQ(S_OK, bound);
    } else if (!c.member && c.list.size() > 2) {
      EXPECT_EQ(E_FAIL, bound);
    }
  }

  // No list where the shell passes one, or the empty list to bind: refused
  // without a word.
  user.boxes.clear();
  SFGAOF flags = SFGAO_FOLDER;
  EXPECT_EQ(E_INVALIDARG, folder->GetAttributesOf(1, nullptr, &flags));
  const auto known = ItemList({"d.txt"});
  EXPECT_EQ(1, HRESULT_CODE(folder->CompareIDs(0, nullptr, known.get())));
  IShellFolder* sub = nullptr;
  const BYTE* empty = memory.Place(ForgedList({}));
  EXPECT_EQ(E_INVALIDARG, folder->BindToObject(reinterpret_cast<PCUIDLIST_RELATIVE>(empty), nullptr,
                                               IID_IShellFolder, reinterpret_cast<void**>(&sub)));
  EXPECT_EQ(nullptr, sub);
  EXPECT_TRUE(user.boxes.empty()) << user.boxes.front().text;
}

}  // namespace
