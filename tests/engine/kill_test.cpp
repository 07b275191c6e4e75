// Changes killed at random moments (SIGKILL, as a crash or a killed Explorer
// would end them): every time the archive lists as the old member set or
// the new one and tests clean with Info-ZIP, and the next change in that
// directory leaves no temporary file of the dead one.
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <set>

#include "testutil.h"

using namespace et;

namespace {

std::set<std::string> memberSet(const std::string& zip) {
  std::set<std::string> s;
  for (const auto& l : list(zip)) s.insert(l.name);
  return s;
}

// Runs the change in a child process; kills it after `delay` unless that is
// negative.  Returns the time until it ended.
double runChild(const std::function<int()>& change, double delay) {
  const auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) _exit(change() == 0 ? 0 : 1);
  if (delay >= 0) {
    struct timespec pause {
      time_t(delay), long((delay - double(time_t(delay))) * 1e9)
    };
    nanosleep(&pause, nullptr);
    kill(child, SIGKILL);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<std::string> leftovers(const std::string& dir) {
  std::vector<std::string> found;
  for (auto& p : fs::directory_iterator(dir)) {
    const std::string n = p.path().filename().string();
    if (n.rfind("~mbx", 0) == 0 || n.find(".~mbxundo") != std::string::npos) found.push_back(n);
  }
  return found;
}

}  // namespace

TEST(Killed, DeleteAddAndGrowLeaveTheOldArchiveOrTheNewOne) {
  if (std::system("unzip -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "unzip is not installed";
  TempDir d;
  const std::string src = d / "src", zip = d / "a.zip", original = d / "original.zip";
  writeFile(src + kSep + "keep.txt", compressible(200000));
  writeFile(src + kSep + "one.bin", pseudoRandom(3 << 20, 1));
  writeFile(src + kSep + "two.bin", pseudoRandom(3 << 20, 2));
  writeFile(src + kSep + "new.bin", pseudoRandom(4 << 20, 3));
  ASSERT_EQ(addAll(original, src, {"keep.txt", "one.bin", "two.bin"}), 0);
  const std::set<std::string> before = memberSet(original);

  struct Change {
    const char* name;
    std::function<int()> run;
    std::set<std::string> after;
  };
  auto add = [&](bool grow) {
    AddRequest request(zip, src);
    request.items = spec({src + kSep + "new.bin"});
    request.cmd.bGrow = grow ? 1 : 0;
    return request.run();
  };
  std::set<std::string> added = before, deleted = before;
  added.insert("new.bin");
  deleted.erase("one.bin");
  std::vector<Change> changes = {{"delete", [&] { return remove(zip, "\"one.bin\""); }, deleted},
                                 {"add", [&] { return add(false); }, added},
                                 {"grow", [&] { return add(true); }, added}};

  std::mt19937 random(20261208);
  int kills = 0;
  for (Change& change : changes) {
    fs::copy_file(original, zip, fs::copy_options::overwrite_existing);
    const double full = runChild(change.run, -1);
    ASSERT_EQ(memberSet(zip), change.after) << change.name;
    int sawOld = 0, sawNew = 0;
    for (int i = 0; i < 40; ++i) {
      fs::copy_file(original, zip, fs::copy_options::overwrite_existing);
      runChild(change.run, std::uniform_real_distribution<double>(0, full * 1.1)(random));
      ++kills;
      // The listing is the next open: it puts back an interrupted grow.
      const std::set<std::string> members = memberSet(zip);
      const bool isOld = members == before, isNew = members == change.after;
      EXPECT_TRUE(isOld || isNew) << change.name << " kill " << i << ": " << members.size() << " members";
      sawOld += isOld;
      sawNew += isNew;
      EXPECT_EQ(std::system(("unzip -tqq '" + zip + "' >/dev/null 2>&1").c_str()), 0) << change.name << " kill " << i;
    }
    std::printf("%s: %d kills, %d old, %d new (full run %.0f ms)\n", change.name, sawOld + sawNew, sawOld, sawNew,
                full * 1000);
    // The next change here clears what the dead ones left.
    fs::copy_file(original, zip, fs::copy_options::overwrite_existing);
    ASSERT_EQ(remove(zip, "\"two.bin\""), 0);
    memberSet(zip);
    EXPECT_EQ(leftovers(d.path()), std::vector<std::string>{}) << change.name;
  }
  EXPECT_GE(kills, 100);
}
