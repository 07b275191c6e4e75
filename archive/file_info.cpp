#include "file_info.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <map>
#include <mutex>
#include <utility>

namespace {

// What the shell answers depends only on the extension and the attribute:
// the icon of the type, and whether the type's extension is hidden.  Asking
// once per type keeps a listing of many members fast.
struct TypeInfo {
  int icon;
  bool hidesExtension;
};

TypeInfo QueryType(const std::string& extension, bool isFolder) {
  const std::string sample = "x" + extension;
  SHFILEINFOA info{};
  const DWORD attributes = isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  if (SHGetFileInfoA(sample.c_str(), attributes, &info, sizeof(info),
                     SHGFI_USEFILEATTRIBUTES | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX) == 0)
    return {0, false};
  const bool hides = !extension.empty() && lstrcmpiA(info.szDisplayName, "x") == 0;
  return {info.iIcon, hides};
}

std::string Lower(std::string text) {
  CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::mutex g_mutex;
std::map<std::pair<std::string, bool>, TypeInfo> g_cache;
std::pair<std::string, bool> g_lastKey;
TypeInfo g_lastType{};
unsigned g_generation = 1;
unsigned g_lastGeneration = 0;

}  // namespace

void ResetShellInfoCache() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_cache.clear();
  ++g_generation;
}

bool FillShellInfo(ZIPENTRY& record, const std::string& name, bool isFolder) {
  const char* extensionStart = PathFindExtensionA(name.c_str());
  const std::string extension = extensionStart;
  TypeInfo type;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto key = std::make_pair(Lower(extension), isFolder);
    // Members of one type tend to follow each other in a listing.
    if (g_generation == g_lastGeneration && key == g_lastKey) {
      type = g_lastType;
    } else {
      auto found = g_cache.find(key);
      if (found == g_cache.end()) found = g_cache.emplace(key, QueryType(extension, isFolder)).first;
      type = found->second;
      g_lastKey = std::move(key);
      g_lastType = type;
      g_lastGeneration = g_generation;
    }
  }
  record.iIcon = type.icon;
  const bool hidden = type.hidesExtension && extension.size() < name.size();
  SetName(record.szDisplayName, hidden ? name.substr(0, name.size() - extension.size()) : name);
  return hidden;
}
