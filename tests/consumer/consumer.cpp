// Uses an installed Quorvel: fades a headless screen out on virtual time while recording
// it to a GIF, then checks a register and the recording, reads the recording back as a
// picture and writes a swatch PNG (so that giflib and libpng are linked as the installed
// library needs them); and runs the Animator and reads a palette, so that every public
// header is compiled. Exits 0 when all is as expected.
// Usage: consumer OUT.gif
#include <cstdio>
#include <string_view>

#include <string>

#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>
#include <quorvel/formats.hpp>
#include <quorvel/palette.hpp>
#include <quorvel/recorder.hpp>
#include <quorvel/version.hpp>

int main(int argc, char** argv) {
  using namespace quorvel;
  if (argc != 2) {
    std::fprintf(stderr, "usage: consumer OUT.gif\n");
    return 2;
  }
  SetHeadless(true);
  SetVirtualTime(true);
  if (!OpenScreen(18, 8, 1, 0)) {
    std::fprintf(stderr, "consumer: %s\n", ScreenError().c_str());
    return 1;
  }
  DrawBox(100, 100, 539, 379, 15, true);
  Recorder recorder;
  if (!recorder.Start(argv[1])) {
    std::fprintf(stderr, "consumer: %s\n", recorder.Error().c_str());
    return 1;
  }
  int32_t speed = 10;
  FadeOut::DefaultPal(speed);
  const bool recorded = recorder.Stop();
  const uint32_t white = GetPaletteEntry(15);
  CloseScreen();
  if (!recorded || white != 0 || recorder.LengthMs() != 640) {
    std::fprintf(stderr, "consumer: register 15 is %06X after the fade, recording %s, %lld ms\n",
                 white, recorded ? "written" : recorder.Error().c_str(),
                 static_cast<long long>(recorder.LengthMs()));
    return 1;
  }
  Animator anim(Palette::Default());
  anim.FadeTo({0, 0, 0}, {.durationMs = 100});
  anim.Update(0);
  anim.Update(100);
  constexpr std::string_view gpl = "GIMP Palette\n255 0 0\n";
  const PaletteReadResult red = ParsePalette({gpl.begin(), gpl.end()}, "red.gpl");
  if (anim.Output()[15] != Rgb8{0, 0, 0} || !red.ok() || red.file.colours[0] != Rgb8{255, 0, 0}) {
    std::fprintf(stderr, "consumer: the Animator's fade or the palette reader went wrong: %s\n",
                 red.error.c_str());
    return 1;
  }
  const PictureReadResult first = LoadIndexedPicture(argv[1]);
  const size_t inTheBox = 200 * 640 + 200;
  if (!first.ok() || first.picture.width != 640 || first.picture.pixels[inTheBox] != 15) {
    std::fprintf(stderr, "consumer: the recording's first frame reads as %s\n",
                 first.ok() ? "another picture" : first.error.c_str());
    return 1;
  }
  PaletteFile palette;
  palette.colours = first.picture.palette;
  const std::string swatch = std::string(argv[1]) + ".png";
  if (const std::string error = WriteSwatchPng(swatch, palette); !error.empty()) {
    std::fprintf(stderr, "consumer: %s\n", error.c_str());
    return 1;
  }
  std::printf("consumer: Quorvel %s, a fade of %d frames recorded\n", kVersion,
              recorder.FrameCount());
  return 0;
}
