#include "zip_request.h"

#include <cstring>
#include <optional>
#include <vector>

#include "engine_adaptor.h"
#include "member_list.h"
#include "profile.h"
#include "resource.h"
#include "strings.h"
#include "workspace.h"
#include "zip_exceptions.h"
#include "zip_file.h"

namespace {

// Writes text as the callback's output, or an empty name when it does not
// fit: a cut name would place the file somewhere else, an empty one makes
// the engine refuse it.
int SetOutput(NAMEMAPLONG& map, const std::string& text) {
  if (text.size() >= sizeof(map.szOutput)) {
    map.szOutput[0] = '\0';
    return 1;
  }
  memcpy(map.szOutput, text.c_str(), text.size() + 1);
  return 0;
}

std::string InputOf(const NAMEMAPLONG& map) {
  return std::string(map.szInput, strnlen(map.szInput, sizeof(map.szInput)));
}

void SetCaption(ProgressSink* progress, UINT textId) {
  if (progress != nullptr) progress->SetCaption(textId);
}

// systemError is the block's: the system's reason behind the result.
void CheckEngine(int result, uint32_t systemError) {
  // The user stopped the run; the engine left everything as it was.
  if (result == ZE_CANCELLED) throw CUserCancelException();
  if (result != 0) throw CZipEngineException(0, result, systemError);
}

}  // namespace

int ZE_CALLBACK AddRename(NAMEMAPLONG* map, void* context) {
  const auto& names = *static_cast<const RENAMECONTEXT*>(context);
  std::string input = InputOf(*map);
  ToBackslashes(input);
  // Staged copies come from their own directory in the same run.
  const std::string& root = !names.strStaged.empty() && input.compare(0, names.strStaged.size(), names.strStaged) == 0
                                ? names.strStaged
                                : names.strDrop;
  if (input.size() < root.size()) return SetOutput(*map, "");
  std::string output = names.strReplace + input.substr(root.size());
  ToForwardSlashes(output);
  return SetOutput(*map, output);
}

int ZE_CALLBACK ExtractRename(NAMEMAPLONG* map, void* context) {
  const auto& names = *static_cast<const RENAMECONTEXT*>(context);
  const std::string input = InputOf(*map);
  if (names.pRenamed != nullptr) {
    std::string path = input;
    ToBackslashes(path);
    if (const auto found = names.pRenamed->find(path); found != names.pRenamed->end())
      return SetOutput(*map, names.strReplace + found->second);
  }
  if (input.size() < names.strDrop.size()) return SetOutput(*map, "");
  return SetOutput(*map, names.strReplace + input.substr(names.strDrop.size()));
}

void InitZipBlock(ZIPCMD& block, const std::string& zipPath, std::string& workDir, ProgressSink* progress) {
  memset(&block, 0, sizeof(block));
  block.cbSize = sizeof(ZIPCMD);
  block.bUtf8 = 1;
  block.pszZipFile = zipPath.c_str();
  // The temporary folder as the user's profile names it, in any script.
  std::vector<WCHAR> temp(MAX_PATH + 1);
  DWORD length = GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
  if (length >= temp.size()) {
    temp.resize(length + 1);
    length = GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
  }
  if (length == 0 || length >= temp.size()) throw CZipWinException(0, length == 0 ? 0 : ERROR_FILENAME_EXCED_RANGE);
  workDir = WideToUtf8(std::wstring_view(temp.data(), length));
  if (!workDir.empty() && workDir.back() == '\\') workDir.pop_back();
  block.pszWorkDir = workDir.c_str();
  block.bUseWorkDir = 1;
  block.bDirEntries = 1;
  block.nLevel = ReadSetting(settings::kCompression);
  block.bGrow = ReadSetting(settings::kGrowExisting) != 0 ? 1 : 0;
  block.pfnQuery = OnQuery;
  block.pQueryUser = nullptr;
  if (progress != nullptr) {
    block.pfnProgressB = OnProgressB;
    block.pProgressBUser = progress;
    block.pfnProgressA = OnProgressA;
    block.pProgressAUser = progress;
  }
}

