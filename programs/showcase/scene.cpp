// Drawing the coast in palette indices and colouring it for day and night.
//
// Each moving thing owns a block of registers, and its pixels are laid out so that
// rotating the block moves the picture: wave bands that run towards the viewer,
// waterfall streaks that run down, flame bands that run up, rings round the sun.
#include "programs/showcase/scene.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvel::showcase {
namespace {

// Register blocks.
constexpr int32_t kSky = 16, kSkyCount = 32;
constexpr int32_t kStars = 48;   // 16
constexpr int32_t kSea = 64;     // 32
constexpr int32_t kFall = 96;    // 16
constexpr int32_t kFoam = 112;   // 16
constexpr int32_t kFire = 128;   // 32
constexpr int32_t kSun = 160;    // 16
constexpr int32_t kCloud = 176;  // 16
constexpr int32_t kGrass = 192;  // 16
constexpr int32_t kRock = 208;   // 16
constexpr int32_t kGlint = 224;  // 16
constexpr int32_t kLog = 240;    // 8

constexpr int32_t kHorizon = 260;
constexpr int32_t kSunX = 520, kSunY = 74;
constexpr double kTau = 2 * std::numbers::pi;

struct Look {  // the colours one time of day gives the scene
  Rgb8 skyTop, skyHorizon, star, starBright, sunCore, sunRim, cloud;
  Rgb8 seaDeep, seaLight, glint, fall, foam, grass, grassLight, rock, rockLight;
  Rgb8 fireDark, fireHot;
};

constexpr Look kDay{{28, 84, 190},   {182, 214, 246}, {0, 0, 0},      {0, 0, 0},
                    {255, 252, 226}, {255, 196, 92},  {250, 250, 255}, {16, 70, 150},
                    {58, 140, 210},  {255, 246, 200}, {236, 246, 255}, {255, 255, 255},
                    {56, 140, 48},   {140, 200, 80},  {92, 80, 72},    {170, 156, 140},
                    {120, 20, 0},    {255, 240, 160}};
constexpr Look kNight{{2, 4, 22},      {30, 36, 84},    {70, 76, 120},  {255, 255, 236},
                      {238, 238, 222}, {150, 156, 180}, {60, 230, 150}, {3, 8, 34},
                      {16, 34, 84},    {190, 200, 236}, {90, 110, 150}, {150, 170, 200},
                      {10, 40, 28},    {30, 80, 50},    {24, 26, 40},   {60, 62, 84},
                      {150, 20, 0},    {255, 250, 190}};

// Dawn and dusk have no stars: those registers are their sky, as by day.
constexpr Look kDawn{{58, 66, 150},   {252, 184, 136}, {0, 0, 0},       {0, 0, 0},
                     {255, 240, 200}, {255, 150, 90},  {255, 180, 176}, {26, 44, 100},
                     {116, 120, 172}, {255, 214, 176}, {222, 214, 236}, {250, 242, 246},
                     {38, 84, 52},    {122, 152, 84},  {72, 60, 68},    {156, 128, 128},
                     {120, 20, 0},    {255, 232, 150}};
constexpr Look kDusk{{36, 28, 98},    {255, 124, 52},  {0, 0, 0},       {0, 0, 0},
                     {255, 214, 124}, {236, 86, 40},   {244, 112, 120}, {18, 22, 68},
                     {108, 68, 108},  {255, 172, 92},  {204, 160, 172}, {244, 204, 192},
                     {40, 62, 30},    {132, 112, 52},  {60, 40, 46},    {150, 92, 82},
                     {140, 20, 0},    {255, 240, 170}};

Rgb8 SkyAt(const Look& look, double row) {
  return Mix(look.skyTop, look.skyHorizon, std::clamp(row / (kHorizon - 1), 0.0, 1.0));
}

Palette Colour(const Look& look, bool night) {
  Palette p = Palette::Default();  // 0..15 stay the text colours
  for (int32_t k = 0; k < kSkyCount; ++k) {
    p[kSky + k] = SkyAt(look, k * (kHorizon - 1.0) / (kSkyCount - 1));
  }
  // Stars sit at the height of their register; by day they are that height's sky.
  for (int32_t k = 0; k < 16; ++k) {
    const Rgb8 sky = SkyAt(look, k * 140.0 / 15);
    const Rgb8 star = (Hash(k, 7) % 5 == 0) ? look.starBright : look.star;
    p[kStars + k] = night ? star : sky;
  }
  for (int32_t k = 0; k < 32; ++k) {
    const bool crest = k % 16 == 3;
    p[kSea + k] = crest ? Mix(look.seaLight, look.glint, 0.5)
                        : Mix(look.seaDeep, look.seaLight, Wave(k, 32, 2));
  }
  for (int32_t k = 0; k < 16; ++k) {
    p[kFall + k] = Mix(look.seaLight, look.fall, 0.45 + 0.55 * Wave(k, 16, 2));
    p[kFoam + k] = Mix(look.seaLight, look.foam, Wave(k, 16, 1));
    // The sun's disc (the first eight) and its halo, rings of light that repeat round
    // the block so that turning it sends them outwards without a seam.
    const Rgb8 sky = SkyAt(look, kSunY);
    p[kSun + k] = k < 8 ? Mix(look.sunCore, look.sunRim, k / 7.0 * 0.5)
                        : Mix(sky, look.sunRim, 0.2 + 0.45 * Wave(k, 8, 1));
    const Rgb8 band = SkyAt(look, 80);
    p[kCloud + k] = Mix(band, look.cloud, (night ? 0.15 : 0.25) + 0.6 * Wave(k, 16, 1) *
                                                                       Wave(k, 16, 3));
    p[kGrass + k] = Mix(look.grass, look.grassLight, Wave(k, 16, 1));
    p[kRock + k] = Mix(look.rock, look.rockLight, k / 15.0);
    p[kGlint + k] = Mix(look.seaLight, look.glint, std::pow(Wave(k, 16, 2), 3));
  }
  for (int32_t k = 0; k < 32; ++k) {
    // Two rounds of dark red, orange, yellow and white: the flames rise as it turns.
    const double heat = std::pow(Wave(k, 32, 2), 1.5);
    p[kFire + k] = Mix(look.fireDark, look.fireHot, heat);
  }
  for (int32_t k = 0; k < 8; ++k) p[kLog + k] = Mix({40, 20, 10}, {110, 60, 30}, k / 7.0);
  return p;
}

// ---------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------

class Canvas {
 public:
  explicit Canvas(std::vector<uint8_t>& pixels) : pixels_(pixels) {}
  void Set(int32_t x, int32_t y, int32_t index) {
    if (x >= 0 && y >= 0 && x < kScreenWidth && y < kSceneHeight) {
      pixels_[size_t(y) * kScreenWidth + x] = uint8_t(index);
    }
  }

