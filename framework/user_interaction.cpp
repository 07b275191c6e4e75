#include "user_interaction.h"

#include <atomic>

namespace {

// Null: the real windows.
std::atomic<IUserInteraction*> g_current{nullptr};

}  // namespace

IUserInteraction& UserInteraction() {
  IUserInteraction* current = g_current.load();
  return current ? *current : WindowsUserInteraction();
}

ScopedUserInteraction::ScopedUserInteraction(IUserInteraction& replacement)
    : m_previous(g_current.exchange(&replacement)) {}

ScopedUserInteraction::~ScopedUserInteraction() { g_current.store(m_previous); }
