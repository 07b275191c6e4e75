// Taking a 100 MB folder of 2,000 files out of an archive: the data
// object's first GetData and "Unzip to new folder", each against the engine
// alone extracting the same members, in the same run.  Prints the median of
// each over the runs and the two ratios.  Usage: take_out_bench [runs]
#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app.h"
#include "fake_user_interaction.h"
#include "member_list.h"
#include "temp_dir.h"
#include "timing.h"
#include "tree_support.h"
#include "workspace.h"
#include "zip_maker.h"
#include "zip_request.h"

namespace {

// 2,000 files of 50 KB each: text that deflates about as documents do.
void WriteSource(const TempDir& dir) {
  std::string block;
  unsigned seed = 12345;
  for (int i = 0; i < 50 * 1024; ++i) {
    seed = seed * 1103515245u + 12345u;
    block += "abcdefghijklmnopqrstuvwxyz  \n"[(seed >> 16) % 29];
  }
  for (int i = 0; i < 2000; ++i) {
    block[0] = static_cast<char>('A' + i % 26);
    dir.Write("big\\f" + std::to_string(i) + ".txt", block);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
  WithFakeUser quiet;
  OleInitialize(nullptr);
  TheApp();
  TempDir source, archives;
  WriteSource(source);
  const std::string zip = archives / "bench.zip";
  if (zip_maker::Add(zip, source.path(), {"big"}, 1) != 0) {
    fprintf(stderr, "could not make the archive\n");
    return 1;
  }
  RootHolder holder;
  const std::wstring wide(zip.begin(), zip.end());
  holder.root()->Load(wide.c_str(), 0);
  holder.root()->RefreshListing();
  CZipFolder* top = holder.top();

  std::vector<double> engine, getData, unzip, request;
  MemberList bigFolder;
  bigFolder.AddFolderTree("big");
  for (int run = 0; run < runs; ++run) {
    {
      // The same extraction as one request under the progress dialog.
      ScopedWorkspace out;
      ZIPREQUEST extract;
      extract.nOperation = kRequestExtract;
      extract.strSpec = bigFolder.Text();
      extract.strBaseDir = out.Path() + "\\";
      request.push_back(Time([&] {
        CriticalSectionLock lock(holder.root()->RootLock());
        NamedMutexLock mutex(holder.root()->ArchiveMutex());
        holder.root()->RunRequest(extract, nullptr);
      }));
    }
    {
      ScopedWorkspace out;
      engine.push_back(Time([&] { UnzipExtract(zip, bigFolder.Text(), "", out.Path() + "\\", nullptr); }));
    }
    {
      IDataObject* data = top->CreateDragData({"big"}, nullptr, nullptr);
      FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
      STGMEDIUM medium{};
      getData.push_back(Time([&] { data->GetData(&format, &medium); }));
      ReleaseStgMedium(&medium);
      data->Release();
      for (const PENDINGWORKSPACE& pending : TheApp().PendingWorkspaces()) DeleteTree(pending.path);
    }
    {
      unzip.push_back(Time([&] { top->UnzipToNewFolder(nullptr); }));
      DeleteTree(archives / "bench");
    }
  }
  const double e = Median(engine), g = Median(getData), u = Median(unzip);
  printf("runs %d, 2000 files, 100 MB\n", runs);
  printf("engine alone   %.3f s\n", e);
  printf("one request    %.3f s  ratio %.2f\n", Median(request), Median(request) / e);
  printf("GetData        %.3f s  ratio %.2f\n", g, g / e);
  printf("Unzip to new   %.3f s  ratio %.2f\n", u, u / e);
  printf("failures reported: %zu\n", quiet.user.boxes.size());
  OleUninitialize();
  return quiet.user.boxes.empty() ? 0 : 1;
}
