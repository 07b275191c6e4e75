#include <algorithm>
#include <cstring>
#include <string>

#include "errors.h"
#include "ops.h"

namespace ze {

namespace {

// Both maps share one contract; only their sizes differ.
template <class Map, class Fn>
std::string ask(Fn callback, void* context, Map& map, const std::string& input, const std::string& proposed) {
  std::memset(&map, 0, sizeof map);
  if (input.size() >= sizeof map.szInput) fail(ZE_NAME_TOO_LONG);
  std::memcpy(map.szInput, input.data(), input.size());
  std::memcpy(map.szOutput, proposed.data(), std::min(proposed.size(), sizeof map.szOutput - 1));
  const int refused = callback(&map, context);
  const size_t length = strnlen(map.szOutput, sizeof map.szOutput);
  if (refused != 0 || length >= sizeof map.szOutput - 1) fail(ZE_NAME_TOO_LONG);
  return std::string(map.szOutput, length);
}

}  // namespace

std::string renamed(ZE_RENAME callback, void* context, const std::string& input, const std::string& proposed) {
  NAMEMAP map;
  return ask(callback, context, map, input, proposed);
}

Renamer::Renamer(ZE_RENAME shortFn, ZE_RENAME_LONG longFn, void* context, bool utf8)
    : short_(utf8 ? nullptr : shortFn), long_(utf8 ? longFn : nullptr), context_(context) {}

Renamer::~Renamer() = default;

size_t Renamer::inputLimit() const { return long_ ? sizeof(NAMEMAPLONG::szInput) : sizeof(NAMEMAP::szInput); }

std::string Renamer::operator()(const std::string& input, const std::string& proposed) {
  if (short_) return renamed(short_, context_, input, proposed);
  // Almost 400 KB: on the heap, once per run.
  if (!map_) map_ = std::make_unique<NAMEMAPLONG>();
  return ask(long_, context_, *map_, input, proposed);
}

}  // namespace ze
