// Colours between the 8-bit steps: what the non-blocking effects mix, filter and round.
// The blocking routines mix 6-bit integers with Mix; these are the same ideas (a mix
// between two colours, the negative, the grey of equal mean) for colours at 8-bit scale
// that stay fractional until the very end. Internal to the library.
#pragma once

#include <cmath>
#include <cstddef>
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
void ToRgb8(const Rgbf* in, Rgb8* out, size_t count);

Lab ToOkLab(const Rgbf& c);
Rgbf FromOkLab(const Lab& c);

// from + (to - from) * t, component by component.
inline Rgbf Lerp(const Rgbf& from, const Rgbf& to, double t) {
  return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t,
          from.b + (to.b - from.b) * t};
}
inline Lab Lerp(const Lab& from, const Lab& to, double t) {
  return {from.l + (to.l - from.l) * t, from.a + (to.a - from.a) * t,
          from.b + (to.b - from.b) * t};
}
// `count` colours mixed with weight t in OKLab, from their OKLab ends.
void LerpOkLab(const Lab* from, const Lab* to, double t, Rgbf* out, size_t count);

Rgbf MixOkLab(const Rgbf& from, const Rgbf& to, double t);
// The mix of two colours with weight t (0: from, 1: to) in the given space; the ends are
// exact in either.
inline Rgbf Mix(const Rgbf& from, const Rgbf& to, double t, ColorSpace space) {
  if (t <= 0) return from;
  if (t >= 1) return to;
  return space == ColorSpace::Rgb ? Lerp(from, to, t) : MixOkLab(from, to, t);
}

inline Rgbf NegativeOf(const Rgbf& c) { return {255 - c.r, 255 - c.g, 255 - c.b}; }
// The mean of the three in each, its remainder dropped like the blocking routines' grey.
inline Rgbf GreyOf(const Rgbf& c) {
  const double m = std::floor((c.r + c.g + c.b) / 3);
  return {m, m, m};
}

}  // namespace quorvel::detail
