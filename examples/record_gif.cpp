// Rendering an effect to an animated GIF without a window: headless, on virtual time, so
// the four seconds of fades below are written in a fraction of a second. The GIF is
// exact: every frame carries the registers as its own colour table.
#include <cstdio>

#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>
#include <quorvel/recorder.hpp>

int main(int argc, char** argv) {
  using namespace quorvel;
  const char* path = argc > 1 ? argv[1] : "fade.gif";
  SetHeadless(true);     // no window
  SetVirtualTime(true);  // SleepMs advances a clock instead of waiting
  if (!OpenScreen(18, 8, 1, 0)) return 1;
  for (int32_t i = 0; i < 256; ++i) DrawBox((i % 16) * 40, (i / 16) * 30, (i % 16) * 40 + 39,
                                            (i / 16) * 30 + 29, i, true);
  Recorder recorder;
  if (!recorder.Start(path, {.halfScale = true, .minFrameMs = 80})) {
    std::fprintf(stderr, "%s\n", recorder.Error().c_str());
    return 1;
  }
  int32_t speed = 16;
  FadeOut::DefaultPal(speed);
  FadeIn::DefaultPal(speed);
  int32_t r = 0, g = 40, b = 63;
  FadeOutX::DefaultPal(r, g, b, speed);
  FadeInX::DefaultPal(r, g, b, speed);
  const bool ok = recorder.Stop();
  std::printf("%s: %d frames, %.2f s\n", path, recorder.FrameCount(), recorder.LengthMs() / 1000.0);
  CloseScreen();
  return ok ? 0 : 1;
}
