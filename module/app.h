// The application object: lives as long as the library, starts at the first
// call into it, and owns the workspaces that wait to be deleted.
#pragma once

#include <windows.h>

#include <ctime>
#include <functional>
#include <list>
#include <string>

#include "help.h"
#include "locks.h"
#include "workspace.h"

// The clipboard format whose presence means the last clipboard workspace is
// still in use (its name: workspace.h).
UINT TemporaryDirectoryClipboardFormat();

// A workspace may still be in use by a program started on its files, so it is
// only deleted once it has been pending this long.
inline constexpr std::time_t kPendingWorkspaceSeconds = 120;

struct PENDINGWORKSPACE {
  std::string path;
  std::time_t added;  // calendar seconds
};

class CArchiveShellApp final : public IWorkspaceKeeper {
 public:
  // Calendar time in seconds; replaceable so tests can move it.
  using Clock = std::function<std::time_t()>;

  CArchiveShellApp();
  CArchiveShellApp(const CArchiveShellApp&) = delete;
  CArchiveShellApp& operator=(const CArchiveShellApp&) = delete;

  // Sets the help file path.  False would mean the class objects are
  // unavailable; ours are static, so it succeeds.
  bool InitInstance();

  void AddPendingWorkspace(const std::string& path) override;
  void SetClipboardWorkspace(const std::string& path) override;
  // True when no workspace is left and the clipboard holds no marker.
  bool CleanWorkspaces();

  // Held where the view's Help command reads it.
  std::string HelpFilePath() const { return ::HelpFilePath(); }
  std::list<PENDINGWORKSPACE> PendingWorkspaces() const;
  std::string ClipboardWorkspace() const;

  // Returns the clock it replaces.
  Clock SetClock(Clock clock);

 private:
  // The list is touched from every shell thread that calls in.
  mutable CriticalSection m_lock;
  std::list<PENDINGWORKSPACE> m_listPendingWorkspaces;
  std::string m_strClipboardWorkspace;
  Clock m_clock;
};

// The one application object.
CArchiveShellApp& TheApp();

// Starts the application object once, on the first call into the library.
// DllMain only notes the module: anything that may load libraries or wait
// must not run under the loader lock.
bool EnsureAppStarted();

// The library's own file, in its short form (as the registry records it).
std::string ModuleShortFileName();
