// What the palette routines share: tables of 256 source colours and the two ways of
// writing them to the registers (one pass at a level, or 64 animated passes).
// Internal to the library; users include palette.hpp.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include <quorvel/palette.hpp>

namespace quorvel::detail {

// One colour. Components are 0..63 when well formed; file sources may hold more.
struct Rgb {
  int32_t r = 0;
  int32_t g = 0;
  int32_t b = 0;
  bool operator==(const Rgb&) const = default;
};

// 256 colours indexed by palette register. Value-initialised tables are all black.
using ColorTable = std::array<Rgb, 256>;

// The default palette, filled through the three lookups.
ColorTable DefaultTable();
// Every entry the same colour.
ColorTable SolidTable(int32_t r, int32_t g, int32_t b);
// The colours of a 768-byte or a PP256 palette file, read completely and closed again.
ColorTable ReadFilePalTable(const std::string& fileName);
ColorTable ReadPP256PalTable(const std::string& fileName);

// r + g*256 + b*65536 in 32-bit two's complement, without signed overflow.
int32_t Pack(const Rgb& c);
Rgb MixRgb(const Rgb& from, const Rgb& to, int32_t t);
Rgb Negative(const Rgb& c);  // (63 - r, 63 - g, 63 - b)
int32_t GreyValue(const Rgb& c);  // (r + g + b) / 3, remainder dropped
ColorTable NegativeTable(const ColorTable& source);  // Negative of every entry
// The negative table when the flag is on (FlagOn), else the table itself.
ColorTable NegativeIf(const ColorTable& source, int32_t flag);
ColorTable GreyTable(const ColorTable& source);      // (m, m, m) with m = GreyValue
// The table with entry j taken from source entry (j + amount) mod 256, for 6-bit tables
// and 8-bit palettes alike.
template <typename Colour>
std::array<Colour, 256> Rotated(const std::array<Colour, 256>& source, int32_t amount) {
  // The low eight bits of the two's complement amount: -1 gives 255, 300 gives 44.
  const uint32_t offset = static_cast<uint32_t>(amount) & 255u;
  std::array<Colour, 256> table;
  for (uint32_t j = 0; j < 256; ++j) table[j] = source[(j + offset) & 255u];
  return table;
}

// Clamps r, then g, then b to 0..63, writing each back.
void ClampColour(int32_t& r, int32_t& g, int32_t& b);

// A flag argument is on at 1 or more.
constexpr bool FlagOn(int32_t flag) { return flag >= 1; }

// Writes registers first..last (already clamped) from the table, ascending.
void WriteTable(const ColorTable& table, int32_t first, int32_t last);
// Writes registers first..last with Mix(from, to, t), ascending; no sleep.
void WritePass(const ColorTable& from, const ColorTable& to, int32_t first, int32_t last,
               int32_t t);
// The animated skeleton: passes t = 0..63 of WritePass, each followed by SleepMs with the
// speed's current value.
void Animate(const ColorTable& from, const ColorTable& to, int32_t first, int32_t last,
             const int32_t& speed);

}  // namespace quorvel::detail
