// The Animator: frame-rate independence, cycles, interrupted tweens, cancelling, pausing,
// bad input and bounded memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>

#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>
#include "palette/colour_space.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

// Registers 10..13 hold four far-apart colours; everything else is the default palette.
Palette FourColours() {
  Palette p = Palette::Default();
  p[10] = {0, 0, 0};
  p[11] = {100, 0, 0};
  p[12] = {0, 200, 0};
  p[13] = {0, 0, 240};
  return p;
}

// Several effects of every kind, one of them chained from another's completion.
void StartScene(Animator& a) {
  a.AddCycle({.low = 10, .high = 13, .stepsPerSecond = 2.7});
  a.AddCycle({.low = 32, .high = 55, .stepsPerSecond = 5, .mode = CycleMode::PingPong});
  a.AddCycle({.low = 56, .high = 79, .stepsPerSecond = 3, .mode = CycleMode::Sine, .blend = false});
  a.MorphBase(Palette::Solid({20, 30, 90}), {.durationMs = 1700, .easing = Easing::CubicInOut,
                                              .space = ColorSpace::OkLab}, 80, 200);
  a.FadeFrom({0, 0, 0}, {.durationMs = 600, .onComplete = [&a] {
                           a.FadeTo({255, 255, 255}, {.durationMs = 900, .delayMs = 100,
                                                      .repeat = 1, .yoyo = true}, 0, 9);
                         }});
  const EffectHandle grey = a.AddFilter({.kind = FilterKind::Greyscale, .amount = 0});
  a.TweenFilter(grey, 1, {.durationMs = 2500, .easing = Easing::Smoothstep});
}

TEST(Animator, SameInstantSamePaletteAtAnyFrameRateAndAfterTimeRunsBack) {
  // The palette at each checkpoint, from an Animator updated only there.
  std::vector<Palette> expected;
  const std::vector<double> checkpoints = {0, 250, 599, 600, 1333, 1700, 2000, 2650, 3100};
  {
    Animator a(FourColours());
    StartScene(a);
    for (double t : checkpoints) {
      a.Update(1000 + t);
      expected.push_back(a.Output());
    }
  }
  std::mt19937 random(7);
  for (double fps : {30.0, 60.0, 144.0, 240.0}) {
    SCOPED_TRACE(fps);
    Animator a(FourColours());
    StartScene(a);
    std::uniform_real_distribution<double> jitter(0, 0.9 * 1000 / fps);
    double t = 0;
    for (size_t k = 0; k < checkpoints.size(); ++k) {
      while (t + 1000 / fps < checkpoints[k]) {
        t += 1000 / fps;
        a.Update(1000 + t + jitter(random));
      }
      a.Update(1000 + checkpoints[k]);
      t = checkpoints[k];
      EXPECT_EQ(a.Output(), expected[k]) << "at " << checkpoints[k];
    }
  }
  // Once the tweens have ended and settled, an earlier instant still shows that instant
  // for what keeps running: the cycles.
  Animator a(FourColours());
  a.AddCycle({.low = 10, .high = 13, .stepsPerSecond = 2.7});
  a.Update(0);
  a.Update(5000);
  a.Update(1250);
  const Palette back = a.Output();
  Animator fresh(FourColours());
  fresh.AddCycle({.low = 10, .high = 13, .stepsPerSecond = 2.7});
  fresh.Update(0);
  fresh.Update(1250);
  EXPECT_EQ(back, fresh.Output());
}

// The colour register 10 + i shows, from the four of FourColours.
Rgb8 Shown(const Animator& a, int i) { return a.Output()[10 + i]; }
Rgb8 Source(int i) { return FourColours()[10 + ((i % 4) + 4) % 4]; }
Rgb8 Halfway(Rgb8 x, Rgb8 y) {
  auto h = [](int p, int q) { return uint8_t(std::floor((p + q) / 2.0 + 0.5)); };
  return {h(x.r, y.r), h(x.g, y.g), h(x.b, y.b)};
}

