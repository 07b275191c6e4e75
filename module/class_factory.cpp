#include "class_objects.h"

#include "com_object.h"
#include "file_handler.h"
#include "guard.h"
#include "zip_file.h"

namespace {

// One class object per request.  It counts as a live object, so the library
// stays loaded while a caller holds it; LockServer adds a module lock.
class CClassFactory final : public ComObject, public IClassFactory {
 public:
  CClassFactory(IUnknown* outer, ClassCreator creator) : ComObject(outer), m_creator(creator) {}
  DECLARE_COM_OBJECT()

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return ComGuard(E_FAIL, [&] { return m_creator(outer, iid, out); });
  }

  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      module_counts::LockModule();
    } else {
      module_counts::UnlockModule();
    }
    return S_OK;
  }

 protected:
  const InterfaceEntry* Interfaces() const override {
    static const InterfaceEntry table[] = {COM_INTERFACE_ENTRY(CClassFactory, IClassFactory), {nullptr, 0}};
    return table;
  }

 private:
  ClassCreator m_creator;
};

}  // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  ClassCreator creator = nullptr;
  if (IsEqualCLSID(clsid, CLSID_ZipFile)) {
    creator = &CreateZipFileObject;
  } else if (IsEqualCLSID(clsid, CLSID_FileHandler)) {
    creator = &CreateFileHandlerObject;
  } else {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return CreateComInstance<CClassFactory>(nullptr, iid, out, creator);
}
