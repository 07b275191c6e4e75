// Content that takes the engine a while: text and noise in turns, so it
// stays worth compressing while the noise makes deflating it slow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline std::string SlowContent(size_t size) {
  std::string content(size, '\0');
  uint32_t state = 2463534242u;
  for (size_t i = 0; i < size; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    content[i] = (i / 4096) % 2 ? static_cast<char>(state) : "text "[i % 5];
  }
  return content;
}
