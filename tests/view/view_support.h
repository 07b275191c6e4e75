// Opens archives in the shell browser host and reads the view's list back.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

#include "fake_user_interaction.h"
#include "profile.h"
#include "shell_host.h"
#include "temp_dir.h"
#include "test_files.h"
#include "zip_view.h"

namespace view_test {


// A local time as the archive stores it (whole minutes).
SYSTEMTIME LocalTime(WORD year, WORD month, WORD day, WORD hour, WORD minute);
// Sets a file's or directory's last-write time to the given local time.
void SetLocalWriteTime(const std::string& path, const SYSTEMTIME& local);
// The list's text for a modification time: short date, a blank, the time
// without seconds, in the user's formats.
std::string TimeText(const SYSTEMTIME& local);

// The known archive: a listed folder docs (with readme.txt), an implicit
// folder img (with logo.bin), and the files a.txt (1 byte), empty.dat
// (0 bytes), big.log (3000 bytes) stored, packed.txt (5000 bytes) deflated.
struct KnownArchive {
  std::string zip;
  std::string base;
  SYSTEMTIME docs, a, empty, big, packed;
};
KnownArchive MakeKnownArchive(const TempDir& dir);

// The two column settings for as long as the object lives.
class ScopedColumnSettings {
 public:
  ScopedColumnSettings(int showCompressedSize, int showRatio);
  ~ScopedColumnSettings();

 private:
  int m_compressed;
  int m_ratio;
};

// A host showing one archive, through the archive object's IShellFolder.
class HostedArchive {
 public:
  // browsed: the root initialised as the shell browses a zip file (with
  // its identifier list), rather than loaded by path.
  explicit HostedArchive(const std::string& zip, bool browsed = false);
  ~HostedArchive();
  HostedArchive(const HostedArchive&) = delete;
  HostedArchive& operator=(const HostedArchive&) = delete;

  bool ok() const { return m_host != nullptr && m_host->View() != nullptr; }
  host::ShellHost* host() const { return m_host; }
  CZipView* view() const { return static_cast<CZipView*>(m_host->View()); }
  HWND list() const { return view()->ListWindow(); }
  // Runs the host's message loop until the condition holds or the time is up.
  bool PumpUntil(const std::function<bool()>& condition, DWORD limitMs = 15000);
  void Pump();

  int Rows() const;
  int Columns() const;
  std::string Cell(int row, int column) const;
  std::string Heading(int column) const;
  int ColumnWidth(int column) const;
  // The member names of the rows, top to bottom.
  std::vector<std::string> Names() const;
  // True when every name has a row; false while a change has left the list
  // to be filled again.
  bool Shows(const std::vector<std::string>& names) const;
  // The row showing the member, or Rows() when none does.
  int Row(const std::string& name) const;
  std::vector<int> SelectedRows() const;
  void Command(UINT id) const;
  void ClickColumn(int position) const;

 private:
  host::ShellHost* m_host = nullptr;
};

// For each test: OLE, the fake user, and the known archive in a fresh
// directory.
class KnownArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    m_known = MakeKnownArchive(m_dir);
    ASSERT_FALSE(m_known.zip.empty());
  }
  void TearDown() override { OleUninitialize(); }

  WithFakeUser fake;
  TempDir m_dir;
  KnownArchive m_known;
};

}  // namespace view_test
