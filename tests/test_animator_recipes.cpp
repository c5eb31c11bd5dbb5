// Each of the 32 blocking operations against its Animator recipe (the README's table):
// the recipe's palette at the instant of every pass is within one 6-bit step and the
// rounding of the registers the routine wrote, and the first and last palettes agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

constexpr int32_t kSpeed = 9;
constexpr double kLength = 63.0 * kSpeed;  // pass t is written at t x speed
constexpr int32_t kFirst = 40, kLast = 200, kAmount = 37, kLevelArg = 20;
constexpr Rgb8 kBlack{};
const Rgb8 kColour = Rgb8FromPalColor(10 + 20 * 256 + 30 * 65536);

// How close the recipe must come, at the first and last pass and at every other one:
// - Exact: the routine ends on a palette's own colours or a solid colour; between, one
//   6-bit step and the rounding apart.
// - Negative: the routine computes 63 - c at 6 bits, the Animator 255 - c at 8.
// - Grey: the routine's grey drops the remainder of its mean at 6 bits, up to 2/3 of a
//   step (2.7 at 8 bits) below the mean an 8-bit grey keeps.
// - Level, GreyLevel: one frame at a level between the ends, so only the pass limit holds.
struct Limits {
  int ends;
  int passes;
};
constexpr Limits kExact{0, 5}, kNegative{2, 5}, kGrey{3, 7}, kLevel{5, 5}, kGreyLevel{7, 7};

struct Recipe {
  std::string name;
  std::function<void()> routine;              // the blocking routine, at kSpeed
  std::function<void(Animator&)> start;       // the same effect, non-blocking
  Limits limits = kExact;
};

Tween Over() { return {.durationMs = kLength}; }
double LevelAmount(int32_t level) { return level / 63.0; }
Palette Rotated() { return Palette::Default().Rotated(kAmount); }

Filter Make(FilterKind kind, double amount, int32_t first = 0, int32_t last = 255,
            Rgb8 colour = kBlack) {
  return {.kind = kind, .first = first, .last = last, .amount = amount, .colour = colour};
}

void TweenedFilter(Animator& a, FilterKind kind, double from, double to, int32_t first = 0,
                   int32_t last = 255) {
  a.TweenFilter(a.AddFilter(Make(kind, from, first, last)), to, Over());
}

