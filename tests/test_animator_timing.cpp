// The Animator's timing: every easing curve against its formula, yoyo plays, tweens that
// end exactly on their end value whatever their duration, and going back in time.
#include <gtest/gtest.h>

#include <cmath>

#include <quorvel/animator.hpp>

namespace quorvel {
namespace {

TEST(Easing, EveryCurveAtChosenPointsAndBothEnds) {
  // Values worked out from the curves' formulas: quadratic t^2 and 1 - (1 - t)^2, cubic
  // t^3 and 1 - (1 - t)^3, the in-out curves joining the in curve (scaled into the first
  // half) to the out curve, smoothstep 3t^2 - 2t^3.
  const double t[] = {0, 0.1, 0.25, 0.5, 0.75, 0.9, 1};
  const struct {
    Easing easing;
    double want[7];
  } curves[] = {
      {Easing::Linear, {0, 0.1, 0.25, 0.5, 0.75, 0.9, 1}},
      {Easing::QuadIn, {0, 0.01, 0.0625, 0.25, 0.5625, 0.81, 1}},
      {Easing::QuadOut, {0, 0.19, 0.4375, 0.75, 0.9375, 0.99, 1}},
      {Easing::QuadInOut, {0, 0.02, 0.125, 0.5, 0.875, 0.98, 1}},
      {Easing::CubicIn, {0, 0.001, 0.015625, 0.125, 0.421875, 0.729, 1}},
      {Easing::CubicOut, {0, 0.271, 0.578125, 0.875, 0.984375, 0.999, 1}},
      {Easing::CubicInOut, {0, 0.004, 0.0625, 0.5, 0.9375, 0.996, 1}},
      {Easing::Smoothstep, {0, 0.028, 0.15625, 0.5, 0.84375, 0.972, 1}},
  };
  for (const auto& curve : curves) {
    SCOPED_TRACE(int(curve.easing));
    for (int i = 0; i < 7; ++i) EXPECT_NEAR(Ease(curve.easing, t[i]), curve.want[i], 1e-12) << t[i];
    // Both ends exactly, outside clamped, and a NaN counts as the start.
    EXPECT_EQ(Ease(curve.easing, 0), 0);
    EXPECT_EQ(Ease(curve.easing, 1), 1);
    EXPECT_EQ(Ease(curve.easing, -3), 0);
    EXPECT_EQ(Ease(curve.easing, 7), 1);
    EXPECT_EQ(Ease(curve.easing, std::nan("")), 0);
    // No curve jumps, at the middle where the in-out curves join least of all.
    for (double at = 0; at < 1; at += 1.0 / 64) {
      EXPECT_NEAR(Ease(curve.easing, at + 1e-9), Ease(curve.easing, at), 1e-8) << at;
    }
    EXPECT_NEAR(Ease(curve.easing, 0.5 - 1e-12), Ease(curve.easing, 0.5 + 1e-12), 1e-10);
  }
}

// A FadeTo white over black shows its amount as 255 x amount in every register.
double Amount(const Animator& a) { return a.Output()[3].r / 255.0; }

TEST(Tweens, YoyoPlaysRetraceTheCurveBackwards) {
  // Plays of 1000 ms after a 100 ms delay, eased QuadIn: a forward play is x^2 at x into
  // it; a backwards one retraces that, (1 - x)^2, not 1 - x^2.
  for (int32_t repeat : {1, 2}) {
    SCOPED_TRACE(repeat);
    Animator a(Palette::Solid({0, 0, 0}));
    const EffectHandle fade = a.FadeTo({255, 255, 255}, {.durationMs = 1000, .delayMs = 100,
                                                         .easing = Easing::QuadIn,
                                                         .repeat = repeat, .yoyo = true});
    a.Update(0);
    for (int play = 0; play <= repeat; ++play) {
      for (double x : {0.2, 0.5, 0.7, 0.95}) {
        a.Update(100 + 1000 * (play + x));
        const double into = play % 2 ? 1 - x : x;
        EXPECT_NEAR(Amount(a), into * into, 0.5 / 255) << "play " << play << " at " << x;
      }
    }
    // Two plays end where they began, on nothing, and the filter goes; three end on white.
    a.Update(100 + 1000 * (repeat + 1) + 1);
    EXPECT_EQ(Amount(a), repeat == 1 ? 0 : 1);
    EXPECT_EQ(a.IsActive(fade), repeat == 2);
  }
}

TEST(Tweens, EndExactlyOnTheirEndWhateverTheirLength) {
  // Durations and delays that are not whole milliseconds end a rounding error short of
  // their last play; the tween must still end on its end value.
  Animator a(Palette::Solid({40, 50, 60}));
  a.Update(1000);
  const EffectHandle in = a.FadeFrom({0, 0, 0}, {.durationMs = 423.8, .delayMs = 366});
  a.Update(5000);
  EXPECT_EQ(a.EffectCount(), 0u);
  EXPECT_FALSE(a.IsActive(in));
  a.FadeFrom({0, 0, 0}, {.durationMs = 1000});  // a whole fade again, from black
  a.Update(5000);
  EXPECT_EQ(a.Output()[9], (Rgb8{0, 0, 0}));
  a.Update(5500);
  EXPECT_EQ(a.Output()[9], (Rgb8{20, 25, 30}));

  // Many such fades, one after another, leave nothing behind; fades to a colour that end
  // on it replace one another.
  for (const Tween& shape : {Tween{.durationMs = 53.9, .delayMs = 288.6},
                             Tween{.durationMs = 97.6, .repeat = 2}}) {
    Animator many(Palette::Solid({40, 50, 60}));
    double now = 0;
    many.Update(now);
    for (int k = 0; k < 600; ++k) {
      many.FadeFrom({uint8_t(k), 0, 0}, shape);
      now += 400;
      many.Update(now);
    }
    EXPECT_EQ(many.EffectCount(), 0u);
    for (int k = 0; k < 600; ++k) {
      many.FadeTo({uint8_t(k), 0, 0}, shape);
      now += 400;
      many.Update(now);
      ASSERT_EQ(many.EffectCount(), 1u) << k;
      ASSERT_EQ(many.Output()[0], (Rgb8{uint8_t(k), 0, 0}));
    }
  }
}

TEST(Tweens, GoingBackInTimeShowsEndedEffectsEnded) {
  // A FadeTo from 1000 to 1500, looked at after it ended and then at earlier instants:
  // an ended effect was settled and stays as it ended, before its start too. One that
  // still runs shows that earlier instant, and nothing before it started.
  Animator a(Palette::Solid({100, 100, 100}));
  a.Update(1000);
  a.FadeTo({0, 0, 0}, {.durationMs = 500});
  const EffectHandle running = a.FadeTo({200, 200, 200}, {.durationMs = 5000}, 10, 10);
  a.Update(2000);
  EXPECT_EQ(a.Output()[10], (Rgb8{40, 40, 40}));
  for (double back : {1200.0, 800.0}) {
    a.Update(back);
    EXPECT_EQ(a.Output()[0], (Rgb8{0, 0, 0})) << back;
  }
  EXPECT_EQ(a.Output()[10], (Rgb8{0, 0, 0}));  // at 800 the running fade had not begun
  a.Update(1200);
  EXPECT_EQ(a.Output()[10], (Rgb8{8, 8, 8}));
  EXPECT_TRUE(a.IsActive(running));
}

}  // namespace
}  // namespace quorvel
