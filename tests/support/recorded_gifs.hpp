// Recordings of the screen read back with giflib, and a picture worth recording, for the
// recorder's tests.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::testing {

struct GifFrame {
  int32_t width = 0;
  int32_t height = 0;
  int32_t delayCs = 0;
  std::vector<uint8_t> indices;
  std::array<uint32_t, 256> colours{};  // the frame's own colour table, 0xRRGGBB

  std::vector<uint32_t> Pixels() const;
};

// The frames of a recording. Every recording is also checked for what any viewer needs:
// a GIF89a header (delays need it), a screen the size of its frames, the loop for ever,
// and a colour table of 256 for each frame.
std::vector<GifFrame> ReadGif(const std::string& path);

// A picture using every register, with rows and columns of different indices.
void DrawAllIndices();

}  // namespace quorvel::testing