TEST(Animator, CycleModesAndBlendingAtFractionalPositions) {
  struct Case {
    CycleMode mode;
    double rate;
    double ms;
    double position;  // where the colours stand, in steps
    int stepped;      // where they stand without blending: the last whole step reached
  };
  // Four registers: wrap runs on, ping-pong turns at 4 and 0 (8 steps a period), sine is
  // half way at a quarter period. Backwards, a cycle is the mirror of the forward one: a
  // ping-pong's first leg runs down.
  const Case cases[] = {{CycleMode::Wrap, 2, 1250, 2.5, 2},       {CycleMode::Wrap, -2, 1250, -2.5, -2},
                        {CycleMode::PingPong, 2, 2500, 3, 3},      {CycleMode::PingPong, 2, 3250, 1.5, 2},
                        {CycleMode::PingPong, -2, 750, -1.5, -1},  {CycleMode::PingPong, -2, 3250, -1.5, -2},
                        {CycleMode::Sine, 2, 1000, 2, 2},          {CycleMode::Sine, 1, 4000, 4, 4},
                        {CycleMode::Sine, -2, 1000, -2, -2}};
  for (const Case& c : cases) {
    for (bool blend : {true, false}) {
      SCOPED_TRACE(::testing::Message() << int(c.mode) << " rate " << c.rate << " at " << c.ms
                                      << (blend ? " blended" : " stepped"));
      Animator a(FourColours());
      a.AddCycle({.low = 10, .high = 13, .stepsPerSecond = c.rate, .mode = c.mode, .blend = blend});
      a.Update(0);
      a.Update(c.ms);
      const int k = blend ? int(std::floor(c.position)) : c.stepped;
      const bool half = c.position != k;
      for (int i = 0; i < 4; ++i) {
        const Rgb8 behind = Source(i - k);
        EXPECT_EQ(Shown(a, i), half && blend ? Halfway(behind, Source(i - k - 1)) : behind)
            << "register " << 10 + i;
      }
      EXPECT_EQ(a.Output()[9], FourColours()[9]);  // outside the range: untouched
      EXPECT_EQ(a.Output()[14], FourColours()[14]);
    }
  }
  // A stepped cycle waits a whole step before its first, backwards as forwards, and
  // `reverse` runs it backwards as a negative rate does.
  const Palette start = Palette::Default();
  for (CycleMode mode : {CycleMode::Wrap, CycleMode::PingPong, CycleMode::Sine}) {
    SCOPED_TRACE(int(mode));
    Animator forward(start), backward(start), negative(start);
    forward.AddCycle({.low = 192, .high = 200, .stepsPerSecond = 1, .mode = mode, .blend = false});
    const EffectHandle backwardCycle = backward.AddCycle(
        {.low = 192, .high = 200, .stepsPerSecond = 1, .mode = mode, .reverse = true, .blend = false});
    negative.AddCycle({.low = 192, .high = 200, .stepsPerSecond = -1, .mode = mode, .blend = false});
    for (Animator* x : {&forward, &backward, &negative}) x->Update(0);
    for (double ms : {250.0, 999.0}) {
      backward.Update(ms);
      EXPECT_EQ(backward.Output(), start) << ms;
    }
    // (The sine eases out of its start, so it takes its first step later.)
    for (double ms : {mode == CycleMode::Sine ? 2500.0 : 1000.0, 2500.0, 4000.0}) {
      for (Animator* x : {&forward, &backward, &negative}) x->Update(ms);
      EXPECT_EQ(backward.Output(), negative.Output()) << ms;
      EXPECT_NE(backward.Output(), forward.Output()) << ms;
      if (mode != CycleMode::Sine && ms == 2500) {
        EXPECT_EQ(backward.Output()[192], start[194]);
      }
    }
    // Stopped between two steps, a cycle keeps showing the step it had reached.
    backward.Update(4300);
    const Palette stopped = backward.Output();
    backward.SetCycleRate(backwardCycle, 0);
    backward.Update(4800);
    EXPECT_EQ(backward.Output(), stopped);
  }
}

TEST(Animator, AnEffectStartedOverARunningOneNeverJumps) {
  Animator a(Palette::Solid({200, 100, 50}));
  a.FadeTo({0, 0, 0}, {.durationMs = 1000});
  a.Update(0);
  a.Update(500);
  const Palette before = a.Output();
  a.FadeFrom({0, 0, 0}, {.durationMs = 1000});  // back from the half-way amount
  a.Update(500);
  EXPECT_EQ(a.Output(), before);
  EXPECT_EQ(a.EffectCount(), 1u);  // the same filter, tweened back
  a.Update(1000);
  EXPECT_EQ(a.Output()[0], (Rgb8{150, 75, 38}));  // a quarter of the way to black
  a.Update(1500);
  EXPECT_EQ(a.Output(), Palette::Solid({200, 100, 50}));
  EXPECT_EQ(a.EffectCount(), 0u);

  // A morph over a running morph starts from the colours shown.
  Animator m(Palette::Solid({0, 0, 0}));
  m.MorphBase(Palette::Solid({200, 200, 200}), {.durationMs = 1000});
  m.Update(0);
  m.Update(500);
  m.MorphBase(Palette::Solid({0, 0, 200}), {.durationMs = 1000}, 0, 127);
  m.Update(500);
  EXPECT_EQ(m.Output()[0], (Rgb8{100, 100, 100}));
  m.Update(1000);
  EXPECT_EQ(m.Output()[0], (Rgb8{50, 50, 150}));
  EXPECT_EQ(m.Output()[200], (Rgb8{200, 200, 200}));  // the first morph, ended
  m.Update(1500);
  EXPECT_EQ(m.Output()[0], (Rgb8{0, 0, 200}));
  EXPECT_EQ(m.Base()[0], (Rgb8{0, 0, 200}));
  EXPECT_EQ(m.Base()[200], (Rgb8{200, 200, 200}));
}

