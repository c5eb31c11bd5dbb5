// Filters with the Animator: the colour bars turn to greys, then to their negative, and
// back, each change a smooth tween from wherever the last one stood. Escape quits.
#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>

int main() {
  using namespace quorvel;
  if (!OpenScreen(18, 8, 1, 0)) return 1;
  for (int32_t i = 32; i < 248; ++i) DrawBox(i * 3 - 84, 60, i * 3 - 82, 420, i, true);

  Animator anim(Palette::Default());
  const EffectHandle grey = anim.AddFilter({.kind = FilterKind::Greyscale, .amount = 0});
  const EffectHandle negative = anim.AddFilter({.kind = FilterKind::Negative, .amount = 0});
  const Tween change{.durationMs = 1000, .delayMs = 500, .easing = Easing::Smoothstep};
  // Greys, then the negative of the greys, then colours again: a chain of tweens.
  Tween toGrey = change, toNegative = change, back = change;
  back.onComplete = [&] { anim.TweenFilter(grey, 0, change); };
  toNegative.onComplete = [&] { anim.TweenFilter(negative, 0, back); };
  toGrey.onComplete = [&] { anim.TweenFilter(negative, 1, toNegative); };
  anim.TweenFilter(grey, 1, toGrey);

  RunFrames([&](double now) {
    anim.Update(now);
    anim.PresentToScreen();
    return !(KeyWaiting() && ReadKey() == "\x1b");
  });
  CloseScreen();
  return 0;
}
