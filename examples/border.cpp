// The border register: the border around the picture shows a palette register of the
// program's choice, as the C64, the Amiga and VGA's overscan register did, so that
// fades and cycles reach it. Here register 64 starts a cycle of eight colours: the border
// cycles with the stripes, and the opening fade brings both in from black. In a window
// the border is 16 screen pixels wide; full screen it also fills the letterbox.
// Escape quits.
#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>

int main() {
  using namespace quorvel;
  ScreenOptions options = ModeOptions(ScreenMode::Mode19);
  options.title = "The border";
  options.borderRegister = 64;
  options.borderWidth = 16;
  if (!OpenScreenWith(options)) return 1;

  Palette p = Palette::Default();
  for (int32_t k = 0; k < 8; ++k) p[64 + k] = p[32 + k * 3];  // eight hues, 64..71
  for (int32_t x = 0; x < ScreenWidth(); x += 8) {
    DrawBox(x, 40, x + 7, 159, 64 + (x / 8) % 8, true);
  }
  SetTextColor(15, 0);
  LocateText(11, 9);
  PrintText("The border is register 64", false);

  Animator anim(p);
  anim.AddCycle({.low = 64, .high = 71, .stepsPerSecond = 4, .blend = false});
  anim.FadeFrom({0, 0, 0}, {.durationMs = 1500});
  RunFrames([&](double now) {
    anim.Update(now);
    anim.PresentToScreen();
    return !(KeyWaiting() && ReadKey() == "\x1b");
  });
  CloseScreen();
  return 0;
}
