// Extraction: names are resolved and checked for every selected member
// before anything is written, then each member is decoded into its file.
#include <algorithm>
#include <cstring>

#include "centraldir.h"
#include "errors.h"
#include "memberdata.h"
#include "member_match.h"
#include "ops.h"
#include "platform.h"
#include "safepath.h"
#include "zipformat.h"

namespace ze {

namespace {

struct Job {
  const Entry* entry;
  std::string path;  // output path in the caller's encoding: what the caller is told
  bool isDir;
  std::string file;  // the same in UTF-8 with the member's real name: what is written
};

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t i = 0;
  for (;;) {
    size_t j = s.find(sep, i);
    parts.push_back(s.substr(i, j == std::string::npos ? std::string::npos : j - i));
    if (j == std::string::npos) return parts;
    i = j + 1;
  }
}

// The output path in UTF-8: the parts that came from the member's name (the
// tail that the rename callback kept) get their real form back.
std::string realPath(const std::string& path, std::string ansiName, std::string utf8Name) {
  while (!ansiName.empty() && ansiName.back() == '/') ansiName.pop_back();
  while (!utf8Name.empty() && utf8Name.back() == '/') utf8Name.pop_back();
  const std::vector<std::string> out = split(path, os::kSep), a = split(ansiName, '/'), u = split(utf8Name, '/');
  size_t kept = 0;
  if (a.size() == u.size())
    while (kept < a.size() && kept < out.size() && out[out.size() - 1 - kept] == a[a.size() - 1 - kept]) ++kept;
  std::string real;
  for (size_t i = 0; i < out.size(); ++i) {
    if (i > 0) real += os::kSep;
    real += i + kept >= out.size() ? u[u.size() - (out.size() - i)] : os::ansiToUtf8(out[i]);
  }
  return real;
}

int writeError(os::Err e) { return e == os::Err::DiskFull ? ZE_DISK_FULL : ZE_FILE_WRITE; }

// Removes a partly written file unless the member completed.
class PartialFile {
public:
  PartialFile(os::File& f, const std::string& path) : f_(f), path_(path) {}
  ~PartialFile() {
    if (!done_) {
      f_.close();
      os::removeFileUtf8(path_);
    }
  }
  void done() { done_ = true; }

private:
  os::File& f_;
  const std::string& path_;
  bool done_ = false;
};

class Asker {
public:
  explicit Asker(const Callbacks& callbacks) : callbacks_(callbacks) {}
  // Answers ZE_ANSWER_*; without a callback the answer is yes.
  int ask(int code, const std::string& path, bool& all) {
    if (all) return ZE_ANSWER_YES;
    if (!callbacks_.query) return ZE_ANSWER_YES;
    int a = ze::ask(callbacks_, code, path);
    if (a == ZE_ANSWER_ALL) all = true;
    return a;
  }

private:
  const Callbacks& callbacks_;
};

}  // namespace

