#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include "class_objects.h"
#include "clipboard_support.h"

namespace {

template <typename T>
struct Released {
  T* p = nullptr;
  ~Released() {
    if (p != nullptr) p->Release();
  }
  void** out() { return reinterpret_cast<void**>(&p); }
};

// A minimal aggregating object: it keeps its own count and hands every other
// interface to the inner object.
class OuterUnknown : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return inner != nullptr ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  ULONG refs = 1;
  IUnknown* inner = nullptr;
};

// Unloading is asked with no marker on the clipboard, so only the object and
// lock counts decide.
class ClassObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_clipboard.Put(CF_TEXT, "unrelated"));
    ASSERT_EQ(S_OK, DllCanUnloadNow());
  }
  TestClipboard m_clipboard;
};

TEST_F(ClassObjectTest, OnlyOurTwoClassesHaveClassObjects) {
  const CLSID other = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObject(other, IID_IClassFactory, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(E_POINTER, DllGetClassObject(CLSID_FileHandler, IID_IClassFactory, nullptr));

  for (const CLSID* clsid : {&CLSID_ZipFile, &CLSID_FileHandler}) {
    Released<IClassFactory> factory;
    ASSERT_EQ(S_OK, DllGetClassObject(*clsid, IID_IClassFactory, factory.out()));
    EXPECT_EQ(S_FALSE, DllCanUnloadNow()) << "a held class object keeps the library";
    Released<IUnknown> unknown;
    EXPECT_EQ(S_OK, factory.p->QueryInterface(IID_IUnknown, unknown.out()));
    Released<IShellFolder> wrong;
    EXPECT_EQ(E_NOINTERFACE, factory.p->QueryInterface(IID_IShellFolder, wrong.out()));
    EXPECT_EQ(nullptr, wrong.p);
  }
  EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST_F(ClassObjectTest, TheFileHandlerWithoutASelectionAddsNoItemAndHoldsTheLibraryWhileItLives) {
  Released<IClassFactory> factory;
  ASSERT_EQ(S_OK, DllGetClassObject(CLSID_FileHandler, IID_IClassFactory, factory.out()));
  IContextMenu* menu = nullptr;
  ASSERT_EQ(S_OK, factory.p->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)));
  factory.p->Release();
  factory.p = nullptr;

  Released<IShellExtInit> init;
  ASSERT_EQ(S_OK, menu->QueryInterface(IID_IShellExtInit, init.out()));
  // No file list: nothing to offer.
  EXPECT_EQ(S_FALSE, init.p->Initialize(nullptr, nullptr, nullptr));
  const HMENU popup = CreatePopupMenu();
  const HRESULT added = menu->QueryContextMenu(popup, 0, 1, 100, CMF_NORMAL);
  EXPECT_TRUE(SUCCEEDED(added));
  EXPECT_EQ(1, HRESULT_CODE(added));
  EXPECT_EQ(0, GetMenuItemCount(popup));
  DestroyMenu(popup);
  init.p->Release();
  init.p = nullptr;

  EXPECT_EQ(S_FALSE, DllCanUnloadNow());
  menu->Release();
  EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST_F(ClassObjectTest, AnAggregatingCallerMustAskForIUnknown) {
  Released<IClassFactory> factory;
  ASSERT_EQ(S_OK, DllGetClassObject(CLSID_FileHandler, IID_IClassFactory, factory.out()));
  OuterUnknown outer;
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory.p->CreateInstance(&outer, IID_IContextMenu, &out));
  EXPECT_EQ(nullptr, out);

  ASSERT_EQ(S_OK, factory.p->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)));
  ASSERT_NE(nullptr, outer.inner);
  EXPECT_NE(static_cast<IUnknown*>(&outer), outer.inner);

  // Interfaces of the inner object count on the outer one and name it as
  // their identity.
  IShellExtInit* init = nullptr;
  ASSERT_EQ(S_OK, outer.QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
  EXPECT_EQ(2u, outer.refs);
  IUnknown* identity = nullptr;
  ASSERT_EQ(S_OK, init->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
  EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
  identity->Release();
  init->Release();
  EXPECT_EQ(1u, outer.refs);

  outer.inner->Release();
  outer.inner = nullptr;
  factory.p->Release();
  factory.p = nullptr;
  EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST_F(ClassObjectTest, LockServerHoldsTheLibraryAfterTheClassObjectIsGone) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(S_OK, DllGetClassObject(CLSID_ZipFile, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  factory->Release();
  EXPECT_EQ(S_FALSE, DllCanUnloadNow());
  ASSERT_EQ(S_OK, DllGetClassObject(CLSID_ZipFile, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  factory->Release();
  EXPECT_EQ(S_OK, DllCanUnloadNow());
}

}  // namespace