std::vector<Recipe> Recipes() {
  // Each routine gets fresh copies of its by-reference arguments.
  auto fl = [] { return std::pair{kFirst, kLast}; };
  using K = FilterKind;
  return {
      {"FadeIn", [] { FadeIn::DefaultPal(kSpeed); },
       [](Animator& a) { a.FadeFrom(kBlack, Over()); }},
      {"FadeOut", [] { FadeOut::DefaultPal(kSpeed); },
       [](Animator& a) { a.FadeTo(kBlack, Over()); }},
      {"FadeInX", [] { int32_t r = 10, g = 20, b = 30; FadeInX::DefaultPal(r, g, b, kSpeed); },
       [](Animator& a) { a.FadeFrom(kColour, Over()); }},
      {"FadeOutX", [] { int32_t r = 10, g = 20, b = 30; FadeOutX::DefaultPal(r, g, b, kSpeed); },
       [](Animator& a) { a.FadeTo(kColour, Over()); }},
      {"FadeInRange", [fl] { auto [f, l] = fl(); FadeInRange::DefaultPal(f, l, kSpeed); },
       [](Animator& a) { a.FadeFrom(kBlack, Over(), kFirst, kLast); }},
      {"FadeOutRange", [fl] { auto [f, l] = fl(); FadeOutRange::DefaultPal(f, l, kSpeed); },
       [](Animator& a) { a.FadeTo(kBlack, Over(), kFirst, kLast); }},
      {"FadeInRangeX",
       [fl] { auto [f, l] = fl(); int32_t r = 10, g = 20, b = 30;
              FadeInRangeX::DefaultPal(f, l, r, g, b, kSpeed); },
       [](Animator& a) { a.FadeFrom(kColour, Over(), kFirst, kLast); }},
      {"FadeOutRangeX",
       [fl] { auto [f, l] = fl(); int32_t r = 10, g = 20, b = 30;
              FadeOutRangeX::DefaultPal(f, l, r, g, b, kSpeed); },
       [](Animator& a) { a.FadeTo(kColour, Over(), kFirst, kLast); }},
      {"FadeCtrl", [] { int32_t v = kLevelArg; FadeCtrl::DefaultPal(v); },
       [](Animator& a) { a.AddFilter(Make(K::Fade, 1 - LevelAmount(kLevelArg))); }, kLevel},
      {"FadeCtrlX",
       [] { int32_t r = 10, g = 20, b = 30, v = kLevelArg; FadeCtrlX::DefaultPal(r, g, b, v); },
       [](Animator& a) { a.AddFilter(Make(K::Fade, 1 - LevelAmount(kLevelArg), 0, 255, kColour)); }, kLevel},
      {"FadeCtrlRangeX",
       [fl] { auto [f, l] = fl(); int32_t r = 10, g = 20, b = 30, v = kLevelArg;
              FadeCtrlRangeX::DefaultPal(f, l, r, g, b, v); },
       [](Animator& a) {
         a.AddFilter(Make(K::Fade, 1 - LevelAmount(kLevelArg), kFirst, kLast, kColour));
       }, kLevel},
      {"PalRotate", [fl] { auto [f, l] = fl(); PalRotate::DefaultPal(f, l, kAmount); },
       [](Animator& a) { a.SetBaseRange(Rotated(), kFirst, kLast); }},
      {"PalRotateFC",
       [fl] { auto [f, l] = fl(); int32_t v = kLevelArg; PalRotateFC::DefaultPal(f, l, kAmount, v); },
       [](Animator& a) {
         a.SetBaseRange(Rotated(), kFirst, kLast);
         a.AddFilter(Make(K::Fade, 1 - LevelAmount(kLevelArg), kFirst, kLast));
       }, kLevel},
      {"PalRotateFCX",
       [fl] { auto [f, l] = fl(); int32_t r = 10, g = 20, b = 30, v = kLevelArg;
              PalRotateFCX::DefaultPal(f, l, r, g, b, kAmount, v); },
       [](Animator& a) {
         a.SetBaseRange(Rotated(), kFirst, kLast);
         a.AddFilter(Make(K::Fade, 1 - LevelAmount(kLevelArg), kFirst, kLast, kColour));
       }, kLevel},
      {"PalNeg", [] { PalNeg::DefaultPal(1); },
       [](Animator& a) { a.AddFilter(Make(K::Negative, 1)); }, kNegative},
      {"PalNegRange", [fl] { auto [f, l] = fl(); PalNegRange::DefaultPal(f, l, 1); },
       [](Animator& a) { a.AddFilter(Make(K::Negative, 1, kFirst, kLast)); }, kNegative},
      {"PalNegRotate", [fl] { auto [f, l] = fl(); PalNegRotate::DefaultPal(f, l, kAmount); },
       [](Animator& a) {
         a.SetBaseRange(Rotated(), kFirst, kLast);
         a.AddFilter(Make(K::Negative, 1, kFirst, kLast));
       }, kNegative},
      {"PalFadeToNega", [] { PalFadeToNega::DefaultPal(kSpeed); },
       [](Animator& a) { TweenedFilter(a, K::Negative, 0, 1); }, kNegative},
      {"PalFadeFromNega", [] { PalFadeFromNega::DefaultPal(kSpeed); },
       [](Animator& a) { TweenedFilter(a, K::Negative, 1, 0); }, kNegative},
      {"PalFadeRangeToNega",
       [fl] { auto [f, l] = fl(); PalFadeRangeToNega::DefaultPal(f, l, kSpeed); },
       [](Animator& a) { TweenedFilter(a, K::Negative, 0, 1, kFirst, kLast); }, kNegative},
      {"PalFadeRangeFromNega",
       [fl] { auto [f, l] = fl(); PalFadeRangeFromNega::DefaultPal(f, l, kSpeed); },
       [](Animator& a) { TweenedFilter(a, K::Negative, 1, 0, kFirst, kLast); }, kNegative},
      {"PalNegaFadeCtrl", [] { int32_t v = kLevelArg; PalNegaFadeCtrl::DefaultPal(v); },
       [](Animator& a) { a.AddFilter(Make(K::Negative, LevelAmount(kLevelArg))); }, kLevel},
      {"PalNegaRangeFadeCtrl",
       [fl] { auto [f, l] = fl(); int32_t v = kLevelArg; PalNegaRangeFadeCtrl::DefaultPal(f, l, v); },
       [](Animator& a) { a.AddFilter(Make(K::Negative, LevelAmount(kLevelArg), kFirst, kLast)); }, kLevel},
      {"PalGreyScl", [] { PalGreyScl::DefaultPal(1, 1); },
       [](Animator& a) { a.AddFilter(Make(K::NegativeGrey, 1)); }, kGrey},
      {"PalGreySclRange", [fl] { auto [f, l] = fl(); PalGreySclRange::DefaultPal(f, l, 1, 0); },
       [](Animator& a) { a.AddFilter(Make(K::Greyscale, 1, kFirst, kLast)); }, kGrey},
      {"PalGreySclRotate",
       [fl] { auto [f, l] = fl(); PalGreySclRotate::DefaultPal(f, l, kAmount, 1); },
       [](Animator& a) {
         a.SetBaseRange(Rotated(), kFirst, kLast);
         a.AddFilter(Make(K::NegativeGrey, 1, kFirst, kLast));
       }, kGrey},
      {"PalFadeToGreyScl", [] { PalFadeToGreyScl::DefaultPal(kSpeed, 0); },
       [](Animator& a) { TweenedFilter(a, K::Greyscale, 0, 1); }, kGrey},
      {"PalFadeFromGreyScl", [] { PalFadeFromGreyScl::DefaultPal(kSpeed, 1); },
       [](Animator& a) { TweenedFilter(a, K::NegativeGrey, 1, 0); }, kGrey},
      {"PalFadeRangeToGreyScl",
       [fl] { auto [f, l] = fl(); PalFadeRangeToGreyScl::DefaultPal(f, l, kSpeed, 1); },
       [](Animator& a) { TweenedFilter(a, K::NegativeGrey, 0, 1, kFirst, kLast); }, kGrey},
      {"PalFadeRangeFromGreyScl",
       [fl] { auto [f, l] = fl(); PalFadeRangeFromGreyScl::DefaultPal(f, l, kSpeed, 0); },
       [](Animator& a) { TweenedFilter(a, K::Greyscale, 1, 0, kFirst, kLast); }, kGrey},
      {"PalGreyFadeCtrl", [] { int32_t v = kLevelArg; PalGreyFadeCtrl::DefaultPal(v, 0); },
       [](Animator& a) { a.AddFilter(Make(K::Greyscale, LevelAmount(kLevelArg))); }, kGreyLevel},
      {"PalGreyRangeFadeCtrl",
       [fl] { auto [f, l] = fl(); int32_t v = kLevelArg; PalGreyRangeFadeCtrl::DefaultPal(f, l, v, 1); },
       [](Animator& a) {
         a.AddFilter(Make(K::NegativeGrey, LevelAmount(kLevelArg), kFirst, kLast));
       }, kGreyLevel},
  };
}

