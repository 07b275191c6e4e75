#include "view_creator.h"

#include <atomic>

namespace {

std::atomic<ViewCreator> g_creator{nullptr};

}  // namespace

void InstallViewCreator(ViewCreator creator) { g_creator.store(creator); }

HRESULT CreateFolderView(CZipFolder* folder, HWND owner, REFIID iid, void** out) {
  const ViewCreator creator = g_creator.load();
  return creator != nullptr ? creator(folder, owner, iid, out) : E_NOTIMPL;
}
