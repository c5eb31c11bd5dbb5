// Drawing the sample art in palette indices. As in the showcase, each moving thing owns a
// block of registers, laid out so that turning the block moves the picture: streaks that
// run down the fall, rings that spread over the pool, grass that sways.
#include "tools/samples/art.hpp"

#include <algorithm>
#include <cmath>

#include "programs/showcase/scene.hpp"

namespace quorvel::samples {
namespace {

constexpr double kHour = 60 * 60 * 1000;

using showcase::Hash;
using showcase::Mix;
using showcase::Wave;

PictureCycle Painted(int32_t low, int32_t high, double stepsPerSecond,
                     CycleMode mode = CycleMode::Wrap, bool reverse = false) {
  PictureCycle painted;
  painted.cycle = {.low = low, .high = high, .stepsPerSecond = stepsPerSecond, .mode = mode,
                   .reverse = reverse, .blend = false};
  painted.active = true;
  return painted;
}

IndexedPicture Blank(int32_t width, int32_t height) {
  IndexedPicture p;
  p.width = width;
  p.height = height;
  p.pixels.assign(size_t(width) * size_t(height), 0);
  p.colourCount = 256;
  return p;
}

// ---------------------------------------------------------------------------------------
// The waterfall
// ---------------------------------------------------------------------------------------

constexpr int32_t kW = 160, kH = 100;
constexpr int32_t kSky = 16;     // 16, top to horizon
constexpr int32_t kHills = 32;   // 4
constexpr int32_t kRock = 40;    // 16
constexpr int32_t kFall = 56;    // 16
constexpr int32_t kSplash = 72;  // 8
constexpr int32_t kPool = 80;    // 16
constexpr int32_t kGrass = 96;   // 16
constexpr int32_t kHorizon = 44;

struct Look {  // what one time of day makes of the scene
  Rgb8 skyTop, skyHorizon, hills, rockDark, rockLight, waterDark, waterLight, foam, grassDark,
      grassLight;
};
constexpr Look kNight{{4, 6, 26},   {34, 40, 86},  {18, 22, 48},  {14, 14, 26},
                      {52, 54, 80}, {6, 14, 42},   {60, 80, 130}, {130, 150, 190},
                      {6, 24, 22},  {22, 56, 44}};
constexpr Look kDawn{{70, 90, 170},  {250, 170, 120}, {120, 90, 120}, {60, 44, 50},
                     {170, 130, 120}, {50, 70, 120},  {200, 170, 180}, {255, 230, 220},
                     {40, 70, 40},    {150, 150, 70}};
constexpr Look kDay{{40, 110, 210},  {190, 222, 250}, {110, 150, 170}, {70, 62, 58},
                    {176, 164, 148}, {30, 90, 160},   {150, 210, 240}, {255, 255, 255},
                    {40, 120, 40},   {150, 210, 80}};
constexpr Look kDusk{{40, 40, 110},   {255, 120, 60},  {90, 50, 80},   {50, 30, 40},
                     {160, 90, 70},   {40, 40, 90},    {220, 140, 120}, {255, 210, 180},
                     {30, 50, 30},    {130, 100, 50}};

Palette WaterfallColours(const Look& look) {
  Palette p = Palette::Default();  // 0..15 stay the text colours
  for (int32_t k = 0; k < 16; ++k) {
    p[kSky + k] = Mix(look.skyTop, look.skyHorizon, k / 15.0);
    p[kRock + k] = Mix(look.rockDark, look.rockLight, k / 15.0);
    // Two light streaks down every round of the fall, so it pours rather than blinks.
    p[kFall + k] = Mix(look.waterDark, look.waterLight, 0.35 + 0.65 * Wave(k, 16, 2));
    // Rings that swell from the foot of the fall: light crests on darker water.
    p[kPool + k] = Mix(look.waterDark, look.waterLight, std::pow(Wave(k, 16, 2), 2));
    p[kGrass + k] = Mix(look.grassDark, look.grassLight, Wave(k, 16, 1));
  }
  for (int32_t k = 0; k < 4; ++k) p[kHills + k] = Mix(look.hills, look.skyHorizon, k / 6.0);
  for (int32_t k = 0; k < 8; ++k) p[kSplash + k] = Mix(look.waterLight, look.foam, Wave(k, 8, 1));
  return p;
}

// Where each cliff's face stands in a row: the fall pours between them.
double LeftFace(int32_t y) { return 62 + 3 * std::sin(y / 7.0); }
double RightFace(int32_t y) { return 98 + 3 * std::sin(y / 5.0 + 1); }
// Where the cliffs' grass begins, in a column: the left one stands higher.
int32_t CliffTop(int32_t x) {
  return int32_t((x < 80 ? 34 : 40) + 3 * std::sin(x / 9.0) + (x < 80 ? x : kW - x) / 20.0);
}

void DrawWaterfall(IndexedPicture& p) {
  constexpr int32_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const auto set = [&p](int32_t x, int32_t y, int32_t index) {
    if (x >= 0 && y >= 0 && x < kW && y < kH) p.pixels[size_t(y) * kW + size_t(x)] = uint8_t(index);
  };
  for (int32_t y = 0; y < kH; ++y) {
    // The sky's bands dithered into one another, then far hills on the horizon.
    const double band = std::min(y, kHorizon) * 15.0 / kHorizon;
    for (int32_t x = 0; x < kW; ++x) {
      const bool next = (band - std::floor(band)) * 16 > kBayer[y & 3][x & 3] + 0.5;
      set(x, y, kSky + std::min(int32_t(band) + (next ? 1 : 0), 15));
    }
  }
  for (int32_t x = 0; x < kW; ++x) {
    const int32_t top = int32_t(34 + 5 * std::sin(x / 19.0) + 3 * std::sin(x / 7.0 + 2));
    for (int32_t y = top; y < kHorizon + 6; ++y) set(x, y, kHills + std::min((y - top) / 3, 3));
  }
  // The cliffs, lit from the left, with a grass rim on top.
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const bool left = x < LeftFace(y), right = x > RightFace(y);
      if ((!left && !right) || y < CliffTop(x)) continue;
      const int32_t grain = int32_t(Hash(x / 3, y / 2) % 6);
      const int32_t light = left ? 8 - int32_t((LeftFace(y) - x) / 12) : 4 + int32_t((x - RightFace(y)) / 14);
      set(x, y, y < CliffTop(x) + 3 ? kGrass + ((x / 2 + y) & 15) : kRock + std::clamp(light + grain, 0, 15));
    }
  }
  // The fall: streaks whose register grows downwards, so a forward turn pours them down.
  for (int32_t x = 60; x < 101; ++x) {
    const int32_t offset = int32_t(Hash(x / 2, 5) % 16);
    for (int32_t y = 40; y < 78; ++y) {
      if (x >= LeftFace(y) && x <= RightFace(y)) set(x, y, kFall + ((y / 2 + offset) & 15));
    }
  }
  // The pool: rings spreading from the foot of the fall, and its splash.
  for (int32_t y = 74; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const double d = std::hypot((x - 80) / 2.2, (y - 76) * 1.0);
      if (y >= 78 || (x >= LeftFace(y) && x <= RightFace(y))) set(x, y, kPool + (int32_t(d / 2) & 15));
      if (d < 10 && Hash(x, y) % 3 != 0) set(x, y, kSplash + (int32_t(d + Hash(x, y) % 2) & 7));
    }
  }
  // Grass in the corners of the foreground, swaying as its block turns.
  for (int32_t x = 0; x < kW; ++x) {
    const double edge = std::min(x, kW - 1 - x);
    const int32_t top = int32_t(86 + edge / 3 + 2 * std::sin(x / 3.0));
    for (int32_t y = top; y < kH; ++y) set(x, y, kGrass + ((x / 2 + y / 3) & 15));
  }
}

