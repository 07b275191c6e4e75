// Stopping a run from its progress callback: a stopped change leaves the
// archive byte for byte as it was, a stopped extraction leaves no partial
// file behind.
#include "platform.h"
#include "testutil.h"

using namespace et;

namespace {

// Says stop on the n-th call (counting from 1) that reports work still
// under way (below 100), so the point is the same whatever steps reach 100.
struct StopAfter {
  int calls = 0;
  int stopAt = 0;
};

int ZE_CALLBACK stopAfter(int32_t, int32_t percent, void* user) {
  auto& s = *static_cast<StopAfter*>(user);
  if (percent >= 100) return 0;
  return ++s.calls == s.stopAt ? 1 : 0;
}

int ZE_CALLBACK stopAlways(int32_t, int32_t, void*) { return 1; }

int ZE_CALLBACK stopAtFull(int32_t, int32_t percent, void*) { return percent >= 100 ? 1 : 0; }

std::vector<std::string> entriesOf(const std::string& dir) {
  std::vector<std::string> out;
  for (auto& p : fs::recursive_directory_iterator(dir)) out.push_back(fs::relative(p.path(), dir).string());
  std::sort(out.begin(), out.end());
  return out;
}

struct Archive {
  TempDir d;
  std::string src = d / "src";
  std::string zip = d / "a.zip";
  std::string before;
  Archive() {
    writeFile(src + kSep + "a.txt", "alpha");
    writeFile(src + kSep + "big.txt", compressible(3 << 20));
    // Copied in several buffered steps when another member is deleted.
    writeFile(src + kSep + "noise.bin", pseudoRandom(1 << 20, 5));
    EXPECT_EQ(addAll(zip, src, {"a.txt", "big.txt", "noise.bin"}), 0);
    writeFile(src + kSep + "c.txt", "gamma");
    // Large enough to be compressed block by block rather than whole.
    writeFile(src + kSep + "more.txt", compressible(9 << 20));
    before = readFile(zip);
  }
  std::vector<std::string> strays() const {
    std::vector<std::string> out;
    for (auto& p : fs::directory_iterator(d.path())) {
      std::string n = p.path().filename().string();
      if (n != "src" && n != "a.zip" && n != "out") out.push_back(n);
    }
    return out;
  }
};

}  // namespace

TEST(Cancel, AStoppedChangeLeavesTheArchiveAsItWas) {
  Archive a;
  for (int grow : {0, 1}) {
    // The first call and two within the data, on the whole-run and on the
    // per-file callback.
    for (int stopAt : {1, 3, 6}) {
      for (bool perFile : {false, true}) {
        StopAfter stop{0, stopAt};
        AddRequest r(a.zip, a.src);
        r.items = spec({a.src + kSep + "c.txt", a.src + kSep + "more.txt"});
        r.cmd.bGrow = grow;
        r.cmd.nLevel = 6;
        (perFile ? r.cmd.pfnProgressA : r.cmd.pfnProgressB) = stopAfter;
        (perFile ? r.cmd.pProgressAUser : r.cmd.pProgressBUser) = &stop;
        const std::string what = "grow " + std::to_string(grow) + " stop " + std::to_string(stopAt) +
                                 (perFile ? " per file" : " whole run");
        EXPECT_EQ(r.run(), ZE_CANCELLED) << what << " after " << stop.calls << " calls";
        EXPECT_TRUE(readFile(a.zip) == a.before) << what;
        EXPECT_TRUE(a.strays().empty()) << what;
      }
    }
  }

  // A delete copies the rest block by block: stopped there too.
  for (int stopAt : {1, 4}) {
    StopAfter stop{0, stopAt};
    ZIPCMD c{};
    c.cbSize = sizeof c;
    c.nFunction = ZE_ZIP_DELETE;
    c.pszZipFile = a.zip.c_str();
    c.pszItems = "\"a.txt\"";
    c.pfnProgressB = stopAfter;
    c.pProgressBUser = &stop;
    EXPECT_EQ(dzip(&c), ZE_CANCELLED) << stopAt;
    EXPECT_TRUE(readFile(a.zip) == a.before) << stopAt;
    EXPECT_TRUE(a.strays().empty()) << stopAt;
  }

  // Untouched by all of that, and still changeable.
  ASSERT_EQ(addAll(a.zip, a.src, {"c.txt"}), 0);
  EXPECT_EQ(names(a.zip), (std::vector<std::string>{"a.txt", "big.txt", "noise.bin", "c.txt"}));
}

TEST(Cancel, AStoppedExtractionKeepsOnlyCompleteFiles) {
  Archive a;
  const std::string out = a.d / "out";
  // Stopped inside big.txt, after a.txt was written whole.
  StopAfter stop{0, 10};
  UNZIPCMD c{};
  c.cbSize = sizeof c;
  c.nFunction = ZE_UNZIP_EXTRACT;
  c.pszZipFile = a.zip.c_str();
  c.pszSpec = "*.*";
  c.pszDestDir = out.c_str();
  c.pfnProgressA = stopAfter;
  c.pProgressAUser = &stop;
  EXPECT_EQ(dunzip(&c), ZE_CANCELLED);
  EXPECT_EQ(entriesOf(out), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(readFile(out + kSep + "a.txt"), "alpha");

  // Stopped before anything was written: nothing at all.
  fs::remove_all(out);
  c.pfnProgressA = nullptr;
  c.pfnProgressB = stopAlways;
  EXPECT_EQ(dunzip(&c), ZE_CANCELLED);
  EXPECT_TRUE(!fs::exists(out) || entriesOf(out).empty());
}

TEST(Cancel, AStopAtTheLastStepStillLeavesTheArchiveAsItWas) {
  // Says stop only once the copy reported 100, just before the commit.
  Archive a;
  ZIPCMD c{};
  c.cbSize = sizeof c;
  c.nFunction = ZE_ZIP_DELETE;
  c.pszZipFile = a.zip.c_str();
  c.pszItems = "\"a.txt\"";
  c.pfnProgressB = stopAtFull;
  EXPECT_EQ(dzip(&c), ZE_CANCELLED);
  EXPECT_TRUE(readFile(a.zip) == a.before);
  EXPECT_TRUE(a.strays().empty());
  // Nothing to copy at all (every member goes): stopped all the same.
  c.pfnProgressB = stopAlways;
  c.pszItems = "*";
  EXPECT_EQ(dzip(&c), ZE_CANCELLED);
  EXPECT_TRUE(readFile(a.zip) == a.before);
}
