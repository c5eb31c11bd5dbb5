// PNG files of captured frames (8-bit RGB), for golden-picture tests, and PNG files built
// chunk by chunk, for the picture decoder's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::testing {

// A picture of width * height values 0xRRGGBB, row by row.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
};

// Writes the picture as an 8-bit RGB PNG (through libpng). False when the file cannot be
// written.
bool WritePng(const std::string& path, const Picture& picture);
// Reads a PNG as 8-bit RGB; nothing when the file is missing or is not a PNG.
std::optional<Picture> ReadPng(const std::string& path);

// One chunk: big-endian length, type, body and CRC.
std::vector<uint8_t> PngChunk(std::string_view type, const std::vector<uint8_t>& body);

// A PNG of one-channel samples (palette indices or greys) of `depth` bits: signature,
// IHDR, the chunks given (PLTE, tRNS, ...), one IDAT of the rows, unfiltered and packed
// high bits first, and IEND. Interlaced pictures are stored in Adam7's seven passes.
struct PngSamples {
  int32_t width = 0;
  int32_t height = 0;
  int32_t depth = 8;
  int32_t colourType = 3;        // 3 palette, 0 greyscale
  bool interlaced = false;
  std::vector<uint8_t> samples;  // width * height, row by row
  std::vector<std::vector<uint8_t>> chunks;
};
std::vector<uint8_t> PngFile(const PngSamples& png);

}  // namespace quorvel::testing
