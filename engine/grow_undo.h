// Growing an archive in place overwrites its central directory.  Before the
// archive is touched, the old length and the bytes from the directory on
// are written and synced to a record beside it, held while the update
// runs; a record that a dead process left is applied on the next open of
// the archive (FileSource), so a crash leaves the old archive or the new one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform.h"

namespace ze {

class GrowUndo {
public:
  GrowUndo() = default;
  ~GrowUndo();
  GrowUndo(const GrowUndo&) = delete;
  GrowUndo& operator=(const GrowUndo&) = delete;

  // False when no record can be written: the caller takes the replace path.
  bool record(const std::string& archive, uint64_t oldSize, uint64_t tailStart, const std::vector<uint8_t>& tail);
  // The archive is complete and synced (new, or put back): the record goes.
  void discard();

private:
  std::string path_;
  os::File file_;
};

// Puts back an archive whose grow was interrupted, if a dead update left
// its record; a record whose writer still runs is left alone.
void recoverInterruptedGrow(const std::string& archive);

}  // namespace ze
