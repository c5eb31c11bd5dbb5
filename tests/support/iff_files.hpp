// IFF pictures made by the tests: FORM ILBM (planar) or PBM (chunky), uncompressed, with
// any colour-cycle chunks.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include <quorvel/colour.hpp>

namespace quorvel::testing {

using IffBytes = std::vector<uint8_t>;

// One chunk: id, big-endian length, body, and a pad byte after an odd length.
IffBytes IffChunk(std::string_view id, const IffBytes& body);
IffBytes CrngChunk(int16_t rate, int16_t flags, uint8_t low, uint8_t high);
IffBytes CcrtChunk(int16_t direction, uint8_t start, uint8_t end, int32_t seconds, int32_t microseconds);
// Register cells are {cell, register}; true-colour cells are {cell, r, g, b}.
IffBytes DrngChunk(uint8_t min, uint8_t max, int16_t rate, int16_t flags,
                   const std::vector<std::array<uint8_t, 4>>& trueCells,
                   const std::vector<std::array<uint8_t, 2>>& registerCells);

struct IffPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // width * height indices
  Palette palette;
  bool planar = true;           // ILBM; false: PBM
  bool byteRun1 = false;        // rows compressed
  uint8_t planes = 8;           // an ILBM's bit planes
  uint8_t masking = 0;          // 1: a mask plane, all opaque, after each row's planes
  uint16_t transparentColour = 0;
  uint8_t xAspect = 1, yAspect = 1;  // the pixel's shape, width to height
};
// The whole file: BMHD, CMAP (256 colours), the extra chunks, BODY, then the chunks after.
IffBytes IffFile(const IffPicture& picture, const std::vector<IffBytes>& chunks,
                 const std::vector<IffBytes>& after = {});

}  // namespace quorvel::testing
