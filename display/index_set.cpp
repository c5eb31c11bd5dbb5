// Counting which indices a page uses.
#include "display/index_set.hpp"

#include <cstring>

namespace quorvel::detail {

IndexSet IndicesIn(const uint8_t* pixels, size_t count) {
  IndexSet set;
  if (count == 0) return set;
  // Pages are mostly runs of one index (backgrounds, boxes, bars, the blank parts of
  // text): eight pixels that all repeat the last index seen cost one comparison. The
  // others mark a byte each, independent stores that a bit set would chain.
  bool seen[256] = {};
  constexpr uint64_t kEveryByte = 0x0101010101010101u;
  seen[pixels[0]] = true;
  uint64_t run = pixels[0] * kEveryByte;
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t eight;
    std::memcpy(&eight, pixels + i, 8);
    if (eight == run) continue;
    for (int k = 0; k < 8; ++k) seen[(eight >> (8 * k)) & 0xFF] = true;
    run = (eight >> 56) * kEveryByte;  // one of the eight, seen now
  }
  for (; i < count; ++i) seen[pixels[i]] = true;
  for (int index = 0; index < 256; ++index) {
    if (seen[index]) set.Add(static_cast<uint8_t>(index));
  }
  return set;
}

}  // namespace quorvel::detail
