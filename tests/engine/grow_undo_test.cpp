// The undo record of a grow in place: applied after a crash to the very file
// it was made for, and to nothing else.
#include <cstdint>
#include <cstring>
#include <functional>

#include "grow_undo.h"
#include "rawzip.h"
#include "testutil.h"

using namespace et;

namespace {

struct Scratch {
  TempDir d;
  std::string src = d / "src";
  std::string zip = d / "a.zip";
  std::string record = zip + ".~mbxundo";
  Scratch() {
    writeFile(src + kSep + "a.txt", "alpha");
    writeFile(src + kSep + "b.bin", pseudoRandom(40000, 4));
  }
};

size_t directoryStart(const std::string& bytes) {
  size_t end = bytes.rfind(std::string("PK\x05\x06", 4));
  return end == std::string::npos ? 0 : get32(bytes, end + 16);
}

// Writes the record a grow of `zip` writes before touching it, and leaves it
// as the grow's process would if it died.
void leaveRecord(const std::string& zip) {
  const std::string bytes = readFile(zip);
  const size_t cdStart = directoryStart(bytes);
  std::vector<uint8_t> tail(bytes.begin() + std::ptrdiff_t(cdStart), bytes.end());
  ze::GrowUndo undo;
  ASSERT_TRUE(undo.record(zip, bytes.size(), cdStart, tail));
}

// Another program's archive of the same size as `like`, members padded.
std::string otherArchiveLike(const std::string& like) {
  std::string comment;
  RawArchive a = buildZip({RawMember("other.txt", pseudoRandom(30000, 8))});
  const size_t target = readFile(like).size();
  if (a.bytes.size() < target) comment.assign(target - a.bytes.size(), 'c');
  return buildZip({RawMember("other.txt", pseudoRandom(30000, 8))}, "", comment).bytes;
}

}  // namespace

TEST(GrowUndo, AnInterruptedGrowIsPutBackWhereverItStopped) {
  Scratch s;
  ASSERT_EQ(addAll(s.zip, s.src, {"a.txt", "b.bin"}), 0);
  const std::string before = readFile(s.zip);
  const size_t cdStart = directoryStart(before);
  // Killed after writing new data over the directory, and after cutting the
  // file back to the directory's start: both go back to the old archive.
  for (size_t cut : {before.size() + 70000, cdStart}) {
    leaveRecord(s.zip);
    {
      std::fstream f(s.zip, std::ios::binary | std::ios::in | std::ios::out);
      f.seekp(std::streamoff(cdStart));
      const std::string grown = pseudoRandom(cut - cdStart, 11);
      f.write(grown.data(), std::streamsize(grown.size()));
    }
    fs::resize_file(s.zip, cut);
    EXPECT_EQ(names(s.zip), (std::vector<std::string>{"a.txt", "b.bin"})) << cut;
    EXPECT_TRUE(readFile(s.zip) == before) << cut;
    EXPECT_FALSE(exists(s.record)) << cut;
    EXPECT_FALSE(exists(s.record + ".stale")) << cut;
  }
}

TEST(GrowUndo, ARecordIsNeverAppliedToAFileItWasNotMadeFor) {
  Scratch s;
  ASSERT_EQ(addAll(s.zip, s.src, {"a.txt", "b.bin"}), 0);
  const std::string other = otherArchiveLike(s.zip);
  ASSERT_EQ(other.size(), readFile(s.zip).size());

  struct Case {
    const char* what;
    std::function<void()> change;
  };
  const std::string incoming = s.d / "incoming.zip";
  std::vector<Case> cases = {
      // Restored or downloaded again: a new file under the old name.
      {"replaced", [&] { writeFile(incoming, other); fs::rename(incoming, s.zip); }},
      // The same file overwritten in place with other bytes of the same length.
      {"overwritten", [&] { writeFile(s.zip, other); }},
      // The same file, now shorter than the part the grow kept.
      {"shortened", [&] { fs::resize_file(s.zip, directoryStart(readFile(s.zip)) - 1); }},
  };
  std::vector<std::string> setAside;
  for (Case& c : cases) {
    ASSERT_EQ(addAll(s.zip, s.src, {"a.txt", "b.bin"}), 0);
    leaveRecord(s.zip);
    const std::string record = readFile(s.record);
    c.change();
    const std::string now = readFile(s.zip);
    UNZIPCMD count{};
    count.cbSize = sizeof count;
    count.nFunction = ZE_UNZIP_COUNT;
    count.pszZipFile = s.zip.c_str();
    dunzip(&count);  // the open that would apply a record
    count.nFunction = ZE_UNZIP_END;
    dunzip(&count);
    EXPECT_TRUE(readFile(s.zip) == now) << c.what;
    EXPECT_FALSE(exists(s.record)) << c.what;
    setAside.push_back(record);
    // Each one kept under its own name, none overwritten.
    const std::string name = s.record + ".stale" + (setAside.size() == 1 ? "" : std::to_string(setAside.size()));
    ASSERT_TRUE(exists(name)) << c.what;
    EXPECT_TRUE(readFile(name) == record) << c.what;
  }
  EXPECT_TRUE(readFile(s.record + ".stale") == setAside[0]);
}

TEST(GrowUndo, RecordsThatProveNothingChangeNothing) {
  Scratch s;
  const std::string before = buildZip({RawMember("x.txt", pseudoRandom(1300, 2))}).bytes;
  writeFile(s.zip, before);

  // The earlier layout (magic, old size, tail start, tail length, CRC), as
  // made by hand: it would cut the archive to nothing.
  std::string old("MBXUNDO1", 8);
  old.append(28, '\0');
  put32(old, 32, crcOf(old.substr(0, 32)));
  writeFile(s.record, old);
  EXPECT_EQ(names(s.zip), std::vector<std::string>{"x.txt"});
  EXPECT_TRUE(readFile(s.zip) == before);
  EXPECT_TRUE(readFile(s.record + ".stale") == old);
  EXPECT_FALSE(exists(s.record));

  // A record of this very archive whose lengths were then changed and its
  // checksum mended: pointing far beyond the file, or longer than itself.
  leaveRecord(s.zip);
  const std::string real = readFile(s.record);
  using Fields = std::vector<std::pair<size_t, uint64_t>>;
  auto forge = [&](const Fields& fields) {
    std::string r = real;
    for (auto [at, value] : fields) {
      put32(r, at, uint32_t(value));
      put32(r, at + 4, uint32_t(value >> 32));
    }
    put32(r, r.size() - 4, crcOf(r.substr(0, r.size() - 4)));
    return r;
  };
  const uint64_t far = uint64_t(1) << 40, huge = uint64_t(1) << 62;
  const uint64_t tailLength = get32(real, 24);
  const std::vector<std::string> forgeries = {
      forge({{8, far}}),                                 // old size
      forge({{8, far}, {16, far - tailLength}}),         // tail start, old size to match
      forge({{24, huge}}),                               // tail length
      forge({{32, huge}}),                               // window length
      real.substr(0, real.size() - 1) + char(real.back() ^ 1),  // checksum
  };
  for (size_t i = 0; i < forgeries.size(); ++i) {
    fs::remove(s.record + ".stale");
    writeFile(s.record, forgeries[i]);
    EXPECT_EQ(names(s.zip), std::vector<std::string>{"x.txt"}) << i;
    EXPECT_EQ(fs::file_size(s.zip), before.size()) << i;
    EXPECT_TRUE(readFile(s.zip) == before) << i;
    EXPECT_FALSE(exists(s.record)) << i;
  }
}
