#include "user_interaction.h"

#include <atomic>

#include "strings.h"

namespace {

class WindowsUserInteraction final : public IUserInteraction {
 public:
  int ShowMessage(HWND owner, const std::string& text, UINT type) override {
    return MessageBoxA(owner, text.c_str(), kApplicationName, type | MB_SETFOREGROUND);
  }
  void Beep(UINT type) override { MessageBeep(type); }
};

WindowsUserInteraction g_windows;
std::atomic<IUserInteraction*> g_current{&g_windows};

}  // namespace

IUserInteraction& UserInteraction() { return *g_current.load(); }

ScopedUserInteraction::ScopedUserInteraction(IUserInteraction& replacement)
    : m_previous(g_current.exchange(&replacement)) {}

ScopedUserInteraction::~ScopedUserInteraction() { g_current.store(m_previous); }
