// Fades with the blocking routines: the default palette's colour bars fade in from black,
// out to a warm orange and back, then out to black. Each call returns when its fade ends.
#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>

int main() {
  using namespace quorvel;
  if (!OpenScreen(18, 8, 1, 0)) return 1;
  PalBlackout();  // draw in the dark, then fade in
  for (int32_t i = 0; i < 256; ++i) DrawBox(64 + (i % 32) * 16, 112 + (i / 32) * 32,
                                            77 + (i % 32) * 16, 140 + (i / 32) * 32, i, true);
  int32_t speed = 15;  // ms per step: 64 steps, about a second
  FadeIn::DefaultPal(speed);
  SleepMs(500);
  int32_t r = 63, g = 32, b = 8;
  FadeOutX::DefaultPal(r, g, b, speed);  // to orange
  FadeInX::DefaultPal(r, g, b, speed);   // and back
  SleepMs(500);
  FadeOut::DefaultPal(speed);
  CloseScreen();
  return 0;
}
