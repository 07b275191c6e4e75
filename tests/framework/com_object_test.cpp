#include <gtest/gtest.h>

#include <ocidl.h>
#include <oleidl.h>

#include "com_object.h"
#include "com_ptr.h"

namespace {

// An object with two interfaces, noting its own destruction.
class TwoFaces : public ComObject, public IPersist, public IOleWindow {
 public:
  explicit TwoFaces(bool* destroyed, IUnknown* outer = nullptr) : ComObject(outer), m_destroyed(destroyed) {}
  ~TwoFaces() override { *m_destroyed = true; }
  DECLARE_COM_OBJECT()

  STDMETHODIMP GetClassID(CLSID* id) override {
    *id = CLSID_NULL;
    return S_OK;
  }
  STDMETHODIMP GetWindow(HWND* window) override {
    *window = nullptr;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

 protected:
  const InterfaceEntry* Interfaces() const override {
    static const InterfaceEntry table[] = {COM_INTERFACE_ENTRY(TwoFaces, IPersist),
                                           COM_INTERFACE_ENTRY(TwoFaces, IOleWindow), {nullptr, 0}};
    return table;
  }

 private:
  bool* m_destroyed;
};

// An outer object that aggregates a TwoFaces and answers IPersist through it.
class Outer : public ComObject, public IOleInPlaceUIWindow {
 public:
  explicit Outer(bool* innerDestroyed) {
    m_inner = (new TwoFaces(innerDestroyed, ControllingUnknown()))->InnerUnknown();
    m_inner->AddRef();
  }
  ~Outer() override { m_inner->Release(); }
  DECLARE_COM_OBJECT()

  STDMETHODIMP GetWindow(HWND*) override { return E_NOTIMPL; }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP GetBorder(LPRECT) override { return E_NOTIMPL; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return E_NOTIMPL; }

 protected:
  const InterfaceEntry* Interfaces() const override {
    static const InterfaceEntry table[] = {COM_INTERFACE_ENTRY(Outer, IOleInPlaceUIWindow), {nullptr, 0}};
    return table;
  }
  HRESULT QueryAggregates(REFIID iid, void** out) override { return m_inner->QueryInterface(iid, out); }

 private:
  IUnknown* m_inner = nullptr;
};

TEST(ComObject, OneCountForAllInterfacesAndStableIdentity) {
  bool destroyed = false;
  const long objectsBefore = module_counts::Objects();
  auto* object = new TwoFaces(&destroyed);
  IPersist* persist = nullptr;
  ASSERT_EQ(S_OK, object->InternalQueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)));
  EXPECT_EQ(objectsBefore + 1, module_counts::Objects());
  EXPECT_FALSE(module_counts::CanUnload());

  IOleWindow* window = nullptr;
  ASSERT_EQ(S_OK, persist->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)));
  EXPECT_EQ(static_cast<IOleWindow*>(object), window);
  IUnknown* viaPersist = nullptr;
  IUnknown* viaWindow = nullptr;
  persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaPersist));
  window->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaWindow));
  EXPECT_EQ(viaPersist, viaWindow);

  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, persist->QueryInterface(IID_IDropTarget, &none));
  EXPECT_EQ(nullptr, none);

  EXPECT_EQ(5u, persist->AddRef());
  viaPersist->Release();
  viaWindow->Release();
  window->Release();
  persist->Release();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(0u, persist->Release());
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(objectsBefore, module_counts::Objects());
}

TEST(ComObject, AggregatedObjectDelegatesToItsOuter) {
  bool innerDestroyed = false;
  auto* outer = new Outer(&innerDestroyed);
  IOleInPlaceUIWindow* uiWindow = nullptr;
  ASSERT_EQ(S_OK, outer->QueryInterface(IID_IOleInPlaceUIWindow, reinterpret_cast<void**>(&uiWindow)));

  IPersist* persist = nullptr;
  ASSERT_EQ(S_OK, outer->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)));
  // The inner object's interfaces count on the outer object and answer for it.
  EXPECT_EQ(3u, persist->AddRef());
  persist->Release();
  IUnknown* identity = nullptr;
  IUnknown* outerIdentity = nullptr;
  persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
  uiWindow->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&outerIdentity));
  EXPECT_EQ(outerIdentity, identity);
  identity->Release();
  outerIdentity->Release();

  persist->Release();
  EXPECT_FALSE(innerDestroyed);
  uiWindow->Release();
  EXPECT_TRUE(innerDestroyed);
}

TEST(ComObject, AdoptedReferenceIsTheOnlyOne) {
  bool destroyed = false;
  auto* object = new TwoFaces(&destroyed);
  object->InternalAddRef();
  {
    const Microsoft::WRL::ComPtr<TwoFaces> held = AdoptRef(object);
    EXPECT_EQ(object, held.Get());
  }
  EXPECT_TRUE(destroyed) << "adopting added a reference nobody releases";
}

TEST(ModuleLock, HoldsTheLibraryWhileItLives) {
  ASSERT_TRUE(module_counts::CanUnload());
  {
    ModuleLock lock;
    EXPECT_FALSE(module_counts::CanUnload());
  }
  EXPECT_TRUE(module_counts::CanUnload());
}

}  // namespace
