#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "enum_idlist.h"
#include "tree_support.h"

namespace {

ZIPENTRY Named(const char* name, CZipFolder* sub = nullptr) {
  ZIPENTRY record{};
  SetName(record.szName, name);
  SetName(record.szDisplayName, name);
  record.dwSize = 42;
  record.dwAttributes = sub ? FILE_ATTRIBUTE_DIRECTORY : 0;
  record.pSubFolder = sub;
  return record;
}

TEST(ItemId, HasTheSameBytesOnEveryArchitecture) {
  ZIPENTRY record = Named("readme.txt");
  record.iIcon = 7;
  record.dwCompressedSize = 21;
  record.ftModified = {0x11223344, 0x55667788};
  record.dwListingStamp = 0xCAFE;
  LPITEMIDLIST item = MakeItemId(record);
  const auto* bytes = reinterpret_cast<const BYTE*>(item);
  EXPECT_EQ(554, bytes[0] | bytes[1] << 8);
  EXPECT_STREQ("readme.txt", reinterpret_cast<const char*>(bytes + 2));
  EXPECT_STREQ("readme.txt", reinterpret_cast<const char*>(bytes + 2 + 260));
  uint32_t field = 0;
  memcpy(&field, bytes + 2 + 520, 4);
  EXPECT_EQ(7u, field);
  memcpy(&field, bytes + 2 + 524, 4);
  EXPECT_EQ(42u, field);
  memcpy(&field, bytes + 2 + 532, 4);
  EXPECT_EQ(0x11223344u, field);
  memcpy(&field, bytes + 2 + 544, 4);
  EXPECT_EQ(0xCAFEu, field);
  memcpy(&field, bytes + 2 + 548, 4);
  EXPECT_EQ(0u, field);  // a file carries no sub-folder
  EXPECT_EQ(0, bytes[554] | bytes[555]);

  const ZIPENTRY back = ReadItemId(item);
  EXPECT_STREQ("readme.txt", back.szName);
  EXPECT_EQ(21u, back.dwCompressedSize);
  EXPECT_EQ(0x55667788u, back.ftModified.dwHighDateTime);
  EXPECT_EQ(nullptr, back.pSubFolder);
  FreeItemId(item);
}

TEST(ItemId, AFolderItemCarriesANonZeroSubFolderField) {
  RootHolder holder;
  LPITEMIDLIST item = MakeItemId(Named("docs", holder.top()));
  uint32_t field = 0;
  memcpy(&field, reinterpret_cast<const BYTE*>(item) + 2 + 548, 4);
  EXPECT_NE(0u, field);
  FreeItemId(item);
}

TEST(ItemId, ListsNameTheirFolderPathWithABackslashAfterEachComponent) {
  LPITEMIDLIST a = MakeItemId(Named("docs"));
  LPITEMIDLIST b = MakeItemId(Named("img"));
  std::vector<BYTE> list(554 * 2 + 2, 0);
  memcpy(list.data(), a, 554);
  memcpy(list.data() + 554, b, 554);
  const auto* pidl = reinterpret_cast<LPCITEMIDLIST>(list.data());
  EXPECT_EQ("docs\\img\\", ItemIdListToPath(pidl));
  EXPECT_EQ("docs\\", ItemIdListToPath(a));
  EXPECT_EQ(reinterpret_cast<const BYTE*>(pidl) + 554, reinterpret_cast<const BYTE*>(NextItemId(pidl)));
  const USHORT empty = 0;
  EXPECT_EQ("", ItemIdListToPath(reinterpret_cast<LPCITEMIDLIST>(&empty)));
  FreeItemId(a);
  FreeItemId(b);
}

TEST(ItemId, AShortForeignItemIsReadOnlyAsFarAsItReaches) {
  // cb 8: two bytes of size and a six-byte name without its terminator.
  BYTE item[10] = {8, 0, 'a', 'b', 'c', 'd', 'e', 'f', 0, 0};
  EXPECT_EQ("abcdef\\", ItemIdListToPath(reinterpret_cast<LPCITEMIDLIST>(item)));
  EXPECT_STREQ("abcdef", ReadItemId(reinterpret_cast<LPCITEMIDLIST>(item)).szName);
}

std::vector<std::string> Drain(IEnumIDList* enumerator, ULONG batch, std::vector<HRESULT>* results = nullptr) {
  std::vector<std::string> names;
  for (;;) {
    std::vector<PITEMID_CHILD> items(batch);
    ULONG fetched = 99;
    const HRESULT hr = enumerator->Next(batch, items.data(), &fetched);
    if (results) results->push_back(hr);
    for (ULONG i = 0; i < fetched; ++i) {
      names.push_back(ReadItemId(items[i]).szName);
      FreeItemId(items[i]);
    }
    if (hr != S_OK) {
      EXPECT_EQ(0u, fetched);
      return names;
    }
  }
}

TEST(Enumerator, NextSkipAndResetCountAsTheShellExpects) {
  IEnumIDList* e = CZipEnumIDList::Create({Named("a"), Named("b"), Named("c")});
  std::vector<HRESULT> results;
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), Drain(e, 2, &results));
  EXPECT_EQ((std::vector<HRESULT>{S_OK, S_OK, S_FALSE}), results);

  e->Reset();
  EXPECT_EQ(S_OK, e->Skip(3));
  EXPECT_TRUE(Drain(e, 1).empty());
  e->Reset();
  EXPECT_EQ(E_INVALIDARG, e->Skip(4));
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), Drain(e, 5));
  e->Release();

  IEnumIDList* empty = CZipEnumIDList::Create({});
  EXPECT_TRUE(Drain(empty, 1).empty());
  empty->Release();
}

TEST(Enumerator, AClonesCursorMovesOnItsOwn) {
  IEnumIDList* e = CZipEnumIDList::Create({Named("a"), Named("b"), Named("c")});
  PITEMID_CHILD item = nullptr;
  ASSERT_EQ(S_OK, e->Next(1, &item, nullptr));
  FreeItemId(item);
  IEnumIDList* clone = nullptr;
  ASSERT_EQ(S_OK, e->Clone(&clone));
  EXPECT_EQ((std::vector<std::string>{"b", "c"}), Drain(clone, 1));
  EXPECT_EQ((std::vector<std::string>{"b", "c"}), Drain(e, 1));
  clone->Release();
  e->Release();
}

TEST(Enumerator, EnumObjectsGivesOnlySubFoldersFromASnapshot) {
  RootHolder holder;
  CZipFolder* top = holder.top();
  top->AddEntry(ListedRecord("a\\b\\c.txt", false, 5));
  top->AddEntry(ListedRecord("d.txt", false, 5));
  top->AddEntry(ListedRecord("hidden", true, 5));
  top->Sweep(5);
  IEnumIDList* e = nullptr;
  ASSERT_EQ(E_INVALIDARG, top->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &e));
  EXPECT_EQ(nullptr, e);
  // The root is not loaded, so the refresh leaves the hand-made tree alone.
  ASSERT_EQ(S_OK, top->EnumObjects(nullptr, 0, &e));
  top->AddEntry(ListedRecord("later", true, 6));
  top->Sweep(6);
  std::vector<std::string> names = Drain(e, 10);
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"a", "hidden"}), names);
  e->Release();
}

}  // namespace
