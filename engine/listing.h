// One listing of an archive's members, in directory order: the caller's
// cursor behind a ZE_LISTING handle.  The central directory is read once,
// when the listing starts, and released once the last member is out.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform.h"
#include "zipengine.h"

namespace ze {

struct CentralDirectory;

class Listing {
public:
  // Reads the archive's central directory; throws EngineError.
  Listing(const std::string& archive, os::Enc enc);
  ~Listing();
  Listing(const Listing&) = delete;
  Listing& operator=(const Listing&) = delete;

  size_t count() const { return count_; }
  // The next member into *longInfo when given, else into *info; past the
  // last one the end record, and false.  A name that does not fit fails
  // with ZE_FAILED, the position past it.
  bool next(MEMBERINFO* info, MEMBERINFOLONG* longInfo);

private:
  std::unique_ptr<CentralDirectory> cd_;
  os::Enc enc_;
  size_t count_ = 0;
  size_t next_ = 0;
};

}  // namespace ze

// What the public handle stands for.
struct ZE_LISTING {
  ZE_LISTING(const std::string& archive, ze::os::Enc enc) : listing(archive, enc) {}
  ze::Listing listing;
};
