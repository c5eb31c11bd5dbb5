// A split screen: the playfield above line 400 cycles and fades on one Animator, the
// status bar below keeps a palette and effects of its own on another, though both draw
// with the same registers. Any key pulses the status bar; Escape quits.
#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>

int main() {
  using namespace quorvel;
  if (!OpenScreen(18, 8, 1, 0)) return 1;
  for (int32_t i = 0; i < 64; ++i) DrawBox(i * 10, 0, i * 10 + 9, 399, 32 + i, true);
  for (int32_t i = 0; i < 64; ++i) DrawBox(i * 10, 400, i * 10 + 9, 479, 32 + i, true);
  SetTextColor(15, 0);
  LocateText(27, 3);
  PrintText(" STATUS  lives 3  score 004200 ", false);

  // The playfield: a sea of blues that cycles, fading in.
  Palette sea = Palette::Default();
  for (int i = 0; i < 64; ++i) sea[size_t(32 + i)] = {uint8_t(i), uint8_t(60 + i * 2), uint8_t(120 + i * 2)};
  Animator field(sea);
  field.AddCycle({.low = 32, .high = 95, .stepsPerSecond = 12});
  field.FadeFrom({0, 0, 0}, {.durationMs = 1500});
  // The status bar: warm greys of its own, the text brightening on a key.
  Palette panel = Palette::Default();
  for (int i = 0; i < 64; ++i) panel[size_t(32 + i)] = {uint8_t(60 + i), uint8_t(50 + i), uint8_t(40 + i / 2)};
  Animator status(panel);
  const EffectHandle pulse = status.AddFilter({.kind = FilterKind::Brightness, .first = 15, .last = 15, .amount = 0});

  RunFrames([&](double now) {
    while (KeyWaiting()) {
      if (ReadKey() == "\x1b") return false;
      status.SetFilterAmount(pulse, 1);
      status.TweenFilter(pulse, 0, {.durationMs = 600});
    }
    field.Update(now);
    status.Update(now);
    field.PresentToScreen();  // the registers: what lines 0..399 show
    LinePalettes lines;
    AddPaletteLines(lines, 400, status.Output());  // lines 400 on: the status bar's own
    SetLinePalettes(lines);
    return true;
  });
  CloseScreen();
  return 0;
}
