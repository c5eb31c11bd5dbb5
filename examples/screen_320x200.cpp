// A 320x200 screen shown at 4:3, as the monitors of its day showed it: pixels 1.2 times
// as tall as wide, so the circles drawn with the screen's own aspect come out round.
// Each pixel is a block of whole size (integer scaling, the default); S steps through
// integer, aspect and stretch scaling. Escape quits.
#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>

int main() {
  using namespace quorvel;
  ScreenOptions options = ModeOptions(ScreenMode::Mode19);  // 320x200 at 4:3
  options.title = "320x200 at 4:3";
  if (!OpenScreenWith(options)) return 1;

  // A chequered floor of two registers, and rings of the 24 hues round the colour wheel.
  for (int32_t y = 120; y < ScreenHeight(); y += 8) {
    for (int32_t x = 0; x < ScreenWidth(); x += 8) {
      DrawBox(x, y, x + 7, y + 7, ((x + y) / 8) % 2 ? 16 + 5 : 16 + 9, true);
    }
  }
  for (int32_t k = 0; k < 24; ++k) {
    DrawEllipse(160, 70, 60 - k * 2.4, 32 + k, 0, 0, 6.3, true);  // aspect 0: round on screen
  }
  SetTextColor(15, 0);
  LocateText(1, 1);
  PrintText("320x200, 40x12 text, S: scaling", false);

  Animator anim(Palette::Default());
  anim.AddCycle({.low = 32, .high = 55, .stepsPerSecond = 8});
  const Scaling order[] = {Scaling::Integer, Scaling::Aspect, Scaling::Stretch};
  int32_t chosen = 0;
  RunFrames([&](double now) {
    anim.Update(now);
    anim.PresentToScreen();
    while (KeyWaiting()) {
      const std::string key = ReadKey();
      if (key == "\x1b") return false;
      if (key == "s" || key == "S") SetScaling(order[chosen = (chosen + 1) % 3]);
    }
    return true;
  });
  CloseScreen();
  return 0;
}
