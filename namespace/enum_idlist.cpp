#include "enum_idlist.h"

#include "guard.h"

IEnumIDList* CZipEnumIDList::Create(std::vector<ZIPENTRY> entries, ULONG current) {
  auto* enumerator = new CZipEnumIDList(std::move(entries), current);
  enumerator->InternalAddRef();
  return enumerator;
}

const InterfaceEntry* CZipEnumIDList::Interfaces() const {
  static const InterfaceEntry table[] = {COM_INTERFACE_ENTRY(CZipEnumIDList, IEnumIDList), {nullptr, 0}};
  return table;
}

STDMETHODIMP CZipEnumIDList::Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) {
  if (fetched != nullptr) *fetched = 0;
  if (items == nullptr) return E_POINTER;
  ULONG made = 0;
  const HRESULT hr = ComGuard(E_FAIL, [&] {
    while (made < count && m_nCurrent + made < m_arrEntries.size()) {
      items[made] = MakeItemId(m_arrEntries[m_nCurrent + made]);
      ++made;
    }
  });
  if (FAILED(hr)) {
    // The cursor stays where it was: the identifiers made so far are freed.
    for (ULONG i = 0; i < made; ++i) FreeItemId(items[i]);
    return hr;
  }
  m_nCurrent += made;
  if (fetched != nullptr) *fetched = made;
  return made > 0 ? S_OK : S_FALSE;
}

STDMETHODIMP CZipEnumIDList::Skip(ULONG count) {
  if (count > m_arrEntries.size() - m_nCurrent) return E_INVALIDARG;
  m_nCurrent += count;
  return S_OK;
}

STDMETHODIMP CZipEnumIDList::Reset() {
  m_nCurrent = 0;
  return S_OK;
}

STDMETHODIMP CZipEnumIDList::Clone(IEnumIDList** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return ComGuard(E_FAIL, [&] { *out = Create(m_arrEntries, m_nCurrent); });
}
