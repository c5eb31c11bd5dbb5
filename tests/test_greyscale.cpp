// The default palette in grey: static, rotated, faded and at a level.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <quorvel/palette.hpp>
#include "tests/support/palette_expect.hpp"

namespace quorvel {
namespace {

using namespace testing;

TEST(PalGreyScl, FlagCombinations) {
  HeadlessScreen screen;
  const ColorTable source = Defaults(), greys = Greys(source);
  const struct {
    int32_t grey, neg;
    ColorTable shown;
  } cases[] = {{0, 0, source},           {-1, 0, source},
               {1, 0, greys},            {100, -1, greys},
               {0, 1, Negatives(source)}, {2, 1, Negatives(greys)}};
  for (const auto& c : cases) {
    EXPECT_EQ(Record([&] { PalGreyScl::DefaultPal(c.grey, c.neg); }),
              TableEvents(c.shown, 0, 255))
        << c.grey << " " << c.neg;
  }
  const auto grey = Record([] { PalGreyScl::DefaultPal(1, 0); });
  EXPECT_EQ(grey[14].b, PackRgb({49, 49, 49}));
  EXPECT_EQ(grey[35].b, PackRgb({36, 36, 36}));  // (47 + 0 + 63) / 3, remainder dropped
  EXPECT_EQ(Record([] { PalGreyScl::DefaultPal(1, 1); })[14].b, PackRgb({14, 14, 14}));
  EXPECT_EQ(Record([] { PalGreyScl::DefaultPal(0, 1); })[1].b, PackRgb({63, 63, 21}));

  int32_t first = -5, last = 300;
  EXPECT_EQ(Record([&] { PalGreySclRange::DefaultPal(first, last, 1, 1); }),
            TableEvents(Negatives(greys), 0, 255));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 255);
}

TEST(PalGreySclRotate, GreysOfTheRotatedPalette) {
  HeadlessScreen screen;
  const ColorTable greys = Greys(Defaults());
  int32_t first = 8, last = 200;
  EXPECT_EQ(Record([&] { PalGreySclRotate::DefaultPal(first, last, 0, 0); }),
            Record([&] { PalGreySclRange::DefaultPal(first, last, 1, 0); }));
  const int32_t amount = 257;
  EXPECT_EQ(Record([&] { PalGreySclRotate::DefaultPal(first, last, amount, 0); }),
            TableEvents(RotatedBy(greys, 1), 8, 200));
  EXPECT_EQ(amount, 257);
  first = 250, last = 1;
  EXPECT_EQ(Record([&] { PalGreySclRotate::DefaultPal(first, last, -1, 1); }),
            TableEvents(RotatedBy(Negatives(greys), 255), 250, 250));
  EXPECT_EQ(last, 250);
}

TEST(GreyFades, WholeSequences) {
  HeadlessScreen screen;
  const ColorTable source = Defaults(), greys = Greys(source), negGreys = Negatives(greys);
  EXPECT_EQ(Record([] { PalFadeToGreyScl::DefaultPal(7, 0); }),
            AnimatedEvents(source, greys, 0, 255, 7));
  EXPECT_EQ(Record([] { PalFadeFromGreyScl::DefaultPal(0, 1); }),
            AnimatedEvents(negGreys, source, 0, 255, 0));
  int32_t first = 30, last = 20;
  EXPECT_EQ(Record([&] { PalFadeRangeToGreyScl::DefaultPal(first, last, -5, 3); }),
            AnimatedEvents(source, negGreys, 30, 30, -5));
  EXPECT_EQ(last, 30);
  first = -1, last = 64;
  EXPECT_EQ(Record([&] { PalFadeRangeFromGreyScl::DefaultPal(first, last, 2, 0); }),
            AnimatedEvents(greys, source, 0, 64, 2));
  EXPECT_EQ(first, 0);
}

TEST(GreyFades, EndsMatchTheStaticGreysAndLevelsMatchPasses) {
  HeadlessScreen screen;
  for (int32_t neg : {0, 1}) {
    Recorder fade;
    PalFadeToGreyScl::DefaultPal(0, neg);
    EXPECT_EQ(fade.Pass(63), Record([&] { PalGreyScl::DefaultPal(1, neg); })) << neg;
    for (int32_t t = 0; t <= 63; ++t) {
      int32_t level = t;
      EXPECT_EQ(Record([&] { PalGreyFadeCtrl::DefaultPal(level, neg); }), fade.Pass(t));
    }
  }
  // Black ends at white among the negative greys.
  EXPECT_EQ(Record([] { PalGreyScl::DefaultPal(1, 1); })[0].b, PackRgb({63, 63, 63}));
}

TEST(GreyFadeCtrl, LevelsClampAndRoundDown) {
  HeadlessScreen screen;
  int32_t level = 32;
  EXPECT_EQ(Record([&] { PalGreyFadeCtrl::DefaultPal(level, 0); })[40].b,
            PackRgb({41, 10, 10}));  // (63, 0, 0) towards grey 21
  level = 99;
  EXPECT_EQ(Record([&] { PalGreyFadeCtrl::DefaultPal(level, 0); }),
            TableEvents(Greys(Defaults()), 0, 255));
  EXPECT_EQ(level, 63);
  int32_t first = 300, last = 0;
  level = -2;
  EXPECT_EQ(Record([&] { PalGreyRangeFadeCtrl::DefaultPal(first, last, level, 1); }),
            TableEvents(Defaults(), 255, 255));
  EXPECT_EQ(first, 255);
  EXPECT_EQ(last, 255);
  EXPECT_EQ(level, 0);
}

// One variable passed for two arguments shows when each flag is read.
TEST(GreyFades, FlagsReadAroundTheClamps) {
  HeadlessScreen screen;
  const ColorTable source = Defaults();
  // `grey` is read before the range lifts the shared variable to 10; `neg` after.
  int32_t first = 10, shared = 0;
  EXPECT_EQ(Record([&] { PalGreySclRange::DefaultPal(first, shared, shared, 0); }),
            TableEvents(source, 10, 10));
  EXPECT_EQ(shared, 10);
  shared = 0;
  EXPECT_EQ(Record([&] { PalGreySclRange::DefaultPal(first, shared, 0, shared); }),
            TableEvents(Negatives(source), 10, 10));
  // The grey end is settled before any clamp.
  shared = 0;
  int32_t level = 63;
  EXPECT_EQ(Record([&] { PalGreyRangeFadeCtrl::DefaultPal(first, shared, level, shared); }),
            TableEvents(Greys(source), 10, 10));
  shared = 0;
  Recorder fade;
  PalFadeRangeToGreyScl::DefaultPal(first, shared, 0, shared);
  EXPECT_EQ(fade.Pass(63), TableEvents(Greys(source), 10, 10));
}

// The file families share the operation; a file that cannot be read gives black.
TEST(GreyFades, FileFamiliesRunTheSameOperation) {
  HeadlessScreen screen;
  const std::string missing = std::string(QUORVEL_TEST_DATA) + "/no-such-palette.pal";
  int32_t level = 80;
  EXPECT_EQ(Record([&] { PalGreyFadeCtrl::FilePal(missing, level, 1); }),
            TableEvents(Solid(63, 63, 63), 0, 255));
  EXPECT_EQ(level, 63);
  EXPECT_EQ(Record([&] { PalFadeFromGreyScl::PP256Pal(missing, 5, 0); }),
            AnimatedEvents(Solid(0, 0, 0), Solid(0, 0, 0), 0, 255, 5));
}

}  // namespace
}  // namespace quorvel
