// The processor's scaler: nearest neighbour for whole multiples, and otherwise each
// source row resampled once and blended down between the two rows a window row needs.
#include "display/scale.hpp"

#include <algorithm>
#include <cstring>

namespace quorvel::detail {

void PictureScaler::Prepare(int32_t width, int32_t height, const Area& area) {
  if (width == width_ && height == height_ && area.w == area_.w && area.h == area_.h) return;
  width_ = width;
  height_ = height;
  area_ = area;
  whole_ = area.w % width == 0 && area.h % height == 0;
  nearestX_ = NearestTaps(width, area.w);
  nearestY_ = NearestTaps(height, area.h);
  tapsX_ = SharpTaps(width, area.w);
  tapsY_ = SharpTaps(height, area.h);
  upper_.assign(size_t(area.w), 0);
  lower_.assign(size_t(area.w), 0);
}

void PictureScaler::ResampleRow(const uint32_t* from, uint32_t* to) const {
  for (int32_t x = 0; x < area_.w; ++x) {
    const Tap tap = tapsX_[size_t(x)];
    to[x] = tap.weight == 0 ? from[tap.first] : Blend(from[tap.first], from[tap.first + 1], tap.weight);
  }
}

void PictureScaler::Scale(const uint32_t* picture, int32_t width, int32_t height,
                          uint32_t* out, size_t pitch, const Area& area) {
  if (width <= 0 || height <= 0 || area.w <= 0 || area.h <= 0) return;
  Prepare(width, height, area);
  uint32_t* origin = out + size_t(area.y) * pitch + size_t(area.x);
  if (whole_) {
    // Each source row is expanded once and copied to the rows of its block.
    for (int32_t y = 0; y < area.h; ++y) {
      uint32_t* to = origin + size_t(y) * pitch;
      if (y > 0 && nearestY_[size_t(y)] == nearestY_[size_t(y) - 1]) {
        std::memcpy(to, to - pitch, size_t(area.w) * 4);
        continue;
      }
      const uint32_t* from = picture + size_t(nearestY_[size_t(y)]) * size_t(width);
      for (int32_t x = 0; x < area.w; ++x) to[x] = from[nearestX_[size_t(x)]];
    }
    return;
  }
  upperRow_ = lowerRow_ = -1;
  for (int32_t y = 0; y < area.h; ++y) {
    const Tap tap = tapsY_[size_t(y)];
    if (upperRow_ != tap.first) {
      // Moving down one row: the lower row resampled before becomes the upper one.
      if (lowerRow_ == tap.first) {
        std::swap(upper_, lower_);
        std::swap(upperRow_, lowerRow_);
      } else {
        ResampleRow(picture + size_t(tap.first) * size_t(width), upper_.data());
        upperRow_ = tap.first;
      }
    }
    uint32_t* to = origin + size_t(y) * pitch;
    if (tap.weight == 0) {
      std::memcpy(to, upper_.data(), size_t(area.w) * 4);
      continue;
    }
    if (lowerRow_ != tap.first + 1) {
      ResampleRow(picture + size_t(tap.first + 1) * size_t(width), lower_.data());
      lowerRow_ = tap.first + 1;
    }
    for (int32_t x = 0; x < area.w; ++x) to[x] = Blend(upper_[size_t(x)], lower_[size_t(x)], tap.weight);
  }
}

}  // namespace quorvel::detail
