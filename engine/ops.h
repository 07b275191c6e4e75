// The engine's operations behind the two entry points.  Each throws
// EngineError on failure; the entry points turn that into a result code.
// Only the entry points read command blocks: the operations take requests
// of plain values.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "errors.h"
#include "platform.h"
#include "zipengine.h"

namespace ze {

// The caller's callbacks for one run; any may be null.
struct Callbacks {
  ZE_PROGRESS fileProgress = nullptr;  // this file, 0..100
  void* fileProgressUser = nullptr;
  ZE_PROGRESS runProgress = nullptr;  // whole run, 0..100
  void* runProgressUser = nullptr;
  ZE_QUERY query = nullptr;
  void* queryUser = nullptr;
  ZE_RENAME rename = nullptr;
  ZE_RENAME_LONG renameLong = nullptr;  // the one used in UTF-8 mode
  void* renameContext = nullptr;
};

// Which members a run names, as the caller wrote it; read (MemberSpec::of)
// where the run has got that far, so its failures come in the same order.
struct MemberText {
  const char* text = nullptr;  // a specification, or a literal member list
  bool literal = false;
};

struct ExtractRequest {
  std::string archive;
  os::Enc enc = os::Enc::Ansi;
  MemberText members;
  std::string destDir;
  Callbacks callbacks;
};

struct DeleteRequest {
  std::string archive;
  os::Enc enc = os::Enc::Ansi;
  MemberText members;
  std::string workDir;  // for the replacement when the archive's directory refuses it; empty: none
  Callbacks callbacks;
};

struct AddRequest {
  std::string archive;
  os::Enc enc = os::Enc::Ansi;
  std::string items;    // quoted full paths
  std::string rootDir;  // names are relative to it when no rename callback is set
  bool recurse = false;
  bool dirEntries = false;
  int level = 0;  // 0 store, 1..9 deflate
  bool grow = false;
  std::optional<std::string> comment;  // set: the new archive comment
  const char* dropItems = nullptr;     // literal member list, or null
  std::string workDir;                 // as DeleteRequest
  Callbacks callbacks;
};

void extractMembers(const ExtractRequest& request);
void deleteMembers(const DeleteRequest& request);
void addFiles(const AddRequest& request);

// Asks the rename callback for a name.  A nonzero result, or a name that
// fills the whole buffer (it may have been cut to fit, and a cut name can
// be another file: "x.exe.txt" becomes "x.exe"), fails with
// ZE_NAME_TOO_LONG before anything is written under it.
std::string renamed(ZE_RENAME callback, void* context, const std::string& input, const std::string& proposed);

// The run's rename callback: the short one, or in UTF-8 mode the long one
// (the short one is then ignored).  Same rules as renamed().
class Renamer {
public:
  Renamer(ZE_RENAME shortFn, ZE_RENAME_LONG longFn, void* context, bool utf8);
  ~Renamer();
  Renamer(const Renamer&) = delete;
  Renamer& operator=(const Renamer&) = delete;
  bool active() const { return short_ || long_; }
  // Inputs must be shorter than this.
  size_t inputLimit() const;
  std::string operator()(const std::string& input, const std::string& proposed);

private:
  ZE_RENAME short_;
  ZE_RENAME_LONG long_;
  void* context_;
  std::unique_ptr<NAMEMAPLONG> map_;
};

// Asks the query callback about a subject; -1 without one.
inline int ask(const Callbacks& callbacks, int code, const std::string& subject) {
  if (!callbacks.query) return -1;
  return callbacks.query(code, intptr_t(subject.c_str()), 0, 0, 0, 0, 0, callbacks.queryUser);
}

// Reports a percentage through an optional callback, only when it grows.
// A nonzero answer stops the run (ZE_CANCELLED), except to finished().
class Progress {
public:
  Progress(ZE_PROGRESS fn, void* user) : fn_(fn), user_(user) {}
  void report(uint64_t done, uint64_t total) {
    if (!fn_) return;
    int pct = total ? int(done >= total ? 100 : (done * 100) / total) : 100;
    if (pct > last_) {
      last_ = pct;
      call(pct);
    }
  }
  void reset() { last_ = -1; }
  // 100 once the work is committed: there is nothing left to stop.
  void finished() {
    if (fn_ && last_ < 100) {
      last_ = 100;
      fn_(0, 100, user_);
    }
  }
  // A small file is done: reported at most every 50 ms, so thousands of
  // tiny files do not flood the caller.
  void fileDone(uint64_t fileSize) {
    if (!fn_) return;
    auto now = std::chrono::steady_clock::now();
    if (fileSize < (uint64_t(256) << 10) && now - lastFileDone_ < std::chrono::milliseconds(50)) return;
    lastFileDone_ = now;
    if (last_ < 100) {
      last_ = 100;
      call(100);
    }
  }

private:
  void call(int pct) {
    if (fn_(0, pct, user_) != 0) fail(ZE_CANCELLED);
  }

  ZE_PROGRESS fn_;
  void* user_;
  int last_ = -1;
  std::chrono::steady_clock::time_point lastFileDone_{};
};

}  // namespace ze
