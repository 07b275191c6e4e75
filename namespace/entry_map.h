// A folder level's members keyed by name without regard to case, under the
// locale's comparison.  Positions are node handles that stay valid until the
// member they name is removed.
#pragma once

#include <list>
#include <string>
#include <unordered_map>

#include "item_id.h"

class CEntryMap {
 public:
  struct Node;
  using Position = const Node*;  // nullptr: before the first member

  // The key names compare equal under: the locale's case-insensitive sort key.
  static std::string SortKey(const char* name);

  ZIPENTRY* Lookup(const char* name) { return LookupKey(SortKey(name)); }
  const ZIPENTRY* Lookup(const char* name) const;
  ZIPENTRY* LookupKey(const std::string& key);
  // Inserts or overwrites the member named record.szName; returns its record.
  ZIPENTRY& SetAt(const ZIPENTRY& record) { return SetAtKey(record, SortKey(record.szName)); }
  // The same, when the caller has the name's key already.
  ZIPENTRY& SetAtKey(const ZIPENTRY& record, const std::string& key);
  bool Remove(const char* name);
  size_t Count() const { return m_nodes.size(); }

  // Walking: First, then Next until nullptr.
  Position First() const;
  Position Next(Position position) const;
  static const ZIPENTRY& At(Position position);

 private:
  using NodeList = std::list<Node>;

 public:
  struct Node {
    ZIPENTRY record;
    std::string key;
    NodeList::iterator self;
  };

 private:
  NodeList m_nodes;
  std::unordered_map<std::string, NodeList::iterator> m_index;
};
