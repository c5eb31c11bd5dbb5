// Rotations of the default palette, its negative and the fades between the two.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include <quorvel/palette.hpp>
#include "tests/support/palette_expect.hpp"

namespace quorvel {
namespace {

using namespace testing;

TEST(PalRotate, OffsetIsAmountModulo256OverTheWholePalette) {
  HeadlessScreen screen;
  const struct {
    int32_t amount, k;
  } cases[] = {{0, 0}, {1, 1}, {255, 255}, {256, 0}, {300, 44}, {-1, 255}, {INT32_MIN, 0},
               {INT32_MAX, 255}};
  for (const auto& c : cases) {
    int32_t first = 0, last = 255;
    const int32_t amount = c.amount;
    EXPECT_EQ(Record([&] { PalRotate::DefaultPal(first, last, amount); }),
              TableEvents(RotatedBy(Defaults(), c.k), 0, 255))
        << c.amount;
    EXPECT_EQ(amount, c.amount);
  }
  // The source wraps over all 256 colours, not within the range.
  int32_t first = 20, last = 235;
  EXPECT_EQ(Record([&] { PalRotate::DefaultPal(first, last, 1); }),
            TableEvents(RotatedBy(Defaults(), 1), 20, 235));
  const std::vector<Event> minusOne =
      Record([&] { first = 0, last = 0, PalRotate::DefaultPal(first, last, -1); });
  EXPECT_EQ(minusOne, TableEvents(Solid(0, 0, 0), 0, 0));  // default colour 255 is black
}

TEST(PalRotate, RangeClampWritesBack) {
  HeadlessScreen screen;
  int32_t first = 20, last = 10;
  EXPECT_EQ(Record([&] { PalRotate::DefaultPal(first, last, 3); }),
            TableEvents(RotatedBy(Defaults(), 3), 20, 20));
  EXPECT_EQ(last, 20);
  first = 300, last = 0;
  Record([&] { PalNegRotate::DefaultPal(first, last, 3); });
  EXPECT_EQ(first, 255);
  EXPECT_EQ(last, 255);
}

TEST(PalRotateFC, LevelsBetweenColourAndRotatedPalette) {
  HeadlessScreen screen;
  for (int32_t amount : {0, 7, 300}) {
    int32_t first = 5, last = 250, level = 63;
    const auto rotate = Record([&] { PalRotate::DefaultPal(first, last, amount); });
    EXPECT_EQ(Record([&] { PalRotateFC::DefaultPal(first, last, amount, level); }), rotate);
    level = 70;
    int32_t r = 9, g = 8, b = 7;
    EXPECT_EQ(Record([&] { PalRotateFCX::DefaultPal(first, last, r, g, b, amount, level); }),
              rotate);
    EXPECT_EQ(level, 63);
    level = -5;
    EXPECT_EQ(Record([&] { PalRotateFC::DefaultPal(first, last, amount, level); }),
              TableEvents(Solid(0, 0, 0), 5, 250));
    EXPECT_EQ(level, 0);
    r = 70;
    EXPECT_EQ(Record([&] { PalRotateFCX::DefaultPal(first, last, r, g, b, amount, level); }),
              TableEvents(Solid(63, 8, 7), 5, 250));
    EXPECT_EQ(r, 63);
  }
  int32_t first = 0, last = 255, level = 32;
  const auto half = Record([&] { PalRotateFC::DefaultPal(first, last, 262, level); });
  EXPECT_EQ(half[0].b, PackRgb({21, 10, 0}));  // default colour 6, (42, 21, 0)
  int32_t r = 0, g = 63, b = 0;
  EXPECT_EQ(Record([&] { PalRotateFCX::DefaultPal(first, last, r, g, b, 9, level); }),
            PassEvents(Solid(0, 63, 0), RotatedBy(Defaults(), 9), 0, 255, 32));
}

// One variable passed for two arguments shows the order of the clamps.
TEST(PalRotateFC, ClampOrderSeenThroughSharedVariables) {
  HeadlessScreen screen;
  // The level clamp comes after the range clamp: `last` is lifted to 100, then brought to
  // 63 as a level, which leaves nothing to write.
  const std::function<void(int32_t&, int32_t&)> levelAfterRange[] = {
      [](int32_t& first, int32_t& shared) { PalRotateFC::DefaultPal(first, shared, 1, shared); },
      [](int32_t& first, int32_t& shared) {
        int32_t r = 0, g = 0, b = 0;
        PalRotateFCX::DefaultPal(first, shared, r, g, b, 1, shared);
      },
      [](int32_t& first, int32_t& shared) { PalNegaRangeFadeCtrl::DefaultPal(first, shared, shared); },
  };
  for (const auto& run : levelAfterRange) {
    int32_t first = 100, shared = 70;
    EXPECT_TRUE(Record([&] { run(first, shared); }).empty());
    EXPECT_EQ(shared, 63);
  }
  // The colour is clamped (70 -> 63) before the range lifts it to 100, and the solid
  // colour is taken after that.
  int32_t first = 100, shared = 70, g = 0, b = 0, level = 0;
  EXPECT_EQ(Record([&] { PalRotateFCX::DefaultPal(first, shared, shared, g, b, 5, level); }),
            (std::vector<Event>{{Event::Entry, 100, 100}}));
  EXPECT_EQ(shared, 100);
}

TEST(PalNeg, FlagSelectsNegativeOrSource) {
  HeadlessScreen screen;
  const ColorTable negative = Negatives(Defaults());
  for (int32_t flag : {1, 2, 100}) {
    const auto events = Record([&] { PalNeg::DefaultPal(flag); });
    EXPECT_EQ(events, TableEvents(negative, 0, 255)) << flag;
    EXPECT_EQ(events[0].b, 4144959);
    EXPECT_EQ(events[1].b, PackRgb({63, 63, 21}));
  }
  for (int32_t flag : {0, -3}) {
    EXPECT_EQ(Record([&] { PalNeg::DefaultPal(flag); }), TableEvents(Defaults(), 0, 255));
  }
  int32_t first = 40, last = 60;
  EXPECT_EQ(Record([&] { PalNegRange::DefaultPal(first, last, 1); }),
            TableEvents(negative, 40, 60));
  EXPECT_EQ(Record([&] { PalNegRange::DefaultPal(first, last, 0); }),
            TableEvents(Defaults(), 40, 60));
  EXPECT_EQ(Record([&] { PalNegRotate::DefaultPal(first, last, -2); }),
            TableEvents(RotatedBy(negative, 254), 40, 60));
}

TEST(NegativeFades, WholeSequences) {
  HeadlessScreen screen;
  const ColorTable source = Defaults(), negative = Negatives(source);
  EXPECT_EQ(Record([] { PalFadeToNega::DefaultPal(7); }),
            AnimatedEvents(source, negative, 0, 255, 7));
  EXPECT_EQ(Record([] { PalFadeFromNega::DefaultPal(-5); }),
            AnimatedEvents(negative, source, 0, 255, -5));
  int32_t first = -9, last = 17;
  EXPECT_EQ(Record([&] { PalFadeRangeToNega::DefaultPal(first, last, 0); }),
            AnimatedEvents(source, negative, 0, 17, 0));
  EXPECT_EQ(first, 0);
  first = 240, last = 900;
  EXPECT_EQ(Record([&] { PalFadeRangeFromNega::DefaultPal(first, last, 3); }),
            AnimatedEvents(negative, source, 240, 255, 3));
  EXPECT_EQ(last, 255);
}

TEST(NegativeFades, EndsAndRounding) {
  HeadlessScreen screen;
  Recorder recorder;
  PalFadeToNega::DefaultPal(0);
  EXPECT_EQ(recorder.Pass(1)[7].b, PackRgb({41, 41, 41}));  // grey 42 rounds down
  int32_t flag = 1;
  EXPECT_EQ(recorder.Pass(63), Record([&] { PalNeg::DefaultPal(flag); }));
  // Each level matches the same pass of the fade.
  for (int32_t t = 0; t <= 63; ++t) {
    int32_t level = t;
    EXPECT_EQ(Record([&] { PalNegaFadeCtrl::DefaultPal(level); }), recorder.Pass(t)) << t;
  }
  int32_t first = 6, last = 6, level = 32;
  // Default colour 6 is (42, 21, 0), its negative (21, 42, 63).
  EXPECT_EQ(Record([&] { PalNegaRangeFadeCtrl::DefaultPal(first, last, level); }),
            (std::vector<Event>{{Event::Entry, 6, PackRgb({31, 31, 32})}}));
  level = 99;
  first = 10, last = 3;
  EXPECT_EQ(Record([&] { PalNegaRangeFadeCtrl::DefaultPal(first, last, level); }),
            TableEvents(Negatives(Defaults()), 10, 10));
  EXPECT_EQ(level, 63);
  EXPECT_EQ(last, 10);
}

// The file families share the operation; a file that cannot be read gives black.
TEST(NegativeFades, FileFamiliesRunTheSameOperation) {
  HeadlessScreen screen;
  const std::string missing = std::string(QUORVEL_TEST_DATA) + "/no-such-palette.pal";
  const ColorTable black = Solid(0, 0, 0), white = Solid(63, 63, 63);
  int32_t first = 2, last = 1;
  EXPECT_EQ(Record([&] { PalFadeRangeToNega::FilePal(missing, first, last, 4); }),
            AnimatedEvents(black, white, 2, 2, 4));
  EXPECT_EQ(last, 2);
  EXPECT_EQ(Record([&] { PalNeg::PP256Pal(missing, 1); }), TableEvents(white, 0, 255));
}

}  // namespace
}  // namespace quorvel
