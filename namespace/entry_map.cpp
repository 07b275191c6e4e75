#include "entry_map.h"

#include <shlwapi.h>

#include "member_key.h"
#include "strings.h"

std::string MemberEntry::Shown() const { return aside ? WithTag(name, NameTag(name)) : name; }

std::string MemberEntry::Display() const {
  std::string shown = Shown();
  const size_t dot = shown.rfind('.');
  if (hidesExtension && dot != std::string::npos && dot != 0) shown.resize(dot);
  return shown;
}

std::string MemberEntry::Key() const {
  if (!aside && IsPlainKey(name)) return name;
  return MemberKey(Shown());
}

ZIPENTRY MemberEntry::Record() const {
  ZIPENTRY record{};
  const std::string key = Key();
  SetName(record.szName, key);
  const std::string display = Display();
  if (IsPlainKey(display)) {
    SetName(record.szDisplayName, display);
  } else if (const auto exact = WideToAnsiExact(Utf8ToWide(display)); exact && exact->size() < 260) {
    SetName(record.szDisplayName, *exact);
  } else {
    // The key has the real name's extension: what is hidden on one is
    // hidden on the other.
    const char* extension = PathFindExtensionA(key.c_str());
    SetName(record.szDisplayName, hidesExtension ? key.substr(0, static_cast<size_t>(extension - key.c_str())) : key);
  }
  record.iIcon = icon;
  record.dwSize = size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size);
  record.dwCompressedSize = compressedSize > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(compressedSize);
  record.ftModified = modified;
  record.dwAttributes = attributes;
  record.dwListingStamp = stamp;
  record.pSubFolder = subFolder;
  return record;
}

namespace {

// The shown name without a copy where it is the real name.
class ShownName {
 public:
  explicit ShownName(const MemberEntry& entry) {
    if (entry.aside) m_tagged = entry.Shown();
    m_view = entry.aside ? std::string_view(m_tagged) : std::string_view(entry.name);
  }
  std::string_view View() const { return m_view; }

 private:
  std::string m_tagged;
  std::string_view m_view;
};

}  // namespace

const CEntryMap::Node* CEntryMap::Lookup(std::string_view shown, uint32_t hash) const {
  if (m_index.empty()) return nullptr;
  const size_t mask = m_index.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const uint32_t mark = m_index[i];
    if (mark == kEmpty) return nullptr;
    if (mark == kGone) continue;
    const Node& node = m_nodes[mark - 1];
    if (node.hash == hash && SameIdentity(ShownName(node.entry).View(), shown)) return &node;
  }
}

void CEntryMap::Rehash(size_t capacity) {
  std::vector<uint32_t> index(capacity, kEmpty);
  const size_t mask = capacity - 1;
  for (const Node& node : m_nodes) {
    if (!node.live) continue;
    size_t i = node.hash & mask;
    while (index[i] != kEmpty) i = (i + 1) & mask;
    index[i] = node.slot + 1;
  }
  m_index = std::move(index);
  m_indexUsed = m_count;
}

void CEntryMap::IndexInsert(uint32_t slot, uint32_t hash) {
  // At most three quarters full, gone marks included.
  if ((m_indexUsed + 1) * 4 > m_index.size() * 3) {
    size_t capacity = 16;
    while (capacity * 3 < (m_count + 1) * 8) capacity *= 2;  // live at most 3/8 after growing
    Rehash(capacity);
  }
  const size_t mask = m_index.size() - 1;
  size_t i = hash & mask;
  while (m_index[i] != kEmpty && m_index[i] != kGone) i = (i + 1) & mask;
  if (m_index[i] == kEmpty) ++m_indexUsed;
  m_index[i] = slot + 1;
}

void CEntryMap::IndexErase(uint32_t slot, uint32_t hash) {
  const size_t mask = m_index.size() - 1;
  for (size_t i = hash & mask; m_index[i] != kEmpty; i = (i + 1) & mask) {
    if (m_index[i] == slot + 1) {
      m_index[i] = kGone;
      return;
    }
  }
}

const MemberEntry* CEntryMap::Find(std::string_view shown) const {
  const Node* node = Lookup(shown, IdentityHash(shown));
  return node != nullptr ? &node->entry : nullptr;
}

MemberEntry* CEntryMap::Find(std::string_view shown) {
  return const_cast<MemberEntry*>(static_cast<const CEntryMap*>(this)->Find(shown));
}

const MemberEntry* CEntryMap::FindKey(std::string_view key) const {
  if (!m_oddKeys.empty()) {
    const auto odd = m_oddKeys.find(KeyIdentityOf(key));
    if (odd != m_oddKeys.end()) return &m_nodes[odd->second].entry;
  }
  // Any other key is its member's shown name, in the code page's spelling.
  const std::string shown = IsPlainKey(key) ? std::string(key) : WideToUtf8(AnsiToWide(key));
  const Node* node = Lookup(shown, IdentityHash(shown));
  return node != nullptr && !node->oddKey ? &node->entry : nullptr;
}

MemberEntry* CEntryMap::FindKey(std::string_view key) {
  return const_cast<MemberEntry*>(static_cast<const CEntryMap*>(this)->FindKey(key));
}

void CEntryMap::Forget(Node& node) {
  if (node.oddKey) {
    // Two names could share a key only through a checksum collision; the
    // index then names the later one, which must not lose its entry.
    const auto odd = m_oddKeys.find(KeyIdentityOf(node.entry.Key()));
    if (odd != m_oddKeys.end() && odd->second == node.slot) m_oddKeys.erase(odd);
  }
}

MemberEntry& CEntryMap::Set(MemberEntry entry) {
  const ShownName shownName(entry);
  const std::string_view shown = shownName.View();
  const uint32_t hash = IdentityHash(shown);
  Node* node = const_cast<Node*>(Lookup(shown, hash));
  if (node != nullptr) {
    Forget(*node);
  } else {
    uint32_t slot;
    if (!m_free.empty()) {
      slot = m_free.back();
      m_free.pop_back();
    } else {
      slot = static_cast<uint32_t>(m_nodes.size());
      m_nodes.emplace_back();
    }
    node = &m_nodes[slot];
    node->slot = slot;
    node->hash = hash;
    node->live = true;
    IndexInsert(slot, hash);
    ++m_count;
  }
  node->oddKey = !KeyIsOwnSpelling(shown);
  node->entry = std::move(entry);
  if (node->oddKey) m_oddKeys[KeyIdentityOf(node->entry.Key())] = node->slot;
  return node->entry;
}

void CEntryMap::RemoveAt(Position position) {
  Node& node = m_nodes[position->slot];
  Forget(node);
  IndexErase(node.slot, node.hash);
  node.entry = MemberEntry{};
  node.live = false;
  node.oddKey = false;
  m_free.push_back(node.slot);
  --m_count;
}

bool CEntryMap::Remove(std::string_view shown) {
  const Node* node = Lookup(shown, IdentityHash(shown));
  if (node == nullptr) return false;
  RemoveAt(node);
  return true;
}

CEntryMap::Position CEntryMap::First() const {
  for (const Node& node : m_nodes)
    if (node.live) return &node;
  return nullptr;
}

CEntryMap::Position CEntryMap::Next(Position position) const {
  if (position == nullptr) return First();
  for (size_t slot = position->slot + 1; slot < m_nodes.size(); ++slot)
    if (m_nodes[slot].live) return &m_nodes[slot];
  return nullptr;
}

const MemberEntry& CEntryMap::At(Position position) { return position->entry; }
