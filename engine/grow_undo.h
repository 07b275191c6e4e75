// Growing an archive in place overwrites its central directory.  Before the
// archive is touched, the old length and the bytes from the directory on
// are written and synced to a record beside it, held while the update
// runs; a record that a dead process left is applied on the next open of
// the archive (FileSource), so a crash leaves the old archive or the new one.
//
// A record names a path, and the file at that path may since have been
// replaced (restored, downloaded again).  So it also carries the identity of
// the file it protects and a copy of the bytes just before the directory,
// which the grow never touches: it is applied only to that very file, still
// in a state the grow could have left.  A record that does not fit is never
// applied; it is set aside as `<archive>.~mbxundo.stale` (or `.stale2`,
// `.stale3`, ... when that name is taken), so nothing is lost.
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
  // `tail` is the archive's bytes from tailStart to its end, oldSize.
  bool record(const std::string& archive, uint64_t oldSize, uint64_t tailStart, const std::vector<uint8_t>& tail,
              os::Enc enc = os::Enc::Ansi);
  // The archive is complete and synced (new, or put back): the record goes.
  void discard();

  // The record's length for a tail of tailLength bytes at tailStart.
  static uint64_t recordSize(uint64_t tailStart, uint64_t tailLength);

private:
  std::string path_;
  os::Enc enc_ = os::Enc::Ansi;
  os::File file_;
};

// Puts back an archive whose grow was interrupted, if a dead update left
// its record; a record whose writer still runs is left alone.
void recoverInterruptedGrow(const std::string& archive, os::Enc enc = os::Enc::Ansi);

}  // namespace ze
