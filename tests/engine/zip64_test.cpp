// More members than the classic records can count, and ZIP64 records read
// back; the archive is made by the engine's own writer from memory.
#include <zlib.h>

#include "centraldir.h"
#include "rawzip.h"
#include "testutil.h"
#include "writer.h"

using namespace et;

namespace {

void writeMany(const std::string& path, int count) {
  ze::os::File f;
  ASSERT_EQ(f.create(path, false), ze::os::Err::None);
  ze::OutSink out(f, 0);
  std::vector<ze::OutEntry> entries;
  for (int i = 0; i < count; ++i) {
    ze::OutEntry e;
    e.name = "d" + std::to_string(i / 1000) + "/m" + std::to_string(i) + ".txt";
    std::string data = std::to_string(i);
    e.crc = crcOf(data);
    e.size = e.compressedSize = data.size();
    e.versionNeeded = 10;
    e.dosDate = (30 << 9) | (6 << 5) | 1;
    e.offset = out.position();
    std::string h = ze::localHeader(e, false);
    out.write(h.data(), h.size());
    out.write(data.data(), data.size());
    entries.push_back(std::move(e));
  }
  ze::writeCentralDirectory(out, entries, "");
  out.flush();
}

}  // namespace

TEST(Zip64, MoreThan65535Members) {
  TempDir d;
  std::string zip = d / "many.zip";
  const int n = 70000;
  writeMany(zip, n);
  std::string bytes = readFile(zip);
  EXPECT_NE(bytes.find(std::string("PK\x06\x06", 4)), std::string::npos);
  EXPECT_EQ(get16(bytes, bytes.size() - 22 + 10), 0xFFFF);

  auto l = list(zip);
  ASSERT_EQ(l.size(), size_t(n));
  EXPECT_EQ(l[0].name, "d0/m0.txt");
  EXPECT_EQ(l[n - 1].name, "d69/m69999.txt");
  EXPECT_EQ(l[n - 1].date, "06/01/10 00:00");

  ASSERT_EQ(extract(zip, "\"d69\\m69999.txt\" \"d0\\*.*\"", d / "out"), 0);
  EXPECT_EQ(readFile(d / "out" + kSep + "d69" + kSep + "m69999.txt"), "69999");
  EXPECT_EQ(readFile(d / "out" + kSep + "d0" + kSep + "m999.txt"), "999");

  // Deleting a folder keeps ZIP64 records while the count needs them, and
  // drops them once it does not.
  ASSERT_EQ(remove(zip, "\"d5\\*.*\""), 0);
  ASSERT_EQ(list(zip).size(), size_t(n - 1000));
  ASSERT_EQ(remove(zip, "\"d1*.*\" \"d2*.*\" \"d3*.*\" \"d4*.*\""), 0);
  bytes = readFile(zip);
  auto rest = list(zip);
  ASSERT_EQ(rest.size(), size_t(n - 1000 - 4000 - 4 * 10000));
  EXPECT_EQ(bytes.find(std::string("PK\x06\x06", 4)), std::string::npos);
  EXPECT_EQ(rest[1000].name, "d6/m6000.txt");
}

TEST(Zip64, ExtraFieldsReadWhereValuesAreSaturated) {
  TempDir d;
  std::string src = d / "src";
  writeFile(src + kSep + "a.txt", compressible(10000));
  writeFile(src + kSep + "b.txt", "b");
  ze::setForceZip64(true);
  int rc = addAll(d / "z.zip", src, {"a.txt", "b.txt"});
  ze::setForceZip64(false);
  ASSERT_EQ(rc, 0);
  std::string bytes = readFile(d / "z.zip");
  // Every central size and offset points to the ZIP64 block.
  size_t cd = bytes.find(std::string("PK\x01\x02", 4));
  ASSERT_NE(cd, std::string::npos);
  EXPECT_EQ(get32(bytes, cd + 20), 0xFFFFFFFFu);
  EXPECT_EQ(get32(bytes, cd + 42), 0xFFFFFFFFu);

  auto l = list(d / "z.zip");
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0].size, 10000u);
  ASSERT_EQ(extract(d / "z.zip", "*.*", d / "out"), 0);
  EXPECT_EQ(readFile(d / "out" + kSep + "a.txt"), compressible(10000));
  // Carried over by a delete, they are rewritten in the classic form.
  ASSERT_EQ(remove(d / "z.zip", "\"b.txt\""), 0);
  bytes = readFile(d / "z.zip");
  cd = bytes.find(std::string("PK\x01\x02", 4));
  EXPECT_EQ(get32(bytes, cd + 20), l[0].csize);
  ASSERT_EQ(extract(d / "z.zip", "*.*", d / "out2"), 0);
  EXPECT_EQ(readFile(d / "out2" + kSep + "a.txt"), compressible(10000));
}
