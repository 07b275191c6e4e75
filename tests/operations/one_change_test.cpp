// One change of an archive at a time, and nothing locked while the user is
// asked: a second change started on the same thread, on another thread or
// in another process never loses the first one's result; questions and the
// property sheet leave the archive free; an answer about a listing that has
// changed since is refused; a wait for a busy archive ends with a message.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <thread>

#include "archive_state.h"
#include "fake_user_interaction.h"
#include "handles.h"
#include "profile.h"
#include "resource.h"
#include "scoped_setting.h"
#include "shell_data.h"
#include "slow_content.h"
#include "strings.h"
#include "temp_dir.h"
#include "tree_support.h"
#include "workspace.h"
#include "zip_exceptions.h"
#include "zip_maker.h"
#include "test_files.h"

namespace {

constexpr uint32_t kSlowSize = 40u << 20;


// Whether another thread gets the mutex, or the root lock, within a moment.
// The archive's watcher may hold them briefly after a change; the thread
// that asks the question would hold them for the whole question.
constexpr DWORD kMoment = 2000;

bool MutexFree(HANDLE mutex) {
  bool free = false;
  std::thread([&] {
    const DWORD result = WaitForSingleObject(mutex, kMoment);
    free = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    if (free) ReleaseMutex(mutex);
  }).join();
  return free;
}

bool RootLockFree(CZipFile* root) {
  bool free = false;
  std::thread([&] {
    for (DWORD waited = 0; !free && waited < kMoment; waited += 10) {
      free = root->RootLock().TryLock();
      if (!free) Sleep(10);
    }
    if (free) root->RootLock().Unlock();
  }).join();
  return free;
}

// Set once the timer below has run its hook.
HANDLE g_hookRan = nullptr;
IUserInteraction::Worker g_heldWorker = nullptr;

// The held change's worker starts only once the hook has run, so the second
// change comes while the first holds the archive however fast the machine
// deflates.  Bounded: a dialog that never shows fails the test, not hangs it.
unsigned __stdcall HeldWorker(void* request) {
  WaitForSingleObject(g_hookRan, 30000);
  return g_heldWorker(request);
}

// Runs a hook in the middle of each question the fake is asked.
class HookedUser : public FakeUserInteraction {
 public:
  INT_PTR RunWithProgress(Worker worker, ZIPREQUEST& request, HWND owner) override {
    if (!holdNextWorker) return FakeUserInteraction::RunWithProgress(worker, request, owner);
    holdNextWorker = false;
    g_heldWorker = worker;
    return FakeUserInteraction::RunWithProgress(HeldWorker, request, owner);
  }
  int ShowMessage(HWND window, const std::string& text, UINT type) override {
    if (onQuestion) onQuestion();
    return FakeUserInteraction::ShowMessage(window, text, type);
  }
  int ConfirmFileReplace(HWND window, const FileReplaceTexts& texts) override {
    if (onQuestion) onQuestion();
    return FakeUserInteraction::ConfirmFileReplace(window, texts);
  }
  void ShowPropertySheet(HWND window, const PropertiesPage& page) override {
    if (onQuestion) onQuestion();
    FakeUserInteraction::ShowPropertySheet(window, page);
  }
  std::function<void()> onQuestion;
  bool holdNextWorker = false;
};

// What the timer below runs.
std::function<void()> g_onTimer;

// The message a change ended with; "" when it went through.
template <typename Change>
std::string MessageOf(Change change) {
  try {
    change();
  } catch (const CZipUserException& e) {
    return e.Message();
  } catch (const CException& e) {
    return "other: " + e.Message();
  }
  return "";
}

// Fires once, from the message loop of the running change's progress
// window, as soon as this thread shows one.
BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  char name[16] = "";
  GetClassNameA(window, name, sizeof(name));
  if (lstrcmpA(name, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<bool*>(found) = true;
  return FALSE;
}
void CALLBACK FireOnce(HWND, UINT, UINT_PTR id, DWORD) {
  bool shown = false;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&shown));
  if (!shown) return;
  KillTimer(nullptr, id);
  if (g_onTimer) g_onTimer();
  if (g_hookRan) SetEvent(g_hookRan);
}

class OneChange : public ::testing::Test {
 protected:
  void SetUp() override {
    g_hookRan = hookRan.get();
    content.Write("keep.txt", "keep");
    content.Write("gone.txt", "to be deleted");
    content.Write("other.txt", "deleted by the second change");
    ASSERT_EQ(0, zip_maker::Add(zip, content.path(), {"keep.txt", "gone.txt", "other.txt"}));
    slow = source.Write("slow.bin", SlowContent(kSlowSize));
    ASSERT_EQ(S_OK, holder.root()->Load(Wide(zip).c_str(), 0));
    holder.root()->RefreshListing();
    user.answer = IDYES;
  }

