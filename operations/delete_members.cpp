// Deleting members and whole folders of one folder, after the user agreed.
#include "archive_lock.h"
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
  // Nothing is locked while the user decides: every other window and
  // program on this archive goes on meanwhile.  Afterwards the answer counts
  // only if the listing it was about is still the file's.
  m_pRoot->RefreshListing();
  const uint32_t asked = m_pRoot->ListingStamp();
  if (m_pRoot->IsReadOnly()) throw CZipUserException(IDS_READ_ONLY);
  if (UserInteraction().ShowMessage(parent, LoadStr(IDS_CONFIRM_DELETE), MB_YESNO) != IDYES) return;

  const ArchiveChange change(*m_pRoot);
  const ArchiveLock archiveLock(*m_pRoot);
  m_pRoot->RefreshListing();
  if (m_pRoot->ListingStamp() != asked) throw CZipUserException(IDS_SYNC_ERROR);
  if (m_pRoot->IsReadOnly()) throw CZipUserException(IDS_READ_ONLY);

  ZIPREQUEST request;
  request.nOperation = kRequestDelete;
  request.strSpec = BuildMemberSpec(names);
  m_pRoot->RunChange(request, parent);
}
