// Where the picture goes: the arithmetic of scaling a screen into a window or onto a
// display, kept apart from SDL so that every policy is checked without a window.
#pragma once

#include <cstdint>
#include <vector>

#include <quorvel/display.hpp>

namespace quorvel::detail {

// What the geometry needs of a screen: its size, the shape of its pixels (height over
// width) and the border around it, in screen pixels on every side.
struct ScreenShape {
  int32_t width = kScreenWidth;
  int32_t height = kScreenHeight;
  double pixelAspect = 1.0;
  int32_t borderWidth = 0;
};

struct Area {
  int32_t x = 0, y = 0, w = 0, h = 0;
  bool operator==(const Area&) const = default;
};

// Whole factors, one per axis.
struct Factors {
  int32_t x = 0, y = 0;
  bool operator==(const Factors&) const = default;
};

// The largest whole factors at which the screen and its border fit `outW` x `outH`, the
// vertical one the whole number nearest the horizontal one times the pixel aspect (or
// the reverse, whichever gives the larger picture); {0, 0} when not even 1x fits.
Factors IntegerFactors(const ScreenShape& shape, int32_t outW, int32_t outH);

// The rectangle the picture (its border not included) covers in an output of `outW` x
// `outH` under `scaling`, centred. Integer scaling that cannot fit even 1x shrinks the
// picture as Aspect does rather than cut it.
Area PlacePicture(const ScreenShape& shape, Scaling scaling, int32_t outW, int32_t outH);

// The rectangle the picture and its border cover together, the border grown as the
// picture is: where a page puts a canvas that holds both.
Area FramePicture(const ScreenShape& shape, const Area& picture);

// The size a window opens at: the largest whole multiple of the screen and its border
// that fits `usableW` x `usableH` (the desktop less room for panels and the frame), at
// least twice the size for screens 320 pixels wide or less, and 1x at the least.
Area WindowSize(const ScreenShape& shape, int32_t usableW, int32_t usableH);

// Sharp smooth scaling of `source` pixels onto `dest`: the pixels are first grown by the
// nearest whole factor at or above the size (GrowthFactor), then resampled linearly, so
// only the edge between two source pixels is blended, one output pixel at the most. Each destination pixel takes `first` with weight 256 - `weight` and
// `first` + 1 (or the same pixel at the last one) with `weight`.
struct Tap {
  int32_t first = 0;
  int32_t weight = 0;  // 0..256
};
std::vector<Tap> SharpTaps(int32_t source, int32_t dest);
// The whole factor sharp scaling first grows `source` pixels by on the way to `dest`.
int32_t GrowthFactor(int32_t source, int32_t dest);

// Nearest-neighbour mapping of `dest` pixels onto `source` ones: the source pixel of each.
// When dest is a whole multiple of source every source pixel covers the same number.
std::vector<int32_t> NearestTaps(int32_t source, int32_t dest);

}  // namespace quorvel::detail
