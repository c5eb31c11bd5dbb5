// Fades between the default palette and black or a solid colour.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <quorvel/palette.hpp>
#include "tests/support/palette_expect.hpp"

namespace quorvel {
namespace {

using namespace testing;

struct AnimatedCase {
  std::string name;
  std::function<void(const int32_t& speed)> run;
  ColorTable from, to;
  int32_t first, last;
};

// Every animated fade, with the full write sequence it must produce at speed 7.
TEST(Fades, WholeSequencesOfEveryAnimatedFade) {
  HeadlessScreen screen;
  const ColorTable black = Solid(0, 0, 0);
  const ColorTable colour = Solid(10, 20, 30);
  const AnimatedCase cases[] = {
      {"FadeIn", [](const int32_t& s) { FadeIn::DefaultPal(s); }, black, Defaults(), 0, 255},
      {"FadeOut", [](const int32_t& s) { FadeOut::DefaultPal(s); }, Defaults(), black, 0, 255},
      {"FadeInX",
       [](const int32_t& s) {
         int32_t r = 10, g = 20, b = 30;
         FadeInX::DefaultPal(r, g, b, s);
       },
       colour, Defaults(), 0, 255},
      {"FadeOutX",
       [](const int32_t& s) {
         int32_t r = 10, g = 20, b = 30;
         FadeOutX::DefaultPal(r, g, b, s);
       },
       Defaults(), colour, 0, 255},
      {"FadeInRange",
       [](const int32_t& s) {
         int32_t first = 16, last = 239;
         FadeInRange::DefaultPal(first, last, s);
       },
       black, Defaults(), 16, 239},
      {"FadeOutRange",
       [](const int32_t& s) {
         int32_t first = 16, last = 239;
         FadeOutRange::DefaultPal(first, last, s);
       },
       Defaults(), black, 16, 239},
      {"FadeInRangeX",
       [](const int32_t& s) {
         int32_t first = 3, last = 40, r = 10, g = 20, b = 30;
         FadeInRangeX::DefaultPal(first, last, r, g, b, s);
       },
       colour, Defaults(), 3, 40},
      {"FadeOutRangeX",
       [](const int32_t& s) {
         int32_t first = 3, last = 40, r = 10, g = 20, b = 30;
         FadeOutRangeX::DefaultPal(first, last, r, g, b, s);
       },
       Defaults(), colour, 3, 40},
  };
  for (const AnimatedCase& c : cases) {
    Recorder recorder;
    c.run(7);
    EXPECT_EQ(recorder.events, AnimatedEvents(c.from, c.to, c.first, c.last, 7)) << c.name;
  }
}

TEST(Fades, RoundingDownAndEndPalettes) {
  HeadlessScreen screen;
  {
    Recorder recorder;
    FadeOut::DefaultPal(0);
    EXPECT_EQ(recorder.Pass(1)[15].b, PackRgb({62, 62, 62}));
    EXPECT_EQ(recorder.Pass(62)[15].b, PackRgb({1, 1, 1}));
    EXPECT_EQ(recorder.Pass(63), TableEvents(Solid(0, 0, 0), 0, 255));
  }
  // A fade in ends on exactly what the screen starts with.
  FadeIn::DefaultPal(0);
  std::vector<uint32_t> faded;
  for (int32_t i = 0; i < 256; ++i) faded.push_back(GetPaletteEntry(i));
  RestoreDefaultPalette();
  for (int32_t i = 0; i < 256; ++i) EXPECT_EQ(faded[i], GetPaletteEntry(i)) << i;
}

TEST(Fades, ClampsWriteBack) {
  HeadlessScreen screen;
  Recorder recorder;
  int32_t r = 70, g = -3, b = 20;
  FadeInX::DefaultPal(r, g, b, 0);
  EXPECT_EQ(r, 63);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 20);
  EXPECT_EQ(recorder.Pass(0), TableEvents(Solid(63, 0, 20), 0, 255));

