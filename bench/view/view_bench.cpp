// Time from CreateViewWindow to a filled list for an archive of 100,000
// members whose top folder holds 1,000 files (the rest in 99 folders of 1,000
// files each), and, when its path is given as the argument, for an archive of
// 70,000 members written by Python's zipfile (bench/view/make_python_archive.py:
// 69 folders of 1,000 files and 1,000 files at the top).  Reports for each the
// first view (which lists the archive), a second view of the same folder
// (listing already current), and the listing alone.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>

#include "fake_user_interaction.h"
#include "shell_host.h"
#include "strings.h"
#include "synthetic_zip.h"
#include "temp_dir.h"
#include "zip_file.h"
#include "zip_view.h"

namespace {

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Creates a view of folder in the host's frame; returns the seconds that
// CreateViewWindow took and the rows it filled.
double TimeView(host::ShellHost* host, IShellFolder* folder, IShellView** view, int* rows) {
  folder->CreateViewObject(host->Frame(), IID_IShellView, reinterpret_cast<void**>(view));
  FOLDERSETTINGS settings{FVM_DETAILS, 0};
  RECT rect{0, 0, 800, 600};
  HWND window = nullptr;
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  const HRESULT hr = (*view)->CreateViewWindow(nullptr, &settings, host, &rect, &window);
  QueryPerformanceCounter(&end);
  *rows = SUCCEEDED(hr) ? static_cast<int>(SendMessageA(static_cast<CZipView*>(*view)->ListWindow(),
                                                         LVM_GETITEMCOUNT, 0, 0))
                        : -1;
  return Seconds(start, end);
}

// One archive: the listing alone, then a first and a second view of its top
// folder.  True when both views showed expectedRows rows.
bool RunCase(host::ShellHost* host, const char* name, const std::string& zip, int expectedRows) {
  CZipFile* root = CZipFile::Create();
  root->AddRef();
  const std::wstring wide = Utf8ToWide(zip);
  root->Load(wide.c_str(), 0);
  IShellFolder* folder = nullptr;
  root->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&folder));

  // The listing alone, on an archive object of its own.
  double listingOnly = 0;
  {
    CZipFile* other = CZipFile::Create();
    other->AddRef();
    other->Load(wide.c_str(), 0);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    other->RefreshListing();
    QueryPerformanceCounter(&end);
    listingOnly = Seconds(start, end);
    other->Release();
  }

  IShellView* first = nullptr;
  IShellView* second = nullptr;
  int firstRows = 0, secondRows = 0;
  const double listed = TimeView(host, folder, &first, &firstRows);
  const double current = TimeView(host, folder, &second, &secondRows);
  std::printf("%s: top folder %d rows\n", name, firstRows);
  std::printf("%s: CreateViewWindow to filled list, listing included: %.0f ms\n", name, listed * 1000);
  std::printf("%s: CreateViewWindow to filled list, listing already current: %.0f ms (%d rows)\n", name,
              current * 1000, secondRows);
  std::printf("%s: the archive's listing alone (RefreshListing): %.0f ms\n", name, listingOnly * 1000);
  for (IShellView* view : {first, second}) {
    view->DestroyViewWindow();
    view->Release();
  }
  folder->Release();
  root->Release();
  return firstRows == expectedRows && secondRows == expectedRows;
}

}  // namespace

int main(int argc, char** argv) {
  WithFakeUser quiet;
  OleInitialize(nullptr);
  TempDir dir;
  const std::string zip = dir / "bench.zip";
  const uint64_t members = synthetic_zip::Write(zip, 99, 1000, 1000);
  host::ShellHost* host = host::ShellHost::Create();
  const std::string synthetic = "synthetic, " + std::to_string(members) + " members";
  bool ok = RunCase(host, synthetic.c_str(), zip, 1099);
  if (argc > 1) ok = RunCase(host, "python zipfile, 70000 members", argv[1], 1069) && ok;
  host->Close();
  host->Release();
  OleUninitialize();
  return ok ? 0 : 1;
}
