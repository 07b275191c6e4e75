// Properties of members: the totals below a folder and the texts of the one
// page the sheet shows.
#include <shlwapi.h>

#include "format.h"
#include "locks.h"
#include "resource.h"
#include "strings.h"
#include "user_interaction.h"
#include "workspace.h"
#include "zip_exceptions.h"
#include "zip_file.h"
#include "zip_folder.h"

// Sizes add up in 64 bits: a folder of large members must not show a
// wrapped total.
struct PropertyTotals {
  uint64_t size = 0;
  uint64_t compressed = 0;
  long files = 0;
  long folders = 0;
  std::string type;
};

namespace {

void Add(PropertyTotals& totals, const ZIPENTRY& member) {
  totals.size += member.dwSize;
  totals.compressed += member.dwCompressedSize;
}

}  // namespace

void CZipFolder::AccumulateTotals(CZipFolder* folder, PropertyTotals& totals, const std::vector<std::string>* names) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  auto count = [&](const ZIPENTRY& member) {
    Add(totals, member);
    if (member.pSubFolder != nullptr) {
      ++totals.folders;
      AccumulateTotals(member.pSubFolder, totals, nullptr);
    } else {
      ++totals.files;
    }
  };
  if (names == nullptr) {
    for (auto position = folder->m_mapEntries.First(); position != nullptr;
         position = folder->m_mapEntries.Next(position))
      count(CEntryMap::At(position));
    return;
  }
  for (const std::string& name : *names) {
    const ZIPENTRY& member = folder->MemberOrSyncError(name);
    const std::string type =
        FormatStrings(IDS_ALL_OF_TYPE, {format::GetTypeName(member.szName, member.pSubFolder != nullptr)});
    if (totals.type.empty())
      totals.type = type;
    else if (totals.type != type)
      totals.type = LoadStr(IDS_MULTIPLE_TYPES);
    count(member);
  }
}

std::string CZipFolder::GetFolderDisplayName() const {
  if (m_strPath.empty()) return FileNameOf(m_pRoot->ZipPath());
  std::string path = m_strPath;
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return FileNameOf(path);
}

void CZipFolder::ShowProperties(HWND parent, const std::vector<std::string>& names) {
  // The page is filled under the root lock and shown without it: the sheet
  // describes the members as they were, and nothing waits for it to close.
  PropertiesPage page;
  {
    CriticalSectionLock lock(m_pRoot->RootLock());
    m_pRoot->RefreshListing();
    FillPropertiesPage(names, page);
  }
  UserInteraction().ShowPropertySheet(parent, page);
}

void CZipFolder::FillPropertiesPage(const std::vector<std::string>& names, PropertiesPage& page) {
  PropertyTotals totals;
  auto folderPage = [&](CZipFolder* folder, std::string name, std::string date, DWORD attributes) {
    AccumulateTotals(folder, totals, nullptr);
    page.kind = PropertiesPage::kFolder;
    page.name = std::move(name);
    page.date = std::move(date);
    page.attributes = attributes;
    page.contains = FormatInts(IDS_FILES_FOLDERS, {totals.files, totals.folders});
  };
  if (names.empty()) {
    folderPage(this, GetFolderDisplayName(), "?", 0);
  } else if (names.size() == 1) {
    const ZIPENTRY& member = MemberOrSyncError(names[0]);
    if (member.pSubFolder != nullptr) {
      folderPage(member.pSubFolder, member.szDisplayName, format::FormatFileTime(member.ftModified, true),
                 member.dwAttributes);
    } else {
      Add(totals, member);
      page.kind = PropertiesPage::kSingle;
      page.name = member.szDisplayName;
      page.iconIndex = member.iIcon;
      page.type = format::GetTypeName(member.szName, false);
      page.location = GetFolderDisplayName();
      page.date = format::FormatFileTime(member.ftModified, true);
      page.attributes = member.dwAttributes;
    }
  } else {
    AccumulateTotals(this, totals, &names);
    page.kind = PropertiesPage::kMultiple;
    page.name = FormatInts(IDS_FILES_FOLDERS, {totals.files, totals.folders});
    page.location = GetFolderDisplayName();
    page.type = totals.type;
  }
  page.size = format::FormatByteSize64(totals.size);
  page.compressed = format::FormatByteSize64(totals.compressed);
}
