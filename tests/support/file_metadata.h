// What Windows keeps on a file besides its bytes, set and read back by
// tests of rewrites: creation time, access list, alternate streams.  Each
// setter says whether this system keeps the property at all (Wine keeps
// none of the three), so a test checks only what it can see.
#pragma once

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <string>

namespace file_metadata {

inline FILETIME CreationOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftCreationTime;
}

inline bool SameTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// Sets the creation time; true when it reads back so.
inline bool SetCreation(const std::string& path, const FILETIME& t) {
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = SetFileTime(h, &t, nullptr, nullptr);
  CloseHandle(h);
  return ok && SameTime(CreationOf(path), t);
}

// The access list as text; isProtected tells whether it inherits nothing.
inline std::string DaclOf(const std::string& path, bool& isProtected) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  isProtected = false;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                            nullptr, &sd) != ERROR_SUCCESS)
    return "";
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(sd, &control, &revision);
  isProtected = (control & SE_DACL_PROTECTED) != 0;
  LPSTR text = nullptr;
  std::string out;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                           nullptr)) {
    out = text;
    LocalFree(text);
  }
  LocalFree(sd);
  return out;
}

// Gives the file a private access list (its owner only, nothing
// inherited); true when it reads back so.
inline bool MakePrivate(const std::string& path) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;FA;;;OW)", SDDL_REVISION_1, &sd, nullptr))
    return false;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted);
  std::string target = path;
  const bool set = SetNamedSecurityInfoA(target.data(), SE_FILE_OBJECT,
                                         DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                         nullptr, dacl, nullptr) == ERROR_SUCCESS;
  LocalFree(sd);
  bool isProtected = false;
  const std::string now = DaclOf(path, isProtected);
  return set && isProtected && std::count(now.begin(), now.end(), '(') == 1;
}

// Whether the file has a real alternate stream of this name, not a file
// whose name merely contains a colon.
inline bool HasStream(const std::string& path, const std::wstring& name) {
  const std::wstring wide(path.begin(), path.end());
  WIN32_FIND_STREAM_DATA found;
  HANDLE search = FindFirstStreamW(wide.c_str(), FindStreamInfoStandard, &found, 0);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool seen = false;
  do seen = seen || std::wstring(found.cStreamName) == L":" + name + L":$DATA";
  while (FindNextStreamW(search, &found));
  FindClose(search);
  return seen;
}

// Marks the file as downloaded; true when it now has the stream.
inline bool MarkDownloaded(const std::string& path, const std::string& mark) {
  HANDLE h = CreateFileA((path + ":Zone.Identifier").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(h, mark.data(), DWORD(mark.size()), &written, nullptr);
  CloseHandle(h);
  return HasStream(path, L"Zone.Identifier");
}

inline std::string StreamOf(const std::string& path, const std::string& stream) {
  HANDLE h = CreateFileA((path + ":" + stream).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return "";
  char buf[4096];
  DWORD got = 0;
  std::string out;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  CloseHandle(h);
  return out;
}

}  // namespace file_metadata
