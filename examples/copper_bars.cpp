// Copper bars: a sky gradient and moving bars from two registers, behind a title drawn
// in other registers. Nothing is redrawn after the start; each frame only the palettes
// per line change, as a function of the time. Escape quits.
#include <cstdlib>
#include <vector>

#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>

int main() {
  using namespace quorvel;
  if (!OpenScreen(18, 8, 1, 0)) return 1;
  DrawBox(0, 0, 639, 199, 1, true);    // the sky: register 1 on every line
  DrawBox(0, 200, 639, 479, 2, true);  // behind the title: register 2
  SetTextColor(15, 2);
  LocateText(21, 30);
  PrintText("  Q U O R V E L  ", false);
  LocateText(22, 30);
  PrintText(" palettes per line ", false);

  Animator anim(Palette::FromScreen());
  // A bar of 24 lines, bright in the middle.
  const auto bar = [](Rgb8 colour) {
    std::vector<Rgb8> lines;
    for (int i = 0; i < 24; ++i) {
      const int lit = 255 - std::abs(i - 12) * 20;
      lines.push_back({uint8_t(colour.r * lit / 255), uint8_t(colour.g * lit / 255), uint8_t(colour.b * lit / 255)});
    }
    return lines;
  };
  std::vector<LineBar> bars = {
      {.index = 2, .colours = bar({255, 60, 40}), .top = 200, .bottom = 479, .linesPerSecond = 120,
       .mode = CycleMode::Sine},
      {.index = 2, .colours = bar({60, 255, 90}), .top = 200, .bottom = 479, .linesPerSecond = 90,
       .mode = CycleMode::Sine, .phase = 80, .opacity = 0.8},
      {.index = 2, .colours = bar({70, 110, 255}), .top = 200, .bottom = 479, .linesPerSecond = 70,
       .mode = CycleMode::Wrap, .opacity = 0.6},
  };
  RunFrames([&](double now) {
    if (KeyWaiting() && ReadKey() == "\x1b") return false;
    anim.Update(now);
    LinePalettes lines;
    AddGradient(lines, 1, 0, 199, {10, 20, 90}, {250, 150, 90});
    AddBars(lines, bars, anim.Output(), now);
    SetLinePalettes(lines);
    return true;
  });
  CloseScreen();
  return 0;
}
