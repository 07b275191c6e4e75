// An add killed at any moment leaves the archive as it was or as it would
// have become, never damaged.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "archive_state.h"
#include "engine_adaptor.h"
#include "handles.h"
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

// Little of it compresses, so deflating it takes a while.
std::string LargeContent(size_t size) {
  std::string content(size, '\0');
  uint32_t state = 2463534242u;
  for (size_t i = 0; i < size; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    content[i] = (i / 4096) % 2 ? static_cast<char>(state) : "text "[i % 5];
  }
  return content;
}

std::string HelperPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory = path;
  return directory.substr(0, directory.rfind('\\') + 1) + "add_helper.exe";
}

TEST(InterruptedAdd, AKilledAddLeavesTheOldArchiveOrTheNewOne) {
  TempDir content, archives;
  content.Write("keep.txt", "keep");
  const std::string original = archives / "original.zip";
  ASSERT_EQ(0, zip_maker::Add(original, content.path(), {"keep.txt"}));
  const std::string bigContent = LargeContent(24 << 20);
  TempDir source;
  const std::string big = source.Write("big.bin", bigContent);
  const auto oldListing = Listing(original);
  auto newListing = oldListing;
  newListing["big.bin"] = static_cast<uint32_t>(bigContent.size());

  const char* binaryDir = getenv("MBX_BINARY_DIR");
  ASSERT_NE(nullptr, binaryDir);
  const std::string produced = std::string("Z:") + binaryDir + "/tests/operations/produced";
  CreateDirectoryA(produced.c_str(), nullptr);

  const std::string zip = archives / "a.zip";
  // One run to the end tells how long an add takes here; the kills then
  // fall from its first moment to its last.
  int oldSeen = 0, newSeen = 0;
  DWORD fullRun = 0;
  const double moments[] = {-1, 0, 0.1, 0.3, 0.5, 0.7, 0.85, 0.97};
  for (size_t i = 0; i < std::size(moments); ++i) {
    SCOPED_TRACE("moment " + std::to_string(moments[i]));
    ASSERT_TRUE(CopyFileA(original.c_str(), zip.c_str(), FALSE));
    const std::string eventName = "mbx-add-started-" + std::to_string(GetCurrentProcessId());
    const UniqueKernelHandle started(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
    std::string command = "\"" + HelperPath() + "\" \"" + zip + "\" \"" + big + "\" " + eventName;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    const UniqueKernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
    const HANDLE either[] = {started.get(), process.hProcess};
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, either, FALSE, 60000)) << "the helper did not start";
    if (moments[i] < 0) {
      const DWORD start = GetTickCount();
      ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 300000));
      fullRun = GetTickCount() - start;
      DWORD code = 1;
      GetExitCodeProcess(process.hProcess, &code);
      ASSERT_EQ(0u, code) << "the add did not succeed";
    } else {
      const DWORD delay = static_cast<DWORD>(moments[i] * fullRun);
      if (WaitForSingleObject(process.hProcess, delay) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 9);
      ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 30000));
    }

    const auto listing = ListingOrNothing(zip);
    const bool isOld = listing == oldListing, isNew = listing == newListing;
    EXPECT_TRUE(isOld || isNew) << "the archive lists " << listing.size() << " members";
    oldSeen += isOld;
    newSeen += isNew;
    TempDir extracted;
    EXPECT_EQ(0, ExtractAll(zip, extracted.path()));
    if (isNew) {
      EXPECT_TRUE(ReadAll(extracted / "big.bin") == bigContent);
    }
    CopyFileA(zip.c_str(), (produced + "/killed-" + std::to_string(i) + ".zip").c_str(), FALSE);
  }
  EXPECT_GE(oldSeen, 1) << "no kill came before the archive was replaced";
  EXPECT_GE(newSeen, 1);
}

}  // namespace
