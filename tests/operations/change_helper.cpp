// A process that changes an archive through the extension's code, for a
// test that kills it part-way.  Arguments: add|delete, archive, the file to
// add or the member to delete, name of an event it signals just before the
// change starts.  The delete and replace questions are answered Yes.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>

#include "fake_user_interaction.h"
#include "handles.h"
#include "tree_support.h"
#include "workspace.h"

int main(int argc, char** argv) {
  if (argc != 5) return 64;
  if (FAILED(OleInitialize(nullptr))) return 65;
  int result = 0;
  try {
    WithFakeUser yes;
    yes.user.answer = IDYES;
    yes.user.answers = {IDYES};
    const std::string mode = argv[1];
    const RootHolder holder;
    CZipFile* const root = holder.root();
    const std::string zip = argv[2];
    const std::wstring wideZip(zip.begin(), zip.end());
    if (root->Load(wideZip.c_str(), 0) != S_OK) throw 0;
    root->RefreshListing();
    const UniqueKernelHandle started(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[4]));
    if (mode == "delete") {
      if (started) SetEvent(started.get());
      root->GetRootFolder()->DeleteMembers({argv[3]}, nullptr);
    } else {
      const UniqueGlobal drop(MakeDropFiles(std::string(argv[3]) + '\0'));
      if (started) SetEvent(started.get());
      root->GetRootFolder()->AddDroppedFiles(static_cast<HDROP>(drop.get()), nullptr);
    }
  } catch (...) {
    result = 1;
  }
  OleUninitialize();
  return result;
}
