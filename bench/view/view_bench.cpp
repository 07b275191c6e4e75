// Time from CreateViewWindow to a filled list for an archive of 100,000
// members whose top folder holds 1,000 files (the rest in 99 folders of 1,000
// files each).  Reports the first view (which lists the archive), a second
// view of the same folder (listing already current), and the listing alone.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>

#include "fake_user_interaction.h"
#include "shell_host.h"
#include "synthetic_zip.h"
#include "temp_dir.h"
#include "zip_file.h"
#include "zip_view.h"

namespace {

// Empty stored members: f00000.txt.. at the top, then dNNN/fNNNNN.txt.
uint64_t WriteArchive(const std::string& path, int topFiles, int folders, int filesPerFolder) {
  using synthetic_zip::Put16;
  using synthetic_zip::Put32;
  using synthetic_zip::Put64;
  std::string local, central;
  const uint32_t dosTime = (12u << 11) | (30u << 5);
  const uint32_t dosDate = ((2024u - 1980u) << 9) | (5u << 5) | 17u;
  uint64_t count = 0;
  auto add = [&](const std::string& name) {
    const auto offset = static_cast<uint32_t>(local.size());
    for (std::string* part : {&local, &central}) {
      const bool isCentral = part == &central;
      Put32(*part, isCentral ? 0x02014b50 : 0x04034b50);
      if (isCentral) Put16(*part, 20);
      Put16(*part, 10);
      Put16(*part, 0);
      Put16(*part, 0);
      Put16(*part, dosTime);
      Put16(*part, dosDate);
      Put32(*part, 0);
      Put32(*part, 0);
      Put32(*part, 0);
      Put16(*part, static_cast<uint32_t>(name.size()));
      Put16(*part, 0);
      if (isCentral) {
        Put16(*part, 0);
        Put16(*part, 0);
        Put16(*part, 0);
        Put32(*part, 0x20);
        Put32(*part, offset);
      }
      *part += name;
    }
    ++count;
  };
  char name[40];
  for (int f = 0; f < topFiles; ++f) {
    snprintf(name, sizeof(name), "f%05d.txt", f);
    add(name);
  }
  for (int d = 0; d < folders; ++d) {
    for (int f = 0; f < filesPerFolder; ++f) {
      snprintf(name, sizeof(name), "d%03d/f%05d.txt", d, f);
      add(name);
    }
  }
  const uint64_t centralOffset = local.size();
  std::string tail;
  Put32(tail, 0x06064b50);
  Put64(tail, 44);
  Put16(tail, 45);
  Put16(tail, 45);
  Put32(tail, 0);
  Put32(tail, 0);
  Put64(tail, count);
  Put64(tail, count);
  Put64(tail, central.size());
  Put64(tail, centralOffset);
  Put32(tail, 0x07064b50);
  Put32(tail, 0);
  Put64(tail, centralOffset + central.size());
  Put32(tail, 1);
  Put32(tail, 0x06054b50);
  Put16(tail, 0);
  Put16(tail, 0);
  Put16(tail, 0xFFFF);
  Put16(tail, 0xFFFF);
  Put32(tail, static_cast<uint32_t>(central.size()));
  Put32(tail, static_cast<uint32_t>(centralOffset));
  Put16(tail, 0);
  FILE* out = fopen(path.c_str(), "wb");
  if (out == nullptr) return 0;
  fwrite(local.data(), 1, local.size(), out);
  fwrite(central.data(), 1, central.size(), out);
  fwrite(tail.data(), 1, tail.size(), out);
  fclose(out);
  return count;
}

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

}  // namespace

int main() {
  WithFakeUser quiet;
  OleInitialize(nullptr);
  TempDir dir;
  const std::string zip = dir / "bench.zip";
  const uint64_t members = WriteArchive(zip, 1000, 99, 1000);
  host::ShellHost* host = host::ShellHost::Create();
  CZipFile* root = CZipFile::Create();
  root->AddRef();
  const std::wstring wide(zip.begin(), zip.end());
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
  std::printf("archive: %llu members, top folder %d rows\n", static_cast<unsigned long long>(members), firstRows);
  std::printf("CreateViewWindow to filled list, archive listed on the way: %.3f s\n", listed);
  std::printf("CreateViewWindow to filled list, listing already current:   %.3f s (%d rows)\n", current, secondRows);
  std::printf("the archive's listing alone (RefreshListing):                 %.3f s\n", listingOnly);
  for (IShellView* view : {first, second}) {
    view->DestroyViewWindow();
    view->Release();
  }
  folder->Release();
  root->Release();
  host->Close();
  host->Release();
  OleUninitialize();
  return firstRows == 1099 && secondRows == 1099 ? 0 : 1;
}
