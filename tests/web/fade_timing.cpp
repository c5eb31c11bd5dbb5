// Fade lengths in a web page, on the page's clock: the demo's full-palette fade at speed
// 30 (as in its first test group) and at speed 2, the fastest the demo uses. Each run
// prints "fade <speed> <measured ms> <nominal ms>"; the browser test reports the medians.
#include <cstdio>

#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>

int main() {
  using namespace quorvel;
  if (!OpenScreen(18, 8, 1, 0)) {
    std::fprintf(stderr, "fade-timing: %s\n", ScreenError().c_str());
    return 1;
  }
  for (int32_t i = 0; i < 256; ++i) DrawLine(192 + i, 100, 192 + i, 380, i, 65535);
  struct Runs {
    int32_t speed, count;
  };
  for (const Runs& runs : {Runs{30, 3}, Runs{2, 9}}) {
    for (int32_t n = 0; n < runs.count; ++n) {
      int32_t speed = runs.speed;
      SleepMs(50);  // the page settles between runs, as between the demo's tests
      const double start = NowMs();
      FadeIn::DefaultPal(speed);
      std::printf("fade %d %.2f %d\n", runs.speed, NowMs() - start, 64 * runs.speed);
    }
  }
  std::printf("fades done\n");
  CloseScreen();
  return 0;
}
