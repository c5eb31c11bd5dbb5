// Palettes per line at 320x200, shown at 4:3: a sky gradient from one register, copper
// bars behind a title, a status bar below line 176 with a palette and effects of its
// own, and a border that cycles. The picture is drawn once; every frame only registers
// and palettes per line change. --full starts full screen; Escape quits.
#include <cstdlib>
#include <cstring>
#include <vector>

#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>

int main(int argc, char** argv) {
  using namespace quorvel;
  ScreenOptions options = ModeOptions(ScreenMode::Mode19);
  options.title = "Palettes per line at 320x200";
  options.fullScreen = argc > 1 && std::strcmp(argv[1], "--full") == 0;
  options.borderRegister = 64;
  options.borderWidth = 12;
  if (!OpenScreenWith(options)) return 1;

  // Register 1: the sky; 2: behind the title; 3..6: hills; 32..47: the status bar.
  DrawBox(0, 0, 319, 99, 1, true);
  for (int32_t x = 0; x < 320; ++x) {
    const int32_t hill = 80 + (x * 7 % 23) / 3 + (x % 64 < 32 ? x % 32 : 32 - x % 32) / 2;
    DrawLine(x, hill, x, 99, 3 + x / 80, 65535);
  }
  DrawBox(0, 100, 319, 175, 2, true);
  SetTextColor(15, 2);
  LocateText(9, 13);
  PrintText(" QUORVEL ", false);
  for (int32_t x = 0; x < 320; ++x) DrawLine(x, 176, x, 199, 32 + x / 20, 65535);
  SetTextColor(15, 32);
  LocateText(12, 2);
  PrintText("lines 200  score 004200", false);

  Palette main = Palette::Default();
  for (int32_t k = 0; k < 8; ++k) main[size_t(64 + k)] = main[size_t(32 + k * 3)];  // the border's hues
  for (int32_t k = 0; k < 4; ++k) main[size_t(3 + k)] = {uint8_t(20 + k * 10), uint8_t(70 + k * 25), uint8_t(30 + k * 5)};
  main[8] = {20, 30, 110};  // the sky's two ends, kept in registers so the fade reaches them
  main[9] = {250, 170, 100};
  Animator anim(main);
  anim.AddCycle({.low = 64, .high = 71, .stepsPerSecond = 6});
  anim.FadeFrom({0, 0, 0}, {.durationMs = 1200});
  // The status bar's own palette: a ramp of blues that cycles.
  Palette bar = Palette::Default();
  for (int32_t k = 0; k < 16; ++k) bar[size_t(32 + k)] = {uint8_t(k * 4), uint8_t(20 + k * 6), uint8_t(90 + k * 10)};
  Animator status(bar);
  status.AddCycle({.low = 32, .high = 47, .stepsPerSecond = 8, .mode = CycleMode::PingPong});

  const auto profile = [](Rgb8 c) {
    std::vector<Rgb8> lines;
    for (int i = 0; i < 12; ++i) {
      const int lit = 255 - std::abs(i - 6) * 36;
      lines.push_back({uint8_t(c.r * lit / 255), uint8_t(c.g * lit / 255), uint8_t(c.b * lit / 255)});
    }
    return lines;
  };
  const std::vector<LineBar> bars = {
      {.index = 2, .colours = profile({255, 70, 50}), .top = 100, .bottom = 175, .linesPerSecond = 50,
       .mode = CycleMode::Sine},
      {.index = 2, .colours = profile({80, 255, 120}), .top = 100, .bottom = 175, .linesPerSecond = 35,
       .mode = CycleMode::Sine, .phase = 40, .opacity = 0.8},
  };
  RunFrames([&](double now) {
    if (KeyWaiting() && ReadKey() == "\x1b") return false;
    anim.Update(now);
    status.Update(now);
    anim.PresentToScreen();
    LinePalettes lines;
    AddGradient(lines, 1, 0, 99, anim.Output()[8], anim.Output()[9]);
    AddBars(lines, bars, anim.Output(), now);
    AddPaletteLines(lines, 176, status.Output(), 32, 47);
    SetLinePalettes(lines);
    return true;
  });
  CloseScreen();
  return 0;
}
