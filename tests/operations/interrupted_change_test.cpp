// A change killed at any moment leaves the archive as it was or as it would
// have become, never damaged nor with replaced members missing, and the next
// change there leaves nothing of the dead one behind.
#include <gtest/gtest.h>

#include <windows.h>

#include "archive_state.h"
#include "engine_adaptor.h"
#include "handles.h"
#include "produced.h"
#include "profile.h"
#include "scoped_setting.h"
#include "slow_content.h"
#include "temp_dir.h"
#include "zip_exceptions.h"
#include "zip_maker.h"

namespace {

std::map<std::string, uint32_t> ListingOrNothing(const std::string& zip) {
  try {
    return Listing(zip);
  } catch (const CZipEngineException&) {
    return {};
  }
}

// Extracts every member, which checks every CRC.
int ExtractAll(const std::string& zip, const std::string& destination) {
  UNZIPCMD block;
  InitUnzipBlock(block, zip, nullptr);
  block.nFunction = ZE_UNZIP_EXTRACT;
  block.pszSpec = "*.*";
  block.pszDestDir = destination.c_str();
  zip_maker::ArchiveMutexLock lock(zip);
  return dunzip(&block);
}


std::string HelperPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory = path;
  return directory.substr(0, directory.rfind('\\') + 1) + "change_helper.exe";
}

// Temporary files and undo records of changes, in the archive's directory.
std::vector<std::string> Leftovers(const std::string& directory) {
  std::vector<std::string> found;
  WIN32_FIND_DATAA data;
  const UniqueFindHandle search(FindFirstFileA((directory + "\\*").c_str(), &data));
  if (!search) return found;
  do {
    const std::string name = data.cFileName;
    if (name.rfind("~mbx", 0) == 0 || name.find(".~mbxundo") != std::string::npos) found.push_back(name);
  } while (FindNextFileA(search.get(), &data));
  return found;
}

class InterruptedChange : public ::testing::Test {
 protected:
  void SetUp() override {
    content.Write("keep.txt", "keep");
    bigContent = SlowContent(24 << 20);
    big = source.Write("big.bin", bigContent);
    ASSERT_EQ(0, zip_maker::Add(small, content.path(), {"keep.txt"}));
    ASSERT_EQ(0, zip_maker::Add(large, source.path(), {"big.bin"}));
    ASSERT_EQ(0, zip_maker::Add(large, content.path(), {"keep.txt"}));
  }

