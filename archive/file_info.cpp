#include "file_info.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace {

ShellType QueryType(const std::string& extension, bool isFolder) {
  const std::string sample = "x" + extension;
  SHFILEINFOA info{};
  const DWORD attributes = isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  if (SHGetFileInfoA(sample.c_str(), attributes, &info, sizeof(info),
                     SHGFI_USEFILEATTRIBUTES | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX) == 0)
    return {};
  const bool hides = !extension.empty() && lstrcmpiA(info.szDisplayName, "x") == 0;
  return {info.iIcon, hides};
}

std::string Lower(std::string text) {
  CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::mutex g_mutex;
std::map<std::pair<std::string, bool>, ShellType> g_cache;
// Members of one type tend to follow each other in a listing: the last
// answer is kept under the extension's own spelling.
std::string g_lastExtension;
bool g_lastIsFolder = false;
ShellType g_lastType;
unsigned g_generation = 1;
unsigned g_lastGeneration = 0;

}  // namespace

void ResetShellInfoCache() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_cache.clear();
  ++g_generation;
}

ShellType ShellTypeOf(const char* name, bool isFolder) {
  const char* extension = PathFindExtensionA(name);
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_generation == g_lastGeneration && isFolder == g_lastIsFolder && g_lastExtension == extension)
    return g_lastType;
  auto key = std::make_pair(Lower(extension), isFolder);
  auto found = g_cache.find(key);
  if (found == g_cache.end()) found = g_cache.emplace(key, QueryType(extension, isFolder)).first;
  g_lastExtension = extension;
  g_lastIsFolder = isFolder;
  g_lastType = found->second;
  g_lastGeneration = g_generation;
  return g_lastType;
}