TEST(Animator, CancelHoldsEndsOrRevertsAndNeverCallsBack) {
  const Palette start = Palette::Solid({0, 0, 0});
  const Palette target = Palette::Solid({200, 100, 0});
  struct Case {
    CancelHow how;
    Rgb8 after;
  };
  for (const Case& c : {Case{CancelHow::Hold, {50, 25, 0}}, Case{CancelHow::End, {200, 100, 0}},
                        Case{CancelHow::Revert, {0, 0, 0}}}) {
    SCOPED_TRACE(int(c.how));
    bool called = false;
    // The same cancel applied to a morph and to a fade filter.
    Animator m(start);
    const EffectHandle morph = m.MorphBase(target, {.durationMs = 1000, .onComplete = [&] { called = true; }});
    Animator f(target);
    const EffectHandle fade =
        f.FadeFrom({0, 0, 0}, {.durationMs = 1000, .onComplete = [&] { called = true; }});
    for (Animator* a : {&m, &f}) {
      a->Update(0);
      a->Update(250);
    }
    m.Cancel(morph, c.how);
    f.Cancel(fade, c.how);
    for (Animator* a : {&m, &f}) {
      a->Update(5000);
      EXPECT_FALSE(a->IsActive(a == &m ? morph : fade) && c.how != CancelHow::Hold);
    }
    EXPECT_EQ(m.Output()[7], c.after);
    // The fade runs the other way: reverting it shows the palette, ending it too.
    const Rgb8 fadeAfter = c.how == CancelHow::Hold ? Rgb8{50, 25, 0} : Rgb8{200, 100, 0};
    EXPECT_EQ(f.Output()[7], fadeAfter);
    EXPECT_FALSE(called);
  }
  // A cycle held keeps the colours it showed; reverted, the base comes back.
  Animator a(FourColours());
  const EffectHandle cycle = a.AddCycle({.low = 10, .high = 13, .stepsPerSecond = 1, .blend = false});
  a.Update(0);
  a.Update(1000);
  const Palette shown = a.Output();
  a.Cancel(cycle, CancelHow::Hold);
  a.Update(9000);
  EXPECT_EQ(a.Output(), shown);
  EXPECT_FALSE(a.IsActive(cycle));

  // What runs beneath a cancelled effect carries on: a morph interrupted by another comes
  // back when that one is reverted, and a cycle held over a running cycle and a morph
  // neither jumps nor stops them.
  Animator layered(Palette::Solid({0, 0, 0}));
  layered.MorphBase(Palette::Solid({200, 200, 200}), {.durationMs = 1000});
  layered.Update(0);
  layered.Update(500);
  const EffectHandle over = layered.MorphBase(Palette::Solid({0, 0, 200}), {.durationMs = 1000}, 0, 127);
  layered.Update(600);
  layered.Cancel(over, CancelHow::Revert);
  layered.Update(1500);
  EXPECT_EQ(layered.Output()[0], (Rgb8{200, 200, 200}));

  Animator held(FourColours()), reference(FourColours());
  for (Animator* x : {&held, &reference}) {
    x->AddCycle({.low = 10, .high = 13, .stepsPerSecond = 1, .blend = false});
    x->MorphBase(Palette::Solid({90, 90, 90}), {.durationMs = 4000}, 20, 30);
  }
  const EffectHandle top = held.AddCycle({.low = 11, .high = 12, .stepsPerSecond = 1, .blend = false});
  held.AddCycle({.low = 20, .high = 23, .stepsPerSecond = 1, .blend = false});
  reference.AddCycle({.low = 20, .high = 23, .stepsPerSecond = 1, .blend = false});
  held.Update(0);
  held.Update(1000);
  const Palette atHold = held.Output();
  held.Cancel(top, CancelHow::Hold);
  held.Update(1000);
  EXPECT_EQ(held.Output(), atHold);
  held.Update(2500);
  reference.Update(0);
  reference.Update(2500);
  for (int i : {10, 13, 20, 25}) EXPECT_EQ(held.Output()[i], reference.Output()[i]) << i;
}

TEST(Animator, PausedEffectsStandStillAndResumeWhereTheyStopped) {
  Animator paused(FourColours()), steady(FourColours());
  const EffectHandle c = paused.AddCycle({.low = 10, .high = 13, .stepsPerSecond = 1.5});
  steady.AddCycle({.low = 10, .high = 13, .stepsPerSecond = 1.5});
  paused.Update(0);
  paused.Update(1000);
  paused.Pause(c);
  paused.Update(1400);
  const Palette frozen = paused.Output();
  paused.Update(1500);
  EXPECT_EQ(paused.Output(), frozen);
  EXPECT_TRUE(paused.IsActive(c));
  paused.Resume(c);
  paused.Update(2100);
  steady.Update(0);
  steady.Update(1600);  // 500 ms spent paused
  EXPECT_EQ(paused.Output(), steady.Output());

  // The time scale stretches everything from the moment it changes.
  Animator slow(FourColours());
  slow.AddCycle({.low = 10, .high = 13, .stepsPerSecond = 1.5});
  slow.Update(0);
  slow.Update(600);
  slow.SetTimeScale(0.5);
  slow.Update(2600);  // 600 + 2000 x 0.5 = 1600 ms of cycling
  EXPECT_EQ(slow.Output(), steady.Output());
}

