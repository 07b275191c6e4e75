// Members leaving for other applications: the drop list, the clipboard
// copy and the data object of a drag.
#include "data_source.h"
#include "drop_data.h"
#include "handles.h"
#include "user_interaction.h"
#include "workspace.h"
#include "zip_exceptions.h"
#include "zip_file.h"
#include "zip_folder.h"

namespace {

// The clipboard needs an owner window for SetClipboardData to hold.
class ClipboardOwner {
 public:
  ClipboardOwner()
      : m_window(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
  ~ClipboardOwner() {
    if (m_window) DestroyWindow(m_window);
  }
  ClipboardOwner(const ClipboardOwner&) = delete;
  ClipboardOwner& operator=(const ClipboardOwner&) = delete;
  HWND get() const { return m_window; }

 private:
  HWND m_window;
};

class OpenedClipboard {
 public:
  explicit OpenedClipboard(HWND owner) {
    // Another program may hold it for a moment.
    for (int attempt = 0; attempt < 20 && !m_open; ++attempt) {
      m_open = OpenClipboard(owner) != FALSE;
      if (!m_open) Sleep(25);
    }
    if (!m_open) throw CZipWinException();
  }
  ~OpenedClipboard() { CloseClipboard(); }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;

 private:
  bool m_open = false;
};

void Put(UINT format, UniqueGlobal& block) {
  if (SetClipboardData(format, block.get()) == nullptr) throw CZipWinException();
  block.release();
}

}  // namespace

HGLOBAL CZipFolder::BuildDropList(const std::vector<std::string>& names, const std::string& directory) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  std::vector<std::string> paths;
  for (const std::string& name : names) {
    paths.push_back(directory + "\\" + MemberOrSyncError(name).Shown());
  }
  return MakeWideDropFiles(paths);
}

void CZipFolder::CopyToClipboard(const std::vector<std::string>& names, HWND parent, HGLOBAL positions) {
  UniqueGlobal offsets(positions);
  if (names.empty()) {
    UserInteraction().Beep(0);
    return;
  }
  CriticalSectionLock lock(m_pRoot->RootLock());
  const std::string spec = BuildMemberSpec(names);
  ScopedWorkspace workspace;
  // Complete files before anything is on the clipboard: a paste never
  // finds half of them.
  ExtractToDirectory(spec, workspace.Path(), parent);
  UniqueGlobal list(BuildDropList(names, workspace.Path()));
  UniqueGlobal marker(GlobalAlloc(GMEM_MOVEABLE, 1));
  if (marker.get() == nullptr) throw CZipWinException();

  ClipboardOwner owner;
  {
    OpenedClipboard clipboard(owner.get());
    if (!EmptyClipboard()) throw CZipWinException();
    Put(CF_HDROP, list);
    Put(RegisterClipboardFormatA(kTemporaryDirectoryFormatName), marker);
    if (offsets.get()) Put(ShellObjectOffsetsFormat(), offsets);
  }
  SetClipboardWorkspace(workspace.Release());
}

IDataObject* CZipFolder::CreateDragData(const std::vector<std::string>& names, HWND parent, HGLOBAL positions) {
  UniqueGlobal offsets(positions);
  CriticalSectionLock lock(m_pRoot->RootLock());
  ScopedWorkspace workspace;
  UniqueGlobal list(BuildDropList(names, workspace.Path()));
  const std::string spec = BuildMemberSpec(names);
  CZipDataSource* source = CZipDataSource::Create(this, list.release(), spec, workspace.Release(), parent,
                                                  offsets.release());
  return static_cast<IDataObject*>(source);
}
