#include "verify.h"

#include <new>

#include "centraldir.h"
#include "errors.h"
#include "memberdata.h"

namespace ze {

int verifyArchive(Source& src) {
  try {
    CentralDirectory cd;
    readCentralDirectory(src, cd);
    for (const Entry& e : cd.entries) {
      memberName(cd, e);
      memberAttributes(cd, e);
      memberMtime(cd, e);
    }
    checkLayout(cd);
    ReadWindow win(src);
    MemberDecoder decoder;
    for (const Entry& e : cd.entries) decoder.decode(win, cd, e, [](const uint8_t*, size_t) {});
    return ZE_OK;
  } catch (const EngineError& e) {
    return e.code;
  } catch (const std::bad_alloc&) {
    return ZE_MEMORY;
  }
}

int verifyArchive(const void* data, size_t size) {
  MemorySource src(data, size);
  return verifyArchive(src);
}

}  // namespace ze
