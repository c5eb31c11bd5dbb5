// Palettes per line, for the browser tests: a 320x200 screen whose column x shows
// register x % 256, under a fixed list of line changes (a change above the top, a range,
// two changes of one register at one line, a later change of a register already changed,
// the last line, and one below the screen). In a page it shows them and prints
// "lines ready" once they have been presented; natively, with --print, it prints
// "x y rrggbb" for the tested columns of every line, from ShownColor, for the test to
// compare the canvas with.
#include <cstdio>
#include <cstring>

#include <quorvel/display.hpp>

namespace {

constexpr int32_t kColumns[] = {0, 1, 10, 11, 12, 13, 20, 39, 40, 41, 100, 249, 250, 255, 256, 300, 319};

quorvel::LinePalettes TheList() {
  quorvel::LinePalettes lines;
  const uint32_t top[] = {0x102030, 0x405060, 0x708090};
  lines.Add(-3, 10, top, 3);
  uint32_t ramp[30];
  for (uint32_t k = 0; k < 30; ++k) ramp[k] = (k * 8) << 16 | (255 - k * 8) << 8 | 0x40;
  lines.Add(40, 11, ramp, 30);
  lines.Add(40, 20, 0xabcdef);
  uint32_t high[6];
  for (uint32_t k = 0; k < 6; ++k) high[k] = 0xff0000 | (k * 50) << 8 | (250 - k * 40);
  lines.Add(100, 250, high, 6);
  lines.Add(150, 11, 0x010203);
  lines.Add(199, 0, 0xffffff);
  lines.Add(250, 1, 0x123456);
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorvel;
  const bool print = argc > 1 && std::strcmp(argv[1], "--print") == 0;
  if (print) {
    SetHeadless(true);
    SetVirtualTime(true);
  }
  if (!OpenScreenWith(ModeOptions(ScreenMode::Mode19))) {
    std::fprintf(stderr, "lines: %s\n", ScreenError().c_str());
    return 1;
  }
  for (int32_t i = 0; i < 256; ++i) SetPaletteEntryRgb(i, uint8_t(i), uint8_t(255 - i), uint8_t(i * 7));
  for (int32_t x = 0; x < ScreenWidth(); ++x) DrawLine(x, 0, x, ScreenHeight() - 1, x % 256, 65535);
  std::string error;
  if (!SetLinePalettes(TheList(), &error)) {
    std::fprintf(stderr, "lines: %s\n", error.c_str());
    return 1;
  }
  if (print) {
    for (int32_t y = 0; y < ScreenHeight(); ++y) {
      for (const int32_t x : kColumns) std::printf("%d %d %06x\n", x, y, unsigned(ShownColor(x, y)));
    }
    CloseScreen();
    return 0;
  }
  SleepMs(100);  // a few animation frames: the page has presented the list
  std::printf("lines ready\n");
  RunFrames([](double) { return !(KeyWaiting() && ReadKey() == "\x1b"); });
  CloseScreen();
  return 0;
}
