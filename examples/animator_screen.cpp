// The Animator with Quorvel's screen: draw once, then let the palette do the work. A
// cycle runs under a fade-in; any key starts a cross-fade into the negative, Escape quits.
#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>

int main() {
  using namespace quorvel;
  if (!OpenScreen(18, 8, 1, 0)) return 1;  // 640x480, 256 colours, one page, a window
  for (int32_t i = 32; i < 248; ++i) DrawBox(i * 3 - 96, 40, i * 3 - 94, 440, i, true);

  Animator anim(Palette::Default());
  anim.AddCycle({.low = 32, .high = 247, .stepsPerSecond = 20, .mode = CycleMode::PingPong});
  anim.FadeFrom({0, 0, 0}, {.durationMs = 1500, .easing = Easing::QuadOut});
  EffectHandle negative = anim.AddFilter({.kind = FilterKind::Negative, .amount = 0});
  double target = 0;

  RunFrames([&](double now) {
    while (KeyWaiting()) {
      if (ReadKey() == "\x1b") return false;
      target = 1 - target;  // towards the negative and back, from wherever it is
      anim.TweenFilter(negative, target, {.durationMs = 800, .easing = Easing::Smoothstep});
    }
    anim.Update(now);
    anim.PresentToScreen();
    return true;
  });
  CloseScreen();
  return 0;
}
