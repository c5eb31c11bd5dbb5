// A cross-fade between two palette files, in OKLab: any format Quorvel reads (GIMP,
// JASC, RIFF, Adobe, Lospec, ...), shown as a 16 x 16 grid of registers that turns from
// one palette into the other and back. Usage: example_cross_fade_files [A B]
#include <cstdio>
#include <string>

#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>
#include <quorvel/formats.hpp>

int main(int argc, char** argv) {
  using namespace quorvel;
  const std::string data = QUORVEL_EXAMPLE_DATA;
  const std::string a = argc > 2 ? argv[1] : data + "/MyPaint_Default.gpl";
  const std::string b = argc > 2 ? argv[2] : data + "/All_color_choice.gpl";
  const PaletteReadResult from = ReadPaletteFile(a), to = ReadPaletteFile(b);
  for (const PaletteReadResult* read : {&from, &to}) {
    if (!read->ok()) {
      std::fprintf(stderr, "%s\n", read->error.c_str());
      return 1;
    }
  }
  if (!OpenScreen(18, 8, 1, 0)) return 1;
  for (int32_t i = 0; i < 256; ++i) DrawBox((i % 16) * 40, (i / 16) * 30, (i % 16) * 40 + 39,
                                            (i / 16) * 30 + 29, i, true);
  Animator anim(from.file.colours);
  anim.MorphBase(to.file.colours, {.durationMs = 1500, .delayMs = 500, .easing = Easing::Smoothstep,
                                   .repeat = kRepeatForever, .yoyo = true,
                                   .space = ColorSpace::OkLab});
  RunFrames([&](double now) {
    anim.Update(now);
    anim.PresentToScreen();
    return !(KeyWaiting() && ReadKey() == "\x1b");
  });
  CloseScreen();
  return 0;
}