 private:
  std::vector<uint8_t>& pixels_;
};

// The sky's 32 bands, dithered into one another so the gradient has no steps.
void DrawSky(Canvas& c) {
  constexpr int32_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  for (int32_t y = 0; y < kHorizon; ++y) {
    const double band = y * (kSkyCount - 1.0) / (kHorizon - 1);
    const int32_t k = int32_t(band);
    const double fraction = band - k;
    for (int32_t x = 0; x < kScreenWidth; ++x) {
      const bool next = fraction * 16 > kBayer[y & 3][x & 3] + 0.5;
      c.Set(x, y, kSky + std::min(k + (next ? 1 : 0), kSkyCount - 1));
    }
  }
}

void DrawStars(Canvas& c) {
  for (int32_t n = 0; n < 260; ++n) {
    const int32_t x = int32_t(Hash(n, 1) % kScreenWidth);
    const int32_t y = int32_t(Hash(n, 2) % 141);
    c.Set(x, y, kStars + y * 15 / 140);
  }
}

void DrawSun(Canvas& c) {
  constexpr double kDisc = 24, kHalo = 50;
  for (int32_t y = kSunY - 50; y <= kSunY + 50; ++y) {
    for (int32_t x = kSunX - 50; x <= kSunX + 50; ++x) {
      const double d = std::hypot(x - kSunX, y - kSunY);
      if (d < kDisc) {
        c.Set(x, y, kSun + int32_t(d * 8 / kDisc));
      } else if (d < kHalo && Hash(x, y) % 100 < 100 * (kHalo - d) / (kHalo - kDisc) + 20) {
        // The halo thins out towards its edge, so it melts into the sky.
        c.Set(x, y, kSun + 8 + (int32_t(d / 3) & 7));
      }
    }
  }
}

// A band of streaky cloud (an aurora by night) that drifts as its block turns.
void DrawClouds(Canvas& c) {
  for (int32_t x = 0; x < kScreenWidth; ++x) {
    const double middle = 150 + 16 * std::sin(x / 53.0) + 7 * std::sin(x / 17.0 + 1);
    const double half = 9 + 6 * std::sin(x / 31.0 + 2);
    for (int32_t y = int32_t(middle - half); y <= int32_t(middle + half); ++y) {
      const bool edge = std::abs(y - middle) > half - 2 && Hash(x, y) % 2 == 0;
      if (!edge) c.Set(x, y, kCloud + ((x / 6 + y / 2) & 15));
    }
  }
}

void DrawSea(Canvas& c) {
  for (int32_t y = kHorizon; y < kSceneHeight; ++y) {
    const double v = y - kHorizon;
    for (int32_t x = 0; x < kScreenWidth; ++x) {
      // Bands close together far away and wide near the viewer, gently bent.
      const double phase = 28 * std::log1p(v / 10) + 1.6 * std::sin(x / 41.0 + v / 13.0);
      c.Set(x, y, kSea + (int32_t(std::floor(phase)) & 31));
      // The sun's glitter on the water below it.
      const double spread = 6 + v / 5;
      if (std::abs(x - kSunX) < spread && Hash(x / 3, y) % 3 == 0) {
        c.Set(x, y, kGlint + ((y / 2 + x / 7) & 15));
      }
    }
  }
}

double CliffEdge(int32_t y) { return 196 - (y - 112) * 0.12 + 10 * std::sin(y / 23.0); }

void DrawCliff(Canvas& c) {
  for (int32_t y = 112; y < kSceneHeight; ++y) {
    for (int32_t x = 0; x < CliffEdge(y); ++x) {
      const int32_t shade = int32_t(Hash(x / 4, y / 3) % 10) + (x > CliffEdge(y) - 12 ? 5 : 0);
      c.Set(x, y, y < 124 ? kGrass + ((x / 3 + y) & 15) : kRock + std::min(shade, 15));
    }
  }
}

void DrawWaterfall(Canvas& c) {
  for (int32_t x = 120; x < 160; ++x) {
    const int32_t offset = int32_t(Hash(x / 2, 9) % 16);
    for (int32_t y = 116; y < 322; ++y) c.Set(x, y, kFall + ((y / 3 + offset) & 15));
  }
  // The pool where it lands: rings that swell and settle.
  for (int32_t y = 304; y < 338; ++y) {
    for (int32_t x = 60; x < 220; ++x) {
      const double d = std::hypot((x - 140) / 70.0, (y - 321) / 15.0);
      if (d < 1) c.Set(x, y, kFoam + int32_t(d * 15));
    }
  }
}

double HillTop(int32_t x) { return 440 - 92 * std::exp(-std::pow((x - 560) / 95.0, 2)); }

void DrawHillAndFire(Canvas& c) {
  for (int32_t x = 360; x < kScreenWidth; ++x) {
    for (int32_t y = int32_t(HillTop(x)); y < kSceneHeight; ++y) {
      c.Set(x, y, kGrass + ((x / 4 + y / 3 + int32_t(Hash(x, y) % 3)) & 15));
    }
  }
  // Logs, then flames that narrow as they rise; higher rows take higher registers.
  for (int32_t y = 346; y < 356; ++y) {
    for (int32_t x = 538; x < 584; ++x) c.Set(x, y, kLog + int32_t(Hash(x / 6, y / 2) % 8));
  }
  for (int32_t y = 286; y < 348; ++y) {
    const double rise = (348 - y) / 62.0;
    const double half = 20 * std::pow(1 - rise, 0.8) + 3 * std::sin(y / 5.0);
    for (int32_t x = 560 - int32_t(half); x <= 560 + int32_t(half); ++x) {
      const int32_t jitter = int32_t(Hash(x, y) % 3);
      const int32_t heat = (348 - y) / 2 + jitter + std::abs(x - 560) / 4;
      c.Set(x, y, kFire + (heat & 31));
    }
  }
}

}  // namespace

