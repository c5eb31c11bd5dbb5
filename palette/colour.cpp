// Palettes at 8-bit precision, made from the same sources the blocking routines read and
// converted by the display's own 6-to-8-bit rule, so they equal what the registers hold.
#include <quorvel/colour.hpp>
#include <quorvel/display.hpp>

#include "palette/tables.hpp"

namespace quorvel {
namespace {

uint8_t Expand(int32_t component) {
  // The register keeps the low six bits of each component, as SetPaletteEntry does.
  return static_cast<uint8_t>(Expand6To8(static_cast<uint32_t>(component) & 63u));
}

Palette FromTable(const detail::ColorTable& table) {
  Palette p;
  for (size_t i = 0; i < 256; ++i) p[i] = Rgb8FromPalColor(detail::Pack(table[i]));
  return p;
}

}  // namespace

Rgb8 Rgb8FromPalColor(int32_t palColor) {
  return {Expand(palColor), Expand(palColor >> 8), Expand(palColor >> 16)};
}

Palette Palette::Default() {
  Palette p;
  for (int32_t i = 0; i < 256; ++i) p[i] = Rgb8FromPalColor(DefaultPaletteColor(i));
  return p;
}

Palette Palette::Solid(Rgb8 colour) {
  Palette p;
  p.colors.fill(colour);
  return p;
}

Palette Palette::FromScreen() {
  Palette p;
  if (!ScreenIsOpen()) return p;
  for (int32_t i = 0; i < 256; ++i) {
    const uint32_t c = GetPaletteEntry(i);  // red in the low byte
    p[i] = {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)};
  }
  return p;
}

Palette Palette::FromFilePal(const std::string& fileName) {
  return FromTable(detail::ReadFilePalTable(fileName));
}

Palette Palette::FromPP256Pal(const std::string& fileName) {
  return FromTable(detail::ReadPP256PalTable(fileName));
}

Palette Palette::Rotated(int32_t amount) const {
  Palette p;
  p.colors = detail::Rotated(colors, amount);
  return p;
}

}  // namespace quorvel
