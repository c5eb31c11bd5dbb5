// Colours between the 8-bit steps: what the non-blocking effects mix, filter and round.
// The blocking routines mix 6-bit integers with Mix; these are the same ideas (a mix
// between two colours, the negative, the grey of equal mean) for colours at 8-bit scale
// that stay fractional until the very end. Internal to the library.
#pragma once

#include <cstdint>

#include <quorvel/colour.hpp>

namespace quorvel::detail {

// sRGB components on the 0..255 scale, fractional.
struct Rgbf {
  double r = 0;
  double g = 0;
  double b = 0;
};

// OKLab: L lightness 0..1, a and b the two opponent axes.
struct Lab {
  double l = 0;
  double a = 0;
  double b = 0;
};

inline Rgbf ToRgbf(Rgb8 c) { return {double(c.r), double(c.g), double(c.b)}; }
// Rounds to nearest and clamps to 0..255: the one rounding an effect's output gets.
Rgb8 ToRgb8(const Rgbf& c);

Lab ToOkLab(const Rgbf& c);
Rgbf FromOkLab(const Lab& c);

// from + (to - from) * t, component by component.
Rgbf Lerp(const Rgbf& from, const Rgbf& to, double t);
Lab Lerp(const Lab& from, const Lab& to, double t);
// The mix of two colours with weight t (0: from, 1: to) in the given space.
Rgbf Mix(const Rgbf& from, const Rgbf& to, double t, ColorSpace space);

Rgbf NegativeOf(const Rgbf& c);  // 255 - each component
Rgbf GreyOf(const Rgbf& c);      // the mean of the three rounded down, in each

}  // namespace quorvel::detail