TEST(Animator, RefusesWhatCannotBeATimeOrRateAndNamesIt) {
  Animator a;
  const double nan = std::nan(""), inf = INFINITY;
  auto refused = [](const std::function<void()>& call, const std::string& name) {
    try {
      call();
    } catch (const std::invalid_argument& e) {
      return std::string(e.what()).find(name) != std::string::npos;
    }
    return false;
  };
  EXPECT_TRUE(refused([&] { a.FadeTo({}, {.durationMs = nan}); }, "durationMs"));
  EXPECT_TRUE(refused([&] { a.FadeTo({}, {.durationMs = -1}); }, "durationMs"));
  EXPECT_TRUE(refused([&] { a.MorphBase({}, {.delayMs = inf}); }, "delayMs"));
  EXPECT_TRUE(refused([&] { a.AddCycle({.stepsPerSecond = inf}); }, "stepsPerSecond"));
  EXPECT_TRUE(refused([&] { a.SetTimeScale(-0.5); }, "scale"));
  EXPECT_TRUE(refused([&] { a.Update(nan); }, "nowMs"));
  EXPECT_EQ(a.EffectCount(), 0u);  // nothing refused was half-started
  // Huge but finite rates, times and scales are taken: a cycle still shows its own colours.
  Animator huge(FourColours());
  const EffectHandle fast = huge.AddCycle({.low = 10, .high = 13, .stepsPerSecond = 1e308, .blend = false});
  huge.AddCycle({.low = 10, .high = 13, .stepsPerSecond = 3, .mode = CycleMode::Sine});
  huge.FadeTo({}, {.durationMs = 1e-300, .repeat = kRepeatForever, .yoyo = true}, 100, 110);
  for (double t : {0.0, 1e308, -1e308, 12345.5}) huge.Update(t);
  huge.SetTimeScale(1e300);
  huge.SetCycleRate(fast, -1e308);
  huge.Update(12346.5);
  for (int i = 10; i <= 13; ++i) {
    const Rgb8 c = huge.Output()[i];
    EXPECT_TRUE(c.r <= 100 && c.g <= 200 && c.b <= 240) << i;
  }
  // Ranges are clamped like the blocking routines clamp them.
  a.AddFilter({.kind = FilterKind::Negative, .first = 300, .last = 10});
  a.Update(0);
  EXPECT_EQ(a.Output()[255], (Rgb8{255, 255, 255}));
  EXPECT_EQ(a.Output()[254], Palette::Default()[254]);
}

TEST(Animator, ADayOfEffectsStartedAndEndedEveryFrameStaysTheSameSize) {
  Animator a;
  int completed = 0;
  a.AddCycle({.low = 32, .high = 247, .stepsPerSecond = 9});
  for (int64_t frame = 0; frame < 86400; ++frame) {  // one frame a second for a day
    a.Update(double(frame) * 1000);
    ASSERT_LE(a.EffectCount(), 5u) << "frame " << frame;
    a.FadeTo({0, 0, 0}, {.durationMs = 500}, frame % 200, 255);
    // Fades all the way to ever new colours replace one another.
    a.FadeTo({uint8_t(frame), uint8_t(frame >> 8), 9}, {.durationMs = 300}, 0, 31);
    a.FadeFrom({0, 0, 0}, {.durationMs = 700}, frame % 200, 255);
    a.MorphBase(Palette::Default().Rotated(int32_t(frame)),
                {.durationMs = 900, .onComplete = [&] { ++completed; }});
  }
  a.Update(86400.0 * 1000 + 5000);
  EXPECT_EQ(a.EffectCount(), 2u);  // the cycle and the last colour faded to
  EXPECT_EQ(completed, 86400);
}

// What each filter kind makes of one colour, all the way: the grey is the mean rounded
// down, so a negative grey is not the grey of the negative, and brightness clamps every
// channel at 255.
TEST(Animator, EachFilterKindAllTheWay) {
  const struct {
    Filter filter;
    Rgb8 want;
  } cases[] = {
      {{.kind = FilterKind::Negative}, {155, 55, 5}},
      {{.kind = FilterKind::Greyscale}, {183, 183, 183}},
      {{.kind = FilterKind::NegativeGrey}, {72, 72, 72}},
      {{.kind = FilterKind::Brightness, .gain = 1.5}, {150, 255, 255}},
      {{.kind = FilterKind::Brightness, .gain = 2.6}, {255, 255, 255}},
  };
  for (const auto& c : cases) {
    Animator a(Palette::Solid({100, 200, 250}));
    a.AddFilter(c.filter);
    a.Update(0);
    EXPECT_EQ(a.Output()[7], c.want) << int(c.filter.kind);
  }
}

TEST(Animator, PresentsOnlyChangedRegistersAtEightBits) {
  testing::HeadlessScreen screen;
  Animator a(Palette::Default());
  a.AddFilter({.kind = FilterKind::Fade, .first = 5, .last = 6, .amount = 0.5, .colour = {255, 255, 255}});
  a.Update(0);
  struct Writes : testing::Recorder {  // 6-bit writes must be none, 8-bit ones seen
    std::vector<std::pair<int32_t, uint32_t>> rgb;
    void OnPaletteEntryRgb(int32_t index, uint32_t c) override { rgb.push_back({index, c}); }
  } recorder;
  EXPECT_EQ(a.PresentToScreen(), 2);
  EXPECT_EQ(a.PresentToScreen(), 0);
  EXPECT_EQ(recorder.rgb, (std::vector<std::pair<int32_t, uint32_t>>{{5, 0xD580D5u}, {6, 0x80AAD5u}}));
  EXPECT_EQ(a.Output()[5], (Rgb8{213, 128, 213}));  // (170, 0, 170) half way to white
  EXPECT_EQ(Palette::FromScreen(), a.Output());
  EXPECT_EQ(recorder.Count(testing::Event::Entry), 0u);
}


