// A rewrite replaces the archive's file by a new one: what the system keeps
// on the file besides its bytes must survive it, on a delete and on an add.
#if defined(_WIN32)
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <functional>

#include "testutil.h"

using namespace et;

namespace {

struct Scratch {
  TempDir d;
  std::string src = d / "src";
  std::string zip = d / "a.zip";
  Scratch() {
    writeFile(src + kSep + "a.txt", "alpha");
    writeFile(src + kSep + "b.txt", compressible(20000));
    writeFile(src + kSep + "c.txt", "gamma");
  }
};

// The two rewrites: a delete and an add that both replace the file.
std::vector<std::pair<const char*, std::function<int(Scratch&)>>> rewrites() {
  return {{"delete", [](Scratch& s) { return remove(s.zip, "\"a.txt\""); }},
          {"add", [](Scratch& s) { return addAll(s.zip, s.src, {"c.txt"}); }}};
}

}  // namespace

#if defined(_WIN32)

namespace {

std::wstring wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

FILETIME creationOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftCreationTime;
}

bool setCreation(const std::string& path, const FILETIME& t) {
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = SetFileTime(h, &t, nullptr, nullptr);
  CloseHandle(h);
  return ok;
}

bool sameTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// The access list as text, and whether it is protected from inheritance.
std::string daclOf(const std::string& path, bool& isProtected) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
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

// A private access list: only the owner (the test's user) may use the file.
bool makePrivate(const std::string& path) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;FA;;;OW)", SDDL_REVISION_1, &sd, nullptr))
    return false;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted);
  std::string target = path;
  const bool ok = SetNamedSecurityInfoA(target.data(), SE_FILE_OBJECT,
                                        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                        nullptr, dacl, nullptr) == ERROR_SUCCESS;
  LocalFree(sd);
  return ok;
}

// Whether `path` has a real alternate stream `name`, not a file whose name
// merely contains a colon.
bool hasStream(const std::string& path, const std::wstring& name) {
  WIN32_FIND_STREAM_DATA found;
  HANDLE search = FindFirstStreamW(wide(path).c_str(), FindStreamInfoStandard, &found, 0);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool seen = false;
  do seen = seen || std::wstring(found.cStreamName) == L":" + name + L":$DATA";
  while (FindNextStreamW(search, &found));
  FindClose(search);
  return seen;
}

}  // namespace

// Each property is checked where the system under test keeps it on the
// original file; the output says which ones it does.
TEST(KeptMetadata, ARewriteKeepsAttributesTimesAccessAndStreams) {
  const DWORD wanted = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  for (auto& [what, rewrite] : rewrites()) {
    Scratch s;
    ASSERT_EQ(addAll(s.zip, s.src, {"a.txt", "b.txt"}), 0);
    ASSERT_TRUE(SetFileAttributesA(s.zip.c_str(), wanted));
    const DWORD attrs = GetFileAttributesA(s.zip.c_str()) & wanted;
    const FILETIME created{0x12345600u, 0x01c00000u};  // 1999
    const bool timesKept = setCreation(s.zip, created) && sameTime(creationOf(s.zip), created);
    bool isPrivate = false;
    const std::string dacl = makePrivate(s.zip) ? daclOf(s.zip, isPrivate) : "";
    // Read back as set: protected, one entry (where the system stores it).
    const bool accessKept = isPrivate && std::count(dacl.begin(), dacl.end(), '(') == 1;
    const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\n";
    writeFile(s.zip + ":Zone.Identifier", mark);
    const bool streams = hasStream(s.zip, L"Zone.Identifier");
    std::printf("%s: attributes %lx of %lx, creation time %s, access list %s, alternate streams %s\n", what,
                static_cast<unsigned long>(attrs), static_cast<unsigned long>(wanted),
                timesKept ? "kept" : "not kept", accessKept ? "kept" : "not kept", streams ? "kept" : "not kept");

    ASSERT_EQ(rewrite(s), 0) << what;
    EXPECT_EQ(GetFileAttributesA(s.zip.c_str()) & (wanted | FILE_ATTRIBUTE_ARCHIVE), attrs | FILE_ATTRIBUTE_ARCHIVE)
        << what;
    if (timesKept) {
      EXPECT_TRUE(sameTime(creationOf(s.zip), created)) << what;
    }
    if (accessKept) {
      bool stillPrivate = false;
      EXPECT_EQ(daclOf(s.zip, stillPrivate), dacl) << what;
      EXPECT_TRUE(stillPrivate) << what;
    }
    if (streams) {
      EXPECT_TRUE(hasStream(s.zip, L"Zone.Identifier")) << what;
      EXPECT_EQ(readFile(s.zip + ":Zone.Identifier"), mark) << what;
    }
    EXPECT_EQ(names(s.zip).size(), std::string(what) == "delete" ? 1u : 3u) << what;
    SetFileAttributesA(s.zip.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

#else

TEST(KeptMetadata, ARewriteKeepsModeOwnerAndGroup) {
  for (auto& [what, rewrite] : rewrites()) {
    Scratch s;
    ASSERT_EQ(addAll(s.zip, s.src, {"a.txt", "b.txt"}), 0);
    // An owner and group a new file would not get: any, for root; else one
    // of this user's other groups, where there is one.
    uid_t owner = geteuid();
    gid_t group = getegid();
    if (owner == 0) {
      owner = 4321;
      group = 4321;
    } else {
      gid_t groups[64];
      const int count = getgroups(64, groups);
      for (int i = 0; i < count; ++i)
        if (groups[i] != getegid()) group = groups[i];
    }
    ASSERT_EQ(chown(s.zip.c_str(), owner, group), 0);
    ASSERT_EQ(chmod(s.zip.c_str(), 0640), 0);
    ASSERT_EQ(rewrite(s), 0) << what;
    struct stat st;
    ASSERT_EQ(stat(s.zip.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << what;
    EXPECT_EQ(st.st_uid, owner) << what;
    EXPECT_EQ(st.st_gid, group) << what;
  }
}

#endif
