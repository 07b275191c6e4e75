// A failed run tells the system's own reason beside the engine's result, and
// only when the system was the cause.
#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#endif

#include "testutil.h"

using namespace et;

namespace {

#if defined(_WIN32)
constexpr uint32_t kPathNotFound = ERROR_PATH_NOT_FOUND;
constexpr uint32_t kNotADirectory = ERROR_DIRECTORY;
#else
constexpr uint32_t kPathNotFound = ENOENT;
constexpr uint32_t kNotADirectory = ENOTDIR;
#endif

// An extraction block as the system fills it; kept so its result fields can
// be read after the run.
struct ExtractRequest {
  UNZIPCMD cmd{};
  RenameContext ctx;
  QueryLog query;
  std::string zip, members, dest;
  ExtractRequest(std::string zipPath, std::string destDir)
      : ctx{"", destDir + kSep}, zip(std::move(zipPath)), members("*.*"), dest(std::move(destDir)) {
    cmd.cbSize = sizeof cmd;
    cmd.nFunction = ZE_UNZIP_EXTRACT;
    cmd.nSpanDisk = -1;
    cmd.bRecurse = 1;
    cmd.pfnRename = extractRename;
    cmd.pRenameContext = &ctx;
    cmd.pfnQuery = recordQuery;
    cmd.pQueryUser = &query;
  }
  int run() {
    cmd.pszZipFile = zip.c_str();
    cmd.pszSpec = members.c_str();
    cmd.pszDestDir = dest.c_str();
    return dunzip(&cmd);
  }
};

struct Scratch {
  TempDir d;
  std::string src = d / "src";
  std::string zip = d / "a.zip";
  Scratch() { writeFile(src + kSep + "a.txt", "alpha"); }
};

TEST(SystemError, AnArchiveInAMissingDirectoryNamesThePath) {
  Scratch s;
  // The replacement is written in the work directory and cannot be moved
  // where the archive should be.
  AddRequest viaWorkDir(s.d / "no/such/a.zip", s.src);
  viaWorkDir.items = spec({s.src + kSep + "a.txt"});
  EXPECT_EQ(viaWorkDir.run(), ZE_ZIP_WRITE);
  EXPECT_EQ(viaWorkDir.cmd.dwSystemError, kPathNotFound);

  // Without a work directory the temporary file itself cannot be made.
  AddRequest direct(s.d / "no/such/a.zip", s.src);
  direct.items = spec({s.src + kSep + "a.txt"});
  direct.cmd.bUseWorkDir = 0;
  EXPECT_EQ(direct.run(), ZE_TEMP_WRITE);
  EXPECT_EQ(direct.cmd.dwSystemError, kPathNotFound);
}

TEST(SystemError, AFileWhereTheDestinationGoesIsNamed) {
  Scratch s;
  ASSERT_EQ(addAll(s.zip, s.src, {"a.txt"}), ZE_OK);
  writeFile(s.d / "blocker", "a file, not a directory");
  ExtractRequest request(s.zip, s.d / "blocker/out");
  EXPECT_EQ(request.run(), ZE_FILE_WRITE);
  EXPECT_EQ(request.cmd.dwSystemError, kNotADirectory);
}

TEST(SystemError, OnlyTheSystemsFailuresCarryOne) {
  Scratch s;
  ASSERT_EQ(addAll(s.zip, s.src, {"a.txt"}), ZE_OK);
  // A failed run first, so a reason left over from it would show below.
  ExtractRequest failed(s.zip, s.d / "a.zip/out");
  ASSERT_NE(failed.run(), ZE_OK);
  ASSERT_NE(failed.cmd.dwSystemError, 0u);

  // Damaged data is the archive's fault, not the system's.
  writeFile(s.d / "bad.zip", std::string(200, 'x'));
  UNZIPCMD count{};
  count.cbSize = sizeof count;
  count.nFunction = ZE_UNZIP_COUNT;
  const std::string bad = s.d / "bad.zip";
  count.pszZipFile = bad.c_str();
  count.dwSystemError = 12345;
  EXPECT_EQ(dunzip(&count), ZE_DAMAGED);
  EXPECT_EQ(count.dwSystemError, 0u);

  // A run that succeeds clears whatever the block came with.
  ExtractRequest fine(s.zip, s.d / "out");
  fine.cmd.dwSystemError = 12345;
  EXPECT_EQ(fine.run(), ZE_OK);
  EXPECT_EQ(fine.cmd.dwSystemError, 0u);
  EXPECT_EQ(readFile(s.d / "out/a.txt"), "alpha");
}

}  // namespace
