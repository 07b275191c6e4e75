// Every way the system talks to the user goes through one replaceable object,
// so tests can answer questions and record reports without any window.
#pragma once

#include <windows.h>

#include <string>

class IUserInteraction {
 public:
  virtual ~IUserInteraction() = default;
  // A message box; returns the button chosen (IDOK, IDYES, ...).
  virtual int ShowMessage(HWND owner, const std::string& text, UINT type) = 0;
  // The "nothing to do" signal.
  virtual void Beep(UINT type) = 0;
};

// The one in force: the real windows unless a test installed its own.
IUserInteraction& UserInteraction();

// Installs a replacement for as long as the object lives.
class ScopedUserInteraction {
 public:
  explicit ScopedUserInteraction(IUserInteraction& replacement);
  ~ScopedUserInteraction();
  ScopedUserInteraction(const ScopedUserInteraction&) = delete;
  ScopedUserInteraction& operator=(const ScopedUserInteraction&) = delete;

 private:
  IUserInteraction* m_previous;
};
