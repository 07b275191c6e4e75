// Records what the system would have shown the user and answers its questions.
#pragma once

#include <string>
#include <vector>

#include "user_interaction.h"

class FakeUserInteraction : public IUserInteraction {
 public:
  struct Box {
    std::string text;
    UINT type;
  };

  int ShowMessage(HWND, const std::string& text, UINT type) override {
    boxes.push_back({text, type});
    return answer;
  }
  void Beep(UINT type) override { beeps.push_back(type); }

  std::vector<Box> boxes;
  std::vector<UINT> beeps;
  int answer = IDOK;
};

// Installs a fake for the lifetime of a test fixture or scope.
class WithFakeUser {
 public:
  FakeUserInteraction user;

 private:
  ScopedUserInteraction m_scope{user};
};
