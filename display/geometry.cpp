// The arithmetic of scaling: whole factors, placement per policy, window size and the
// taps of sharp and nearest resampling.
#include "display/geometry.hpp"

#include <algorithm>
#include <cmath>

namespace quorvel::detail {
namespace {

int32_t Nearest(double v) { return std::max<int32_t>(1, static_cast<int32_t>(std::lround(v))); }

Area Centred(int32_t w, int32_t h, int32_t outW, int32_t outH) {
  w = std::clamp(w, 0, outW);
  h = std::clamp(h, 0, outH);
  return {(outW - w) / 2, (outH - h) / 2, w, h};
}

}  // namespace

Factors IntegerFactors(const ScreenShape& shape, int32_t outW, int32_t outH) {
  const int64_t framedW = shape.width + 2 * int64_t(shape.borderWidth);
  const int64_t framedH = shape.height + 2 * int64_t(shape.borderWidth);
  const int32_t maxX = static_cast<int32_t>(std::max<int64_t>(outW, 0) / framedW);
  const int32_t maxY = static_cast<int32_t>(std::max<int64_t>(outH, 0) / framedH);
  Factors best;
  double bestError = 0;
  const auto consider = [&](int32_t fx, int32_t fy) {
    if (fx > maxX || fy > maxY) return;
    const double error = std::abs(double(fy) / fx - shape.pixelAspect);
    const int64_t area = int64_t(fx) * fy, bestArea = int64_t(best.x) * best.y;
    if (area > bestArea || (area == bestArea && error < bestError)) {
      best = {fx, fy};
      bestError = error;
    }
  };
  // Each axis in turn leads, the other following as near the aspect as it can.
  for (int32_t fx = 1; fx <= maxX; ++fx) consider(fx, Nearest(fx * shape.pixelAspect));
  for (int32_t fy = 1; fy <= maxY; ++fy) consider(Nearest(fy / shape.pixelAspect), fy);
  return best;
}

Area PlacePicture(const ScreenShape& shape, Scaling scaling, int32_t outW, int32_t outH) {
  const double framedW = shape.width + 2.0 * shape.borderWidth;
  const double framedH = shape.height + 2.0 * shape.borderWidth;
  if (scaling == Scaling::Integer) {
    const Factors f = IntegerFactors(shape, outW, outH);
    if (f.x > 0) return Centred(shape.width * f.x, shape.height * f.y, outW, outH);
    scaling = Scaling::Aspect;  // smaller than the screen: shrink it whole
  }
  if (scaling == Scaling::Stretch) {
    return Centred(static_cast<int32_t>(std::lround(shape.width * outW / framedW)),
                   static_cast<int32_t>(std::lround(shape.height * outH / framedH)), outW, outH);
  }
  const double k = std::min(outW / framedW, outH / (framedH * shape.pixelAspect));
  return Centred(static_cast<int32_t>(std::lround(shape.width * k)),
                 static_cast<int32_t>(std::lround(shape.height * shape.pixelAspect * k)), outW,
                 outH);
}

Area FramePicture(const ScreenShape& shape, const Area& picture) {
  const auto grown = [&](int32_t shown, int32_t source) {
    return static_cast<int32_t>(std::lround(double(shape.borderWidth) * shown / source));
  };
  const int32_t bx = grown(picture.w, shape.width), by = grown(picture.h, shape.height);
  return {picture.x - bx, picture.y - by, picture.w + 2 * bx, picture.h + 2 * by};
}

Area WindowSize(const ScreenShape& shape, int32_t usableW, int32_t usableH) {
  constexpr int32_t kSmallScreen = 320;
  Factors f = IntegerFactors(shape, usableW, usableH);
  if (shape.width <= kSmallScreen && f.x < 2) f = {2, Nearest(2 * shape.pixelAspect)};
  if (f.x == 0) f = {1, Nearest(shape.pixelAspect)};
  return {0, 0, (shape.width + 2 * shape.borderWidth) * f.x,
          (shape.height + 2 * shape.borderWidth) * f.y};
}

int32_t GrowthFactor(int32_t source, int32_t dest) {
  // The smallest whole factor that reaches the size: from there the resampling only
  // shrinks, and blends at most one output pixel at each edge.
  if (source <= 0) return 1;
  return static_cast<int32_t>(std::max<int64_t>(1, (int64_t(dest) + source - 1) / source));
}

std::vector<Tap> SharpTaps(int32_t source, int32_t dest) {
  std::vector<Tap> taps(size_t(std::max(dest, 0)));
  if (source <= 0 || dest <= 0) return taps;
  const int64_t factor = GrowthFactor(source, dest);
  const int64_t grown = source * factor;
  for (int32_t x = 0; x < dest; ++x) {
    // The centre of the destination pixel in the grown picture.
    const double p = std::clamp((x + 0.5) * double(grown) / dest - 0.5, 0.0, double(grown - 1));
    const int64_t i = static_cast<int64_t>(p);
    const int64_t a = i / factor, b = std::min(i + 1, grown - 1) / factor;
    taps[size_t(x)] = {static_cast<int32_t>(a),
                       a == b ? 0 : static_cast<int32_t>(std::lround((p - double(i)) * 256))};
  }
  return taps;
}

std::vector<int32_t> NearestTaps(int32_t source, int32_t dest) {
  std::vector<int32_t> taps(size_t(std::max(dest, 0)));
  for (int32_t x = 0; x < dest; ++x) {
    taps[size_t(x)] = static_cast<int32_t>(int64_t(x) * source / dest);
  }
  return taps;
}

}  // namespace quorvel::detail
