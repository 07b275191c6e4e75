// A thread that relists an archive whenever the directory holding it
// changes, so open views follow changes made by other programs.
#pragma once

#include <windows.h>

#include <memory>

#include "handles.h"

class CZipFile;

class ChangeWatcher {
 public:
  // Starts watching the directory of the root's archive.  Throws
  // CZipWinException when the thread cannot be started.
  static std::unique_ptr<ChangeWatcher> Start(CZipFile* root);
  // Stops the thread: it ends at once while waiting, and never touches the
  // root again whatever it was doing.  Waits at most 5 seconds for it.
  ~ChangeWatcher();

  ChangeWatcher(const ChangeWatcher&) = delete;
  ChangeWatcher& operator=(const ChangeWatcher&) = delete;

  // The shared state between the root and its thread.
  struct Control;

 private:
  ChangeWatcher(std::shared_ptr<Control> control, UniqueKernelHandle thread, DWORD threadId);

  std::shared_ptr<Control> m_control;
  UniqueKernelHandle m_thread;
  DWORD m_threadId;
};
