// The folder's views live in the layer above (view/), which installs how one
// is made when the module starts.
#pragma once

#include <windows.h>

class CZipFolder;

using ViewCreator = HRESULT (*)(CZipFolder* folder, HWND owner, REFIID iid, void** out);
void InstallViewCreator(ViewCreator creator);
// A new view of folder; E_NOTIMPL while no creator is installed.
HRESULT CreateFolderView(CZipFolder* folder, HWND owner, REFIID iid, void** out);