// ---------------------------------------------------------------------------------------
// The test ramp
// ---------------------------------------------------------------------------------------

constexpr int32_t kRampSide = 64, kBandRows = 8;

}  // namespace

IndexedPicture Coast() {
  const showcase::Scene scene = showcase::BuildScene();
  IndexedPicture p = Blank(kScreenWidth, showcase::kSceneHeight);
  p.pixels = scene.pixels;
  p.palette = scene.day;
  for (const showcase::NamedCycle& named : scene.cycles) {
    if (named.nightOnly) continue;
    const Cycle& c = named.cycle;
    p.cycles.push_back(Painted(c.low, c.high, c.stepsPerSecond, c.mode, c.reverse));
  }
  return p;
}

Scene CoastDay() {
  const showcase::Scene light = showcase::BuildScene();
  const IndexedPicture coast = Coast();
  Scene scene;  // no filename: no ILBM of this size is made
  IndexedPicture& p = scene.picture;
  p = Blank(coast.width / 2, coast.height / 2);
  for (int32_t y = 0; y < p.height; ++y) {
    const uint8_t* from = coast.pixels.data() + size_t(2 * y) * size_t(coast.width);
    for (int32_t x = 0; x < p.width; ++x) p.pixels[size_t(y) * size_t(p.width) + size_t(x)] = from[2 * x];
  }
  p.palette = coast.palette;
  p.cycles = coast.cycles;
  // Night holds from half past eight in the evening to five in the morning; dawn shows at
  // half past six.
  scene.timeline.keys = {{5 * kHour, light.night},  {6.5 * kHour, light.dawn}, {8.5 * kHour, light.day},
                         {17.5 * kHour, light.day}, {19 * kHour, light.dusk},   {20.5 * kHour, light.night}};
  return scene;
}

