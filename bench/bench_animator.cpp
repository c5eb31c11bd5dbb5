// One frame of the Animator with the showcase's whole effect set running: every cycle,
// the day-to-night morph in OKLab and a greyscale filter, then the changed registers
// written to the screen. Compared in bench/summary with SDL's blit of one 640x480 frame.
#include <benchmark/benchmark.h>

#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>

#include "programs/showcase/scene.hpp"

namespace {

void BM_AnimatorFrame(benchmark::State& state) {
  quorvel::SetHeadless(true);
  quorvel::OpenScreen(18, 8, 1, 0);
  const quorvel::showcase::Scene scene = quorvel::showcase::BuildScene();
  quorvel::Animator animator(scene.day);
  for (const auto& named : scene.cycles) animator.AddCycle(named.cycle);
  // Long enough that they run through the whole measurement.
  animator.MorphBase(scene.night, {.durationMs = 1e9, .space = quorvel::ColorSpace::OkLab},
                     16, 247);
  const quorvel::EffectHandle grey =
      animator.AddFilter({.kind = quorvel::FilterKind::Greyscale, .amount = 0});
  animator.TweenFilter(grey, 1, {.durationMs = 1e9});
  double now = 1e6;  // well into the morph, so every register is on its way
  for (auto _ : state) {
    now += 1000.0 / 60;
    animator.Update(now);
    benchmark::DoNotOptimize(animator.PresentToScreen());
  }
  quorvel::CloseScreen();
}
BENCHMARK(BM_AnimatorFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
