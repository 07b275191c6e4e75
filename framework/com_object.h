// The base of every COM object of the library: one reference count for all of
// an object's interfaces, QueryInterface from a table, aggregation, and the
// module's object and lock counts that decide whether the library may unload.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <shlwapi.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace module_counts {
void LockModule();
void UnlockModule();
long Objects();
long Locks();
// True when no object lives and no lock is held.
bool CanUnload();
}  // namespace module_counts

// Keeps the module locked while it lives, for what holds the library loaded
// without being an object; a ComObject is counted already.
class ModuleLock {
 public:
  ModuleLock() { module_counts::LockModule(); }
  ~ModuleLock() { module_counts::UnlockModule(); }
  ModuleLock(const ModuleLock&) = delete;
  ModuleLock& operator=(const ModuleLock&) = delete;
};

// One row of an object's interface table, searched by the platform's
// QISearch; a null iid ends the table.
using InterfaceEntry = QITAB;

// The class answers IID_Interface with its Interface base.
#define COM_INTERFACE_ENTRY(Class, Interface) COM_INTERFACE_ENTRY_AS(Class, Interface, Interface)
// The class answers IID_Interface with its Base, which derives from Interface
// (IOleWindow through IShellView, IPersist through IPersistFolder).
#define COM_INTERFACE_ENTRY_AS(Class, Interface, Base) \
  InterfaceEntry { &IID_##Interface, static_cast<int>(OFFSETOFCLASS(Base, Class)) }

class ComObject {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  // The object's own IUnknown; what an aggregating outer object holds.
  IUnknown* InnerUnknown() { return &m_inner; }
  // The IUnknown that identifies the object: the outer one when aggregated.
  IUnknown* ControllingUnknown();

  HRESULT InternalQueryInterface(REFIID iid, void** out);
  // Hands a new object, which nobody holds yet, out as iid; an object that
  // does not answer iid is destroyed here.
  HRESULT QueryNewObject(REFIID iid, void** out);
  ULONG InternalAddRef();
  ULONG InternalRelease();
  // Adds a reference unless the count already reached zero (the object is
  // being destroyed); lets another thread hold on to an object it only knows.
  bool InternalTryAddRef();

 protected:
  // outer: the aggregating object, or null.
  explicit ComObject(IUnknown* outer = nullptr);
  virtual ~ComObject();

  // The interfaces the object answers, as offsets within the most derived
  // object; a null iid ends the table.
  virtual const InterfaceEntry* Interfaces() const = 0;
  // The most derived object's address, the origin of the table's offsets.
  virtual void* MostDerived() = 0;
  // Asked when the table has no entry: an aggregating object passes the
  // request on to the objects it aggregates.
  virtual HRESULT QueryAggregates(REFIID, void**) { return E_NOINTERFACE; }

  HRESULT ExternalQueryInterface(REFIID iid, void** out);
  ULONG ExternalAddRef();
  ULONG ExternalRelease();

 private:
  class Inner final : public IUnknown {
   public:
    explicit Inner(ComObject& owner) : m_owner(owner) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return m_owner.InternalQueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return m_owner.InternalAddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_owner.InternalRelease(); }

   private:
    ComObject& m_owner;
  };

  Inner m_inner{*this};
  IUnknown* m_outer;
  std::atomic<ULONG> m_refs{0};
};

// Gives a class its IUnknown methods (delegating to the outer object when
// aggregated) and the origin of its interface table.
#define DECLARE_COM_OBJECT()                                                                       \
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return ExternalQueryInterface(iid, out); } \
  STDMETHODIMP_(ULONG) AddRef() override { return ExternalAddRef(); }                              \
  STDMETHODIMP_(ULONG) Release() override { return ExternalRelease(); }                            \
                                                                                                   \
 protected:                                                                                        \
  void* MostDerived() override { return this; }                                                    \
                                                                                                   \
 public:

// A creator for a ComObject-derived class T constructed as T(outer, args...).
// Aggregated, the caller receives the inner IUnknown; on its own, the asked
// interface.  A failed query frees the new object.
template <typename T, typename... Args>
HRESULT CreateComInstance(IUnknown* outer, REFIID iid, void** out, Args&&... args) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  return (new T(outer, std::forward<Args>(args)...))->QueryNewObject(iid, out);
}
