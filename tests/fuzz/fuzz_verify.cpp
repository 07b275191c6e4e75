// libFuzzer target for the reader's in-memory form: directory parsing, name
// and attribute conversion, layout checks and every member's decoding, with
// no file system in the way, so far more inputs per second than fuzz_reader.
#include "verify.h"
#include "zipengine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int rc = ze::verifyArchive(data, size);
  // Every failure must map onto a code the user gets a message for.
  switch (rc) {
    case ZE_OK: case ZE_FAILED: case ZE_DAMAGED: case ZE_MEMORY: case ZE_NOT_FOUND:
    case ZE_TEMP_WRITE: case ZE_ZIP_READ: case ZE_ZIP_WRITE: case ZE_ZIP_WRITE_FULL:
    case ZE_ZIP_OPEN: case ZE_DISK: case ZE_FILE_WRITE: case ZE_FILE_OPEN: case ZE_DISK_FULL:
      return 0;
    default:
      std::fprintf(stderr, "fuzz_verify: result %d is no engine result code\n", rc);
      std::abort();
  }
}
