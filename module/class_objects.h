// The class objects that hand the library's two COM classes to COM.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "class_ids.h"

// Creates one object of a class: outer is the aggregating object or null (an
// aggregating caller must ask for IID_IUnknown).
using ClassCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

// The class object for clsid; CLASS_E_CLASSNOTAVAILABLE for a class that is
// not ours.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);
