#include "view_support.h"

#include <ole2.h>

#include <algorithm>

#include "zip_file.h"
#include "zip_maker.h"
#include "test_files.h"

namespace view_test {


SYSTEMTIME LocalTime(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
  SYSTEMTIME time{};
  time.wYear = year;
  time.wMonth = month;
  time.wDay = day;
  time.wHour = hour;
  time.wMinute = minute;
  FILETIME file;
  SystemTimeToFileTime(&time, &file);
  FileTimeToSystemTime(&file, &time);  // fills in the day of the week
  return time;
}

void SetLocalWriteTime(const std::string& path, const SYSTEMTIME& local) {
  FILETIME localFile, utc;
  SystemTimeToFileTime(&local, &localFile);
  LocalFileTimeToFileTime(&localFile, &utc);
  HANDLE handle = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  SetFileTime(handle, nullptr, nullptr, &utc);
  CloseHandle(handle);
}

std::string TimeText(const SYSTEMTIME& local) {
  char date[100] = "", time[100] = "";
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, sizeof(date));
  GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &local, nullptr, time, sizeof(time));
  return std::string(date) + " " + time;
}

KnownArchive MakeKnownArchive(const TempDir& dir) {
  KnownArchive known;
  known.base = dir / "src";
  known.zip = dir / "known.zip";
  known.docs = LocalTime(2018, 5, 5, 5, 5);
  known.a = LocalTime(2020, 1, 1, 10, 0);
  known.empty = LocalTime(2019, 12, 31, 23, 58);
  known.big = LocalTime(2021, 6, 15, 8, 30);
  known.packed = LocalTime(2022, 2, 2, 12, 0);
  const std::string base = "src\\";
  SetLocalWriteTime(dir.Write(base + "a.txt", "x"), known.a);
  SetLocalWriteTime(dir.Write(base + "empty.dat", ""), known.empty);
  std::string big(3000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919u) >> 3);
  SetLocalWriteTime(dir.Write(base + "big.log", big), known.big);
  SetLocalWriteTime(dir.Write(base + "packed.txt", std::string(5000, 'x')), known.packed);
  dir.Write(base + "docs\\readme.txt", "read me");
  SetLocalWriteTime(known.base + "\\docs", known.docs);
  dir.Write(base + "img\\logo.bin", "logo");
  if (zip_maker::Add(known.zip, known.base, {"a.txt", "empty.dat", "big.log"}, 0) != 0 ||
      zip_maker::Add(known.zip, known.base, {"docs\\", "docs\\readme.txt", "img\\logo.bin", "packed.txt"}, 6) != 0)
    known.zip.clear();
  return known;
}

ScopedColumnSettings::ScopedColumnSettings(int showCompressedSize, int showRatio)
    : m_compressed(ReadSetting(settings::kShowComprSize)), m_ratio(ReadSetting(settings::kShowRatio)) {
  WriteSetting(settings::kShowComprSize, showCompressedSize);
  WriteSetting(settings::kShowRatio, showRatio);
}

ScopedColumnSettings::~ScopedColumnSettings() {
  WriteSetting(settings::kShowComprSize, m_compressed);
  WriteSetting(settings::kShowRatio, m_ratio);
}

HostedArchive::HostedArchive(const std::string& zip, bool browsed) {
  m_host = host::ShellHost::Create();
  if (m_host == nullptr) return;
  m_host->Show();
  CZipFile* root = CZipFile::Create();
  root->AddRef();
  IShellFolder* folder = nullptr;
  if (browsed) {
    m_host->OpenArchiveRoot(Wide(zip), root);
  } else if (root->Load(Wide(zip).c_str(), 0) == S_OK &&
      SUCCEEDED(root->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&folder)))) {
    m_host->OpenFolder(folder, nullptr);
    folder->Release();
  }
  root->Release();
  Pump();
}

HostedArchive::~HostedArchive() {
  if (m_host == nullptr) return;
  m_host->Close();
  m_host->Release();
}

void HostedArchive::Pump() {
  for (int i = 0; i < 5; ++i) m_host->PumpPending();
}

bool HostedArchive::PumpUntil(const std::function<bool()>& condition, DWORD limitMs) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > limitMs) return false;
    m_host->RunMessageLoop(20);
  }
  return true;
}

int HostedArchive::Rows() const { return static_cast<int>(SendMessageA(list(), LVM_GETITEMCOUNT, 0, 0)); }

int HostedArchive::Columns() const {
  HWND header = reinterpret_cast<HWND>(SendMessageA(list(), LVM_GETHEADER, 0, 0));
  return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

std::string HostedArchive::Cell(int row, int column) const { return host::ListItemText(list(), row, column); }

std::string HostedArchive::Heading(int column) const {
  char text[100] = "";
  LVCOLUMNA info{};
  info.mask = LVCF_TEXT;
  info.pszText = text;
  info.cchTextMax = sizeof(text);
  SendMessageA(list(), LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
  return text;
}

int HostedArchive::ColumnWidth(int column) const {
  return static_cast<int>(SendMessageA(list(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

std::vector<std::string> HostedArchive::Names() const {
  std::vector<std::string> names;
  for (int row = 0; row < Rows(); ++row) names.emplace_back(view()->GetEntryAt(row).Key());
  return names;
}

std::vector<int> HostedArchive::SelectedRows() const {
  std::vector<int> rows;
  for (int row = 0; row < Rows(); ++row)
    if (SendMessageA(list(), LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED)
      rows.push_back(row);
  return rows;
}

bool HostedArchive::Shows(const std::vector<std::string>& wanted) const {
  try {
    const auto names = Names();
    return std::all_of(wanted.begin(), wanted.end(), [&](const std::string& name) {
      return std::find(names.begin(), names.end(), name) != names.end();
    });
  } catch (...) {
    return false;
  }
}

int HostedArchive::Row(const std::string& name) const {
  const auto names = Names();
  return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
}

void HostedArchive::Command(UINT id) const { SendMessageA(m_host->ViewWindow(), WM_COMMAND, id, 0); }

void HostedArchive::ClickColumn(int position) const {
  NMLISTVIEW click{};
  click.hdr.hwndFrom = list();
  click.hdr.code = LVN_COLUMNCLICK;
  click.iItem = -1;
  click.iSubItem = position;
  SendMessageA(m_host->ViewWindow(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
}

}  // namespace view_test
