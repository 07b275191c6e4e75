// Deleting members: the rest is copied raw into a new file that replaces
// the archive.
#include "errors.h"
#include "member_match.h"
#include "update.h"

namespace ze {

void deleteMembers(ZIPCMD& cmd) {
  std::string path = cmd.pszZipFile;
  ExistingArchive arc;
  const os::Enc enc = encodingOf(cmd);
  arc.open(path, enc);
  if (!arc.exists) fail(ZE_NOT_FOUND);
  const MemberSpec spec = MemberSpec::of(cmd.pszItems, cmd.bLiteral, enc);
  const CentralDirectory& cd = arc.cd;
  std::vector<size_t> keep;
  uint64_t total = 0;
  for (size_t i = 0; i < cd.entries.size(); ++i) {
    const std::string name = memberName(cd, cd.entries[i], enc);
    if (!name.empty() && spec.matches(name)) continue;
    keep.push_back(i);
    total += arc.spanEnd[i] - cd.entries[i].localOffset;
  }
  if (keep.size() == cd.entries.size()) fail(ZE_NOT_FOUND);

  Progress progress(cmd.pfnProgressB, cmd.pProgressBUser);
  progress.report(0, total);
  Replacement rep(path, cmd);
  OutSink out(rep.file(), 0);
  out.setErrorCodes(rep.writeError(), rep.fullError());
  std::vector<OutEntry> entries;
  entries.reserve(keep.size());
  uint64_t done = 0;
  copyPrefix(arc, out);
  copyMembers(arc, keep, out, entries, progress, done, total);
  writeCentralDirectory(out, entries, cd.comment);
  out.flush();
  arc.close();
  rep.commit();
  progress.finished();
}

}  // namespace ze