uint32_t Hash(int32_t x, int32_t y) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

Rgb8 Mix(Rgb8 a, Rgb8 b, double t) {
  auto m = [t](uint8_t p, uint8_t q) { return uint8_t(std::lround(p + (q - p) * t)); };
  return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

double Wave(int32_t k, int32_t count, double periods) {
  return 0.5 + 0.5 * std::sin(kTau * periods * k / count);
}

Scene BuildScene() {
  Scene scene;
  scene.pixels.assign(size_t(kScreenWidth) * kSceneHeight, kSky);
  Canvas canvas(scene.pixels);
  DrawSky(canvas);
  DrawStars(canvas);
  DrawSun(canvas);
  DrawClouds(canvas);
  DrawSea(canvas);
  DrawCliff(canvas);
  DrawWaterfall(canvas);
  DrawHillAndFire(canvas);

  scene.day = Colour(kDay, false);
  scene.night = Colour(kNight, true);
  scene.dawn = Colour(kDawn, false);
  scene.dusk = Colour(kDusk, false);
  scene.cycles = {
      {"sea", {.low = kSea, .high = kSea + 31, .stepsPerSecond = 7}},
      {"glitter", {.low = kGlint, .high = kGlint + 15, .stepsPerSecond = 9, .reverse = true}},
      {"waterfall", {.low = kFall, .high = kFall + 15, .stepsPerSecond = 16}},
      {"pool", {.low = kFoam, .high = kFoam + 15, .stepsPerSecond = 5, .mode = CycleMode::PingPong}},
      {"fire", {.low = kFire, .high = kFire + 31, .stepsPerSecond = 24}},
      {"sun", {.low = kSun + 8, .high = kSun + 15, .stepsPerSecond = 4}},
      {"clouds", {.low = kCloud, .high = kCloud + 15, .stepsPerSecond = 1.2}},
      {"grass", {.low = kGrass, .high = kGrass + 15, .stepsPerSecond = 3, .mode = CycleMode::Sine}},
      // By day the stars are the sky at their height, so they twinkle only by night.
      {"stars", {.low = kStars, .high = kStars + 15, .stepsPerSecond = 2.5}, true},
  };
  return scene;
}

}  // namespace quorvel::showcase
