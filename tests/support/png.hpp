// PNG files of captured frames (8-bit RGB), for golden-picture tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
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

}  // namespace quorvel::testing
