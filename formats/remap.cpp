// Pictures mapped to a palette of the caller's: true-colour pictures pixel by pixel with
// dithering, indexed ones register by register through a remap table.
#include <cmath>

#include "formats/quantize_common.hpp"

namespace quorvel {
namespace {

// The registers pixels may take and their colours in OKLab.
void Targets(const formats::RegisterPlan& plan, std::vector<formats::Labf>& colours,
             std::vector<int32_t>& registers) {
  registers = formats::UsableRegisters(plan);
  for (int32_t r : registers) colours.push_back(formats::LabOf(plan.palette[size_t(r)]));
}

// The plan for a palette file: its colours, the fixed ones over them.
std::string PlanForPalette(const PaletteFile& palette, const QuantizeOptions& options, bool needTransparent,
                           formats::RegisterPlan& plan) {
  std::string error = formats::PlanRegisters(options, palette.count, false, palette.transparentIndex,
                                             needTransparent, plan);
  if (!error.empty()) return error;
  const Palette fixed = plan.palette;
  plan.palette = palette.colours;
  for (int32_t f : plan.fixed) plan.palette[size_t(f)] = fixed[size_t(f)];
  if (UsableRegisters(plan).empty()) return "no register of the palette is left for the picture's colours";
  return "";
}

}  // namespace

QuantizeResult RemapToPalette(const RgbaPicture& picture, const PaletteFile& palette,
                              const QuantizeOptions& options) {
  QuantizeResult result;
  if (result.error = formats::CheckPictureShape(picture); !result.error.empty()) return result;
  bool needTransparent = false;
  for (const Rgba8& p : picture.pixels) needTransparent = needTransparent || formats::IsClear(p, options);
  formats::RegisterPlan plan;
  if (result.error = PlanForPalette(palette, options, needTransparent, plan); !result.error.empty()) return result;
  std::vector<formats::Labf> colours;
  std::vector<int32_t> registers;
  Targets(plan, colours, registers);
  result.picture = formats::PictureOfPlan(picture, plan);
  formats::MapPixels(picture, formats::LabOfPixels(picture), colours, registers, options, plan.transparent,
                     result.picture.pixels);
  return result;
}

IndexMap NearestIndexMap(const Palette& from, int32_t fromCount, const Palette& to, int32_t toCount,
                         const QuantizeOptions& options) {
  IndexMap map = IdentityIndexMap();
  formats::RegisterPlan plan;
  QuantizeOptions plain = options;
  plain.fixed.clear();
  plain.transparentIndex = -1;
  if (!formats::PlanRegisters(plain, toCount, false, -1, false, plan).empty()) return map;
  plan.palette = to;
  std::vector<formats::Labf> colours;
  std::vector<int32_t> registers;
  Targets(plan, colours, registers);
  if (colours.empty()) return map;
  const formats::NearestColour nearest(colours);
  for (int32_t i = 0; i < std::min(fromCount, 256); ++i) {
    map[size_t(i)] = uint8_t(registers[size_t(nearest.Find(formats::LabOf(from[size_t(i)])))]);
  }
  return map;
}

QuantizeResult RemapPicture(const IndexedPicture& picture, const PaletteFile& palette, const QuantizeOptions& options) {
  const RgbaPicture colours = ExpandIndexedPicture(picture);
  if (options.dither != Dither::None) return RemapToPalette(colours, palette, options);
  QuantizeResult result;
  bool needTransparent = false;
  for (const Rgba8& p : colours.pixels) needTransparent = needTransparent || formats::IsClear(p, options);
  formats::RegisterPlan plan;
  if (result.error = PlanForPalette(palette, options, needTransparent, plan); !result.error.empty()) return result;
  // The table over the target's usable registers, see-through registers to the transparent one.
  std::vector<formats::Labf> targetLab;
  std::vector<int32_t> registers;
  Targets(plan, targetLab, registers);
  const formats::NearestColour nearest(targetLab);
  IndexMap map = IdentityIndexMap();
  for (int32_t i = 0; i < picture.colourCount && i < 256; ++i) {
    const Rgba8 c{picture.palette[size_t(i)].r, picture.palette[size_t(i)].g, picture.palette[size_t(i)].b,
                  picture.alpha[size_t(i)]};
    map[size_t(i)] = formats::IsClear(c, options)
                         ? uint8_t(plan.transparent)
                         : uint8_t(registers[size_t(nearest.Find(formats::LabOf(picture.palette[size_t(i)])))]);
  }
  result.picture = formats::PictureOfPlan(colours, plan);
  result.picture.pixels = picture.pixels;
  MapIndices(map, result.picture.pixels.data(), result.picture.pixels.size());
  return result;
}

double MeanOkLabDifference(const RgbaPicture& a, const RgbaPicture& b) {
  if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) return -1;
  double sum = 0;
  size_t counted = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    const Rgba8 p = a.pixels[i], q = b.pixels[i];
    if (p.a < 128 && q.a < 128) continue;
    const formats::Labf lp = formats::LabOf({p.r, p.g, p.b}), lq = formats::LabOf({q.r, q.g, q.b});
    sum += std::sqrt(double(formats::Distance2(lp, lq)));
    ++counted;
  }
  return counted ? sum / double(counted) : 0;
}

}  // namespace quorvel
