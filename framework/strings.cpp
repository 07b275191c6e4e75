#include "strings.h"

#include <climits>
#include <stdexcept>

#include "resource.h"

const char kApplicationName[] = "Marrowbox";

HINSTANCE ResourceInstance() {
  static const HINSTANCE instance = [] {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ResourceInstance), &module);
    return module;
  }();
  return instance;
}

std::string LoadStr(UINT id) {
  // A zero buffer size gives a pointer to the entry itself, which is not
  // terminated; entries are at most 4097 characters long.
  const WCHAR* text = nullptr;
  const int length = LoadStringW(ResourceInstance(), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return {};
  return WideToUtf8(std::wstring_view(text, static_cast<size_t>(length)));
}

std::string FormatInts(const std::string& format, std::initializer_list<long> values) {
  std::string out;
  auto next = values.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (format[i + 1] == 'd' && next != values.end()) {
        out += std::to_string(*next++);
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

std::string FormatInts(UINT formatId, std::initializer_list<long> values) {
  return FormatInts(LoadStr(formatId), values);
}

std::string FormatStrings(const std::string& format, std::initializer_list<std::string> values) {
  std::string out;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] >= '1' && format[i + 1] <= '9') {
      const size_t index = static_cast<size_t>(format[i + 1] - '1');
      if (index < values.size()) {
        out += *(values.begin() + index);
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

std::string FormatStrings(UINT formatId, std::initializer_list<std::string> values) {
  return FormatStrings(LoadStr(formatId), values);
}

void CopyText(const std::string& text, bool wide, char* buffer, unsigned size) {
  if (buffer == nullptr || size == 0) return;
  const std::wstring wideText = Utf8ToWide(text);
  if (wide) {
    lstrcpynW(reinterpret_cast<WCHAR*>(buffer), wideText.c_str(), static_cast<int>(size));
    return;
  }
  // Only for callers that still ask for the code page: what it cannot
  // spell shows as its best fit, since this text only labels.
  buffer[0] = '\0';
  if (wideText.empty()) return;
  std::string ansi(wideText.size() * 4 + 1, '\0');
  const int written = WideCharToMultiByte(CP_ACP, 0, wideText.c_str(), -1, ansi.data(), static_cast<int>(ansi.size()),
                                          nullptr, nullptr);
  if (written > 0) lstrcpynA(buffer, ansi.c_str(), static_cast<int>(size));
}

namespace {

// Both conversions refuse what does not fit an int, the calls' count type.
bool FitsCall(size_t size) { return size <= static_cast<size_t>(INT_MAX / 4); }

std::wstring ToWide(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  if (!FitsCall(text.size())) throw std::length_error("text too long to convert");
  const int count = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(codePage, 0, text.data(), count, nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), count, wide.data(), size);
  return wide;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

std::wstring Utf8ToWide(std::string_view text) { return ToWide(CP_UTF8, text); }

std::wstring AnsiToWide(std::string_view text) { return ToWide(CP_ACP, text); }

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  if (!FitsCall(text.size())) throw std::length_error("text too long to convert");
  const int count = static_cast<int>(text.size());
  // Without the flag a lone surrogate would silently become U+FFFD, and a
  // path holding it would name another file.
  const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), count, nullptr, 0, nullptr, nullptr);
  if (size <= 0) throw CUnspellableNameException(text);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), count, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

std::wstring FileSystemPath(const std::string& utf8) {
  std::wstring path = Utf8ToWide(utf8);
  if (path.size() < kLongPathFrom) return path;
  // Already in a form the system takes as it is: long, device or NT paths.
  if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == L'?' || path[2] == L'.') &&
      IsSeparator(path[3]))
    return path;
  const bool drive = path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]) &&
                     ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  const bool unc = IsSeparator(path[0]) && IsSeparator(path[1]);
  if (!drive && !unc) return path;  // relative: the long form has no current directory
  // The long form is taken literally: the full-path rules ("/", ".", "..")
  // are applied first, as the plain form would have them applied.
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed != 0) {
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length != 0 && length < needed) {
      full.resize(length);
      path = std::move(full);
    }
  }
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  if (path.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

CUnspellableNameException::CUnspellableNameException(std::wstring_view name) {
  // Only to show it: the lone half shows as the replacement character.
  std::string shown;
  if (!name.empty() && FitsCall(name.size())) {
    const int count = static_cast<int>(name.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, name.data(), count, nullptr, 0, nullptr, nullptr);
    if (size > 0) {
      shown.assign(static_cast<size_t>(size), '\0');
      WideCharToMultiByte(CP_UTF8, 0, name.data(), count, shown.data(), size, nullptr, nullptr);
    }
  }
  m_text = FormatStrings(IDS_NAME_UNUSABLE, {shown});
}
