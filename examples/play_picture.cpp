// An indexed picture played: its palette, and its colour cycles when it has them (IFF
// ILBM and PBM pictures keep them in CRNG, CCRT and DRNG chunks), run by the Animator.
// A picture without cycles gets one over registers 32..127. Usage: example_play_picture FILE
#include <algorithm>
#include <cstdio>
#include <vector>

#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>
#include <quorvel/formats.hpp>

int main(int argc, char** argv) {
  using namespace quorvel;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PICTURE\n", argv[0]);
    return 1;
  }
  const PictureReadResult read = LoadIndexedPicture(argv[1]);
  if (!read.ok()) {
    std::fprintf(stderr, "%s\n", read.error.c_str());
    return 1;
  }
  const IndexedPicture& picture = read.picture;
  if (!OpenScreen(18, 8, 1, 0)) return 1;
  // Centred, cropped to the screen; one PutImage of the rows.
  const int32_t w = std::min(picture.width, kScreenWidth), h = std::min(picture.height, kScreenHeight);
  ImageBuffer image = MakeImage(w, h);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = picture.pixels.data() + size_t(y + (picture.height - h) / 2) * picture.width;
    std::copy(row + (picture.width - w) / 2, row + (picture.width - w) / 2 + w, ImagePixels(image) + size_t(y) * w);
  }
  PutImage((kScreenWidth - w) / 2, (kScreenHeight - h) / 2, image, kPutCopy);

  Animator anim(picture.palette);
  std::vector<Cycle> cycles = RunningCycles(picture.cycles);
  if (cycles.empty()) cycles.push_back({.low = 32, .high = 127, .stepsPerSecond = 12});
  for (Cycle cycle : cycles) {
    cycle.blend = true;  // painted cycles step; blended they glide
    anim.AddCycle(cycle);
  }
  RunFrames([&](double now) {
    anim.Update(now);
    anim.PresentToScreen();
    return !(KeyWaiting() && ReadKey() == "\x1b");
  });
  CloseScreen();
  return 0;
}