// What the registers hold after each pass of a routine (before its pause), and at its end.
class PassRecorder : public DisplayObserver {
 public:
  PassRecorder() { SetDisplayObserver(this); }
  ~PassRecorder() override { SetDisplayObserver(nullptr); }
  void OnSleep(int32_t) override { passes.push_back({VirtualTimeMs(), Palette::FromScreen()}); }
  std::vector<std::pair<int64_t, Palette>> passes;
};

int MaxDifference(const Palette& a, const Palette& b) {
  int worst = 0;
  for (size_t i = 0; i < 256; ++i) {
    worst = std::max({worst, std::abs(a[i].r - b[i].r), std::abs(a[i].g - b[i].g),
                      std::abs(a[i].b - b[i].b)});
  }
  return worst;
}

TEST(AnimatorRecipes, EveryOperationAgreesWithItsBlockingRoutine) {
  testing::HeadlessScreen screen;
  const std::vector<Recipe> recipes = Recipes();
  ASSERT_EQ(recipes.size(), 32u);
  for (const Recipe& recipe : recipes) {
    SCOPED_TRACE(recipe.name);
    RestoreDefaultPalette();
    SetVirtualTime(true);
    std::vector<std::pair<int64_t, Palette>> passes;
    {
      PassRecorder recorder;
      recipe.routine();
      passes = std::move(recorder.passes);
    }
    const Palette last = Palette::FromScreen();
    ASSERT_TRUE(passes.empty() || passes.size() == 64u);

    Animator animator(Palette::Default());
    recipe.start(animator);
    animator.Update(0);
    const Palette& shown = animator.Output();
    const int ends = recipe.limits.ends;
    for (size_t t = 0; t < passes.size(); ++t) {
      animator.Update(double(passes[t].first));
      const int limit = (t == 0 || t == 63) ? ends : recipe.limits.passes;
      EXPECT_LE(MaxDifference(shown, passes[t].second), limit) << "pass " << t;
    }
    animator.Update(passes.empty() ? 0 : double(passes.back().first) + kSpeed);
    EXPECT_LE(MaxDifference(shown, last), ends) << "at the end";
  }
}

}  // namespace
}  // namespace quorvel
