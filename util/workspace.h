// Workspaces: fresh directories in the system's temporary directory into which
// members are extracted before any other program sees them, and the small
// file and path helpers around them.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

// The CF_HDROP header is part of a published clipboard layout: 20 bytes on
// every architecture (offset, point, two flags).
static_assert(sizeof(DROPFILES) == 20, "DROPFILES must keep the published 20-byte layout");

// Creates a new empty directory with a unique "bdx" name in the temporary
// directory and returns its full path (UTF-8) without a trailing backslash.
// Throws CZipWinException.
std::string CreateWorkspace();

// The clipboard format that marks the clipboard's files as lying in one of
// our workspaces.
inline constexpr char kTemporaryDirectoryFormatName[] = "Burrowdeck Temporary Directory";

// Keeps workspaces that may still be in use until they can go: the
// application object's deferred clean-up.  Without a keeper (a program
// without the module) a workspace simply stays in the temporary directory.
class IWorkspaceKeeper {
 public:
  // Deleted once it has waited long enough.
  virtual void AddPendingWorkspace(const std::string& path) = 0;
  // The workspace behind the clipboard's files; the previous one waits.
  virtual void SetClipboardWorkspace(const std::string& path) = 0;

 protected:
  ~IWorkspaceKeeper() = default;
};
void SetWorkspaceKeeper(IWorkspaceKeeper* keeper);
// Never throws (destructors call it): what cannot be queued stays on disk.
void DeferWorkspaceDeletion(const std::string& path) noexcept;
void SetClipboardWorkspace(const std::string& path);

// A new workspace that is removed with everything in it unless it is
// handed on with Release.  Throws CZipWinException.
class ScopedWorkspace {
 public:
  ScopedWorkspace();
  ~ScopedWorkspace();
  ScopedWorkspace(const ScopedWorkspace&) = delete;
  ScopedWorkspace& operator=(const ScopedWorkspace&) = delete;
  // Without a trailing backslash.
  const std::string& Path() const { return m_path; }
  std::string Release();

 private:
  std::string m_path;
};

// Removes a directory tree, clearing read-only attributes on the way.  True
// when the directory itself is gone; never throws.
bool DeleteTree(const std::string& path);

// Stages one file or directory below destination, keeping its path relative
// to base (base and destination end with a backslash).  A directory is created
// empty, with a trailing backslash on the returned path; a file is copied and
// never overwrites.  Throws CZipWinException.
std::string CopyIntoWorkspace(const std::string& source, const std::string& base, const std::string& destination);

// A wide CF_HDROP block (MakeWideDropFiles) from NUL-separated UTF-8 paths;
// the list may or may not end with its own NUL.  The caller owns the handle.
HGLOBAL MakeDropFiles(const std::string& nulSeparatedPaths);

// True for the extensions that start a program: .exe, .bat, .com, .pif.
bool IsApplicationName(const char* name);

// Path parts of UTF-8 paths, read at the ASCII separators only (a UTF-8
// sequence never holds one; the code page's functions would read UTF-8 as
// double-byte characters in some languages).
// The last component: "b.txt" of "C:\a\b.txt".
std::string FileNameOf(const std::string& path);
// The path without its last component and separator, as PathRemoveFileSpec
// leaves it: "C:\a" of "C:\a\b.txt", "C:\" of "C:\b.txt".
std::string ParentOf(const std::string& path);
// A file name without its extension: "b" of "b.txt"; ".profile" stays.
std::string WithoutExtension(const std::string& name);

// In place: "/" to "\" and back.
void ToBackslashes(char* text);
void ToForwardSlashes(char* text);
inline void ToBackslashes(std::string& text) { ToBackslashes(text.data()); }
inline void ToForwardSlashes(std::string& text) { ToForwardSlashes(text.data()); }