void extractMembers(const ExtractRequest& request) {
  if (request.destDir.empty()) fail(ZE_FAILED);
  const Callbacks& cb = request.callbacks;
  const os::Enc enc = request.enc;
  const bool utf8 = enc == os::Enc::Utf8;
  FileSource src(request.archive, enc);
  CentralDirectory cd;
  readCentralDirectory(src, cd);

  const MemberSpec spec = MemberSpec::of(request.members.text, request.members.literal, enc);
  Renamer rename(cb.rename, cb.renameLong, cb.renameContext, utf8);
  std::vector<Job> jobs;
  const std::string& dest = request.destDir;
  for (const Entry& e : cd.entries) {
    std::string name, realName;
    memberNames(cd, e, utf8 ? nullptr : &name, &realName);
    if (utf8) name = realName;
    if (name.empty() || !spec.matches(name)) continue;
    if (name.size() >= (utf8 ? sizeof(NAMEMAPLONG::szInput) : sizeof(NAMEMAP::szInput))) fail(ZE_FAILED);
    if (name.find('\0') != std::string::npos || !isSafeRelativeName(name) || !isSafeRelativeName(realName))
      fail(ZE_DAMAGED);
    bool isDir = name.back() == '/' || ((memberAttributes(cd, e) & 0x10) && e.size == 0);
    std::string output = dest + os::kSep + name;
    if (rename.active()) output = rename(name, output);
    Job job{&e, {}, isDir, {}};
    if (!resolveOutputPath(dest, output, job.path, enc)) fail(ZE_DAMAGED);
    // In UTF-8 mode the output path is the real one already.
    job.file = utf8 ? job.path : realPath(job.path, name, realName);
    jobs.push_back(std::move(job));
  }
  if (jobs.empty()) fail(ZE_NOT_FOUND);
  checkLayout(cd);

  uint64_t total = 0;
  for (const Job& j : jobs) total += j.entry->size + 1024;
  Progress all(cb.runProgress, cb.runProgressUser);
  Progress one(cb.fileProgress, cb.fileProgressUser);
  all.report(0, total);

  ReadWindow win(src);
  MemberDecoder decoder;
  Asker asker(cb);
  bool overwriteAll = false, readOnlyAll = false;
  std::vector<const Job*> dirs;
  std::string lastParent;
  uint64_t doneBytes = 0;

  for (const Job& job : jobs) {
    const Entry& e = *job.entry;
    if (job.isDir) {
      os::Err err = os::makeDirsUtf8(job.file);
      if (err != os::Err::None) failSystem(writeError(err));
      dirs.push_back(&job);
      doneBytes += e.size + 1024;
      all.report(doneBytes, total);
      continue;
    }
    size_t cut = job.file.find_last_of(os::kSep);
    std::string parent = job.file.substr(0, cut);
    if (parent != lastParent) {
      os::Err err = os::makeDirsUtf8(parent);
      if (err != os::Err::None) failSystem(writeError(err));
      lastParent = parent;
    }
    os::File out;
    os::Err err = out.createUtf8(job.file, true);
    if (err == os::Err::Exists || err == os::Err::Access) {
      os::FileInfo info;
      if (os::statUtf8(job.file, info) != os::Err::None) failSystem(writeError(err));
      if (info.isDir) fail(ZE_FILE_WRITE);
      if (asker.ask(ZE_Q_OVERWRITE_FILE, job.path, overwriteAll) == ZE_ANSWER_NO) {
        doneBytes += e.size + 1024;
        continue;
      }
      if (info.attrs & os::kAttrReadOnly) {
        if (asker.ask(ZE_Q_OVERWRITE_READONLY, job.path, readOnlyAll) == ZE_ANSWER_NO) {
          doneBytes += e.size + 1024;
          continue;
        }
      }
      // Windows refuses to recreate a read-only, hidden or system file.
      if (info.attrs & (os::kAttrReadOnly | os::kAttrHidden | os::kAttrSystem)) os::setAttributesUtf8(job.file, 0);
      err = out.createUtf8(job.file, false);
    }
    if (err != os::Err::None) failSystem(writeError(err));
    PartialFile guard(out, job.file);
    one.reset();
    uint64_t written = 0;
    decoder.decode(win, cd, e, [&](const uint8_t* p, size_t n) {
      os::Err we = out.write(p, n);
      if (we != os::Err::None) failSystem(writeError(we));
      written += n;
      if (e.size >= (uint64_t(256) << 10)) one.report(written, e.size);
      all.report(doneBytes + written, total);
    });
    one.fileDone(e.size);
    out.setMtime(memberMtime(cd, e));
    out.close();
    guard.done();
    uint32_t attrs = memberAttributes(cd, e) & (os::kAttrReadOnly | os::kAttrHidden | os::kAttrSystem);
    if (attrs) os::setAttributesUtf8(job.file, attrs | os::kAttrArchive);
    doneBytes += e.size + 1024;
    all.report(doneBytes, total);
  }
  // Folders last, deepest first, so their contents do not touch the times again.
  for (auto it = dirs.rbegin(); it != dirs.rend(); ++it) os::setDirMtimeUtf8((*it)->file, memberMtime(cd, *(*it)->entry));
  all.finished();
}

}  // namespace ze
