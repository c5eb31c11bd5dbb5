// The four test groups over the 32 default-palette routines. Every literal argument is
// set in a variable of its own just before the call, so that a value a routine clamps and
// writes back never reaches another call.
#include "demo/runner.hpp"
#include <quorvel/palette.hpp>

namespace quorvel::demo {
namespace {

const Closing kRestore{Closing::Restore};
const Closing kClearWorkingLine{Closing::ClearWorkingLine};
Closing PauseFor(int32_t milliseconds) { return {Closing::Pause, milliseconds}; }

// The rotation loops with a level show the level running 0..62 over and over.
int32_t LevelOf(int32_t amount) { return amount % 63; }

Group FadeGroup() {
  return {
      ScreenAction::Keep,
      {"FadeIn.DefaultPal", "FadeOut.DefaultPal", "FadeInX.DefaultPal",
       "FadeOutX.DefaultPal", "FadeInRange.DefaultPal", "FadeOutRange.DefaultPal",
       "FadeInRangeX.DefaultPal", "FadeOutRangeX.DefaultPal"},
      {
          {14, [](Demo&) {
             int32_t speed = 30;
             FadeIn::DefaultPal(speed);
           }, {}},
          {15, [](Demo&) {
             int32_t speed = 30;
             FadeOut::DefaultPal(speed);
           }, {}},
          // FadeOut left every register black; FadeInX starts from its own colour anyway.
          {16, [](Demo&) {
             int32_t r = 22, g = 22, b = 63, speed = 30;
             FadeInX::DefaultPal(r, g, b, speed);
           }, {}},
          {17, [](Demo&) {
             int32_t r = 22, g = 22, b = 63, speed = 30;
             FadeOutX::DefaultPal(r, g, b, speed);
           }, {kRestore}},
          {18, [](Demo&) {
             int32_t first = 32, last = 172, speed = 30;
             FadeInRange::DefaultPal(first, last, speed);
           }, {}},
          {19, [](Demo&) {
             int32_t first = 32, last = 172, speed = 30;
             FadeOutRange::DefaultPal(first, last, speed);
           }, {}},
          {20, [](Demo&) {
             int32_t first = 32, last = 172, r = 0, g = 63, b = 0, speed = 30;
             FadeInRangeX::DefaultPal(first, last, r, g, b, speed);
           }, {}},
          {21, [](Demo&) {
             int32_t first = 32, last = 172, r = 0, g = 63, b = 0, speed = 30;
             FadeOutRangeX::DefaultPal(first, last, r, g, b, speed);
           }, {PauseFor(1000), kRestore}},
      }};
}

Group ControlAndRotationGroup() {
  return {
      ScreenAction::DrawTestScreen,
      {"FadeCtrl.DefaultPal", "FadeCtrlX.DefaultPal", "FadeCtrlRangeX.DefaultPal",
       "PalRotate.DefaultPal", "PalRotateFC.DefaultPal", "PalRotateFCX.DefaultPal"},
      {
          {14, [](Demo& demo) {
             demo.blinkCounter = 0;
             LevelLoop(demo, [](int32_t& level) { FadeCtrl::DefaultPal(level); });
           }, {kRestore}},
          {15, [](Demo& demo) {
             demo.blinkCounter = 0;
             LevelLoop(demo, [](int32_t& level) {
               int32_t r = 63, g = 0, b = 0;
               FadeCtrlX::DefaultPal(r, g, b, level);
             });
           }, {kRestore}},
          {16, [](Demo& demo) {
             demo.blinkCounter = 0;
             LevelLoop(demo, [](int32_t& level) {
               int32_t first = 70, last = 180, r = 63, g = 32, b = 0;
               FadeCtrlRangeX::DefaultPal(first, last, r, g, b, level);
             });
           }, {kRestore, kClearWorkingLine}},
          {17, [](Demo&) {
             RotationLoop([](int32_t& amount, bool) {
               int32_t first = 20, last = 235;
               PalRotate::DefaultPal(first, last, amount);
             });
           }, {}},
          {18, [](Demo&) {
             RotationLoop([](int32_t& amount, bool) {
               int32_t first = 20, last = 235;
               int32_t level = LevelOf(amount);
               PalRotateFC::DefaultPal(first, last, amount, level);
             });
           }, {}},
          // Brown while the amount rises, sea green while it falls.
          {19, [](Demo&) {
             RotationLoop([](int32_t& amount, bool rising) {
               int32_t first = 20, last = 235;
               int32_t r = rising ? 29 : 19;
               int32_t g = rising ? 18 : 58;
               int32_t b = rising ? 3 : 42;
               int32_t level = LevelOf(amount);
               PalRotateFCX::DefaultPal(first, last, r, g, b, amount, level);
             });
           }, {PauseFor(1000), kRestore}},
      }};
}

Group NegativeGroup() {
  return {
      ScreenAction::DrawTestScreen,
      {"PalNeg.DefaultPal", "PalNegRange.DefaultPal", "PalNegRotate.DefaultPal",
       "PalFadeToNega.DefaultPal", "PalFadeFromNega.DefaultPal",
       "PalFadeRangeToNega.DefaultPal", "PalFadeRangeFromNega.DefaultPal",
       "PalNegaFadeCtrl.DefaultPal", "PalNegaRangeFadeCtrl.DefaultPal"},
      {
          {14, [](Demo&) {
             int32_t flag = 1;
             PalNeg::DefaultPal(flag);
             Pause(2500);
             int32_t flagOff = 0;
             PalNeg::DefaultPal(flagOff);
             Pause(2500);
           }, {kRestore}},
          {15, [](Demo&) {
             int32_t first = 16, last = 239, flag = 1;
             PalNegRange::DefaultPal(first, last, flag);
             Pause(2500);
             int32_t firstAgain = 16, lastAgain = 239, flagOff = 0;
             PalNegRange::DefaultPal(firstAgain, lastAgain, flagOff);
             Pause(2500);
           }, {kRestore}},
          {16, [](Demo&) {
             RotationLoop([](int32_t& amount, bool) {
               int32_t first = 20, last = 235;
               PalNegRotate::DefaultPal(first, last, amount);
             });
           }, {}},
          {17, [](Demo&) {
             int32_t speed = 30;
             PalFadeToNega::DefaultPal(speed);
           }, {}},
          {18, [](Demo&) {
             int32_t speed = 30;
             PalFadeFromNega::DefaultPal(speed);
           }, {}},
          {19, [](Demo&) {
             int32_t first = 1, last = 255, speed = 30;
             PalFadeRangeToNega::DefaultPal(first, last, speed);
           }, {}},
          {20, [](Demo&) {
             int32_t first = 1, last = 255, speed = 30;
             PalFadeRangeFromNega::DefaultPal(first, last, speed);
           }, {}},
          {21, [](Demo& demo) {
             demo.blinkCounter = 0;
             LevelLoop(demo, [](int32_t& level) { PalNegaFadeCtrl::DefaultPal(level); });
           }, {kRestore, kClearWorkingLine}},
          {22, [](Demo& demo) {
             demo.blinkCounter = 0;
             LevelLoop(demo, [](int32_t& level) {
               int32_t first = 1, last = 255;
               PalNegaRangeFadeCtrl::DefaultPal(first, last, level);
             });
           }, {kClearWorkingLine, PauseFor(1000), kRestore}},
      }};
}

// One still of PalGreyScl.DefaultPal, shown for 2.5 seconds.
void ShowGrey(int32_t greyOn, int32_t negOn) {
  int32_t grey = greyOn, neg = negOn;
  PalGreyScl::DefaultPal(grey, neg);
  Pause(2500);
}

// One still of PalGreySclRange.DefaultPal up to register 255, shown for 2.5 seconds.
void ShowGreyRange(int32_t from, int32_t greyOn, int32_t negOn) {
  int32_t first = from, last = 255, grey = greyOn, neg = negOn;
  PalGreySclRange::DefaultPal(first, last, grey, neg);
  Pause(2500);
}

// The greyscale pairs run twice, plain and negated, with the marker back on the first
// routine's row for the second pass.
Group GreyscaleGroup() {
  return {
      ScreenAction::Keep,
      {"PalGreyScl.DefaultPal", "PalGreySclRange.DefaultPal",
       "PalGreySclRotate.DefaultPal", "PalFadeToGreyScl.DefaultPal",
       "PalFadeFromGreyScl.DefaultPal", "PalFadeRangeToGreyScl.DefaultPal",
       "PalFadeRangeFromGreyScl.DefaultPal", "PalGreyFadeCtrl.DefaultPal",
       "PalGreyRangeFadeCtrl.DefaultPal"},
      {
          // Every call rewrites all 256 registers, so no restore is needed in between.
          {14, [](Demo&) {
             ShowGrey(1, 0);
             ShowGrey(0, 0);
             ShowGrey(1, 1);
             ShowGrey(0, 1);
           }, {kRestore}},
          // The range leaves registers 1..15 negated unless restored in between.
          {15, [](Demo&) {
             ShowGreyRange(1, 1, 0);
             ShowGreyRange(1, 0, 0);
             RestoreDefaultPalette();
             ShowGreyRange(16, 1, 1);
             ShowGreyRange(16, 0, 1);
           }, {kRestore}},
          {16, [](Demo&) {
             for (int32_t negOn : {0, 1}) {
               RotationLoop([negOn](int32_t& amount, bool) {
                 int32_t first = 20, last = 235, neg = negOn;
                 PalGreySclRotate::DefaultPal(first, last, amount, neg);
               });
             }
           }, {kRestore}},
          {17, [](Demo&) {
             int32_t speed = 30, neg = 0;
             PalFadeToGreyScl::DefaultPal(speed, neg);
             Pause(2500);
           }, {}},
          {18, [](Demo&) {
             int32_t speed = 30, neg = 0;
             PalFadeFromGreyScl::DefaultPal(speed, neg);
           }, {}},
          {17, [](Demo&) {
             int32_t speed = 30, neg = 1;
             PalFadeToGreyScl::DefaultPal(speed, neg);
             Pause(2500);
           }, {}},
          {18, [](Demo&) {
             int32_t speed = 30, neg = 1;
             PalFadeFromGreyScl::DefaultPal(speed, neg);
           }, {kRestore}},
          {19, [](Demo&) {
             int32_t first = 32, last = 200, speed = 46, neg = 0;
             PalFadeRangeToGreyScl::DefaultPal(first, last, speed, neg);
             Pause(2500);
           }, {}},
          {20, [](Demo&) {
             int32_t first = 32, last = 200, speed = 46, neg = 0;
             PalFadeRangeFromGreyScl::DefaultPal(first, last, speed, neg);
           }, {}},
          {19, [](Demo&) {
             int32_t first = 32, last = 200, speed = 46, neg = 1;
             PalFadeRangeToGreyScl::DefaultPal(first, last, speed, neg);
             Pause(2500);
           }, {}},
          {20, [](Demo&) {
             int32_t first = 32, last = 200, speed = 46, neg = 1;
             PalFadeRangeFromGreyScl::DefaultPal(first, last, speed, neg);
           }, {kRestore}},
          // One blink-counter reset for both level loops, so the blinker runs on.
          {21, [](Demo& demo) {
             demo.blinkCounter = 0;
             for (int32_t negOn : {0, 1}) {
               LevelLoop(demo, [negOn](int32_t& level) {
                 int32_t neg = negOn;
                 PalGreyFadeCtrl::DefaultPal(level, neg);
               });
             }
           }, {}},
          {22, [](Demo& demo) {
             demo.blinkCounter = 0;
             for (int32_t negOn : {0, 1}) {
               LevelLoop(demo, [negOn](int32_t& level) {
                 int32_t first = 40, last = 180, neg = negOn;
                 PalGreyRangeFadeCtrl::DefaultPal(first, last, level, neg);
               });
             }
           }, {kRestore, kClearWorkingLine, PauseFor(1000), kRestore}},
      }};
}

}  // namespace

std::vector<Group> TestTable() {
  return {FadeGroup(), ControlAndRotationGroup(), NegativeGroup(), GreyscaleGroup()};
}

}  // namespace quorvel::demo
