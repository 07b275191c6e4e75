// An archive root made the way the shell makes one: by class id from the
// registered DLL, initialised with the archive's identifier list.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "class_ids.h"

// The class registered for zip files.
inline constexpr CLSID kZipFile = CLSID_ZipFile;

// The browsed archive's top folder, or null; the caller releases it.
inline IShellFolder* BrowseRegistered(const std::string& zip) {
  IPersistFolder* persist = nullptr;
  EXPECT_EQ(S_OK, CoCreateInstance(kZipFile, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFolder,
                                   reinterpret_cast<void**>(&persist)));
  if (persist == nullptr) return nullptr;
  PIDLIST_ABSOLUTE pidl = nullptr;
  const std::wstring wide(zip.begin(), zip.end());
  EXPECT_EQ(S_OK, SHParseDisplayName(wide.c_str(), nullptr, &pidl, 0, nullptr));
  EXPECT_EQ(S_OK, persist->Initialize(pidl));
  CoTaskMemFree(pidl);
  IShellFolder* folder = nullptr;
  EXPECT_EQ(S_OK, persist->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&folder)));
  persist->Release();
  return folder;
}
