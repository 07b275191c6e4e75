#include "strings.h"

#include <climits>
#include <vector>

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
  // String-table entries are at most 4097 characters long.
  std::vector<char> buffer(4100);
  const int length = LoadStringA(ResourceInstance(), id, buffer.data(), static_cast<int>(buffer.size()));
  return length > 0 ? std::string(buffer.data(), static_cast<size_t>(length)) : std::string();
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
  if (wide)
    lstrcpynW(reinterpret_cast<WCHAR*>(buffer), AnsiToWide(text).c_str(), static_cast<int>(size));
  else
    lstrcpynA(buffer, text.c_str(), static_cast<int>(size));
}

std::wstring AnsiToWide(const std::string& text) {
  const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(size > 0 ? size : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), size);
  wide.resize(wide.size() - 1);
  return wide;
}

std::optional<std::string> WideToAnsiExact(std::wstring_view text) {
  if (text.empty()) return std::string();
  if (text.size() > static_cast<size_t>(INT_MAX / 4)) return std::nullopt;
  const int count = static_cast<int>(text.size());
  // A UTF-8 code page spells everything, and refuses both the flag and the
  // used-default test.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* const usedDefaultOut = utf8 ? nullptr : &usedDefault;
  const int size = WideCharToMultiByte(CP_ACP, flags, text.data(), count, nullptr, 0, nullptr, usedDefaultOut);
  if (size <= 0 || usedDefault) return std::nullopt;
  std::string result(static_cast<size_t>(size), '\0');
  if (WideCharToMultiByte(CP_ACP, flags, text.data(), count, result.data(), size, nullptr, usedDefaultOut) != size ||
      usedDefault)
    return std::nullopt;
  // A text whose spelling holds a terminator would be cut short by every
  // call it is given to.
  if (result.find('\0') != std::string::npos && text.find(L'\0') == std::wstring_view::npos) return std::nullopt;
  return result;
}

CUnspellableNameException::CUnspellableNameException(std::wstring_view name) {
  // Only to show it: what has no spelling shows as "?".
  std::string shown;
  if (!name.empty() && name.size() < 32768) {
    const int count = static_cast<int>(name.size());
    const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = WideCharToMultiByte(CP_ACP, flags, name.data(), count, nullptr, 0, nullptr, nullptr);
    if (size > 0) {
      shown.assign(static_cast<size_t>(size), '\0');
      WideCharToMultiByte(CP_ACP, flags, name.data(), count, shown.data(), size, nullptr, nullptr);
    }
  }
  m_text = FormatStrings(IDS_NAME_NOT_IN_CODE_PAGE, {shown});
}

std::string WideToAnsiOrThrow(std::wstring_view text) {
  auto spelled = WideToAnsiExact(text);
  if (!spelled) throw CUnspellableNameException(text);
  return std::move(*spelled);
}

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty()) return {};
  const int count = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), count, nullptr, 0);
  std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), count, wide.data(), size);
  return wide;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int count = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), count, utf8.data(), size, nullptr, nullptr);
  return utf8;
}
