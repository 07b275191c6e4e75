#include <algorithm>
#include <cstring>
#include <string>

#include "errors.h"
#include "ops.h"

namespace ze {

std::string renamed(ZE_RENAME callback, void* context, const std::string& input, const std::string& proposed) {
  NAMEMAP map;
  std::memset(&map, 0, sizeof map);
  if (input.size() >= sizeof map.szInput) fail(ZE_NAME_TOO_LONG);
  std::memcpy(map.szInput, input.data(), input.size());
  std::memcpy(map.szOutput, proposed.data(), std::min(proposed.size(), sizeof map.szOutput - 1));
  const int refused = callback(&map, context);
  const size_t length = strnlen(map.szOutput, sizeof map.szOutput);
  if (refused != 0 || length >= sizeof map.szOutput - 1) fail(ZE_NAME_TOO_LONG);
  return std::string(map.szOutput, length);
}

}  // namespace ze
