// The two entry points: check the block, turn it into a request of plain
// values, run the operation, and turn every failure into a result code;
// nothing escapes to the caller.  Only this file reads command blocks.
#include <memory>
#include <new>

#include "errors.h"
#include "listing.h"
#include "ops.h"

namespace {

// systemError gets the system's error behind the failure, 0 for none.
template <class F>
int guarded(F&& f, uint32_t& systemError) {
  systemError = 0;
  // A failure noted before this run is not its reason.
  ze::os::noteSystemError(0);
  try {
    f();
    return ZE_OK;
  } catch (const ze::EngineError& e) {
    systemError = e.systemError;
    return e.code;
  } catch (const std::bad_alloc&) {
    return ZE_MEMORY;
  } catch (...) {
    return ZE_FAILED;
  }
}

ze::os::Enc encodingOf(int32_t utf8) { return utf8 ? ze::os::Enc::Utf8 : ze::os::Enc::Ansi; }

std::string textOf(const char* s) { return s ? s : ""; }

std::string workDirOf(const ZIPCMD& cmd) { return cmd.bUseWorkDir ? textOf(cmd.pszWorkDir) : std::string(); }

void endListing(UNZIPCMD& cmd) {
  delete cmd.pListing;
  cmd.pListing = nullptr;
}

void countMembers(UNZIPCMD& cmd) {
  endListing(cmd);
  auto listing = std::make_unique<ZE_LISTING>(cmd.pszZipFile, encodingOf(cmd.bUtf8));
  const size_t n = listing->listing.count();
  cmd.nMemberCount = n > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(n);
  cmd.pListing = listing.release();
}

void nextMember(UNZIPCMD& cmd) {
  if (!cmd.pMemberInfo && !cmd.pMemberInfoLong) ze::fail(ZE_FAILED);
  // Without a count, the first call starts a listing.
  if (!cmd.pListing) cmd.pListing = new ZE_LISTING(cmd.pszZipFile, encodingOf(cmd.bUtf8));
  // Past the end the listing is over: the next call starts another.
  if (!cmd.pListing->listing.next(cmd.pMemberInfo, cmd.pMemberInfoLong)) endListing(cmd);
}

ze::ExtractRequest extractRequestOf(const UNZIPCMD& cmd) {
  ze::ExtractRequest r;
  r.archive = cmd.pszZipFile;
  r.enc = encodingOf(cmd.bUtf8);
  r.members = {cmd.pszSpec, cmd.bLiteral != 0};
  r.destDir = textOf(cmd.pszDestDir);
  r.callbacks.fileProgress = cmd.pfnProgressA;
  r.callbacks.fileProgressUser = cmd.pProgressAUser;
  r.callbacks.runProgress = cmd.pfnProgressB;
  r.callbacks.runProgressUser = cmd.pProgressBUser;
  r.callbacks.query = cmd.pfnQuery;
  r.callbacks.queryUser = cmd.pQueryUser;
  r.callbacks.rename = cmd.pfnRename;
  r.callbacks.renameLong = cmd.pfnRenameLong;
  r.callbacks.renameContext = cmd.pRenameContext;
  return r;
}

ze::Callbacks callbacksOf(const ZIPCMD& cmd) {
  ze::Callbacks c;
  c.fileProgress = cmd.pfnProgressA;
  c.fileProgressUser = cmd.pProgressAUser;
  c.runProgress = cmd.pfnProgressB;
  c.runProgressUser = cmd.pProgressBUser;
  c.query = cmd.pfnQuery;
  c.queryUser = cmd.pQueryUser;
  c.rename = cmd.pfnRename;
  c.renameLong = cmd.pfnRenameLong;
  c.renameContext = cmd.pRenameContext;
  return c;
}

ze::DeleteRequest deleteRequestOf(const ZIPCMD& cmd) {
  ze::DeleteRequest r;
  r.archive = cmd.pszZipFile;
  r.enc = encodingOf(cmd.bUtf8);
  r.members = {cmd.pszItems, cmd.bLiteral != 0};
  r.workDir = workDirOf(cmd);
  r.callbacks = callbacksOf(cmd);
  return r;
}

ze::AddRequest addRequestOf(const ZIPCMD& cmd) {
  ze::AddRequest r;
  r.archive = cmd.pszZipFile;
  r.enc = encodingOf(cmd.bUtf8);
  r.items = textOf(cmd.pszItems);
  r.rootDir = textOf(cmd.pszRootDir);
  r.recurse = cmd.bRecurse != 0;
  r.dirEntries = cmd.bDirEntries != 0;
  r.level = cmd.nLevel;
  r.grow = cmd.bGrow != 0;
  if (cmd.bSetComment) r.comment = textOf(cmd.pszComment);
  r.dropItems = cmd.pszDropItems;
  r.workDir = workDirOf(cmd);
  r.callbacks = callbacksOf(cmd);
  return r;
}

}  // namespace

int dunzip(UNZIPCMD* cmd) {
  if (!cmd || cmd->cbSize != int32_t(sizeof(UNZIPCMD)) || !cmd->pszZipFile || !*cmd->pszZipFile) return ZE_FAILED;
  uint32_t systemError = 0;
  const int rc = guarded([&] {
    switch (cmd->nFunction) {
    case ZE_UNZIP_COUNT: countMembers(*cmd); break;
    case ZE_UNZIP_NEXT: nextMember(*cmd); break;
    case ZE_UNZIP_END: endListing(*cmd); break;
    case ZE_UNZIP_EXTRACT: ze::extractMembers(extractRequestOf(*cmd)); break;
    default: ze::fail(ZE_FAILED);
    }
  }, systemError);
  cmd->dwSystemError = systemError;  // the block is packed: no reference into it
  return rc;
}

int dzip(ZIPCMD* cmd) {
  if (!cmd || cmd->cbSize != int32_t(sizeof(ZIPCMD)) || !cmd->pszZipFile || !*cmd->pszZipFile) return ZE_FAILED;
  if (cmd->nFunction != ZE_ZIP_DELETE && cmd->nFunction != ZE_ZIP_ADD) return ZE_FAILED;
  uint32_t systemError = 0;
  const int rc = guarded([&] {
    if (cmd->nFunction == ZE_ZIP_DELETE) ze::deleteMembers(deleteRequestOf(*cmd));
    else ze::addFiles(addRequestOf(*cmd));
  }, systemError);
  cmd->dwSystemError = systemError;
  return rc;
}
