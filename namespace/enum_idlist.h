// The shell's enumerator of a folder's sub-folders, over a snapshot taken
// when it was made: later refreshes do not change what it yields.
#pragma once

#include <shlobj.h>

#include <vector>

#include "com_object.h"
#include "item_id.h"

class CZipEnumIDList final : public ComObject, public IEnumIDList {
 public:
  // Returns the new enumerator with one reference for the caller.
  static IEnumIDList* Create(std::vector<ZIPENTRY> entries, ULONG current = 0);
  DECLARE_COM_OBJECT()

  STDMETHODIMP Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumIDList** out) override;

 protected:
  const InterfaceEntry* Interfaces() const override;

 private:
  CZipEnumIDList(std::vector<ZIPENTRY> entries, ULONG current)
      : m_arrEntries(std::move(entries)), m_nCurrent(current) {}

  std::vector<ZIPENTRY> m_arrEntries;
  ULONG m_nCurrent;
};