  std::string Drop(CZipFolder* folder, const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& path : paths) list += path + '\0';
    const UniqueGlobal drop(MakeDropFiles(list));
    return MessageOf([&] { folder->AddDroppedFiles(static_cast<HDROP>(drop.get()), nullptr); });
  }

  // The first change's result, whatever became of a second one.
  void ExpectFirstKept() {
    const auto members = Listing(zip);
    EXPECT_EQ(1u, members.count("slow.bin")) << "the first change's file arrived";
    EXPECT_EQ(kSlowSize, members.count("slow.bin") ? members.at("slow.bin") : 0);
    EXPECT_EQ(1u, members.count("keep.txt"));
  }
  // A second change that says it went through is in the archive too; one
  // that did not was told why.
  void ExpectSecondAccountedFor(const std::string& message) {
    if (message.empty()) {
      EXPECT_EQ(0u, Listing(zip).count("other.txt")) << "the second change reported success";
    } else {
      EXPECT_EQ(1u, Listing(zip).count("other.txt"));
      EXPECT_TRUE(message == FormatStrings(IDS_ARCHIVE_BUSY, {zip}) ||
                  message == FormatStrings(IDS_ARCHIVE_WAIT_TOO_LONG, {zip}))
          << message;
    }
  }

  void TearDown() override {
    if (timer != 0) KillTimer(nullptr, timer);
    g_onTimer = nullptr;
    g_hookRan = nullptr;
  }

  // g_onTimer runs once the next change's dialog shows; that change's
  // worker waits for it.
  void RunHookInNextChange() {
    ResetEvent(hookRan.get());
    user.holdNextWorker = true;
    timer = SetTimer(nullptr, 0, 50, FireOnce);
  }

  HookedUser user;
  ScopedUserInteraction installed{user};
  ScopedSetting slowest{settings::kCompression, 9};
  UINT_PTR timer = 0;
  UniqueKernelHandle hookRan{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  TempDir content, source, archives;
  std::string zip = archives / "a.zip";
  std::string slow;
  RootHolder holder;
};

TEST_F(OneChange, ASecondChangeFromInsideTheFirstsMessageLoopIsToldTheArchiveIsBusy) {
  std::string secondMessage = "not run";
  std::atomic<bool> duringFirst{false};
  g_onTimer = [&] {
    duringFirst = true;
    secondMessage = MessageOf([&] { holder.top()->DeleteMembers({"other.txt"}, nullptr); });
  };
  RunHookInNextChange();
  EXPECT_EQ("", Drop(holder.top(), {slow}));
  g_onTimer = nullptr;
  ASSERT_TRUE(duringFirst) << "the first change ran long enough to pump messages";
  EXPECT_EQ(FormatStrings(IDS_ARCHIVE_BUSY, {zip}), secondMessage);
  ExpectFirstKept();
  ExpectSecondAccountedFor(secondMessage);
  // Once the first is over the archive takes changes again.
  EXPECT_EQ("", MessageOf([&] { holder.top()->DeleteMembers({"other.txt"}, nullptr); }));
  EXPECT_EQ(0u, Listing(zip).count("other.txt"));
}

TEST_F(OneChange, ASecondChangeFromAnotherThreadOrProcessKeepsTheFirstsResult) {
  // Another window of the archive on its own thread, with its own object.
  std::string threadMessage = "not run";
  std::atomic<bool> threadDone{false};
  std::thread second;
  g_onTimer = [&] {
    second = std::thread([&] {
      RootHolder other;
      if (other.root()->Load(Wide(zip).c_str(), 0) == S_OK)
        threadMessage = MessageOf([&] { other.top()->DeleteMembers({"other.txt"}, nullptr); });
      threadDone = true;
    });
  };
  RunHookInNextChange();
  EXPECT_EQ("", Drop(holder.top(), {slow}));
  if (second.joinable()) second.join();
  g_onTimer = nullptr;
  ASSERT_TRUE(threadDone);
  ExpectFirstKept();
  ExpectSecondAccountedFor(threadMessage);

  // Another process deleting while this one adds again.
  const std::string again = source.Write("again.bin", SlowContent(kSlowSize));
  content.Write("other.txt", "back again");
  ASSERT_EQ(0, zip_maker::Add(zip, content.path(), {"other.txt"}));
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string helper = self;
  helper = helper.substr(0, helper.rfind('\\') + 1) + "change_helper.exe";
  std::string command = "\"" + helper + "\" delete \"" + zip + "\" other.txt none";
  PROCESS_INFORMATION process{};
  g_onTimer = [&] {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  };
  RunHookInNextChange();
  EXPECT_EQ("", Drop(holder.top(), {again}));
  g_onTimer = nullptr;
  ASSERT_NE(nullptr, process.hProcess);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 120000));
  DWORD exitCode = 99;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  const auto members = Listing(zip);
  EXPECT_EQ(1u, members.count("again.bin")) << "the first change's file arrived";
  EXPECT_EQ(exitCode == 0 ? 0u : 1u, members.count("other.txt")) << "the helper ended with " << exitCode;
}

