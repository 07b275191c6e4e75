// Deleting members and whole folders of one folder, after the user agreed.
#include "resource.h"
#include "strings.h"
#include "user_interaction.h"
#include "zip_exceptions.h"
#include "zip_file.h"
#include "zip_folder.h"
#include "zip_request.h"

void CZipFolder::DeleteMembers(const std::vector<std::string>& names, HWND parent) {
  if (names.empty()) {
    UserInteraction().Beep(0);
    return;
  }
  // Held while the user decides, so the question is about what will go.
  CriticalSectionLock lock(m_pRoot->RootLock());
  NamedMutexLock archiveLock(m_pRoot->ArchiveMutex());
  if (m_pRoot->IsReadOnly()) throw CZipUserException(IDS_READ_ONLY);
  if (UserInteraction().ShowMessage(parent, LoadStr(IDS_CONFIRM_DELETE), MB_YESNO) != IDYES) return;
  m_pRoot->RefreshListing();

  ZIPREQUEST request;
  request.nOperation = kRequestDelete;
  request.strSpec = BuildMemberSpec(names);
  m_pRoot->RunChange(request, parent);
}
