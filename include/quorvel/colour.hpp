// Quorvel colours at 8 bits per component: one colour (Rgb8), a palette of 256 of them
// (Palette), and the colour spaces effects mix in. The non-blocking Animator
// (<quorvel/animator.hpp>) and the palette file formats (<quorvel/formats.hpp>) work on
// these; the blocking routines (<quorvel/palette.hpp>) work on 6-bit PalColors.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel {

// One colour, 0..255 per component.
struct Rgb8 {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  bool operator==(const Rgb8&) const = default;
};

// A PalColor (red + green*256 + blue*65536, 6 bits each, other bits ignored) at 8-bit
// precision by the display's rule, exactly as SetPaletteEntry stores it.
Rgb8 Rgb8FromPalColor(int32_t palColor);

// 256 colours indexed by palette register. A plain value: copy it, compare it, edit it.
struct Palette {
  std::array<Rgb8, 256> colors{};  // all black unless filled

  Rgb8& operator[](size_t index) { return colors[index]; }
  const Rgb8& operator[](size_t index) const { return colors[index]; }
  bool operator==(const Palette&) const = default;

  // The default (VGA power-on) palette, as the screen's registers hold it after OpenScreen.
  static Palette Default();
  // Every register the same colour.
  static Palette Solid(Rgb8 colour);
  // What the screen's registers hold now (black before a screen opens).
  static Palette FromScreen();
  // A 768-byte file of 6-bit r, g, b, or a 1024-byte file of 32-bit little-endian
  // PalColors, read like the blocking routines read them (what a file cannot supply is
  // black; LastPaletteFileError() tells what happened) and equal to what loading it with
  // PalLoad::FilePal or PalLoad::PP256Pal puts in the registers.
  static Palette FromFilePal(const std::string& fileName);
  static Palette FromPP256Pal(const std::string& fileName);

  // Entry j taken from entry (j + amount) mod 256, like PalRotate's source.
  Palette Rotated(int32_t amount) const;
};

// Where effects mix colours. Rgb mixes each component on its own, as the blocking
// routines do; OkLab mixes in a perceptual space, so a cross-fade between unrelated
// colours passes through believable in-between colours rather than muddy greys.
enum class ColorSpace { Rgb, OkLab };

}  // namespace quorvel
