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

void Add(PropertyTotals& totals, const MemberEntry& member) {
  totals.size += member.size;
  totals.compressed += member.compressedSize;
}

}  // namespace

void CZipFolder::AccumulateTotals(CZipFolder* folder, PropertyTotals& totals, const std::vector<std::string>* names) {
  CriticalSectionLock lock(m_pRoot->RootLock());
  auto count = [&](const MemberEntry& member) {
    Add(totals, member);
    if (member.IsFolder()) {
      ++totals.folders;
      AccumulateTotals(member.subFolder, totals, nullptr);
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
    const MemberEntry& member = folder->MemberOrSyncError(name);
    const std::string type =
        FormatStrings(IDS_ALL_OF_TYPE, {format::GetTypeName(member.Key().c_str(), member.IsFolder())});
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
    const MemberEntry& member = MemberOrSyncError(names[0]);
    const ZIPENTRY record = member.Record();
    if (member.IsFolder()) {
      folderPage(record.pSubFolder, member.Display(), format::FormatFileTime(record.ftModified, true),
                 record.dwAttributes);
    } else {
      Add(totals, member);
      page.kind = PropertiesPage::kSingle;
      page.name = member.Display();
      page.iconIndex = record.iIcon;
      page.type = format::GetTypeName(record.szName, false);
      page.location = GetFolderDisplayName();
      page.date = format::FormatFileTime(record.ftModified, true);
      page.attributes = record.dwAttributes;
    }
  } else {
    AccumulateTotals(this, totals, &names);
    page.kind = PropertiesPage::kMultiple;
    page.name = FormatInts(IDS_FILES_FOLDERS, {totals.files, totals.folders});
    page.location = GetFolderDisplayName();
    page.type = totals.type;
  }
  page.size = format::FormatByteSize(totals.size, true);
  page.compressed = format::FormatByteSize(totals.compressed, true);
}
