// Changing a 100 MB archive of 2,000 members: adding one 1 KB file and
// deleting one member through the folder object, against copying the
// archive once and syncing the copy, and against the engine alone making
// the same change, in the same run.  Prints the median of each over the runs
// and the ratios.  Usage: put_in_bench [runs]
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app.h"
#include "fake_user_interaction.h"
#include "handles.h"
#include "temp_dir.h"
#include "timing.h"
#include "tree_support.h"
#include "workspace.h"
#include "zip_maker.h"
#include "zip_request.h"

namespace {

// 2,000 files of 50 KB that hardly deflate, so the archive is 100 MB.
void WriteSource(const TempDir& dir) {
  std::string block(50 * 1024, '\0');
  uint32_t state = 2463534242u;
  for (int i = 0; i < 2000; ++i) {
    for (char& c : block) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      c = static_cast<char>(state);
    }
    dir.Write("big\\f" + std::to_string(i) + ".bin", block);
  }
}

void CopyAndSync(const std::string& from, const std::string& to) {
  CopyFileA(from.c_str(), to.c_str(), FALSE);
  const UniqueFileHandle file(
      CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  FlushFileBuffers(file.get());
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
  WithFakeUser quiet;
  quiet.user.answer = IDYES;  // to the delete question
  OleInitialize(nullptr);
  TheApp();
  TempDir source, small, archives;
  WriteSource(source);
  small.Write("small.txt", std::string(1024, 's'));
  const std::string original = archives / "original.zip";
  if (zip_maker::Add(original, source.path(), {"big"}, 1) != 0) {
    fprintf(stderr, "could not make the archive\n");
    return 1;
  }
  const std::string zip = archives / "bench.zip";
  const std::string copy = archives / "copy.zip";
  CopyFileA(original.c_str(), zip.c_str(), FALSE);
  RootHolder holder;
  const std::wstring wide(zip.begin(), zip.end());
  holder.root()->Load(wide.c_str(), 0);
  holder.root()->RefreshListing();
  CZipFolder* top = holder.top();
  const UniqueGlobal drop(MakeDropFiles(small / "small.txt" + '\0'));

  // Where the folder object's time goes beyond the engine's: an empty
  // request's cost, the add as one request, and the listing that follows a
  // change.
  ZIPREQUEST request;
  request.nOperation = kRequestUpdate;
  request.strAddSpec = "\"" + small / "small.txt" + "\"";
  request.strBaseDir = small.path() + "\\";
  std::vector<double> copyTimes, engineAdd, engineDelete, add, remove, requestAlone, relist, emptyRequest;
  for (int run = 0; run < runs; ++run) {
    copyTimes.push_back(Time([&] { CopyAndSync(original, copy); }));
    DeleteFileA(copy.c_str());

    CopyFileA(original.c_str(), zip.c_str(), FALSE);
    engineAdd.push_back(Time([&] { zip_maker::Add(zip, small.path(), {"small.txt"}); }));
    CopyFileA(original.c_str(), zip.c_str(), FALSE);
    engineDelete.push_back(Time([&] { zip_maker::Delete(zip, "\"big\\f7.bin\""); }));

    {
      ZIPREQUEST nothing;
      nothing.nOperation = 99;
      emptyRequest.push_back(Time([&] { holder.root()->RunRequest(nothing, nullptr); }));
    }
    CopyFileA(original.c_str(), zip.c_str(), FALSE);
    relist.push_back(Time([&] { holder.root()->RefreshListing(); }));
    CopyFileA(original.c_str(), zip.c_str(), FALSE);
    requestAlone.push_back(Time([&] {
      CriticalSectionLock lock(holder.root()->RootLock());
      NamedMutexLock mutex(holder.root()->ArchiveMutex());
      holder.root()->RunRequest(request, nullptr);
    }));

    CopyFileA(original.c_str(), zip.c_str(), FALSE);
    holder.root()->RefreshListing();
    add.push_back(Time([&] { top->AddDroppedFiles(static_cast<HDROP>(drop.get()), nullptr); }));
    CopyFileA(original.c_str(), zip.c_str(), FALSE);
    holder.root()->RefreshListing();
    std::string path = "big\\";
    CZipFolder* big = top->FindFolder(path);
    remove.push_back(Time([&] { big->DeleteMembers({"f7.bin"}, nullptr); }));
  }
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExA(original.c_str(), GetFileExInfoStandard, &data);
  const double c = Median(copyTimes), ea = Median(engineAdd), ed = Median(engineDelete);
  const double a = Median(add), d = Median(remove);
  printf("runs %d, 2000 members, %.1f MB\n", runs, data.nFileSizeLow / 1048576.0);
  printf("copy + flush     %.3f s\n", c);
  printf("engine add 1 KB  %.3f s\n", ea);
  printf("engine delete    %.3f s\n", ed);
  printf("request alone    %.3f s\n", Median(requestAlone));
  printf("empty request    %.3f s\n", Median(emptyRequest));
  printf("list again       %.3f s\n", Median(relist));
  printf("add 1 KB         %.3f s  vs copy %.2f  vs engine %.2f\n", a, a / c, a / ea);
  printf("delete one       %.3f s  vs copy %.2f  vs engine %.2f\n", d, d / c, d / ed);
  size_t failures = 0;
  for (const auto& box : quiet.user.boxes) {
    if (box.type == MB_YESNO) continue;  // the delete question
    fprintf(stderr, "reported: %s\n", box.text.c_str());
    ++failures;
  }
  printf("failures reported: %zu\n", failures);
  OleUninitialize();
  return failures == 0 ? 0 : 1;
}
