#include "help.h"

#include <mutex>
#include <string_view>
#include <vector>

#include "handles.h"
#include "resource.h"
#include "strings.h"
#include "user_interaction.h"
#include "workspace.h"
#include "zip_exceptions.h"

namespace {

std::mutex g_lock;
std::string g_path;

// The page as the library carries it.
std::string_view HelpPage() {
  HINSTANCE module = ResourceInstance();
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDR_HELP_PAGE), MAKEINTRESOURCEA(23));  // RT_HTML
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) throw CZipWinException(0, GetLastError());
  return {static_cast<const char*>(bytes), SizeofResource(module, found)};
}

// True when the file already holds exactly the page: it is then left as it
// is, so a browser still showing the last copy does not stand in the way.
bool HoldsPage(const std::string& path, std::string_view page) {
  UniqueFileHandle file(CreateFileW(FileSystemPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::vector<char> content(page.size() + 1);
  DWORD read = 0;
  if (!ReadFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr)) return false;
  return read == page.size() && std::string_view(content.data(), read) == page;
}

void WritePage(const std::string& path, std::string_view page) {
  if (HoldsPage(path, page)) return;
  UniqueFileHandle file(CreateFileW(FileSystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw CZipWinException(0, GetLastError());
  DWORD written = 0;
  if (!WriteFile(file.get(), page.data(), static_cast<DWORD>(page.size()), &written, nullptr) ||
      written != page.size())
    throw CZipWinException(0, GetLastError());
}

}  // namespace

std::string DefaultHelpFilePath() {
  // A user's temporary folder may be named in any script.
  WCHAR directory[MAX_PATH + 1] = L"";
  const DWORD length = GetTempPathW(MAX_PATH + 1, directory);
  if (length == 0 || length > MAX_PATH) return {};
  return WideToUtf8(directory) + "Marrowbox Help.htm";
}

void SetHelpFilePath(const std::string& path) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_path = path;
}

std::string HelpFilePath() {
  std::lock_guard<std::mutex> hold(g_lock);
  if (g_path.empty()) g_path = DefaultHelpFilePath();
  return g_path;
}

void ShowHelpTopics(HWND owner) {
  const std::string path = HelpFilePath();
  if (path.empty()) throw CZipWinException(0, ERROR_PATH_NOT_FOUND);
  WritePage(path, HelpPage());
  UserInteraction().Launch(owner, path, ParentOf(path));
}
