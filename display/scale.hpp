// Scaling a converted picture into a larger (or smaller) area of 32-bit pixels, for
// presenters that draw with the processor: whole multiples by repeating pixels, any other
// size the sharp smooth way (geometry.hpp), so no pixel comes out a column wider than
// its neighbour.
#pragma once

#include <cstdint>
#include <vector>

#include "display/geometry.hpp"

namespace quorvel::detail {

class PictureScaler {
 public:
  // Scales `picture` (width x height pixels, row by row) into `area` of `out`, whose rows
  // are `pitch` pixels apart. The alpha byte of blended pixels is 0xFF.
  void Scale(const uint32_t* picture, int32_t width, int32_t height, uint32_t* out,
             size_t pitch, const Area& area);

 private:
  void Prepare(int32_t width, int32_t height, const Area& area);
  // One source row resampled to the area's width.
  void ResampleRow(const uint32_t* from, uint32_t* to) const;

  int32_t width_ = 0, height_ = 0;
  Area area_;
  bool whole_ = false;  // the area is a whole multiple of the picture
  std::vector<int32_t> nearestX_, nearestY_;
  std::vector<Tap> tapsX_, tapsY_;
  std::vector<uint32_t> upper_, lower_;  // resampled source rows, for blending down
  int32_t upperRow_ = -1, lowerRow_ = -1;
};

// The colour a `weight`/256 of the way from `a` to `b`, per channel, alpha 0xFF.
inline uint32_t Blend(uint32_t a, uint32_t b, uint32_t weight) {
  const uint32_t keep = 256 - weight;
  const uint32_t redBlue = ((a & 0xFF00FF) * keep + (b & 0xFF00FF) * weight) >> 8 & 0xFF00FF;
  const uint32_t green = ((a & 0xFF00) * keep + (b & 0xFF00) * weight) >> 8 & 0xFF00;
  return 0xFF000000u | redBlue | green;
}

}  // namespace quorvel::detail