TEST_F(OneChange, QuestionsAndTheSheetLeaveTheArchiveFree) {
  std::vector<bool> mutexFree, rootFree;
  user.onQuestion = [&] {
    mutexFree.push_back(MutexFree(holder.root()->ArchiveMutex().Handle()));
    rootFree.push_back(RootLockFree(holder.root()));
  };
  // The delete confirmation, a replace question and the property sheet.
  EXPECT_EQ("", MessageOf([&] { holder.top()->DeleteMembers({"gone.txt"}, nullptr); }));
  user.answers = {IDYES};
  const std::string replacement = source.Write("keep.txt", "new keep");
  EXPECT_EQ("", Drop(holder.top(), {replacement}));
  EXPECT_EQ("", MessageOf([&] { holder.top()->ShowProperties(nullptr, {"keep.txt"}); }));
  ASSERT_EQ(3u, mutexFree.size());
  for (size_t i = 0; i < mutexFree.size(); ++i) {
    EXPECT_TRUE(mutexFree[i]) << "question " << i;
    EXPECT_TRUE(rootFree[i]) << "question " << i;
  }
  // The answers still took effect.
  const auto members = Listing(zip);
  EXPECT_EQ(0u, members.count("gone.txt"));
  EXPECT_EQ(8u, members.at("keep.txt"));
}

TEST_F(OneChange, AnAnswerAboutAListingThatChangedMeanwhileIsRefused) {
  // While the user looks at the question another program changes the file.
  user.onQuestion = [&] {
    content.Write("new.txt", "arrived meanwhile");
    ASSERT_EQ(0, zip_maker::Add(zip, content.path(), {"new.txt"}));
  };
  EXPECT_EQ(LoadStr(IDS_SYNC_ERROR), MessageOf([&] { holder.top()->DeleteMembers({"gone.txt"}, nullptr); }));
  EXPECT_EQ(1u, Listing(zip).count("gone.txt")) << "nothing was deleted";

  user.answers = {IDYES};
  const std::string replacement = source.Write("keep.txt", "new keep");
  EXPECT_EQ(LoadStr(IDS_SYNC_ERROR), Drop(holder.top(), {replacement}));
  EXPECT_EQ(4u, Listing(zip).at("keep.txt")) << "nothing was replaced";

  // A drop that asked nothing goes ahead unless a name it adds was taken
  // meanwhile, which would be replaced unasked.
  user.onQuestion = nullptr;
  const std::string fresh = source.Write("fresh.txt", "fresh");
  holder.root()->RefreshListing();
  EXPECT_EQ("", Drop(holder.top(), {fresh}));
  EXPECT_EQ(1u, Listing(zip).count("fresh.txt"));
}

TEST_F(OneChange, AWaitForAnArchiveInUseEndsAfterTheBoundWithAMessage) {
  const ScopedSetting bound(settings::kArchiveWaitMs, 500);
  // Another program holds the archive and does not let go.
  HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread other([&] {
    zip_maker::ArchiveMutexLock lock(zip);
    SetEvent(taken);
    WaitForSingleObject(release, 60000);
  });
  WaitForSingleObject(taken, 10000);
  const std::string before = ReadAll(zip);
  const std::string tooLong = FormatStrings(IDS_ARCHIVE_WAIT_TOO_LONG, {zip});
  EXPECT_EQ(tooLong, MessageOf([&] { holder.top()->DeleteMembers({"gone.txt"}, nullptr); }));
  const std::string added = source.Write("added.txt", "added");
  EXPECT_EQ(tooLong, Drop(holder.top(), {added}));
  EXPECT_EQ(before, ReadAll(zip));
  SetEvent(release);
  other.join();
  CloseHandle(taken);
  CloseHandle(release);
  // Free again: the same change goes through.
  EXPECT_EQ("", MessageOf([&] { holder.top()->DeleteMembers({"gone.txt"}, nullptr); }));
  EXPECT_EQ(0u, Listing(zip).count("gone.txt"));
}

}  // namespace
