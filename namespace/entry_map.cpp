#include "entry_map.h"

#include <vector>

std::string CEntryMap::SortKey(const char* name) {
  // Sort keys compare exactly as the case-insensitive comparison does, so
  // equal keys mean equal names and the index needs no second comparison.
  const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
  char quick[2048];
  const int quickSize = LCMapStringA(LOCALE_USER_DEFAULT, flags, name, -1, quick, sizeof(quick));
  if (quickSize > 0) return std::string(quick, static_cast<size_t>(quickSize));
  const int size = LCMapStringA(LOCALE_USER_DEFAULT, flags, name, -1, nullptr, 0);
  if (size <= 0) return name;
  std::vector<char> key(static_cast<size_t>(size));
  const int written = LCMapStringA(LOCALE_USER_DEFAULT, flags, name, -1, key.data(), size);
  if (written <= 0) return name;
  return std::string(key.data(), static_cast<size_t>(written));
}

ZIPENTRY* CEntryMap::LookupKey(const std::string& key) {
  const auto found = m_index.find(key);
  return found == m_index.end() ? nullptr : &found->second->record;
}

const ZIPENTRY* CEntryMap::Lookup(const char* name) const {
  const auto found = m_index.find(SortKey(name));
  return found == m_index.end() ? nullptr : &found->second->record;
}

ZIPENTRY& CEntryMap::SetAtKey(const ZIPENTRY& record, const std::string& key) {
  const auto found = m_index.find(key);
  if (found != m_index.end()) {
    found->second->record = record;
    return found->second->record;
  }
  m_nodes.push_back(Node{record, key, {}});
  const auto node = std::prev(m_nodes.end());
  node->self = node;
  m_index.emplace(key, node);
  return node->record;
}

bool CEntryMap::Remove(const char* name) {
  const auto found = m_index.find(SortKey(name));
  if (found == m_index.end()) return false;
  m_nodes.erase(found->second);
  m_index.erase(found);
  return true;
}

CEntryMap::Position CEntryMap::First() const { return m_nodes.empty() ? nullptr : &m_nodes.front(); }

CEntryMap::Position CEntryMap::Next(Position position) const {
  if (position == nullptr) return First();
  auto next = std::next(NodeList::const_iterator(position->self));
  return next == m_nodes.end() ? nullptr : &*next;
}

const ZIPENTRY& CEntryMap::At(Position position) { return position->record; }