TEST(Animator, ANewBaseIsWhatRunningMorphsMixFrom) {
  // A morph of 0..127 over 2000 ms from 1000; at 2000 the base turns black under it.
  const Rgb8 green{0, 255, 0}, target{133, 216, 107};
  Animator a(Palette::Solid(green));
  a.Update(1000);
  a.MorphBase(Palette::Solid(target), {.durationMs = 2000}, 0, 127);
  a.Update(2000);
  a.SetBase(Palette::Solid({0, 0, 0}));
  a.Update(2500);
  EXPECT_EQ(a.Output()[0], (Rgb8{100, 162, 80}));  // three quarters from black
  EXPECT_EQ(a.Output()[200], (Rgb8{0, 0, 0}));
  a.Update(3000);
  EXPECT_EQ(a.Base()[0], target);

  // A yoyo morph ends where it began: on the base it runs over by then, in OKLab too.
  for (ColorSpace space : {ColorSpace::Rgb, ColorSpace::OkLab}) {
    Animator y(Palette::Solid(green));
    y.MorphBase(Palette::Solid(target), {.durationMs = 1000, .repeat = 1, .yoyo = true, .space = space});
    y.Update(0);
    y.Update(700);
    y.SetBaseRange(Palette::Solid({9, 8, 7}), 0, 99);
    y.Update(1999);
    EXPECT_EQ(y.Output()[0], (Rgb8{9, 8, 7}));
    y.Update(2000);
    EXPECT_EQ(y.Base()[0], (Rgb8{9, 8, 7}));
    EXPECT_EQ(y.Base()[100], green);
    EXPECT_EQ(y.EffectCount(), 0u);
  }

  // Setting the base it already has changes nothing, under a morph over a morph either.
  Animator s(Palette::Solid({0, 0, 0}));
  s.MorphBase(Palette::Solid({200, 200, 200}), {.durationMs = 1000});
  s.Update(0);
  s.Update(500);
  s.MorphBase(Palette::Solid({0, 0, 200}), {.durationMs = 1000}, 0, 127);
  s.Update(700);
  const Palette before = s.Output();
  s.SetBase(s.Base());
  s.Update(700);
  EXPECT_EQ(s.Output(), before);
  s.Update(1200);
  EXPECT_EQ(s.Output()[0], (Rgb8{30, 30, 170}));
}

