// Member keys and identity under the code page the process runs in: the
// keys identifiers carry must be exact where the code page can spell a
// name, stable and distinct where it cannot, and never cut a character.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "member_key.h"
#include "strings.h"
#include "tree_support.h"

namespace {

UINT ExpectedCodePage() {
  const char* text = std::getenv("MBX_EXPECT_ACP");
  return text != nullptr ? static_cast<UINT>(std::atoi(text)) : GetACP();
}

// What the code page makes of a key, as UTF-8 again.
std::string Read(const std::string& key) { return WideToUtf8(AnsiToWide(key)); }

bool EndsOnACharacter(const std::string& key) {
  for (size_t i = 0; i < key.size(); ++i)
    if (IsDBCSLeadByte(static_cast<BYTE>(key[i])) && ++i == key.size()) return false;
  return true;
}

TEST(RealNames, RunUnderTheCodePageTheyWereStartedFor) { EXPECT_EQ(ExpectedCodePage(), GetACP()); }

TEST(RealNames, KeysAreTheExactSpellingWhereThereIsOne) {
  EXPECT_EQ("readme.txt", MemberKey("readme.txt"));
  const std::string soft = "readme\xC2\xAD.txt";  // a soft hyphen
  const std::string japanese = "\xE8\xA1\xA8\xE7\xA4\xBA\xE3\x82\xBD\xE3\x83\xBC\xE3\x82\xB9.txt";  // 表示ソース.txt
  const std::string hebrew = "\xD7\xA2\xD7\x91\xD7\xA8\xD7\x99\xD7\xAA";  // עברית
  if (GetACP() == 1252) {
    EXPECT_EQ("readme\xAD.txt", MemberKey(soft));
    EXPECT_EQ(soft, Read(MemberKey(soft)));
  }
  if (GetACP() == 932) {
    // Its spelling holds 0x5C trail bytes, and is still the key.
    const std::string key = MemberKey(japanese);
    EXPECT_NE(std::string::npos, key.find('\\'));
    EXPECT_EQ(japanese, Read(key));
  }
  // Hebrew has a spelling in neither: a tag of the name, before its extension.
  const std::string tagged = MemberKey(hebrew + ".txt");
  EXPECT_EQ(WithTag(std::string(5, '_') + ".txt", NameTag(hebrew + ".txt")), tagged);
  EXPECT_EQ(MemberKey(hebrew + ".txt"), tagged) << "the same name gives the same key";
  EXPECT_NE(MemberKey(hebrew), MemberKey("\xD7\xA7\xD7\x95\xD7\x91\xD7\xA5"));  // קובץ
  // An emoji is one character: one mark, never two.
  EXPECT_EQ("_" + NameTag("\xF0\x9F\x98\x80.txt") + ".txt", MemberKey("\xF0\x9F\x98\x80.txt"));
}

TEST(RealNames, LongNamesGetShortenedStableKeysThatNeverCutACharacter) {
  std::string longName;
  for (int i = 0; i < 150; ++i) longName += "\xE4\xB8\xAD";  // 中
  longName += ".txt";
  const std::string key = MemberKey(longName);
  EXPECT_LE(key.size(), 259u);
  EXPECT_TRUE(EndsOnACharacter(key.substr(0, key.size() - 4 - 9)));
  EXPECT_EQ(NameTag(longName) + ".txt", key.substr(key.size() - 13));
  EXPECT_EQ(key, MemberKey(longName));
  // Two long names that differ only past the cut differ in their keys.
  EXPECT_NE(key, MemberKey(longName.substr(0, longName.size() - 4) + "x.txt"));
  const std::string ascii(300, 'a');
  EXPECT_EQ(259u, MemberKey(ascii).size());
  EXPECT_NE(MemberKey(ascii), MemberKey(ascii + "b"));
}

TEST(RealNames, IdentityIgnoresCaseButNoCharacter) {
  EXPECT_EQ(IdentityOf("README.TXT"), IdentityOf("readme.txt"));
  EXPECT_EQ(IdentityOf("\xCE\xA9mega"), IdentityOf("\xCF\x89MEGA"));  // Ω, ω
  EXPECT_EQ(IdentityOf("\xD0\xAF"), IdentityOf("\xD1\x8F"));         // Я, я
  EXPECT_NE(IdentityOf("readme\xC2\xAD.txt"), IdentityOf("readme.txt"));
  EXPECT_EQ(NameTag("\xCE\xA9.txt"), NameTag("\xCF\x89.TXT")) << "one member, one tag";
}

TEST(RealNames, TheTreeKeepsEveryScriptAndBothTwins) {
  RootHolder holder;
  CZipFolder* top = holder.top();
  const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
  const std::string hebrew = "\xD7\xA2\xD7\x91\xD7\xA8\xD7\x99\xD7\xAA";  // עברית
  top->AddEntry(ListedRecord(chinese + "\\" + chinese + ".txt", false, 5, 7));
  top->AddEntry(ListedRecord(hebrew, true, 5));
  top->AddEntry(ListedRecord("readme.txt", false, 5, 1));
  top->AddEntry(ListedRecord("readme\xC2\xAD.txt", false, 5, 2));
  top->AddEntry(ListedRecord("huge.bin", false, 5, uint64_t{5} << 30));
  top->Sweep(5);
  ASSERT_EQ(5u, top->Entries().Count());
  EXPECT_EQ(1u, Entry(top, "readme.txt")->size);
  EXPECT_EQ(2u, Entry(top, "readme\xC2\xAD.txt")->size);
  const MemberEntry* folder = Entry(top, chinese.c_str());
  ASSERT_NE(nullptr, folder);
  ASSERT_TRUE(folder->IsFolder());
  EXPECT_EQ(chinese + "\\", folder->subFolder->Path());
  const MemberEntry* inner = Entry(folder->subFolder, (chinese + ".txt").c_str());
  ASSERT_NE(nullptr, inner);
  EXPECT_EQ(chinese + ".txt", inner->Shown());
  // Identifiers find each member again through its key.
  for (const char* name : {"readme.txt", "readme\xC2\xAD.txt", "huge.bin"})
    EXPECT_EQ(Entry(top, name), top->Entries().FindKey(Entry(top, name)->Key())) << name;
  EXPECT_EQ(folder, top->Entries().FindKey(folder->Key()));
  EXPECT_NE(nullptr, Entry(top, hebrew.c_str()));
  // The record saturates; the real size stays whole.
  EXPECT_EQ(0xFFFFFFFFu, Entry(top, "huge.bin")->Record().dwSize);
  EXPECT_EQ(uint64_t{5} << 30, Entry(top, "huge.bin")->size);
}

}  // namespace
