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

// The transfer curves are the costly part of an OKLab mix, so they are tables. Decoding
// interpolates between its points; encoding, done for every mixed colour of every frame,
// takes the nearest of points so close that the 8-bit result does not change.
constexpr int kDecodeSteps = 1024;
constexpr int kEncodeSteps = 16384;

struct DecodeCurve {
  std::array<double, kDecodeSteps + 1> points{};
  DecodeCurve() {
    for (int i = 0; i <= kDecodeSteps; ++i) points[i] = DecodeExact(double(i) / kDecodeSteps);
  }
  double operator()(double v) const {
    const double x = std::clamp(v, 0.0, 1.0) * kDecodeSteps;
    const int i = std::min(int(x), kDecodeSteps - 1);
    return points[i] + (points[i + 1] - points[i]) * (x - i);
  }
};

struct EncodeCurve {
  std::array<float, kEncodeSteps + 1> points{};
  EncodeCurve() {
    for (int i = 0; i <= kEncodeSteps; ++i) {
      points[i] = float(255 * EncodeExact(double(i) / kEncodeSteps));
    }
  }
  double operator()(double v) const {  // 0..255
    return points[int(std::clamp(v, 0.0, 1.0) * kEncodeSteps + 0.5)];
  }
};

const DecodeCurve& Decode() {
  static const DecodeCurve curve;
  return curve;
}
const EncodeCurve& Encode() {
  static const EncodeCurve curve;
  return curve;
}

uint8_t RoundComponent(double v) {
  const double r = v + 0.5;
  return r >= 1 ? (r < 255 ? static_cast<uint8_t>(r) : 255) : 0;  // NaN gives 0 too
}

}  // namespace

Rgb8 ToRgb8(const Rgbf& c) { return {RoundComponent(c.r), RoundComponent(c.g), RoundComponent(c.b)}; }

void ToRgb8(const Rgbf* in, Rgb8* out, size_t count) {
  for (size_t i = 0; i < count; ++i) out[i] = ToRgb8(in[i]);
}

Lab ToOkLab(const Rgbf& c) {
  const DecodeCurve& decode = Decode();
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
  const EncodeCurve& encode = Encode();
  return {encode(4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s),
          encode(-1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s),
          encode(-0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s)};
}

void LerpOkLab(const Lab* from, const Lab* to, double t, Rgbf* out, size_t count) {
  for (size_t i = 0; i < count; ++i) out[i] = FromOkLab(Lerp(from[i], to[i], t));
}

Rgbf MixOkLab(const Rgbf& from, const Rgbf& to, double t) {
  return FromOkLab(Lerp(ToOkLab(from), ToOkLab(to), t));
}

}  // namespace quorvel::detail