  recorder.events.clear();
  int32_t first = 200, last = 100;
  FadeInRange::DefaultPal(first, last, 0);
  EXPECT_EQ(first, 200);
  EXPECT_EQ(last, 200);
  EXPECT_EQ(recorder.Count(Event::Entry), 64u);
  EXPECT_EQ(recorder.Pass(63), TableEvents(Defaults(), 200, 200));
}

// One variable passed for two arguments shows the order of the clamps.
TEST(Fades, ClampOrderSeenThroughSharedVariables) {
  HeadlessScreen screen;
  {
    // The colour is clamped (70 -> 63) and taken before the range lifts it to 100.
    Recorder recorder;
    int32_t first = 100, shared = 70, g = 0, b = 0;
    FadeInRangeX::DefaultPal(first, shared, shared, g, b, 0);
    EXPECT_EQ(shared, 100);
    EXPECT_EQ(recorder.Pass(0), TableEvents(Solid(63, 0, 0), 100, 100));
  }
  {
    // The range lifts `last` to 100 first, then the level clamp brings it to 63, which
    // leaves an empty range.
    Recorder recorder;
    int32_t first = 100, shared = 70, r = 0, g = 0, b = 0;
    FadeCtrlRangeX::DefaultPal(first, shared, r, g, b, shared);
    EXPECT_EQ(shared, 63);
    EXPECT_TRUE(recorder.events.empty());
  }
}

TEST(FadeCtrl, LevelsReproduceTheFades) {
  HeadlessScreen screen;
  Recorder fade;
  FadeIn::DefaultPal(0);
  for (int32_t t = 0; t <= 63; ++t) {
    Recorder ctrl;
    int32_t level = t;
    FadeCtrl::DefaultPal(level);
    EXPECT_EQ(ctrl.events, fade.Pass(t)) << t;
  }
  Recorder fadeX;
  int32_t r = 5, g = 50, b = 25;
  FadeOutX::DefaultPal(r, g, b, 0);
  for (int32_t t = 0; t <= 63; ++t) {
    Recorder ctrl;
    int32_t level = 63 - t;
    FadeCtrlX::DefaultPal(r, g, b, level);
    EXPECT_EQ(ctrl.events, fadeX.Pass(t)) << t;
  }
}

TEST(FadeCtrl, LevelsClampAndRoundDown) {
  HeadlessScreen screen;
  Recorder recorder;
  int32_t level = 100;
  FadeCtrl::DefaultPal(level);
  EXPECT_EQ(level, 63);
  EXPECT_EQ(recorder.events, TableEvents(Defaults(), 0, 255));

  recorder.events.clear();
  level = -5;
  FadeCtrl::DefaultPal(level);
  EXPECT_EQ(level, 0);
  EXPECT_EQ(recorder.events, TableEvents(Solid(0, 0, 0), 0, 255));

  recorder.events.clear();
  level = 32;
  FadeCtrl::DefaultPal(level);
  EXPECT_EQ(recorder.events[6].b, PackRgb({21, 10, 0}));

  recorder.events.clear();
  int32_t r = 63, g = 63, b = 63;
  level = 31;
  FadeCtrlX::DefaultPal(r, g, b, level);
  EXPECT_EQ(recorder.events[1].b, PackRgb({32, 32, 52}));

  recorder.events.clear();
  int32_t first = -4, last = 999;
  r = 90, g = -1, b = 7, level = 0;
  FadeCtrlRangeX::DefaultPal(first, last, r, g, b, level);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 255);
  EXPECT_EQ(r, 63);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(recorder.events, TableEvents(Solid(63, 0, 7), 0, 255));
  EXPECT_EQ(recorder.Count(Event::Sleep), 0u);
}

// The speed goes to every sleep as given; SleepMs' own rules decide the time taken.
TEST(Fades, SpeedsPassedUnchanged) {
  const struct {
    int32_t speed;
    bool keyQueued;
    int64_t virtualMs;
  } cases[] = {{0, false, 0}, {-5, false, 0}, {100, false, 6400}, {100, true, 0}, {-1, true, 0}};
  for (const auto& c : cases) {
    HeadlessScreen screen;
    if (c.keyQueued) PushKey(' ');
    Recorder recorder;
    FadeIn::DefaultPal(c.speed);
    EXPECT_EQ(recorder.events, AnimatedEvents(Solid(0, 0, 0), Defaults(), 0, 255, c.speed))
        << c.speed;
    EXPECT_EQ(VirtualTimeMs(), c.virtualMs) << c.speed;
    EXPECT_EQ(KeyWaiting(), c.keyQueued) << "the fade never takes the key";
  }
}

// The file families share the operation; a file that cannot be read gives black.
TEST(Fades, FileFamiliesRunTheSameOperation) {
  HeadlessScreen screen;
  const std::string missing = std::string(QUORVEL_TEST_DATA) + "/no-such-palette.pal";
  for (bool pp256 : {false, true}) {
    Recorder recorder;
    int32_t first = 250, last = 300, r = 1, g = 2, b = 99;
    if (pp256) {
      FadeOutRangeX::PP256Pal(missing, first, last, r, g, b, 3);
    } else {
      FadeOutRangeX::FilePal(missing, first, last, r, g, b, 3);
    }
    EXPECT_EQ(last, 255);
    EXPECT_EQ(b, 63);
    EXPECT_EQ(recorder.events, AnimatedEvents(Solid(0, 0, 0), Solid(1, 2, 63), 250, 255, 3));
  }
}

}  // namespace
}  // namespace quorvel
