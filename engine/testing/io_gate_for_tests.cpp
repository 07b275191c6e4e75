// The test programs' gate: a write budget that runs out, and one file that
// cannot be opened.  Linked in place of io_gate.cpp.
#include <atomic>
#include <mutex>

#include "io_gate.h"
#include "io_seams.h"

namespace ze::os {

namespace {
std::atomic<int64_t> g_writeBudget{-1};
std::atomic<bool> g_hasUnreadable{false};
std::mutex g_unreadableMutex;
std::string g_unreadable;
}  // namespace

void setWriteFailureAfter(int64_t bytes) { g_writeBudget.store(bytes); }

void setUnreadableForTests(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_unreadableMutex);
  g_unreadable = path;
  g_hasUnreadable = !path.empty();
}

namespace gate {

bool mayWrite(size_t len) {
  int64_t budget = g_writeBudget.load(std::memory_order_relaxed);
  if (budget < 0) return true;
  if (int64_t(len) > budget) {
    g_writeBudget.store(-1);  // fail once, so clean-up writes go through
    return false;
  }
  g_writeBudget.store(budget - int64_t(len));
  return true;
}

bool mayOpenForReading(const std::string& path) {
  if (!g_hasUnreadable.load(std::memory_order_relaxed)) return true;
  std::lock_guard<std::mutex> lock(g_unreadableMutex);
  return path != g_unreadable;
}

}  // namespace gate

}  // namespace ze::os
