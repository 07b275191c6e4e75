#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "archive_lock.h"
#include "strings.h"

#include "fake_user_interaction.h"
#include "synthetic_zip.h"
#include "temp_dir.h"
#include "tree_support.h"
#include "zip_maker.h"
#include "test_files.h"

namespace {


TEST(LargeArchive, AHundredThousandMembersListIntoTheirFolders) {
  WithFakeUser fake;
  TempDir dir;
  const std::string zip = dir / "large.zip";
  ASSERT_EQ(100000u, synthetic_zip::Write(zip, 100, 1000));
  RootHolder holder;
  ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
  holder.root()->RefreshListing();
  CZipFolder* top = holder.top();
  ASSERT_EQ(100u, top->Entries().Count());
  EXPECT_EQ(100, top->SubFolderCount());
  size_t files = 0;
  for (auto p = top->Entries().First(); p != nullptr; p = top->Entries().Next(p)) {
    CZipFolder* folder = CEntryMap::At(p).subFolder;
    ASSERT_NE(nullptr, folder);
    files += folder->Entries().Count();
  }
  EXPECT_EQ(100000u, files);
  std::string path = "d042\\";
  CZipFolder* d42 = top->FindFolder(path);
  ASSERT_NE(nullptr, d42);
  const ZIPENTRY* member = Member(d42, "F00999.TXT");
  ASSERT_NE(nullptr, member);
  SYSTEMTIME time{};
  FileTimeToSystemTime(&member->ftModified, &time);
  EXPECT_EQ(2024, time.wYear);
  EXPECT_EQ(17, time.wDay);
  EXPECT_EQ(30, time.wMinute);
  EXPECT_TRUE(fake.user.boxes.empty());
}

TEST(ArchiveMutex, OnePathOfAnyScriptGivesOneMutexToEveryHandle) {
  WithFakeUser fake;
  TempDir dir;
  dir.Write("only.txt", "x");
  const std::string plain = dir / "plain.zip";
  ASSERT_EQ(0, zip_maker::Add(plain, dir.path(), {"only.txt"}));
  // Hebrew and an emoji: no ANSI code page spells both.
  const std::wstring folder = Utf8ToWide(dir.path()) + L"\\\u05D0\u05E8\u05DB\u05D9\u05D5\u05DF \U0001F4E6";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring zip = folder + L"\\\u05E7\u05D5\u05D1\u05E5.zip";
  ASSERT_TRUE(MoveFileW(Utf8ToWide(plain).c_str(), zip.c_str()));

  RootHolder first, second;
  ASSERT_EQ(S_OK, first.root()->Load(zip.c_str(), 0));
  // The same file spelled in another case is the same archive.
  std::wstring upper = zip;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  ASSERT_EQ(S_OK, second.root()->Load(upper.c_str(), 0));
  EXPECT_TRUE(fake.user.boxes.empty()) << "the path is accepted, not refused";
  EXPECT_EQ(WideToUtf8(zip), first.root()->ZipPath());
  first.root()->RefreshListing();
  EXPECT_EQ(1u, first.top()->Entries().Count());

  // One thread holds the archive through one object: the other object's
  // mutex is the same one, so the other thread waits.
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    const ArchiveLock lock(*first.root());
    SetEvent(held);
    WaitForSingleObject(release, 10000);
  });
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held, 10000));
  {
    const NamedMutexLock blocked(second.root()->ArchiveMutex(), 200, false);
    EXPECT_EQ(MutexWait::kTimedOut, blocked.Result());
  }
  SetEvent(release);
  holder.join();
  {
    const NamedMutexLock free(second.root()->ArchiveMutex(), 5000, false);
    EXPECT_EQ(MutexWait::kHeld, free.Result());
  }
  CloseHandle(held);
  CloseHandle(release);
}

TEST(ArchiveMutex, NamesTooLongForTheKernelBecomeAStableDigest) {
  const std::wstring deep = L"C:\\" + std::wstring(200, L'a') + L"\\\u6587\u4EF6\\" + std::wstring(200, L'b') + L".zip";
  const std::wstring name = ArchiveMutexName(deep);
  EXPECT_LE(name.size(), kArchiveMutexNameLimit);
  EXPECT_EQ(std::wstring::npos, name.find(L'\\')) << "a backslash would name a kernel namespace";
  std::wstring otherCase = deep;
  CharUpperBuffW(otherCase.data(), static_cast<DWORD>(otherCase.size()));
  for (wchar_t& c : otherCase)
    if (c == L'\\') c = L'/';
  EXPECT_EQ(name, ArchiveMutexName(otherCase));
  std::wstring neighbour = deep;
  neighbour[10] = L'c';
  EXPECT_NE(name, ArchiveMutexName(neighbour));
  // The whole name is a real mutex name the kernel takes.
  NamedMutex mutex;
  EXPECT_TRUE(mutex.Create(name));

  // Short paths keep their readable form.
  EXPECT_EQ(L"C:/DIR/\u0391\u0392.ZIP", ArchiveMutexName(L"c:\\dir\\\u03B1\u03B2.zip"));
}

// Runs as a second process: lists the archive named in the environment and
// leaves a mark when the listing got through.
TEST(ArchiveMutexPeer, ListsAndMarks) {
  const char* zip = getenv("MBX_PEER_ZIP");
  const char* mark = getenv("MBX_PEER_MARK");
  if (zip == nullptr || mark == nullptr) GTEST_SKIP() << "runs only as the peer of ArchiveMutex";
  WithFakeUser fake;
  RootHolder holder;
  ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
  holder.root()->RefreshListing();
  ASSERT_EQ(1u, holder.top()->Entries().Count());
  TempDir::Remove(mark);
  CreateDirectoryA(mark, nullptr);
}

TEST(ArchiveMutex, SerialisesListingsAcrossProcesses) {
  WithFakeUser fake;
  TempDir dir;
  dir.Write("only.txt", "x");
  const std::string zip = dir / "shared.zip";
  const std::string mark = dir / "peer-done";
  ASSERT_EQ(0, zip_maker::Add(zip, dir.path(), {"only.txt"}));

  // This process holds the archive's mutex, named as every instance names it.
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(ArchiveMutexName(Utf8ToWide(zip))));
  auto lock = std::make_unique<NamedMutexLock>(mutex);
  ASSERT_TRUE(lock->Held());

  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string command = std::string("\"") + exe + "\" --gtest_filter=ArchiveMutexPeer.*";
  SetEnvironmentVariableA("MBX_PEER_ZIP", zip.c_str());
  SetEnvironmentVariableA("MBX_PEER_MARK", mark.c_str());
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process));
  SetEnvironmentVariableA("MBX_PEER_ZIP", nullptr);
  SetEnvironmentVariableA("MBX_PEER_MARK", nullptr);

  // The peer is started and blocked on the mutex; it cannot have listed.
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(process.hProcess, 1500));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(mark.c_str()));
  lock.reset();
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(process.hProcess, 30000));
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  EXPECT_EQ(0u, exitCode);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(mark.c_str()));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace
