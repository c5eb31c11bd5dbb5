// Quorvel's plain data at 8 bits per component: one colour (Rgb8), a palette of 256 of
// them (Palette), the colour spaces effects mix in, a colour cycle (Cycle) and palettes
// pinned to times (PaletteTimeline). The non-blocking Animator
// (<quorvel/animator.hpp>) and the palette file formats (<quorvel/formats.hpp>) work on
// these; the blocking routines (<quorvel/palette.hpp>) work on 6-bit PalColors.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// ---------------------------------------------------------------------------------------
// Cycles
// ---------------------------------------------------------------------------------------

enum class CycleMode {
  Wrap,      // steps on round the range: the top colour wraps to the bottom
  PingPong,  // runs one whole cycle forward and one back (a triangle over 2 x length)
  Sine,      // like PingPong, easing in and out at the turns
};

// Rotates registers low..high of the (tweened) base. One step moves every colour up one
// register; the top one wraps to low. With blending, a fractional position k + f shows
// each register as the mix of the colours k and k + 1 steps behind it, with weight f, so
// slow cycles glide instead of stepping. Without, it shows the last whole step it
// reached: its first comes a whole step after it starts, backwards as forwards, as in
// DeluxePaint. Backwards a cycle is the mirror of the forward one: colours move down a
// register a step, and a ping-pong or sine takes its first leg down, then up.
struct Cycle {
  int32_t low = 0;
  int32_t high = 255;
  double stepsPerSecond = 1;  // a negative rate runs backwards
  CycleMode mode = CycleMode::Wrap;
  bool reverse = false;       // runs backwards (with a negative rate: forwards)
  bool blend = true;
  double phase = 0;           // the position, in steps, it starts at
};

// ---------------------------------------------------------------------------------------
// Palettes pinned to times
// ---------------------------------------------------------------------------------------

// One palette of a timeline and the time it is shown exactly, in milliseconds of the
// timeline's clock (for a day: milliseconds since midnight).
struct TimedPalette {
  double timeMs = 0;
  Palette palette;
  bool operator==(const TimedPalette&) const = default;
};

// Palettes at times of a repeating clock, such as the hours of a day. Between two keys
// the palette goes from one to the next; after the last it goes back to the first, which
// comes again one period later.
struct PaletteTimeline {
  static constexpr double kDayMs = 24.0 * 60 * 60 * 1000;
  std::vector<TimedPalette> keys;  // in order of time, each within 0 <= timeMs < periodMs
  double periodMs = kDayMs;
  bool operator==(const PaletteTimeline&) const = default;
};

}  // namespace quorvel
