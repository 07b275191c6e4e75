// A rewrite replaces the archive's file by a new one: what the system keeps
// on the file besides its bytes must survive it, on a delete and on an add.
#if defined(_WIN32)
#include "file_metadata.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

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

using namespace file_metadata;

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
    const bool timesKept = SetCreation(s.zip, created);
    const bool accessKept = MakePrivate(s.zip);
    bool isProtected = false;
    const std::string dacl = DaclOf(s.zip, isProtected);
    const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\n";
    const bool streams = MarkDownloaded(s.zip, mark);
    std::printf("%s: this system stores attributes %lx of %lx; creation times: %s; private access lists: %s; "
                "alternate streams: %s\n",
                what, static_cast<unsigned long>(attrs), static_cast<unsigned long>(wanted), timesKept ? "yes" : "no",
                accessKept ? "yes" : "no", streams ? "yes" : "no");

    ASSERT_EQ(rewrite(s), 0) << what;
    EXPECT_EQ(GetFileAttributesA(s.zip.c_str()) & (wanted | FILE_ATTRIBUTE_ARCHIVE), attrs | FILE_ATTRIBUTE_ARCHIVE)
        << what;
    if (timesKept) {
      EXPECT_TRUE(SameTime(CreationOf(s.zip), created)) << what;
    }
    if (accessKept) {
      bool stillPrivate = false;
      EXPECT_EQ(DaclOf(s.zip, stillPrivate), dacl) << what;
      EXPECT_TRUE(stillPrivate) << what;
    }
    if (streams) {
      EXPECT_EQ(StreamOf(s.zip, "Zone.Identifier"), mark) << what;
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
