// What changing an archive shares between delete and add: reading the
// existing archive, copying members raw, and the new file that replaces the
// original in one rename only once it is complete.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "centraldir.h"
#include "ops.h"
#include "writer.h"

namespace ze {

struct ExistingArchive {
  bool exists = false;
  std::unique_ptr<FileSource> src;
  CentralDirectory cd;
  std::vector<uint64_t> spanEnd;  // per entry: where its raw bytes end

  // Reads the archive if present; a missing file leaves exists false.
  void open(const std::string& path, os::Enc enc);
  void close() { src.reset(); }
};

// The central record of an existing member at its new position.
OutEntry carryOver(const CentralDirectory& cd, const Entry& e, uint64_t newOffset);

// Copies the members `keep` (indices, in the order given) raw to the sink,
// appending their central records.  Adjacent members go in one piece.
void copyMembers(ExistingArchive& arc, const std::vector<size_t>& keep, OutSink& out,
                 std::vector<OutEntry>& entries, Progress& progress, uint64_t& done, uint64_t total);

// Copies the bytes before the first member (a self-extractor's stub).
void copyPrefix(ExistingArchive& arc, OutSink& out);

// The replacement file.  Created next to the archive, or in the work
// directory when the archive's directory refuses it; removed unless
// committed.  An empty workDir: there is none.
class Replacement {
public:
  Replacement(const std::string& archive, os::Enc enc, const std::string& workDir);
  ~Replacement();
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  os::File& file() { return file_; }
  // The result codes for failed writes to this file.
  int writeError() const { return inWorkDir_ ? ZE_TEMP_WRITE : ZE_ZIP_WRITE; }
  int fullError() const { return inWorkDir_ ? ZE_TEMP_WRITE : ZE_ZIP_WRITE_FULL; }
  // Flushes the data to disk and renames it over the archive.
  void commit();

private:
  os::Err moveBesideArchive();

  std::string archive_;
  os::Enc enc_;
  std::string temp_;
  os::File file_;
  bool inWorkDir_ = false;
  bool committed_ = false;
};

}  // namespace ze
