// The colour model: the default palette lookups, the clamps, Mix and the pass loops that every
// routine writes its registers through.
#include <cstdint>

#include <quorvel/display.hpp>
#include "palette/tables.hpp"

namespace quorvel {
namespace {

// Floor division by 63 that also holds for the negative sums of malformed file colours.
int64_t FloorDiv63(int64_t n) { return n >= 0 ? n / 63 : -((-n + 62) / 63); }

}  // namespace

// The power-on palette belongs to the display; the routines read it from there.
int32_t DefaultPalRed(const int32_t& index) { return DefaultPaletteColor(index) & 63; }
int32_t DefaultPalGreen(const int32_t& index) { return DefaultPaletteColor(index) >> 8 & 63; }
int32_t DefaultPalBlue(const int32_t& index) { return DefaultPaletteColor(index) >> 16 & 63; }

void ClampComponent(int32_t& value) {
  if (value < 0) value = 0;
  if (value > 63) value = 63;
}

void ClampIndex(int32_t& index) {
  if (index < 0) index = 0;
  if (index > 255) index = 255;
}

void ClampRange(int32_t& first, int32_t& last) {
  if (first < 0) first = 0;
  if (first > 255) first = 255;
  if (last < first) last = first;
  if (last > 255) last = 255;
}

int32_t Mix(int32_t from, int32_t to, int32_t t) {
  return static_cast<int32_t>(FloorDiv63(int64_t(63 - t) * from + int64_t(t) * to));
}

namespace detail {

ColorTable DefaultTable() {
  ColorTable table;
  for (int32_t i = 0; i < 256; ++i) {
    table[i] = {DefaultPalRed(i), DefaultPalGreen(i), DefaultPalBlue(i)};
  }
  return table;
}

ColorTable SolidTable(int32_t r, int32_t g, int32_t b) {
  ColorTable table;
  table.fill({r, g, b});
  return table;
}

int32_t Pack(const Rgb& c) {
  const int64_t packed = int64_t(c.r) + int64_t(c.g) * 256 + int64_t(c.b) * 65536;
  return static_cast<int32_t>(static_cast<uint32_t>(packed));  // wraps modulo 2^32
}

Rgb MixRgb(const Rgb& from, const Rgb& to, int32_t t) {
  return {Mix(from.r, to.r, t), Mix(from.g, to.g, t), Mix(from.b, to.b, t)};
}

Rgb Negative(const Rgb& c) { return {63 - c.r, 63 - c.g, 63 - c.b}; }

int32_t GreyValue(const Rgb& c) {
  return static_cast<int32_t>((int64_t(c.r) + c.g + c.b) / 3);
}

ColorTable NegativeTable(const ColorTable& source) {
  ColorTable table;
  for (size_t i = 0; i < table.size(); ++i) table[i] = Negative(source[i]);
  return table;
}

ColorTable NegativeIf(const ColorTable& source, int32_t flag) {
  return FlagOn(flag) ? NegativeTable(source) : source;
}

ColorTable GreyTable(const ColorTable& source) {
  ColorTable table;
  for (size_t i = 0; i < table.size(); ++i) {
    const int32_t m = GreyValue(source[i]);
    table[i] = {m, m, m};
  }
  return table;
}

void ClampColour(int32_t& r, int32_t& g, int32_t& b) {
  ClampComponent(r);
  ClampComponent(g);
  ClampComponent(b);
}

void WriteTable(const ColorTable& table, int32_t first, int32_t last) {
  for (int32_t i = first; i <= last; ++i) SetPaletteEntry(i, Pack(table[i]));
}

void WritePass(const ColorTable& from, const ColorTable& to, int32_t first, int32_t last,
               int32_t t) {
  for (int32_t i = first; i <= last; ++i) SetPaletteEntry(i, Pack(MixRgb(from[i], to[i], t)));
}

void Animate(const ColorTable& from, const ColorTable& to, int32_t first, int32_t last,
             const int32_t& speed) {
  for (int32_t t = 0; t <= 63; ++t) {
    WritePass(from, to, first, last, t);
    SleepMs(speed);
  }
}

}  // namespace detail
}  // namespace quorvel
