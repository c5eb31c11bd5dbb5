// The power-on palette of the screen (the VGA default), 6-bit components.
#include <array>
#include <cstdint>

#include <quorvel/display.hpp>

namespace quorvel {
namespace {

struct Rgb6 {
  int32_t r = 0, g = 0, b = 0;
};

// The VGA power-on palette, built the way the hardware table is laid out: sixteen text
// colours, a grey ramp, then nine blocks of 24 hues walking round the colour wheel at
// three intensities and three saturations, then eight blacks.
constexpr std::array<Rgb6, 256> BuildDefaultPalette() {
  std::array<Rgb6, 256> p{};
  constexpr Rgb6 text[16] = {
      {0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},  {42, 0, 0},   {42, 0, 42},
      {42, 21, 0},  {42, 42, 42}, {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
      {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63}};
  for (int i = 0; i < 16; ++i) p[i] = text[i];

  constexpr int32_t greys[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};
  for (int i = 0; i < 16; ++i) p[16 + i] = {greys[i], greys[i], greys[i]};

  // Levels lo, q1, mid, q3, hi of each block.
  constexpr int32_t blocks[9][5] = {{0, 16, 31, 47, 63},  {31, 39, 47, 55, 63},
                                    {45, 49, 54, 58, 63}, {0, 7, 14, 21, 28},
                                    {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28},
                                    {0, 4, 8, 12, 16},    {8, 10, 12, 14, 16},
                                    {11, 12, 13, 15, 16}};
  // The hue walk: which level (0 = lo .. 4 = hi) each of red, green, blue takes.
  constexpr int hues[24][3] = {{0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {4, 0, 4},
                               {4, 0, 3}, {4, 0, 2}, {4, 0, 1}, {4, 0, 0}, {4, 1, 0},
                               {4, 2, 0}, {4, 3, 0}, {4, 4, 0}, {3, 4, 0}, {2, 4, 0},
                               {1, 4, 0}, {0, 4, 0}, {0, 4, 1}, {0, 4, 2}, {0, 4, 3},
                               {0, 4, 4}, {0, 3, 4}, {0, 2, 4}, {0, 1, 4}};
  for (int block = 0; block < 9; ++block) {
    for (int h = 0; h < 24; ++h) {
      const int32_t* level = blocks[block];
      p[32 + block * 24 + h] = {level[hues[h][0]], level[hues[h][1]], level[hues[h][2]]};
    }
  }
  return p;  // 248..255 stay black
}

constexpr std::array<Rgb6, 256> kDefaultPalette = BuildDefaultPalette();

}  // namespace

int32_t DefaultPaletteColor(int32_t index) {
  if (index < 0 || index > 255) return 0;
  const Rgb6& c = kDefaultPalette[index];
  return c.r + c.g * 256 + c.b * 65536;
}

}  // namespace quorvel
