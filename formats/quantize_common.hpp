// What quantizing and remapping share: pixels in OKLab, the plan of which registers
// pixels may take, the nearest-colour search, and the mapping of pixels with dithering.
// Internal to the formats library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <quorvel/quantize.hpp>

namespace quorvel::formats {

// OKLab in single precision: the searches compare millions of distances.
struct Labf {
  float l = 0;
  float a = 0;
  float b = 0;
};

inline float Distance2(const Labf& p, const Labf& q) {
  const float dl = p.l - q.l, da = p.a - q.a, db = p.b - q.b;
  return dl * dl + da * da + db * db;
}

Labf LabOf(Rgb8 colour);
// Every pixel's colour in OKLab (alpha ignored).
std::vector<Labf> LabOfPixels(const RgbaPicture& picture);

// "" when the picture holds width x height pixels, else what is wrong.
std::string CheckPictureShape(const RgbaPicture& picture);

// Whether a pixel is see-through under the options.
inline bool IsClear(const Rgba8& pixel, const QuantizeOptions& options) {
  return int32_t(pixel.a) < options.alphaThreshold;
}

// The registers of a picture's palette: which the quantizer fills, which pixels may take,
// and the transparent one.
struct RegisterPlan {
  int32_t count = 0;                  // the palette's colourCount
  std::vector<int32_t> free;          // filled by the quantizer, lowest first
  std::vector<int32_t> fixed;         // given colours (already in `palette`)
  std::vector<bool> reserved;         // 256 flags
  int32_t transparent = -1;
  Palette palette;                    // the fixed colours in place
};

// Checks the options against a palette of `count` registers and lays out the plan.
// `fillFree`: the quantizer chooses colours for the registers left; otherwise they keep
// the palette's colours. `paletteTransparent` is the palette file's own transparent index
// (-1 for none), `needTransparent` whether any pixel is see-through.
std::string PlanRegisters(const QuantizeOptions& options, int32_t count, bool fillFree,
                          int32_t paletteTransparent, bool needTransparent, RegisterPlan& plan);
// The registers pixels may take: every one below count that is neither reserved nor
// transparent.
std::vector<int32_t> UsableRegisters(const RegisterPlan& plan);

// The nearest of a set of colours to any colour: the colours sorted by lightness, the
// search going out from the query's lightness both ways until lightness alone is farther
// than the best found. Ties go to the colour given first.
class NearestColour {
 public:
  explicit NearestColour(const std::vector<Labf>& colours);
  // The position in the given colours of the nearest one. There must be one at least.
  int32_t Find(const Labf& colour) const;
  // The nearest and the next nearest, with their squared distances; there must be two.
  void FindTwo(const Labf& colour, int32_t& first, float& firstDistance, int32_t& second,
               float& secondDistance) const;

 private:
  std::vector<Labf> sorted_;
  std::vector<int32_t> position_;  // of each sorted colour among those given
};

// Maps every pixel to the nearest of `colours` (their registers beside them) with the
// dithering asked for; see-through pixels take `transparent`.
void MapPixels(const RgbaPicture& picture, const std::vector<Labf>& pixelLab,
               const std::vector<Labf>& colours, const std::vector<int32_t>& registers,
               const QuantizeOptions& options, int32_t transparent, std::vector<uint8_t>& out);

// The picture of the result: size, palette, count and transparent register set, with
// the opacity of the transparent register 0.
IndexedPicture PictureOfPlan(const RgbaPicture& picture, const RegisterPlan& plan);

}  // namespace quorvel::formats
