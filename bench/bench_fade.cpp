// The work of a full-palette fade: 64 passes of 256 register writes and mixes on a
// headless screen, with its pauses on virtual time, so what is measured is the effect's
// own cost apart from its waiting. The file source adds one palette file read per call.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>

namespace {

constexpr int64_t kWritesPerFade = 64 * 256;

void OpenVirtualScreen() {
  quorvel::SetHeadless(true);
  quorvel::SetVirtualTime(true);
  quorvel::OpenScreen(18, 8, 2, 0);
}

void BM_FadeInDefaultPal(benchmark::State& state) {
  OpenVirtualScreen();
  const int32_t speed = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    quorvel::FadeIn::DefaultPal(speed);
    benchmark::DoNotOptimize(quorvel::GetPaletteEntry(255));
  }
  state.SetItemsProcessed(state.iterations() * kWritesPerFade);
  quorvel::CloseScreen();
}
BENCHMARK(BM_FadeInDefaultPal)->Arg(0)->Arg(2)->Unit(benchmark::kMicrosecond);

// A 768-byte file of r, g, b bytes holding the default palette, removed at the end.
class DefaultPaletteFile {
 public:
  DefaultPaletteFile()
      : path_((std::filesystem::temp_directory_path() /
               ("quorvel-bench-" + std::to_string(::getpid()) + ".pal"))
                  .string()) {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (!file) return;
    for (int32_t i = 0; i < 256; ++i) {
      const unsigned char rgb[3] = {static_cast<unsigned char>(quorvel::DefaultPalRed(i)),
                                    static_cast<unsigned char>(quorvel::DefaultPalGreen(i)),
                                    static_cast<unsigned char>(quorvel::DefaultPalBlue(i))};
      std::fwrite(rgb, 1, 3, file);
    }
    ok_ = std::fclose(file) == 0;
  }
  ~DefaultPaletteFile() { std::filesystem::remove(path_); }
  const std::string& path() const { return path_; }
  bool ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false;
};

void BM_FadeInFilePal(benchmark::State& state) {
  const DefaultPaletteFile file;
  if (!file.ok()) {
    state.SkipWithError("cannot write the palette file");
    return;
  }
  OpenVirtualScreen();
  const int32_t speed = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    quorvel::FadeIn::FilePal(file.path(), speed);
    benchmark::DoNotOptimize(quorvel::GetPaletteEntry(255));
  }
  state.SetItemsProcessed(state.iterations() * kWritesPerFade);
  quorvel::CloseScreen();
}
BENCHMARK(BM_FadeInFilePal)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
