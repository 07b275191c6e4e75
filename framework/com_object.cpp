#include "com_object.h"

namespace {
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
}  // namespace

namespace module_counts {
void LockModule() { ++g_locks; }
void UnlockModule() { --g_locks; }
long Objects() { return g_objects.load(); }
long Locks() { return g_locks.load(); }
bool CanUnload() { return g_objects.load() == 0 && g_locks.load() == 0; }
}  // namespace module_counts

ComObject::ComObject(IUnknown* outer) : m_outer(outer) { ++g_objects; }

ComObject::~ComObject() { --g_objects; }

IUnknown* ComObject::ControllingUnknown() { return m_outer != nullptr ? m_outer : &m_inner; }

HRESULT ComObject::InternalQueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown)) {
    // The inner IUnknown: an aggregating object holds this one; an object on
    // its own answers with it too, so identity compares stay stable.
    *out = &m_inner;
    InternalAddRef();
    return S_OK;
  }
  // The table's interfaces count through the object's own AddRef, which
  // goes to the outer object when aggregated.
  if (SUCCEEDED(QISearch(MostDerived(), Interfaces(), iid, out))) return S_OK;
  *out = nullptr;
  return QueryAggregates(iid, out);
}

HRESULT ComObject::QueryNewObject(REFIID iid, void** out) {
  InternalAddRef();
  const HRESULT hr = InternalQueryInterface(iid, out);
  InternalRelease();
  return hr;
}

ULONG ComObject::InternalAddRef() { return ++m_refs; }

ULONG ComObject::InternalRelease() {
  const ULONG remaining = --m_refs;
  if (remaining == 0) delete this;
  return remaining;
}

bool ComObject::InternalTryAddRef() {
  ULONG count = m_refs.load();
  while (count != 0) {
    if (m_refs.compare_exchange_weak(count, count + 1)) return true;
  }
  return false;
}

HRESULT ComObject::ExternalQueryInterface(REFIID iid, void** out) {
  if (m_outer != nullptr) return m_outer->QueryInterface(iid, out);
  return InternalQueryInterface(iid, out);
}

ULONG ComObject::ExternalAddRef() { return m_outer != nullptr ? m_outer->AddRef() : InternalAddRef(); }

ULONG ComObject::ExternalRelease() { return m_outer != nullptr ? m_outer->Release() : InternalRelease(); }
