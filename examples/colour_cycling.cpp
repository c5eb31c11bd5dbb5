// Colour cycling with the Animator: three bands of the same 32 colours. The top one
// cycles blended (colours glide from register to register), the middle one steps, the
// bottom one runs forward and back (ping-pong). Escape quits.
#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>

int main() {
  using namespace quorvel;
  if (!OpenScreen(18, 8, 1, 0)) return 1;
  const Palette hues = Palette::Default();  // 32..55: 24 hues round the colour wheel
  Palette p = hues;
  for (int32_t band = 0; band < 3; ++band) {
    for (int32_t k = 0; k < 32; ++k) {  // a rainbow over 32 registers, the same in each band
      p[32 + band * 32 + k] = hues[32 + k * 24 / 32];
      DrawBox(k * 20, 40 + band * 140, k * 20 + 19, 160 + band * 140, 32 + band * 32 + k, true);
    }
  }
  Animator anim(p);
  anim.AddCycle({.low = 32, .high = 63, .stepsPerSecond = 3});
  anim.AddCycle({.low = 64, .high = 95, .stepsPerSecond = 3, .blend = false});
  anim.AddCycle({.low = 96, .high = 127, .stepsPerSecond = 12, .mode = CycleMode::PingPong});

  RunFrames([&](double now) {
    anim.Update(now);
    anim.PresentToScreen();
    return !(KeyWaiting() && ReadKey() == "\x1b");
  });
  CloseScreen();
  return 0;
}