void ZipDelete(const std::string& zipPath, const std::string& members, ProgressSink* progress) {
  SetCaption(progress, IDS_DELETING);
  ZIPCMD block;
  std::string workDir;
  InitZipBlock(block, zipPath, workDir, progress);
  block.nFunction = ZE_ZIP_DELETE;
  block.pszItems = members.c_str();
  block.bLiteral = 1;
  const int result = dzip(&block);
  CheckEngine(result, block.dwSystemError);
}

void ZipAdd(const std::string& zipPath, const std::string& spec, const std::string& drop,
            const RENAMECONTEXT& names, ProgressSink* progress) {
  SetCaption(progress, IDS_ADDING);
  ZIPCMD block;
  std::string workDir;
  InitZipBlock(block, zipPath, workDir, progress);
  AddSpec root;  // one path, quoted as the engine reads its paths
  root.Add(names.strDrop);
  block.nFunction = ZE_ZIP_ADD;
  block.pszItems = spec.c_str();
  block.pszDropItems = drop.empty() ? nullptr : drop.c_str();
  block.bRecurse = 1;
  block.pszRootDir = root.Text().c_str();
  block.bSetComment = 1;
  block.pszComment = kArchiveComment;
  block.pfnRenameLong = AddRename;
  block.pRenameContext = const_cast<RENAMECONTEXT*>(&names);
  const int result = dzip(&block);
  CheckEngine(result, block.dwSystemError);
}

void UnzipExtract(const std::string& zipPath, const std::string& members, const std::string& folderPath,
                  const std::string& destDir, ProgressSink* progress,
                  const std::map<std::string, std::string>* renamed) {
  SetCaption(progress, IDS_UNZIPPING);
  UNZIPCMD block;
  InitUnzipBlock(block, zipPath, progress);
  const RENAMECONTEXT context{folderPath, destDir, {}, renamed};
  block.nFunction = ZE_UNZIP_EXTRACT;
  block.pszSpec = members.c_str();
  block.bLiteral = 1;
  block.pszDestDir = destDir.c_str();
  block.pfnRenameLong = ExtractRename;
  block.pRenameContext = const_cast<RENAMECONTEXT*>(&context);
  const int result = dunzip(&block);
  CheckEngine(result, block.dwSystemError);
}

void UpdateArchive(ZIPREQUEST& request) {
  // One engine run, one rewrite: the replaced members leave in the same
  // commit that brings their new versions, so a failure keeps them all.
  RENAMECONTEXT names{request.strBaseDir, request.strFolderPath, ""};
  AddSpec spec(request.strAddSpec);
  std::optional<ScopedWorkspace> workspace;  // the staged copies go however the update ends
  if (request.pCopyList != nullptr && !request.pCopyList->empty()) {
    workspace.emplace();
    names.strStaged = workspace->Path() + "\\";
    for (const std::string& path : *request.pCopyList)
      spec.Add(CopyIntoWorkspace(path, request.strBaseDir, names.strStaged));
  }
  if (spec.Empty() && request.strSpec.empty()) return;
  ZipAdd(request.pRoot->ZipPath(), spec.Text(), request.strSpec, names, request.pProgress);
}

unsigned __stdcall ExecuteRequest(void* argument) {
  auto& request = *static_cast<ZIPREQUEST*>(argument);
  try {
    switch (request.nOperation) {
      case kRequestUpdate: UpdateArchive(request); break;
      case kRequestDelete: ZipDelete(request.pRoot->ZipPath(), request.strSpec, request.pProgress); break;
      case kRequestExtract:
        UnzipExtract(request.pRoot->ZipPath(), request.strSpec, request.strFolderPath, request.strBaseDir,
                     request.pProgress, &request.renamed);
        break;
      default: break;
    }
  } catch (...) {
    // Carried back to the requesting thread, which reports it once the
    // dialog has gone.
    request.pException = std::current_exception();
  }
  if (request.pProgress != nullptr) request.pProgress->Finish();
  return 0;
}