Scene Waterfall() {
  Scene scene;
  scene.filename = "waterfall.lbm";
  IndexedPicture& p = scene.picture;
  p = Blank(kW, kH);
  DrawWaterfall(p);
  p.palette = WaterfallColours(kDay);
  p.cycles = {Painted(kFall, kFall + 15, 12), Painted(kPool, kPool + 15, 4),
              Painted(kSplash, kSplash + 7, 6, CycleMode::PingPong),
              Painted(kGrass, kGrass + 15, 2, CycleMode::Sine)};
  // Night holds from nine in the evening to five in the morning.
  scene.timeline.keys = {{5 * kHour, WaterfallColours(kNight)},  {6.5 * kHour, WaterfallColours(kDawn)},
                         {9 * kHour, WaterfallColours(kDay)},    {17 * kHour, WaterfallColours(kDay)},
                         {19 * kHour, WaterfallColours(kDusk)},  {21 * kHour, WaterfallColours(kNight)}};
  return scene;
}

Scene TestRamp() {
  Scene scene;
  scene.filename = "test_ramp.lbm";
  IndexedPicture& p = scene.picture;
  p = Blank(kRampSide, kRampSide);
  // One hue a band, dark to light over its 32 registers, with a white mark on the first
  // so that every turn is easy to follow.
  const Rgb8 hues[8] = {{255, 60, 40}, {255, 170, 30}, {230, 230, 40}, {60, 220, 70},
                        {40, 210, 220}, {60, 110, 255}, {170, 80, 255}, {255, 80, 190}};
  for (int32_t band = 0; band < 8; ++band) {
    for (int32_t k = 0; k < 32; ++k) {
      p.palette[size_t(band * 32 + k)] =
          k == 0 ? Rgb8{255, 255, 255} : Mix({0, 0, 0}, hues[band], k / 31.0);
    }
  }
  for (int32_t y = 0; y < kRampSide; ++y) {
    for (int32_t x = 0; x < kRampSide; ++x) {
      p.pixels[size_t(y) * kRampSide + size_t(x)] = uint8_t((y / kBandRows) * 32 + x / 2);
    }
  }
  p.cycles = {Painted(0, 31, 8),
              Painted(32, 63, 8, CycleMode::Wrap, true),
              Painted(64, 95, 8, CycleMode::PingPong),
              Painted(96, 127, 8, CycleMode::Sine),
              Painted(128, 159, 1),
              Painted(160, 191, 30),
              // 192..223 stay still, to compare with.
              Painted(224, 255, 60)};
  return scene;
}

IndexedPicture ForIff(IndexedPicture picture) {
  for (PictureCycle& painted : picture.cycles) painted.cycle.mode = CycleMode::Wrap;
  return picture;
}

std::vector<uint8_t> ObjectLiteral(const std::vector<uint8_t>& json, const std::string& name) {
  const std::string text(json.begin(), json.end());
  std::string out = name + " = ";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '"') {
      out += text[i];
      continue;
    }
    const size_t end = text.find('"', i + 1);  // the scene's strings hold no quotes
    const std::string inside = text.substr(i + 1, end - i - 1);
    const bool key = end + 1 < text.size() && text[end + 1] == ':' &&
                     std::all_of(inside.begin(), inside.end(), [](char c) {
                       return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
                     });
    out += key ? inside : "'" + inside + "'";
    i = end;
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  out += ";\n";
  return {out.begin(), out.end()};
}

}  // namespace quorvel::samples
