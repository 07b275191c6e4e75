// Pieces of the platform layer shared by both implementations.
#include <atomic>
#include <mutex>
#include <string>

#include "platform.h"

namespace ze::os {

namespace {
std::atomic<int64_t> g_writeBudget{-1};
std::atomic<bool> g_hasUnreadable{false};
std::mutex g_unreadableMutex;
std::string g_unreadable;
}  // namespace

void setUnreadableForTests(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_unreadableMutex);
  g_unreadable = path;
  g_hasUnreadable = !path.empty();
}

bool isUnreadableForTests(const std::string& path) {
  if (!g_hasUnreadable.load(std::memory_order_relaxed)) return false;
  std::lock_guard<std::mutex> lock(g_unreadableMutex);
  return path == g_unreadable;
}

void setWriteFailureAfter(int64_t bytes) { g_writeBudget.store(bytes); }

bool consumeWriteBudget(size_t len) {
  int64_t budget = g_writeBudget.load(std::memory_order_relaxed);
  if (budget < 0) return true;
  if (int64_t(len) > budget) {
    g_writeBudget.store(-1);  // fail once, so clean-up writes go through
    return false;
  }
  g_writeBudget.store(budget - int64_t(len));
  return true;
}

}  // namespace ze::os
