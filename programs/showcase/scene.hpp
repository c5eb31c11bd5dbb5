// The showcase's scene: a coast drawn once in palette indices (sky, stars, sun, clouds,
// sea, a waterfall, a campfire, grass), its palettes for day, night, dawn and dusk, and the
// colour cycles that bring it to life. Everything moves through the palette alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>

namespace quorvel::showcase {

// The scene fills the screen above the help line (the last text row).
constexpr int32_t kSceneHeight = kScreenHeight - 16;

struct NamedCycle {
  std::string name;
  Cycle cycle;
  bool nightOnly = false;  // runs only while the night palette shows
};

struct Scene {
  std::vector<uint8_t> pixels;  // kScreenWidth x kSceneHeight palette indices
  Palette day;
  Palette night;
  // The light between them, which the sample art's day goes through; the showcase turns
  // straight from day to night.
  Palette dawn;
  Palette dusk;
  std::vector<NamedCycle> cycles;
};

// Registers 0..15 keep the default text colours; the scene uses 16..247.
Scene BuildScene();

// Drawing helpers, shared with the sample art (tools/samples) so that both draw alike.

// A repeatable scatter: the same picture on every run, without a random generator.
uint32_t Hash(int32_t x, int32_t y);
// The colour `t` of the way from a to b, each component rounded.
Rgb8 Mix(Rgb8 a, Rgb8 b, double t);
// A wave 0..1 that repeats `periods` times over a block of `count` registers.
double Wave(int32_t k, int32_t count, double periods);

}  // namespace quorvel::showcase
