// A process that adds one file to an archive through the extension's code,
// for a test that kills it part-way.  Arguments: archive, file to add, name
// of an event it signals just before the add starts.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>

#include "handles.h"
#include "workspace.h"
#include "zip_file.h"
#include "zip_folder.h"

namespace {

class RootObject {
 public:
  RootObject() : m_root(CZipFile::Create()) { m_root->AddRef(); }
  ~RootObject() { m_root->Release(); }
  RootObject(const RootObject&) = delete;
  RootObject& operator=(const RootObject&) = delete;
  CZipFile* operator->() const { return m_root; }

 private:
  CZipFile* m_root;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 64;
  if (FAILED(OleInitialize(nullptr))) return 65;
  int result = 0;
  try {
    const RootObject root;
    const std::string zip = argv[1];
    const std::wstring wideZip(zip.begin(), zip.end());
    if (root->Load(wideZip.c_str(), 0) != S_OK) throw 0;
    root->RefreshListing();
    const UniqueGlobal drop(MakeDropFiles(std::string(argv[2]) + '\0'));
    const UniqueKernelHandle started(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]));
    if (started) SetEvent(started.get());
    root->GetRootFolder()->AddDroppedFiles(static_cast<HDROP>(drop.get()), nullptr);
  } catch (...) {
    result = 1;
  }
  OleUninitialize();
  return result;
}