  // Starts the helper on a fresh copy of original and kills it once it has
  // run `fraction` of a full run (a full run when negative, which also
  // measures it).  Returns what the archive then lists as; "partial" is the
  // old archive without the members the change replaces.
  enum Outcome { kOld, kNew, kPartial, kDamaged };
  Outcome RunOnce(const char* mode, const std::string& original, const std::string& argument, double fraction,
                  const std::map<std::string, uint32_t>& before, const std::map<std::string, uint32_t>& after) {
    if (!CopyFileA(original.c_str(), zip.c_str(), FALSE)) return kDamaged;
    const std::string eventName = "mbx-change-started-" + std::to_string(GetCurrentProcessId());
    const UniqueKernelHandle started(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
    std::string command =
        "\"" + HelperPath() + "\" " + mode + " \"" + zip + "\" \"" + argument + "\" " + eventName;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
      ADD_FAILURE() << "the helper did not start";
      return kDamaged;
    }
    const UniqueKernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
    const HANDLE either[] = {started.get(), process.hProcess};
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, either, FALSE, 60000)) << "the helper did not start";
    if (fraction < 0) {
      const DWORD start = GetTickCount();
      EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 300000));
      fullRun = GetTickCount() - start;
      DWORD code = 1;
      GetExitCodeProcess(process.hProcess, &code);
      EXPECT_EQ(0u, code) << mode << ": the change did not succeed";
    } else {
      if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(fraction * fullRun)) == WAIT_TIMEOUT &&
          TerminateProcess(process.hProcess, 9))
        ++kills;
      EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 30000));
    }
    // The listing is the next open: it puts back an interrupted grow.
    const auto listing = ListingOrNothing(zip);
    std::map<std::string, uint32_t> partial = before;
    for (const auto& [name, size] : before)
      if (after.count(name) && after.at(name) != size) partial.erase(name);
    const Outcome outcome = listing == before    ? kOld
                            : listing == after   ? kNew
                            : listing == partial ? kPartial
                                                 : kDamaged;
    EXPECT_TRUE(outcome == kOld || outcome == kNew)
        << mode << " at " << fraction << ": " << listing.size() << " members" << (outcome == kPartial ? ", partly replaced" : "");
    TempDir extracted;
    EXPECT_EQ(0, ExtractAll(zip, extracted.path())) << mode << " at " << fraction;
    if (outcome == kNew && after.count("big.bin")) {
      EXPECT_TRUE(ReadAll(extracted / "big.bin") == bigContent);
    }
    KeepProduced(zip, std::string("killed-") + mode + "-" + std::to_string(++runs));
    return outcome;
  }

  // One full run, then kills from the first moment to the last.
  void KillAtManyMoments(const char* mode, const std::string& original, const std::string& argument,
                         const std::map<std::string, uint32_t>& before, const std::map<std::string, uint32_t>& after) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(kNew, RunOnce(mode, original, argument, -1, before, after));
    int seen[4] = {0, 0, 0, 0};
    const int killsBefore = kills;
    // Evenly from the first moment to just before the end, and once after it.
    for (int step = 0; step <= kMoments; ++step) {
      const double fraction = step < kMoments ? 0.95 * step / (kMoments - 1) : 1.05;
      ++seen[RunOnce(mode, original, argument, fraction, before, after)];
    }
    // A quick change may end before the moment its kill was due, more so on
    // a loaded machine: more kills, spread over the run, until this kind has
    // its share.
    for (int extra = 0; kills - killsBefore < kKillsPerKind && extra < kMoments; ++extra)
      ++seen[RunOnce(mode, original, argument, 0.9 * extra / kMoments, before, after)];
    EXPECT_GE(seen[kOld], 1) << "no kill came before the archive was replaced";
    printf("%s: full run %lu ms, %d killed, %d old, %d new, %d partly replaced, %d damaged\n", mode, fullRun,
           kills - killsBefore, seen[kOld], seen[kNew], seen[kPartial], seen[kDamaged]);
    for (int outcome = 0; outcome < 4; ++outcome) total[outcome] += seen[outcome];
  }

  // Kills per kind of change: four kinds give over a hundred.
  static constexpr int kMoments = 30;
  static constexpr int kKillsPerKind = 25;

  TempDir content, source, archives;
  std::string small = archives / "small.zip", large = archives / "large.zip", zip = archives / "a.zip";
  std::string bigContent, big;
  DWORD fullRun = 0;
  int runs = 0;
  int kills = 0;
  int total[4] = {0, 0, 0, 0};
};

TEST_F(InterruptedChange, AKilledAddReplaceGrowOrDeleteLeavesTheOldArchiveOrTheNewOne) {
  // The archive a drop of big.bin replaces a member of.
  TempDir older;
  older.Write("big.bin", "an older big.bin");
  const std::string stale = archives / "stale.zip";
  ASSERT_EQ(0, zip_maker::Add(stale, content.path(), {"keep.txt"}));
  ASSERT_EQ(0, zip_maker::Add(stale, older.path(), {"big.bin"}));

  const auto withoutBig = Listing(small), withBig = Listing(large), withOldBig = Listing(stale);
  {
    ScopedSetting replace(settings::kGrowExisting, 0);
    KillAtManyMoments("add", small, big, withoutBig, withBig);
  }
  {
    ScopedSetting grow(settings::kGrowExisting, 1);
    KillAtManyMoments("grow", small, big, withoutBig, withBig);
    // Asked to grow, a replace still rewrites: the old member must survive a kill.
    KillAtManyMoments("replace", stale, big, withOldBig, withBig);
  }
  KillAtManyMoments("delete", large, "big.bin", withBig, withoutBig);
  printf("all: %d killed, %d old, %d new, %d partly replaced, %d damaged\n", kills, total[kOld], total[kNew],
         total[kPartial], total[kDamaged]);
  EXPECT_GE(kills, 100);
  EXPECT_EQ(0, total[kPartial]);
  EXPECT_EQ(0, total[kDamaged]);

  // The next change in the directory clears what the killed ones left.
  ASSERT_TRUE(CopyFileA(small.c_str(), zip.c_str(), FALSE));
  ASSERT_EQ(0, zip_maker::Add(zip, source.path(), {"big.bin"}));
  EXPECT_EQ(std::vector<std::string>{}, Leftovers(archives.path()));
}

}  // namespace
