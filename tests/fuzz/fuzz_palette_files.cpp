// Feeds arbitrary bytes to the palette file readers as both formats, through the loaders
// and a cross-fade mix whose level comes from the input too.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>

namespace {

const std::string& PalettePath() {
  static const std::string path = [] {
    quorvel::SetHeadless(true);
    quorvel::SetVirtualTime(true);
    quorvel::OpenScreen(18, 8, 2, 0);
    return "/tmp/quorvel-fuzz-" + std::to_string(::getpid()) + ".pal";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = PalettePath();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);

  quorvel::PalLoad::FilePal(path);
  quorvel::PalLoad::PP256Pal(path);
  int32_t level = size ? static_cast<int8_t>(data[0]) : 0;
  quorvel::PalPP256FadeCtrl::FilePal(level, path, path);
  if (level < 0 || level > 63 || quorvel::FreeFileNumber() != 1) __builtin_trap();
  std::remove(path.c_str());
  return 0;
}
