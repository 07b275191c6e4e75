// Times the listing of a 100,000-member archive under Wine: the engine's
// count and next-member calls alone, and the whole refresh that also files
// every member into the folder tree.  Best of several runs, in milliseconds.
// Also the private bytes the tree holds per member.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "engine_adaptor.h"
#include "synthetic_zip.h"
#include "temp_dir.h"
#include "zip_file.h"
#include "zip_folder.h"

namespace {

template <typename Body>
double BestMs(int runs, Body body) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    body();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

// The process's private committed bytes.  Windows reports them twice; Wine
// fills only the page-file figure.
size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
  return std::max(counters.PrivateUsage, counters.PagefileUsage);
}

}  // namespace

int main() {
  TempDir dir;
  const std::string zip = dir / "listing-bench.zip";
  const uint64_t members = synthetic_zip::Write(zip, 100, 1000);
  const int runs = 3;

  const double engineMs = BestMs(runs, [&] {
    UNZIPCMD block;
    InitUnzipBlock(block, zip, nullptr);
    block.nFunction = ZE_UNZIP_COUNT;
    dunzip(&block);
    MEMBERINFO info;
    for (int32_t i = 0; i < block.nMemberCount; ++i) {
      UNZIPCMD next;
      InitUnzipBlock(next, zip, nullptr);
      next.nFunction = ZE_UNZIP_NEXT;
      next.pMemberInfo = &info;
      next.pListing = block.pListing;
      dunzip(&next);
      block.pListing = next.pListing;
    }
    block.nFunction = ZE_UNZIP_END;
    dunzip(&block);
  });

  const std::wstring wide(zip.begin(), zip.end());
  // Memory first, while the heap holds nothing freed by earlier runs.
  double bytesPerMember = 0;
  {
    CZipFile* root = CZipFile::Create();
    root->AddRef();
    root->Load(wide.c_str(), 0);
    const size_t before = PrivateBytes();
    root->RefreshListing();
    const size_t after = PrivateBytes();
    bytesPerMember = (static_cast<double>(after) - static_cast<double>(before)) / static_cast<double>(members);
    root->Release();
  }

  double releaseMs = 1e30;
  const double refreshMs = BestMs(runs, [&] {
    CZipFile* root = CZipFile::Create();
    root->AddRef();
    root->Load(wide.c_str(), 0);
    root->RefreshListing();
    releaseMs = std::min(releaseMs, BestMs(1, [&] { root->Release(); }));
  }) - releaseMs;

  printf("listing %llu members (100 folders x 1000 files), best of %d\n",
         static_cast<unsigned long long>(members), runs);
  printf("  engine count + next-member calls : %8.1f ms\n", engineMs);
  printf("  whole refresh into the folder tree: %8.1f ms\n", refreshMs);
  printf("  folder tree's share               : %8.1f ms\n", refreshMs - engineMs);
  printf("  releasing the whole tree          : %8.1f ms\n", releaseMs);
  printf("  private bytes per member in the tree: %6.0f\n", bytesPerMember);
  return 0;
}
