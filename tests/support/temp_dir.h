// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
#pragma once

#include <windows.h>

#include <string>

#include "test_files.h"

class TempDir {
 public:
  TempDir() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static LONG counter = 0;
    m_path = std::string(base) + "mbxtest-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(InterlockedIncrement(&counter)) + "-" + std::to_string(GetTickCount());
    CreateDirectoryA(m_path.c_str(), nullptr);
  }
  // A directory of this fixed name, emptied first: for a program whose
  // inputs spell out its paths and must be the same bytes in every run.
  explicit TempDir(const std::string& name) {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    m_path = std::string(base) + name;
    Remove(m_path);
    CreateDirectoryA(m_path.c_str(), nullptr);
  }
  ~TempDir() { Remove(m_path); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

  // Writes a file, creating its directories.
  std::string Write(const std::string& relative, const std::string& content) const {
    const std::string full = *this / relative;
    for (size_t i = m_path.size() + 1; i < full.size(); ++i)
      if (full[i] == '\\') CreateDirectoryA(full.substr(0, i).c_str(), nullptr);
    HANDLE file = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    return full;
  }

  // Removes the tree, also what tests made under names of any script or
  // deeper than MAX_PATH (the path is UTF-8).
  static void Remove(const std::string& path) {
    std::wstring wide = WideFromUtf8(path);
    if (wide.size() > 2 && wide[1] == L':') wide = L"\\\\?\\" + wide;
    RemoveWide(wide);
  }

 private:
  static void RemoveWide(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = path + L"\\" + name;
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveWide(child);
        else
          DeleteFileW(child.c_str());
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryW(path.c_str());
  }

  std::string m_path;
};
