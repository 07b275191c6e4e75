#include "strings.h"

#include <vector>

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
