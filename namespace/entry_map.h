// A folder level's members, kept compact: a real name, sizes, time,
// attributes and the type's icon per member.  The record the shell's
// identifiers carry is made from them only where one is handed out.
// Members are found by the name users see (identity: case-insensitive,
// ordinal) and by the record's key, which identifiers carry.  Positions stay
// valid until the member they name is removed; a removed member's place may
// be taken by a later one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "item_id.h"

struct MemberEntry {
  std::string name;  // the real name of this path component, UTF-8
  uint64_t size = 0;
  uint64_t compressedSize = 0;
  FILETIME modified{};
  CZipFolder* subFolder = nullptr;  // the folder object of a folder member
  uint32_t attributes = 0;
  uint32_t stamp = 0;  // the listing that last confirmed the member
  int32_t icon = 0;
  // A file beside a folder of its name is shown and extracted under its
  // tagged name; the engine names it as a file only.
  bool aside = false;
  bool hidesExtension = false;  // the user's settings hide the extension of its type

  bool IsFolder() const { return subFolder != nullptr; }
  bool IsAside() const { return aside; }
  // What users see: the real name, or for a file set aside, tagged.
  std::string Shown() const;
  // Shown, without an extension the user's settings hide.
  std::string Display() const;
  // The record's key (member_key.h).
  std::string Key() const;
  // The whole record, as identifiers and the enumerator carry it: the key,
  // the display name's exact spelling (or the key's), saturated sizes.
  ZIPENTRY Record() const;
};

class CEntryMap {
 public:
  struct Node;
  using Position = const Node*;  // nullptr: before the first member

  CEntryMap() = default;
  CEntryMap(const CEntryMap&) = delete;
  CEntryMap& operator=(const CEntryMap&) = delete;

  MemberEntry* Find(std::string_view shown);
  const MemberEntry* Find(std::string_view shown) const;
  MemberEntry* FindKey(std::string_view key);
  const MemberEntry* FindKey(std::string_view key) const;
  // Inserts or overwrites the member shown as entry.Shown(); returns it.
  MemberEntry& Set(MemberEntry entry);
  bool Remove(std::string_view shown);
  // The member at position goes; walking on from it stays possible.
  void RemoveAt(Position position);
  size_t Count() const { return m_count; }

  // Walking: First, then Next until nullptr.
  Position First() const;
  Position Next(Position position) const;
  static const MemberEntry& At(Position position);

  struct Node {
    MemberEntry entry;
    uint32_t hash = 0;     // of the shown name's identity
    uint32_t slot = 0;     // this node's place in m_nodes
    bool live = false;
    bool oddKey = false;   // the key is not the shown name's own spelling
  };

 private:
  static constexpr uint32_t kEmpty = 0;
  static constexpr uint32_t kGone = UINT32_MAX;

  // The live node shown under that name (of that identity hash), or null.
  const Node* Lookup(std::string_view shown, uint32_t hash) const;
  void IndexInsert(uint32_t slot, uint32_t hash);
  void IndexErase(uint32_t slot, uint32_t hash);
  void Rehash(size_t capacity);
  void Forget(Node& node);

  std::deque<Node> m_nodes;
  std::vector<uint32_t> m_free;   // places of removed members, for reuse
  // Open addressing on the identity hash: slot + 1, kEmpty or kGone.
  std::vector<uint32_t> m_index;
  size_t m_indexUsed = 0;         // live and gone marks together
  size_t m_count = 0;
  // Keys that are not a shown name's own spelling (names the code page
  // cannot spell, overlong ones), by their identity.
  std::unordered_map<std::wstring, uint32_t> m_oddKeys;
};
