// Deleting members: the rest is copied raw into a new file that replaces
// the archive.
#include "errors.h"
#include "member_match.h"
#include "update.h"

namespace ze {

void deleteMembers(const DeleteRequest& request) {
  const std::string& path = request.archive;
  ExistingArchive arc;
  const os::Enc enc = request.enc;
  arc.open(path, enc);
  if (!arc.exists) fail(ZE_NOT_FOUND);
  const MemberSpec spec = MemberSpec::of(request.members.text, request.members.literal, enc);
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

  Progress progress(request.callbacks.runProgress, request.callbacks.runProgressUser);
  progress.report(0, total);
  Replacement rep(path, enc, request.workDir);
  OutSink out(rep.file(), 0);
  out.setErrorCodes(rep.writeError(), rep.fullError());
  out.writeBackEarly();
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
