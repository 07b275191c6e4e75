#include "app.h"

#include <shlwapi.h>

#include <vector>

#include "help.h"
#include "strings.h"
#include "trace.h"
#include "wiring.h"
#include "workspace.h"

UINT TemporaryDirectoryClipboardFormat() { return RegisterClipboardFormatA(kTemporaryDirectoryFormatName); }

std::string ModuleShortFileName() {
  std::vector<WCHAR> name(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(ResourceInstance(), name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) break;
    name.resize(name.size() * 2);
  }
  std::vector<WCHAR> shortName(name.size());
  const DWORD length = GetShortPathNameW(name.data(), shortName.data(), static_cast<DWORD>(shortName.size()));
  // Without a short form (8.3 names off) the long one names the same file.
  if (length == 0 || length >= shortName.size()) return WideToUtf8(name.data());
  return WideToUtf8(shortName.data());
}

CArchiveShellApp::CArchiveShellApp() : m_clock([] { return std::time(nullptr); }) {}

bool CArchiveShellApp::InitInstance() {
  WireLayers();
  // The profile's registry key is fixed in the profile helper; nothing to set.
  // The help page is written out for the user's browser, so it goes where
  // the user may write rather than beside the library.
  SetHelpFilePath(DefaultHelpFilePath());

  // OLE is left to the host.  Every caller reaches us through COM, and the
  // shell's threads are OLE threads already; an OleInitialize of ours would
  // raise the count of a host's thread that only had COM, so its own
  // CoUninitialize would no longer end the apartment, and the balancing call
  // could only come at unload, under the loader lock.
  return true;
}

void CArchiveShellApp::AddPendingWorkspace(const std::string& path) {
  CriticalSectionLock lock(m_lock);
  m_listPendingWorkspaces.push_back({path, m_clock()});
}

void CArchiveShellApp::SetClipboardWorkspace(const std::string& path) {
  CriticalSectionLock lock(m_lock);
  if (!m_strClipboardWorkspace.empty()) AddPendingWorkspace(m_strClipboardWorkspace);
  m_strClipboardWorkspace = path;
}

bool CArchiveShellApp::CleanWorkspaces() {
  const UINT marker = TemporaryDirectoryClipboardFormat();
  CriticalSectionLock lock(m_lock);
  if (!IsClipboardFormatAvailable(marker)) SetClipboardWorkspace(std::string());

  bool result = true;
  const std::time_t now = m_clock();
  for (auto entry = m_listPendingWorkspaces.begin(); entry != m_listPendingWorkspaces.end();) {
    if (now - entry->added <= kPendingWorkspaceSeconds) {
      result = false;
      ++entry;
      continue;
    }
    // A directory someone else already removed is as good as deleted.
    const bool gone = DeleteTree(entry->path) ||
                      GetFileAttributesW(FileSystemPath(entry->path).c_str()) == INVALID_FILE_ATTRIBUTES;
    if (gone) {
      entry = m_listPendingWorkspaces.erase(entry);
    } else {
      result = false;
      ++entry;
    }
  }
  return result && !IsClipboardFormatAvailable(marker);
}

std::list<PENDINGWORKSPACE> CArchiveShellApp::PendingWorkspaces() const {
  CriticalSectionLock lock(m_lock);
  return m_listPendingWorkspaces;
}

std::string CArchiveShellApp::ClipboardWorkspace() const {
  CriticalSectionLock lock(m_lock);
  return m_strClipboardWorkspace;
}

CArchiveShellApp::Clock CArchiveShellApp::SetClock(Clock clock) {
  CriticalSectionLock lock(m_lock);
  std::swap(m_clock, clock);
  return clock;
}

CArchiveShellApp& TheApp() {
  static CArchiveShellApp app;
  // The one object keeps the workspaces the operations leave behind.
  static const bool keeper = (SetWorkspaceKeeper(&app), true);
  (void)keeper;
  return app;
}

namespace {

bool g_started = false;

BOOL CALLBACK StartOnce(PINIT_ONCE, PVOID, PVOID*) {
  try {
    g_started = TheApp().InitInstance();
  } catch (...) {
    // Nothing may cross the system's callback; the library stays unstarted.
    TraceCurrentException("start-up");
  }
  return TRUE;
}

}  // namespace

bool EnsureAppStarted() {
  static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
  InitOnceExecuteOnce(&once, &StartOnce, nullptr, nullptr);
  return g_started;
}
