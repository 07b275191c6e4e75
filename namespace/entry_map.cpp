#include "entry_map.h"

#include "member_key.h"

const MemberEntry* CEntryMap::Search(const Index& index, const std::wstring& identity) {
  const auto found = index.find(identity);
  return found == index.end() ? nullptr : &found->second->entry;
}

const MemberEntry* CEntryMap::Find(std::string_view shown) const { return Search(m_byName, IdentityOf(shown)); }

MemberEntry* CEntryMap::Find(std::string_view shown) {
  return const_cast<MemberEntry*>(static_cast<const CEntryMap*>(this)->Find(shown));
}

const MemberEntry* CEntryMap::FindKey(std::string_view key) const { return Search(m_byKey, KeyIdentityOf(key)); }

MemberEntry* CEntryMap::FindKey(std::string_view key) {
  return const_cast<MemberEntry*>(static_cast<const CEntryMap*>(this)->FindKey(key));
}

MemberEntry& CEntryMap::Set(MemberEntry entry) {
  std::wstring identity = IdentityOf(entry.shown);
  const auto found = m_byName.find(identity);
  if (found != m_byName.end()) {
    Node& node = *found->second;
    std::wstring keyIdentity = KeyIdentityOf(entry.record.szName);
    if (keyIdentity != node.keyIdentity) {
      m_byKey.erase(node.keyIdentity);
      node.keyIdentity = std::move(keyIdentity);
      m_byKey[node.keyIdentity] = found->second;
    }
    node.entry = std::move(entry);
    return node.entry;
  }
  std::wstring keyIdentity = KeyIdentityOf(entry.record.szName);
  m_nodes.push_back(Node{std::move(entry), identity, keyIdentity, {}});
  const auto node = std::prev(m_nodes.end());
  node->self = node;
  m_byName.emplace(std::move(identity), node);
  m_byKey[std::move(keyIdentity)] = node;
  return node->entry;
}

bool CEntryMap::Remove(std::string_view shown) {
  const auto found = m_byName.find(IdentityOf(shown));
  if (found == m_byName.end()) return false;
  const auto node = found->second;
  // Two names could share a key only through a checksum collision; the
  // index then names the later one, which must not lose its entry.
  const auto key = m_byKey.find(node->keyIdentity);
  if (key != m_byKey.end() && key->second == node) m_byKey.erase(key);
  m_byName.erase(found);
  m_nodes.erase(node);
  return true;
}

CEntryMap::Position CEntryMap::First() const { return m_nodes.empty() ? nullptr : &m_nodes.front(); }

CEntryMap::Position CEntryMap::Next(Position position) const {
  if (position == nullptr) return First();
  auto next = std::next(NodeList::const_iterator(position->self));
  return next == m_nodes.end() ? nullptr : &*next;
}

const MemberEntry& CEntryMap::At(Position position) { return position->entry; }
