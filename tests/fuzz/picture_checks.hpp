// What the fuzzer asks of every picture read from arbitrary bytes. Internal to the fuzzer.
#pragma once

#include <cstdint>
#include <vector>

namespace quorvel::fuzz {

// Reads the bytes as a picture. On success the picture must be within the size limits and
// consistent in itself (pixels, colours, opacities, transparent index), and where a second
// decoder of its kind is at hand (giflib's DGifSlurp for a GIF, libpng's simplified API
// for a PNG), that one must read the same picture from the same bytes. On failure nothing
// of the picture may be left. A PNG is read once more with every chunk's CRC made right,
// so that the decoders see what mutations do inside chunks. Traps otherwise.
void CheckPicture(const std::vector<uint8_t>& bytes);

}  // namespace quorvel::fuzz
