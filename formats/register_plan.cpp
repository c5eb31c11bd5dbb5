// Which registers of a quantized or remapped picture pixels may take: the reserved ranges
// kept out, the fixed colours put in, one transparent register, and the rest free.
#include <algorithm>

#include "formats/quantize_common.hpp"

namespace quorvel::formats {
namespace {

std::string Register(int32_t index) { return "register " + std::to_string(index); }

}  // namespace

std::string PlanRegisters(const QuantizeOptions& options, int32_t count, bool fillFree,
                          int32_t paletteTransparent, bool needTransparent, RegisterPlan& plan) {
  plan = {};
  plan.reserved.assign(256, false);
  if (count < 1 || count > 256) {
    return "a palette of " + std::to_string(count) + " colours: give 1 to 256";
  }
  plan.count = count;
  std::vector<RegisterRange> ranges = options.reserved;
  if (options.reservedLow != -1 || options.reservedHigh != -1) {
    ranges.push_back({options.reservedLow, options.reservedHigh});
  }
  for (const RegisterRange& range : ranges) {
    const std::string named = "reserved registers " + std::to_string(range.low) + ".." + std::to_string(range.high);
    if (range.low < 0 || range.high < range.low || range.high > 255) {
      return named + ": give low <= high within 0..255";
    }
    if (range.high >= count) {
      return named + " lie past the " + std::to_string(count) + " registers of the palette";
    }
    for (int32_t i = range.low; i <= range.high; ++i) plan.reserved[size_t(i)] = true;
  }
  std::vector<bool> isFixed(256, false);
  for (const FixedRegister& fixed : options.fixed) {
    if (fixed.index < 0 || fixed.index >= count) {
      return "fixed " + Register(fixed.index) + " lies outside the " + std::to_string(count) +
             " registers of the palette";
    }
    if (plan.reserved[size_t(fixed.index)]) return "fixed " + Register(fixed.index) + " is also reserved";
    if (isFixed[size_t(fixed.index)]) return Register(fixed.index) + " is fixed twice";
    isFixed[size_t(fixed.index)] = true;
    plan.fixed.push_back(fixed.index);
    plan.palette[size_t(fixed.index)] = fixed.colour;
  }
  std::sort(plan.fixed.begin(), plan.fixed.end());

  int32_t transparent = options.transparentIndex;
  if (transparent < -1 || transparent >= count) {
    return "transparent " + Register(transparent) + " lies outside the " + std::to_string(count) +
           " registers of the palette";
  }
  if (transparent >= 0 && plan.reserved[size_t(transparent)]) {
    return "transparent " + Register(transparent) + " is also reserved";
  }
  if (transparent >= 0 && fillFree && isFixed[size_t(transparent)]) {
    return "transparent " + Register(transparent) + " is also fixed";
  }
  if (needTransparent) {
    if (transparent < 0 && fillFree) {
      for (int32_t i = 0; i < count && transparent < 0; ++i) {
        if (!plan.reserved[size_t(i)] && !isFixed[size_t(i)]) transparent = i;
      }
      if (transparent < 0) return "some pixels are see-through and no register is left free for them";
    }
    if (transparent < 0) transparent = paletteTransparent;
    if (transparent < 0 || transparent >= count || plan.reserved[size_t(transparent)]) {
      return "some pixels are see-through and the palette has no transparent register: give one";
    }
    plan.transparent = transparent;
  }
  for (int32_t i = 0; fillFree && i < count; ++i) {
    if (!plan.reserved[size_t(i)] && !isFixed[size_t(i)] && i != plan.transparent) plan.free.push_back(i);
  }
  return "";
}

std::vector<int32_t> UsableRegisters(const RegisterPlan& plan) {
  std::vector<int32_t> usable;
  for (int32_t i = 0; i < plan.count; ++i) {
    if (!plan.reserved[size_t(i)] && i != plan.transparent) usable.push_back(i);
  }
  return usable;
}

IndexedPicture PictureOfPlan(const RgbaPicture& picture, const RegisterPlan& plan) {
  IndexedPicture out;
  out.width = picture.width;
  out.height = picture.height;
  out.palette = plan.palette;
  out.colourCount = plan.count;
  out.transparentIndex = plan.transparent;
  if (plan.transparent >= 0) out.alpha[size_t(plan.transparent)] = 0;
  return out;
}

}  // namespace quorvel::formats
