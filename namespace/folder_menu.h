// The verbs of one context menu over a folder: the zip file's own menu when
// the root serves a right-clicked file, the menu of members or of the folder
// itself inside a browsed archive.  Every menu object keeps one of these, so
// menus open at the same time never share their verbs.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CZipFolder;

class FolderMenu {
 public:
  // The IContextMenu methods' bodies, each guarded: selection names the
  // folder's members the menu acts on (none: the folder itself).
  HRESULT Query(CZipFolder& folder, HMENU menu, UINT index, UINT firstId, UINT flags);
  HRESULT Invoke(CZipFolder& folder, const std::vector<std::string>& selection,
                 const CMINVOKECOMMANDINFO* info) const;
  HRESULT CommandString(UINT_PTR command, UINT type, CHAR* name, UINT size) const;

 private:
  // Inserts a menu item with the next command offset and records its verb.
  void AddVerb(HMENU menu, UINT position, UINT firstId, const char* verb);
  // The verb recorded for a command offset; empty when none is.
  std::string VerbAt(UINT_PTR offset) const;

  // The last query's command offsets and their verbs.
  std::map<uint16_t, std::string> m_mapVerbs;
};
