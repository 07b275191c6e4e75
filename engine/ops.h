// The engine's operations behind the two entry points.  Each throws
// EngineError on failure; the entry points turn that into a result code.
#pragma once

#include <string>

#include "zipengine.h"

namespace ze {

void listCount(UNZIPCMD& cmd);
void listNext(UNZIPCMD& cmd);
void extractMembers(UNZIPCMD& cmd);
void deleteMembers(ZIPCMD& cmd);
void addFiles(ZIPCMD& cmd);

// Forgets any listing position kept for the archive (it was changed).
void forgetListing(const std::string& path);

// Reports a percentage through an optional callback, only when it grows.
class Progress {
public:
  Progress(ZE_PROGRESS fn, void* user) : fn_(fn), user_(user) {}
  void report(uint64_t done, uint64_t total) {
    if (!fn_) return;
    int pct = total ? int(done >= total ? 100 : (done * 100) / total) : 100;
    if (pct > last_) {
      last_ = pct;
      fn_(0, pct, user_);
    }
  }
  void reset() { last_ = -1; }

private:
  ZE_PROGRESS fn_;
  void* user_;
  int last_ = -1;
};

}  // namespace ze
