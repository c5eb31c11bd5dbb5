// Mixing fractional colours in sRGB or in OKLab (Björn Ottosson's perceptual space, 2020).
#include "palette/colour_space.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace quorvel::detail {
namespace {

// The bits of a double, and back (memcpy, as std::bit_cast is not everywhere yet).
uint64_t Bits(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}
double FromBits(uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// gain x x^p for x in 2^-9..1, computed for every mixed colour of every frame and so not
// by pow: x = m 2^-e with m in 1..2, m^p from the cubic through the values and slopes at
// 129 points (within 1e-11 of it), gain x 2^(-pe) from a table. Exact to far below the
// 8-bit steps near black as anywhere, where a table of the curve itself loses levels.
class PowerCurve {
 public:
  PowerCurve(double p, double gain) {
    for (int i = 0; i < kSteps; ++i) {
      const double m0 = 1 + double(i) / kSteps, m1 = 1 + double(i + 1) / kSteps;
      const double y0 = std::pow(m0, p), y1 = std::pow(m1, p);
      const double d0 = p * std::pow(m0, p - 1) / kSteps, d1 = p * std::pow(m1, p - 1) / kSteps;
      cubic_[i] = {y0, d0, 3 * (y1 - y0) - 2 * d0 - d1, 2 * (y0 - y1) + d0 + d1};
    }
    for (int e = 0; e < kExponents; ++e) scale_[e] = gain * std::pow(2.0, -p * e);
  }
  double operator()(double x) const {
    static_assert(std::numeric_limits<double>::is_iec559);
    const uint64_t bits = Bits(x);
    const int e = 1023 - static_cast<int>(bits >> 52);  // 0..9 for x in 2^-9..1
    const double m = FromBits((bits & 0x000FFFFFFFFFFFFFu) | 0x3FF0000000000000u);
    const double s = (m - 1) * kSteps;
    const int i = static_cast<int>(s);  // m < 2, so below kSteps
    const double t = s - i;
    const std::array<double, 4>& c = cubic_[i];
    return (c[0] + t * (c[1] + t * (c[2] + t * c[3]))) * scale_[e];
  }

 private:
  static constexpr int kSteps = 128;
  static constexpr int kExponents = 10;
  std::array<std::array<double, 4>, kSteps> cubic_{};
  std::array<double, kExponents> scale_{};
};

// The sRGB transfer curves above the knee: ((v + 0.055) / 1.055)^2.4 from sRGB to linear
// light, 255 x 1.055 x v^(1 / 2.4) (less 255 x 0.055) back.
const PowerCurve& DecodeCurve() {
  static const PowerCurve curve(2.4, 1);
  return curve;
}
const PowerCurve& EncodeCurve() {
  static const PowerCurve curve(1 / 2.4, 255 * 1.055);
  return curve;
}

// Clamped to 0..1; a NaN is 0, so no NaN reaches a table.
double Unit(double v) { return v > 0 ? (v < 1 ? v : 1) : 0; }

// sRGB 0..255 to linear light 0..1, and back. Below the knee the curves are straight.
double Decode(const PowerCurve& curve, double c) {
  const double v = Unit(c / 255);
  return v <= 0.04045 ? v / 12.92 : curve((v + 0.055) / 1.055);
}
double Encode(const PowerCurve& curve, double v) {
  v = Unit(v);
  return v <= 0.0031308 ? 255 * 12.92 * v : curve(v) - 255 * 0.055;
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
  const PowerCurve& decode = DecodeCurve();
  const double r = Decode(decode, c.r), g = Decode(decode, c.g), b = Decode(decode, c.b);
  const double l = std::cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
  const double m = std::cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
  const double s = std::cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
  return {0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
          1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
          0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

namespace {

// OKLab to linear light, before the transfer curve.
Rgbf LinearFromOkLab(const Lab& c) {
  const double l_ = c.l + 0.3963377774 * c.a + 0.2158037573 * c.b;
  const double m_ = c.l - 0.1055613458 * c.a - 0.0638541728 * c.b;
  const double s_ = c.l - 0.0894841775 * c.a - 1.2914855480 * c.b;
  const double l = l_ * l_ * l_, m = m_ * m_ * m_, s = s_ * s_ * s_;
  return {4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s,
          -1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s,
          -0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s};
}

Rgbf Encoded(const PowerCurve& encode, const Rgbf& c) {
  return {Encode(encode, c.r), Encode(encode, c.g), Encode(encode, c.b)};
}

}  // namespace

Rgbf FromOkLab(const Lab& c) { return Encoded(EncodeCurve(), LinearFromOkLab(c)); }

void LerpOkLab(const Lab* from, const Lab* to, double t, Rgbf* out, size_t count) {
  // In two passes, the light of every colour and then its encoding, so that the curve's
  // lookups follow one another.
  for (size_t i = 0; i < count; ++i) out[i] = LinearFromOkLab(Lerp(from[i], to[i], t));
  const PowerCurve& encode = EncodeCurve();
  for (size_t i = 0; i < count; ++i) out[i] = Encoded(encode, out[i]);
}

Rgbf MixOkLab(const Rgbf& from, const Rgbf& to, double t) {
  return FromOkLab(Lerp(ToOkLab(from), ToOkLab(to), t));
}

}  // namespace quorvel::detail
