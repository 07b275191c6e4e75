// A folder level's members.  Each keeps, beside the record the shell's
// identifiers carry, its real name and sizes.  Members are found by the
// name users see (identity: case-insensitive, ordinal) and by the record's
// key, which identifiers carry.  Positions are node handles that stay valid
// until the member they name is removed.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

#include "item_id.h"

struct MemberEntry {
  ZIPENTRY record{};    // szName: the key (member_key.h)
  std::string name;     // the real name of this path component, UTF-8
  std::string shown;    // what users see: the real name, or for a file beside a folder of its name, tagged
  std::string display;  // shown, without an extension the user's settings hide
  uint64_t size = 0;
  uint64_t compressedSize = 0;

  bool IsFolder() const { return record.pSubFolder != nullptr; }
  // A file beside a folder of its name is shown and extracted under its
  // tagged name; the engine names it as a file only.
  bool IsAside() const { return shown != name; }
};

class CEntryMap {
 public:
  struct Node;
  using Position = const Node*;  // nullptr: before the first member

  MemberEntry* Find(std::string_view shown);
  const MemberEntry* Find(std::string_view shown) const;
  MemberEntry* FindKey(std::string_view key);
  const MemberEntry* FindKey(std::string_view key) const;
  // Inserts or overwrites the member shown as entry.shown; returns it.
  MemberEntry& Set(MemberEntry entry);
  bool Remove(std::string_view shown);
  size_t Count() const { return m_nodes.size(); }

  // Walking: First, then Next until nullptr.
  Position First() const;
  Position Next(Position position) const;
  static const MemberEntry& At(Position position);

 private:
  using NodeList = std::list<Node>;

 public:
  struct Node {
    MemberEntry entry;
    std::wstring identity;
    std::wstring keyIdentity;
    NodeList::iterator self;
  };

 private:
  using Index = std::unordered_map<std::wstring, NodeList::iterator>;
  static const MemberEntry* Search(const Index& index, const std::wstring& identity);

  NodeList m_nodes;
  Index m_byName;
  Index m_byKey;
};
