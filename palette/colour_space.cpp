// Mixing fractional colours in sRGB or in OKLab (Björn Ottosson's perceptual space, 2020).
#include "palette/colour_space.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace quorvel::detail {
namespace {

double DecodeExact(double v) {  // sRGB 0..1 to linear light
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
double EncodeExact(double v) {  // linear light to sRGB 0..1
  return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

// The transfer curves are the costly part of an OKLab mix; tables with linear
// interpolation between their points are far inside the 8-bit rounding.
constexpr int kDecodeSteps = 1024;
constexpr int kEncodeSteps = 4096;

template <int Steps>
struct Curve {
  std::array<double, Steps + 1> points{};
  explicit Curve(double (*f)(double)) {
    for (int i = 0; i <= Steps; ++i) points[i] = f(double(i) / Steps);
  }
  double operator()(double v) const {
    const double x = std::clamp(v, 0.0, 1.0) * Steps;
    const int i = std::min(int(x), Steps - 1);
    return points[i] + (points[i + 1] - points[i]) * (x - i);
  }
};

const Curve<kDecodeSteps>& Decode() {
  static const Curve<kDecodeSteps> curve(DecodeExact);
  return curve;
}
const Curve<kEncodeSteps>& Encode() {
  static const Curve<kEncodeSteps> curve(EncodeExact);
  return curve;
}

uint8_t RoundComponent(double v) {
  if (!(v > 0)) return 0;  // NaN too
  if (v >= 255) return 255;
  return static_cast<uint8_t>(v + 0.5);
}

}  // namespace

Rgb8 ToRgb8(const Rgbf& c) { return {RoundComponent(c.r), RoundComponent(c.g), RoundComponent(c.b)}; }

Lab ToOkLab(const Rgbf& c) {
  const Curve<kDecodeSteps>& decode = Decode();
  const double r = decode(c.r / 255), g = decode(c.g / 255), b = decode(c.b / 255);
  const double l = std::cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
  const double m = std::cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
  const double s = std::cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
  return {0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
          1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
          0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

Rgbf FromOkLab(const Lab& c) {
  const double l_ = c.l + 0.3963377774 * c.a + 0.2158037573 * c.b;
  const double m_ = c.l - 0.1055613458 * c.a - 0.0638541728 * c.b;
  const double s_ = c.l - 0.0894841775 * c.a - 1.2914855480 * c.b;
  const double l = l_ * l_ * l_, m = m_ * m_ * m_, s = s_ * s_ * s_;
  const Curve<kEncodeSteps>& encode = Encode();
  return {255 * encode(4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s),
          255 * encode(-1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s),
          255 * encode(-0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s)};
}

Rgbf Lerp(const Rgbf& from, const Rgbf& to, double t) {
  return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t,
          from.b + (to.b - from.b) * t};
}

Lab Lerp(const Lab& from, const Lab& to, double t) {
  return {from.l + (to.l - from.l) * t, from.a + (to.a - from.a) * t,
          from.b + (to.b - from.b) * t};
}

Rgbf Mix(const Rgbf& from, const Rgbf& to, double t, ColorSpace space) {
  if (t <= 0) return from;
  if (t >= 1) return to;  // the ends are exact in either space
  if (space == ColorSpace::Rgb) return Lerp(from, to, t);
  return FromOkLab(Lerp(ToOkLab(from), ToOkLab(to), t));
}

Rgbf NegativeOf(const Rgbf& c) { return {255 - c.r, 255 - c.g, 255 - c.b}; }

// Like the blocking routines' grey, the remainder is dropped.
Rgbf GreyOf(const Rgbf& c) {
  const double m = std::floor((c.r + c.g + c.b) / 3);
  return {m, m, m};
}

}  // namespace quorvel::detail
