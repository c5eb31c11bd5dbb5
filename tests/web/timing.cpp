// Timing in a web page, on the page's clock, for the browser tests:
// - the demo's full-palette fade at speed 30 (as in its first test group) and at speed 2;
//   each run prints "fade <speed> <measured ms> <nominal ms>";
// - two seconds of RunFrames recolouring the screen every frame; prints
//   "frames <count> <ms>" once RunFrames has returned, from the state the frame function
//   captured by reference, which must have lived through the loop.
#include <cstdio>

#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>

int main() {
  using namespace quorvel;
  if (!OpenScreen(18, 8, 1, 0)) {
    std::fprintf(stderr, "timing: %s\n", ScreenError().c_str());
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

  int32_t frames = 0;
  double first = -1, last = 0;
  RunFrames([&](double now) {
    if (first < 0) first = now;
    last = now;
    ++frames;
    int32_t index = 15, colour = (frames % 64) * 0x010101;
    SetPaletteEntry(index, colour);
    return now - first < 2000;
  });
  std::printf("frames %d %.2f\n", frames, last - first);
  CloseScreen();
  std::printf("timing done\n");
  return 0;
}