// OKLab by its published formulas (Ottosson, 2020) in doubles: what the Animator's OKLab
// mixes must round to.
struct Oklab {
  double l, a, b;
};
double Linear(double c) {
  c /= 255;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double Gamma(double v) {
  v = std::clamp(v, 0.0, 1.0);
  return 255 * (v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055);
}
Oklab ToLab(const double c[3]) {
  const double r = Linear(c[0]), g = Linear(c[1]), b = Linear(c[2]);
  const double l = std::cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
  const double m = std::cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
  const double s = std::cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
  return {0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
          1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
          0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}
// from mixed towards `to` by t in OKLab, in place.
void MixLab(double from[3], const double to[3], double t) {
  const Oklab x = ToLab(from), y = ToLab(to);
  const Oklab c{x.l + (y.l - x.l) * t, x.a + (y.a - x.a) * t, x.b + (y.b - x.b) * t};
  const double l = std::pow(c.l + 0.3963377774 * c.a + 0.2158037573 * c.b, 3);
  const double m = std::pow(c.l - 0.1055613458 * c.a - 0.0638541728 * c.b, 3);
  const double s = std::pow(c.l - 0.0894841775 * c.a - 1.2914855480 * c.b, 3);
  from[0] = Gamma(4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s);
  from[1] = Gamma(-1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s);
  from[2] = Gamma(-0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s);
}
Rgb8 Rounded(const double c[3]) {
  return {uint8_t(std::lround(c[0])), uint8_t(std::lround(c[1])), uint8_t(std::lround(c[2]))};
}

TEST(Animator, OkLabLayersAreComputedExactlyAndRoundedOnce) {
  // Near black the in-between colour is a fraction of a level; it must not be lost.
  Animator a(Palette::Solid({47, 16, 23}));
  a.AddFilter({.kind = FilterKind::Fade, .amount = 0.9, .space = ColorSpace::OkLab});
  a.AddFilter({.kind = FilterKind::Fade, .amount = 0.55, .colour = {10, 200, 30}, .space = ColorSpace::OkLab});
  a.Update(0);
  EXPECT_EQ(a.Output()[0], (Rgb8{14, 90, 11}));

  // Every register of a palette of dark and bright colours through two OKLab filters and
  // an OKLab morph, against the formulas.
  Palette p, q;
  std::mt19937 random(11);
  for (int i = 0; i < 256; ++i) {
    const int top = i % 2 ? 24 : 256;
    p[i] = {uint8_t(random() % top), uint8_t(random() % top), uint8_t(random() % top)};
    q[i] = {uint8_t(random() % 256), uint8_t(random() % 256), uint8_t(random() % 256)};
  }
  const Rgb8 grey{30, 30, 30}, tint{250, 40, 90};
  Animator m(p);
  m.MorphBase(q, {.durationMs = 1000, .space = ColorSpace::OkLab});
  m.AddFilter({.kind = FilterKind::Fade, .amount = 0.83, .colour = grey, .space = ColorSpace::OkLab});
  m.AddFilter({.kind = FilterKind::Fade, .amount = 0.31, .colour = tint, .space = ColorSpace::OkLab});
  m.Update(0);
  m.Update(370);
  for (int i = 0; i < 256; ++i) {
    double c[3] = {double(p[i].r), double(p[i].g), double(p[i].b)};
    const double target[3] = {double(q[i].r), double(q[i].g), double(q[i].b)};
    const double g[3] = {30, 30, 30}, t[3] = {250, 40, 90};
    MixLab(c, target, 0.37);
    MixLab(c, g, 0.83);
    MixLab(c, t, 0.31);
    EXPECT_EQ(m.Output()[i], Rounded(c)) << "register " << i;
  }
  // Between the layers the colours are those of the formulas, to a millionth of a level.
  for (int k = 0; k < 20000; ++k) {
    const detail::Rgbf x{random() % 25501 / 100.0, random() % 800 / 100.0, random() % 25501 / 100.0};
    const detail::Rgbf y{random() % 25501 / 100.0, random() % 25501 / 100.0, random() % 300 / 100.0};
    const double t = random() % 1000 / 1000.0;
    double want[3] = {x.r, x.g, x.b};
    const double to[3] = {y.r, y.g, y.b};
    MixLab(want, to, t);
    const detail::Rgbf got = detail::MixOkLab(x, y, t);
    ASSERT_NEAR(got.r, want[0], 1e-6) << k;
    ASSERT_NEAR(got.g, want[1], 1e-6) << k;
    ASSERT_NEAR(got.b, want[2], 1e-6) << k;
  }
  // A NaN component is no light at all: it never indexes the curves' tables.
  const detail::Rgbf none = detail::MixOkLab({std::nan(""), 0, 0}, {0, std::nan(""), 0}, 0.5);
  EXPECT_TRUE(none.r == 0 && none.g == 0 && none.b == 0) << none.r << " " << none.g << " " << none.b;
}

TEST(Animator, RefusesTimesThatWouldBeInfinite) {
  const Palette base = Palette::Solid({10, 20, 30});
  Animator a(base);
  a.FadeTo({200, 0, 0}, {.durationMs = 1e-3, .repeat = kRepeatForever, .yoyo = true,
                         .space = ColorSpace::OkLab}, 0, 9);
  a.AddCycle({.low = 10, .high = 13, .stepsPerSecond = 3});
  a.Update(0);
  a.SetTimeScale(1e308);
  EXPECT_THROW(a.Update(10), std::invalid_argument);  // 10 ms at this scale: past any time
  a.SetTimeScale(1);
  a.Update(10);
  EXPECT_EQ(a.Output()[20], base[20]);
  Animator empty(base);  // with no effect to be NaN the clock itself still counts
  empty.Update(0);
  empty.SetTimeScale(1e308);
  EXPECT_THROW(empty.Update(10), std::invalid_argument);
  EXPECT_NE(a.Output()[5], (Rgb8{0, 0, 0}));  // the fade runs on, towards (200, 0, 0)

  Animator b(base);
  b.AddCycle({.low = 10, .high = 13, .stepsPerSecond = 3});
  b.Update(-1e308);
  EXPECT_THROW(b.Update(1e308), std::invalid_argument);
  b.Update(0);
  EXPECT_EQ(b.Output(), base);
  b.Update(-1e308);
  b.SetTimeScale(0);  // frozen, any time is the same instant
  b.Update(1e308);
  // An effect's own clock counts too: one started at -1e308 would be 2e308 ms old.
  Animator c(base);
  c.Update(0);
  c.Update(-1e308);
  c.AddFilter({.kind = FilterKind::Negative, .amount = 0.5});
  EXPECT_THROW(c.Update(1e308), std::invalid_argument);
  c.Update(0);
  EXPECT_EQ(c.Output()[0], (Rgb8{128, 128, 128}));
  // So does a tween's end.
  EXPECT_THROW(c.FadeTo({}, {.durationMs = 1e308, .delayMs = 1e308}), std::invalid_argument);
  EXPECT_THROW(c.FadeTo({}, {.durationMs = 1e300, .repeat = INT32_MAX}), std::invalid_argument);
  EXPECT_EQ(c.EffectCount(), 1u);
}

TEST(Animator, AMovedFromAnimatorIsEmptyAndShowsItsBase) {
  Animator a(FourColours());
  a.AddCycle({.low = 10, .high = 13, .stepsPerSecond = 2});
  a.FadeTo({0, 0, 0}, {.durationMs = 1000});
  a.Update(0);
  a.Update(300);
  const Palette shown = a.Output();
  Animator b(std::move(a));
  EXPECT_EQ(b.Output(), shown);
  EXPECT_EQ(b.EffectCount(), 2u);
  Animator c;
  c = std::move(b);
  for (Animator* moved : {&a, &b}) {
    EXPECT_EQ(moved->EffectCount(), 0u);
    EXPECT_EQ(moved->Output(), FourColours());
    EXPECT_EQ(moved->Base(), FourColours());
    moved->Update(500);
    EXPECT_EQ(moved->Output(), FourColours());
    const EffectHandle f = moved->FadeTo({0, 0, 0}, {.durationMs = 100});
    moved->Update(600);
    EXPECT_EQ(moved->Output()[0], (Rgb8{0, 0, 0}));
    EXPECT_TRUE(moved->IsActive(f));
  }
  c.Update(800);
  EXPECT_EQ(c.Output()[15], (Rgb8{51, 51, 51}));  // white, 0.8 of the way to black

  // A callback may move the Animator that calls it: the one moved to carries on.
  std::optional<Animator> taken;
  Animator d(FourColours());
  d.FadeTo({0, 0, 0}, {.durationMs = 100, .onComplete = [&] { taken.emplace(std::move(d)); }});
  d.FadeTo({255, 255, 255}, {.durationMs = 200}, 5, 5);
  d.Update(0);
  d.Update(1000);
  EXPECT_EQ(d.EffectCount(), 0u);
  EXPECT_EQ(d.Output(), FourColours());
  ASSERT_TRUE(taken);
  taken->Update(1000);
  EXPECT_EQ(taken->EffectCount(), 2u);
  EXPECT_EQ(taken->Output()[0], (Rgb8{0, 0, 0}));
  EXPECT_EQ(taken->Output()[5], (Rgb8{255, 255, 255}));
}

TEST(Animator, ACancelledFadeStaysInPlaceAsAnEndedOneWould) {
  // Held, a fade stays in place at the amount it had, and its handle still reaches it.
  Animator a(Palette::Solid({100, 100, 100}));
  const EffectHandle held = a.FadeTo({0, 0, 0}, {.durationMs = 1000});
  a.Update(0);
  a.Update(250);
  a.Cancel(held, CancelHow::Hold);
  a.Update(2000);
  EXPECT_EQ(a.Output()[0], (Rgb8{75, 75, 75}));
  EXPECT_TRUE(a.IsActive(held));
  a.SetFilterAmount(held, 0.5);
  a.Update(2000);
  EXPECT_EQ(a.Output()[0], (Rgb8{50, 50, 50}));
  a.Cancel(held, CancelHow::Revert);
  EXPECT_FALSE(a.IsActive(held));

  // Ended by Cancel, a fade all the way to its colour replaces the fades beneath it, as
  // one that ends by itself does: fading from an older colour shows a fade again.
  Animator b(Palette::Solid({100, 100, 100}));
  b.FadeTo({200, 0, 0}, {.durationMs = 100});
  b.Update(0);
  b.Update(200);
  const EffectHandle blue = b.FadeTo({0, 0, 200}, {.durationMs = 1000});
  b.Update(300);
  b.Cancel(blue, CancelHow::End);
  EXPECT_EQ(b.EffectCount(), 1u);
  EXPECT_TRUE(b.IsActive(blue));
  b.FadeFrom({200, 0, 0}, {.durationMs = 1000});
  b.Update(300);
  EXPECT_EQ(b.Output()[0], (Rgb8{200, 0, 0}));
  b.Update(800);
  EXPECT_EQ(b.Output()[0], (Rgb8{100, 0, 100}));
}

// Night (black) at 6:00 and a warm noon at 12:00: the night runs from noon through
// midnight to six, three times as long as the morning.
constexpr double kHour = 60 * 60 * 1000;
PaletteTimeline MorningAndNoon() {
  return {.keys = {{.timeMs = 6 * kHour, .palette = Palette::Solid({0, 0, 0})},
                   {.timeMs = 12 * kHour, .palette = Palette::Solid({210, 90, 30})}}};
}

TEST(Timeline, ThePaletteAtATimeGoesFromKeyToKeyRoundThePeriod) {
  const PaletteTimeline day = MorningAndNoon();
  const auto at = [&](double ms) { return TimelinePaletteAt(day, ms, ColorSpace::Rgb)[7]; };
  EXPECT_EQ(at(6 * kHour), (Rgb8{0, 0, 0}));
  EXPECT_EQ(at(9 * kHour), (Rgb8{105, 45, 15}));
  EXPECT_EQ(at(12 * kHour), (Rgb8{210, 90, 30}));
  EXPECT_EQ(at(0), (Rgb8{70, 30, 10}));             // 12 of the 18 hours from noon to six
  EXPECT_EQ(at(-6 * kHour), (Rgb8{140, 60, 20}));   // 18:00 of the day before
  EXPECT_EQ(at(24 * kHour + 9 * kHour), (Rgb8{105, 45, 15}));
  // In OKLab the middle is the perceptual one, not the mean of the components.
  const Palette lab = TimelinePaletteAt(day, 9 * kHour);
  EXPECT_EQ(lab[7], detail::ToRgb8(detail::MixOkLab({0, 0, 0}, {210, 90, 30}, 0.5)));
  EXPECT_NE(lab[7], (Rgb8{105, 45, 15}));
  // Two keys at one time make a cut: the later one from that time on.
  PaletteTimeline cut = day;
  cut.keys.insert(cut.keys.begin() + 1, {.timeMs = 9 * kHour, .palette = Palette::Solid({0, 0, 200})});
  cut.keys.insert(cut.keys.begin() + 1, {.timeMs = 9 * kHour, .palette = Palette::Solid({0, 200, 0})});
  EXPECT_EQ(TimelinePaletteAt(cut, 9 * kHour - 1, ColorSpace::Rgb)[0].g, 200);
  EXPECT_EQ(TimelinePaletteAt(cut, 9 * kHour, ColorSpace::Rgb)[0], (Rgb8{0, 0, 200}));
  // One key is shown all day; two at one time go from the later to the earlier over a
  // whole day.
  const PaletteTimeline one{.keys = {day.keys[1]}};
  EXPECT_EQ(TimelinePaletteAt(one, 3 * kHour)[0], (Rgb8{210, 90, 30}));
  const PaletteTimeline twoAtOnce{.keys = {cut.keys[2], cut.keys[1]}};
  EXPECT_EQ(TimelinePaletteAt(twoAtOnce, 21 * kHour, ColorSpace::Rgb)[0], (Rgb8{0, 100, 100}));

  const auto refused = [](const PaletteTimeline& t, const std::string& name) {
    try {
      TimelinePaletteAt(t, 0);
    } catch (const std::invalid_argument& e) {
      return std::string(e.what()).find(name) != std::string::npos;
    }
    return false;
  };
  PaletteTimeline backwards = day;
  std::swap(backwards.keys[0], backwards.keys[1]);
  EXPECT_TRUE(refused(backwards, "key 1"));
  PaletteTimeline late = day;
  late.keys[1].timeMs = PaletteTimeline::kDayMs;
  EXPECT_TRUE(refused(late, "key 1"));
  EXPECT_TRUE(refused({}, "no key"));
  EXPECT_TRUE(refused({.keys = day.keys, .periodMs = 0}, "periodMs"));
  Animator a;
  EXPECT_THROW(a.FollowTimeline(backwards, {}), std::invalid_argument);
  EXPECT_THROW(a.FollowTimeline(day, {.rate = std::nan("")}), std::invalid_argument);
  EXPECT_EQ(a.EffectCount(), 0u);
}

TEST(Timeline, TheAnimatorFollowsItByItsClockUnderTheCycles) {
  // From 8:00 at an hour a second, registers 0..99 follow the day while 10..13 cycle.
  PaletteTimeline day = MorningAndNoon();
  for (int i = 10; i <= 13; ++i) day.keys[1].palette[i] = {uint8_t(50 * (i - 9)), 0, 0};
  const auto start = [&](Animator& a) {
    a.FollowTimeline(day, {.startMs = 8 * kHour, .rate = 3600, .space = ColorSpace::Rgb}, 0, 99);
    a.AddCycle({.low = 10, .high = 13, .stepsPerSecond = 1, .blend = false});
  };
  Animator once(FourColours());
  start(once);
  once.Update(0);
  once.Update(2500);  // 10:30
  for (double fps : {30.0, 144.0}) {
    Animator a(FourColours());
    start(a);
    for (double t = 0; t < 2500; t += 1000 / fps) a.Update(t);
    a.Update(2500);
    EXPECT_EQ(a.Output(), once.Output()) << fps;
  }
  const Palette expected = TimelinePaletteAt(day, 10.5 * kHour, ColorSpace::Rgb);
  EXPECT_EQ(once.Output()[50], expected[50]);
  EXPECT_EQ(once.Output()[100], Palette::Default()[100]);  // outside its range: the base
  EXPECT_EQ(once.Output()[12], expected[10]);  // two steps on, the timeline's colours
  EXPECT_EQ(once.Output()[10], expected[12]);
}

TEST(Timeline, ItsRateChangesWithoutAJumpAndCancelLeavesOrRemovesIt) {
  Animator a(Palette::Solid({1, 2, 3}));
  const EffectHandle day =
      a.FollowTimeline(MorningAndNoon(), {.startMs = 6 * kHour, .rate = 3600, .space = ColorSpace::Rgb});
  a.Update(1000);
  a.Update(2000);  // 7:00
  EXPECT_DOUBLE_EQ(a.TimelineTime(day), 7 * kHour);
  a.SetTimelineRate(day, -7200);  // two hours a second, backwards
  a.Update(2000);
  EXPECT_DOUBLE_EQ(a.TimelineTime(day), 7 * kHour);
  a.Update(3000);
  EXPECT_DOUBLE_EQ(a.TimelineTime(day), 5 * kHour);
  a.Pause(day);
  a.Update(9000);
  EXPECT_DOUBLE_EQ(a.TimelineTime(day), 5 * kHour);
  const Rgb8 atFive = a.Output()[0];
  EXPECT_EQ(atFive, TimelinePaletteAt(MorningAndNoon(), 5 * kHour, ColorSpace::Rgb)[0]);
  EXPECT_TRUE(std::isnan(a.TimelineTime({})));

  a.Cancel(day, CancelHow::Hold);  // its palette of the moment stays, in the base
  EXPECT_FALSE(a.IsActive(day));
  a.Update(20000);
  EXPECT_EQ(a.Output()[0], atFive);
  EXPECT_EQ(a.Base()[0], atFive);
  const EffectHandle again = a.FollowTimeline(MorningAndNoon(), {.startMs = 12 * kHour});
  a.Update(20000);
  EXPECT_EQ(a.Output()[0], (Rgb8{210, 90, 30}));
  a.Cancel(again, CancelHow::End);
  a.Update(20000);
  EXPECT_EQ(a.Output()[0], atFive);

  // A morph over it that settles takes its registers; taking them all ends it.
  const EffectHandle third = a.FollowTimeline(MorningAndNoon(), {.startMs = 12 * kHour});
  a.MorphBase(Palette::Solid({9, 9, 9}), {.durationMs = 100}, 0, 127);
  a.Update(20200);
  EXPECT_EQ(a.Output()[0], (Rgb8{9, 9, 9}));
  EXPECT_EQ(a.Output()[200], (Rgb8{210, 90, 30}));
  a.MorphBase(Palette::Solid({9, 9, 9}), {.durationMs = 0}, 128, 255);
  a.Update(20200);
  EXPECT_FALSE(a.IsActive(third));
  EXPECT_EQ(a.Output()[200], (Rgb8{9, 9, 9}));
}

}  // namespace
}  // namespace quorvel
