// The colour model: default palette, clamps, Mix and the five primitives.
#include <gtest/gtest.h>

#include <quorvel/palette.hpp>
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

using testing::Event;
using testing::HeadlessScreen;
using testing::Recorder;

struct Rgb6 {
  int32_t r, g, b;
};
Rgb6 Default(int32_t i) { return {DefaultPalRed(i), DefaultPalGreen(i), DefaultPalBlue(i)}; }

TEST(DefaultPalette, TellingRowsAndOutOfRange) {
  const std::pair<int32_t, Rgb6> rows[] = {{6, {42, 21, 0}},   {17, {5, 5, 5}},
                                           {40, {63, 0, 0}},   {55, {0, 16, 63}},
                                           {104, {0, 0, 28}},  {247, {11, 12, 16}},
                                           {35, {47, 0, 63}},  {14, {63, 63, 21}},
                                           {31, {63, 63, 63}}, {248, {0, 0, 0}}};
  for (const auto& [index, c] : rows) {
    EXPECT_EQ(DefaultPalRed(index), c.r) << index;
    EXPECT_EQ(DefaultPalGreen(index), c.g) << index;
    EXPECT_EQ(DefaultPalBlue(index), c.b) << index;
  }
  for (int32_t outside : {-1, 256, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(DefaultPalRed(outside) + DefaultPalGreen(outside) + DefaultPalBlue(outside), 0);
  }
  // Every hue block walks the wheel: its first entry is (lo, lo, hi), its 13th (hi, hi, lo).
  EXPECT_EQ(Default(32 + 12).r, 63);
  EXPECT_EQ(Default(32 + 12).g, 63);
  EXPECT_EQ(Default(224).b, 16);
  EXPECT_EQ(Default(224).r, 11);
}

TEST(Clamps, WriteBackInOrder) {
  const struct {
    int32_t first, last, wantFirst, wantLast;
  } ranges[] = {{300, 5, 255, 255}, {-3, -7, 0, 0}, {10, 5, 10, 10}, {0, 999, 0, 255}, {7, 9, 7, 9}};
  for (auto c : ranges) {
    int32_t first = c.first, last = c.last;
    ClampRange(first, last);
    EXPECT_EQ(first, c.wantFirst);
    EXPECT_EQ(last, c.wantLast);
  }
  int32_t v = -1;
  ClampComponent(v);
  EXPECT_EQ(v, 0);
  v = 64;
  ClampComponent(v);
  EXPECT_EQ(v, 63);
  v = 256;
  ClampIndex(v);
  EXPECT_EQ(v, 255);
}

TEST(Mix, ExactFloorDivision) {
  EXPECT_EQ(Mix(0, 63, 1), 1);
  EXPECT_EQ(Mix(63, 0, 62), 1);
  EXPECT_EQ(Mix(10, 20, 32), 15);
  for (int32_t t = 0; t <= 63; ++t) EXPECT_EQ(Mix(42, 42, t), 42);
  // Against the two-quotient floating-point form, over every 6-bit pair.
  for (int32_t f = 0; f <= 63; ++f) {
    for (int32_t g = 0; g <= 63; ++g) {
      for (int32_t t = 0; t <= 63; ++t) {
        const double d = double((63 - t) * f) / 63 + double(t * g) / 63;
        ASSERT_EQ(Mix(f, g, t), static_cast<int32_t>(d)) << f << " " << g << " " << t;
      }
    }
  }
  EXPECT_EQ(Mix(-1, 0, 0), -1);  // rounds toward minus infinity
  EXPECT_EQ(Mix(0, -1, 1), -1);
}

TEST(Primitives, WriteRegistersAndClampedArguments) {
  HeadlessScreen screen;
  Recorder rec;

  int32_t first = 300, last = 5;
  PalBlackoutRange(first, last);
  EXPECT_EQ(first, 255);
  EXPECT_EQ(last, 255);
  ASSERT_EQ(rec.events.size(), 1u);
  EXPECT_EQ(rec.events[0], (Event{Event::Entry, 255, 0}));

  rec.events.clear();
  first = 10, last = 5;
  PalBlackoutRange(first, last);
  EXPECT_EQ(last, 10);
  ASSERT_EQ(rec.events.size(), 1u);

  rec.events.clear();
  int32_t index = 300, r = 70, g = -1, b = 20;
  PalSetColor(index, r, g, b);
  EXPECT_EQ(index, 255);
  EXPECT_EQ(r, 63);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 20);
  EXPECT_EQ(rec.events, (std::vector<Event>{{Event::Entry, 255, 63 + 20 * 65536}}));
  EXPECT_EQ(GetPaletteEntry(255), 255u + 80u * 65536u);

  rec.events.clear();
  r = 63, g = 0, b = 0;
  PalFill(r, g, b);
  const auto filled = rec.events;
  rec.events.clear();
  first = 0, last = 255;
  PalFillRange(first, last, r, g, b);
  EXPECT_EQ(rec.events, filled);
  ASSERT_EQ(filled.size(), 256u);
  for (int32_t i = 0; i < 256; ++i) EXPECT_EQ(filled[i], (Event{Event::Entry, i, 63}));

  rec.events.clear();
  PalBlackout();
  EXPECT_EQ(rec.Count(Event::Entry), 256u);
  EXPECT_EQ(rec.Count(Event::Sleep), 0u);
  for (int32_t i = 0; i < 256; ++i) EXPECT_EQ(GetPaletteEntry(i), 0u);
}

}  // namespace
}  // namespace quorvel
