// The library's two COM classes, their creators and the class objects that
// hand them to COM.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <utility>

// Internal linkage on purpose: every translation unit has its own copy, so
// these never clash with another definition of the same identifier.
// {3D91E7B2-6A40-4C8F-B512-E07A9C4D2F18}: the archive root, class name "ZipFile".
constexpr CLSID CLSID_ZipFile = {0x3D91E7B2, 0x6A40, 0x4C8F, {0xB5, 0x12, 0xE0, 0x7A, 0x9C, 0x4D, 0x2F, 0x18}};
// {6F2C9A41-3B7D-4E15-9C2A-5D8E1F047B36}: the file context-menu handler, "ZipFileHandler".
constexpr CLSID CLSID_FileHandler = {0x6F2C9A41, 0x3B7D, 0x4E15, {0x9C, 0x2A, 0x5D, 0x8E, 0x1F, 0x04, 0x7B, 0x36}};

inline constexpr char kZipFileClsidText[] = "{3D91E7B2-6A40-4C8F-B512-E07A9C4D2F18}";
inline constexpr char kFileHandlerClsidText[] = "{6F2C9A41-3B7D-4E15-9C2A-5D8E1F047B36}";
inline constexpr char kZipFileProgId[] = "ZipFile";
inline constexpr char kFileHandlerProgId[] = "ZipFileHandler";

// Creates one object of a class: outer is the aggregating object or null (an
// aggregating caller must ask for IID_IUnknown).
using ClassCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);
HRESULT CreateZipFileObject(IUnknown* outer, REFIID iid, void** out);
HRESULT CreateFileHandlerObject(IUnknown* outer, REFIID iid, void** out);

// The class object for clsid; CLASS_E_CLASSNOTAVAILABLE for a class that is
// not ours.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);

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
