// The two entry points: check the block, run the operation, and turn every
// failure into a result code; nothing escapes to the caller.
#include <new>

#include "errors.h"
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

}  // namespace

int dunzip(UNZIPCMD* cmd) {
  if (!cmd || cmd->cbSize != int32_t(sizeof(UNZIPCMD)) || !cmd->pszZipFile || !*cmd->pszZipFile) return ZE_FAILED;
  uint32_t systemError = 0;
  const int rc = guarded([&] {
    switch (cmd->nFunction) {
    case ZE_UNZIP_COUNT: ze::listCount(*cmd); break;
    case ZE_UNZIP_NEXT: ze::listNext(*cmd); break;
    case ZE_UNZIP_EXTRACT: ze::extractMembers(*cmd); break;
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
  int rc = guarded([&] {
    if (cmd->nFunction == ZE_ZIP_DELETE) ze::deleteMembers(*cmd);
    else ze::addFiles(*cmd);
  }, systemError);
  cmd->dwSystemError = systemError;
  uint32_t ignored = 0;
  guarded([&] { ze::forgetListing(cmd->pszZipFile, cmd->bUtf8 ? ze::os::Enc::Utf8 : ze::os::Enc::Ansi); }, ignored);
  return rc;
}
