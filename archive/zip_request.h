// Engine requests: every change of an archive and every extraction is one
// request, run on a worker thread under the progress dialog.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "progress_sink.h"
#include "zipengine.h"

class CZipFile;

enum : int32_t { kRequestUpdate = 0, kRequestDelete = 1, kRequestExtract = 2 };

struct ZIPREQUEST {
  int32_t nOperation = kRequestUpdate;
  CZipFile* pRoot = nullptr;  // set by RunRequest
  // Update: files to add, an AddSpec's text (member_list.h).
  std::string strAddSpec;
  // A literal member list (member_list.h).  Delete: members to delete;
  // update: members the added files replace, dropped in the same rewrite;
  // extract: members to extract.
  std::string strSpec;
  // Update: paths first copied into a workspace and added from there, in
  // the same engine run as strAddSpec.
  const std::vector<std::string>* pCopyList = nullptr;
  // Update: the directory the names to add are relative to; extract: the
  // destination.  Both end with a backslash.
  std::string strBaseDir;
  // The folder inside the archive ("" or ending with a backslash).
  std::string strFolderPath;
  // Extract: members (paths with backslashes) written under another name,
  // relative to the destination: a file beside a folder of its name.
  std::map<std::string, std::string> renamed;
  ProgressSink* pProgress = nullptr;    // set by the progress dialog
  HWND hProgressWnd = nullptr;          // the dialog, once a long run showed one
  std::exception_ptr pException;        // what ended the worker, if anything
};

// The worker procedure: runs the request's steps, keeps what they throw and
// always tells the progress sink it is done.  Returns 0.
unsigned __stdcall ExecuteRequest(void* request);

// The steps; each throws.
// Specifications named `members` are literal member lists.
void UpdateArchive(ZIPREQUEST& request);
void ZipDelete(const std::string& zipPath, const std::string& members, ProgressSink* progress);
struct RENAMECONTEXT;
// One rewrite: the members `drop` names leave and the files `spec` names
// come in, named by `names`.
void ZipAdd(const std::string& zipPath, const std::string& spec, const std::string& drop,
            const RENAMECONTEXT& names, ProgressSink* progress);
// renamed: members written under another name (see RENAMECONTEXT), or null.
void UnzipExtract(const std::string& zipPath, const std::string& members, const std::string& folderPath,
                  const std::string& destDir, ProgressSink* progress,
                  const std::map<std::string, std::string>* renamed = nullptr);

// Fills the whole dzip block, UTF-8 throughout.  workDir receives the
// temporary directory without its trailing backslash; it must outlive the
// block.  Throws CZipWinException when there is no usable temporary
// directory.
void InitZipBlock(ZIPCMD& block, const std::string& zipPath, std::string& workDir, ProgressSink* progress);

// What the rename callbacks read: the part of the input to drop, and the
// text put in its place.
struct RENAMECONTEXT {
  std::string strDrop;     // add: the source directory; extract: the folder path
  std::string strReplace;  // add: the folder path; extract: the destination
  // Add: a second source directory (staged copies, ending with a
  // backslash) whose paths also land in strReplace, or empty.
  std::string strStaged;
  // Extract: members (paths with backslashes) written under another name
  // below strReplace, or null.
  const std::map<std::string, std::string>* pRenamed = nullptr;
};
// Long callbacks (pfnRenameLong): UTF-8 names of any length.
int ZE_CALLBACK AddRename(NAMEMAPLONG* map, void* context);
int ZE_CALLBACK ExtractRename(NAMEMAPLONG* map, void* context);

// The archive comment every add writes.
inline constexpr char kArchiveComment[] = "Zip file created using Marrowbox";
