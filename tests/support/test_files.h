// Text and file helpers every Windows test program shares.
#pragma once

#include <windows.h>

#include <string>

// An ASCII text as a wide one, byte by byte.
inline std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// A UTF-8 text (any script) as a wide one.
inline std::wstring WideFromUtf8(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                      wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

// The whole file of a UTF-8 path (any script); empty when it cannot be read.
inline std::string ReadAll(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

// Whether a file or folder of this ANSI path is there.
inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
