// GIF pictures made by the tests, encoded in memory by giflib.
#pragma once

#include <cstdint>
#include <vector>

#include <quorvel/colour.hpp>

namespace quorvel::testing {

struct GifImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;     // width * height indices, row by row
  bool interlaced = false;         // stored in the four passes, read back row by row
  std::vector<Rgb8> localColours;  // a local colour table (2, 4, ... 256 colours), or none
  int32_t transparent = -1;        // a graphic control extension with this colour first
};

// A GIF89a of the images in order, with a global colour table of `colours` (2, 4, ... 256
// of them; none when empty) and its trailer.
std::vector<uint8_t> GifFile(const std::vector<Rgb8>& colours, const std::vector<GifImage>& images);

}  // namespace quorvel::testing
