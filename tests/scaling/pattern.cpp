// A 320x200 screen at 4:3 whose every pixel differs from its four neighbours, for the
// check that full-screen scaling under Xvfb gives each pixel a block of one size
// (scripts/xvfb_scaling.sh). Index (x * 7 + y * 13) % 254 + 1, register i holding
// (i, 255 - i, i * 37 % 256): never black, so the border (black) is told apart.
// Arguments: integer | aspect | stretch, and optionally "window". Runs until killed or a
// key is pressed.
#include <cstdio>
#include <cstring>

#include <quorvel/display.hpp>

int main(int argc, char** argv) {
  using namespace quorvel;
  ScreenOptions options = ModeOptions(ScreenMode::Mode19);
  options.fullScreen = !(argc > 2 && std::strcmp(argv[2], "window") == 0);
  const char* scaling = argc > 1 ? argv[1] : "integer";
  options.scaling = std::strcmp(scaling, "aspect") == 0    ? Scaling::Aspect
                    : std::strcmp(scaling, "stretch") == 0 ? Scaling::Stretch
                                                           : Scaling::Integer;
  options.title = "scaling pattern";
  if (!OpenScreenWith(options)) {
    std::fprintf(stderr, "%s\n", ScreenError().c_str());
    return 1;
  }
  for (int32_t i = 0; i < 256; ++i) {
    SetPaletteEntryRgb(i, uint8_t(i), uint8_t(255 - i), uint8_t(i * 37 % 256));
  }
  ImageBuffer image = MakeImage(ScreenWidth(), ScreenHeight());
  for (int32_t y = 0; y < ScreenHeight(); ++y) {
    for (int32_t x = 0; x < ScreenWidth(); ++x) {
      ImagePixels(image)[y * ScreenWidth() + x] = uint8_t((x * 7 + y * 13) % 254 + 1);
    }
  }
  PutImage(0, 0, image, kPutCopy);
  std::puts("drawn");
  std::fflush(stdout);
  SleepMs(-1);
  CloseScreen();
  return 0;
}
