// The two costs a palette effect pays per step, each beside SDL's own way of doing it:
// changing one register, and turning the indexed page into the 32-bit picture after a
// palette change. A plain copy of the picture is the floor no conversion can beat.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include <quorvel/display.hpp>
#include "display/convert.hpp"
#include "display/screen.hpp"

namespace {

constexpr size_t kPixels = quorvel::detail::kPagePixels;

// A page whose rows use every index, like the colour bars and text of a real screen.
std::vector<uint8_t> PatternedPage() {
  std::vector<uint8_t> page(kPixels);
  for (size_t i = 0; i < kPixels; ++i) page[i] = static_cast<uint8_t>(i * 7 + i / 640);
  return page;
}

// Two colours taken in turn, so the register really changes on every write.
constexpr int32_t kColourA = 63 + 20 * 256 + 5 * 65536;
constexpr int32_t kColourB = 10 + 40 * 256 + 63 * 65536;

void BM_SetEntryOurs(benchmark::State& state) {
  quorvel::SetHeadless(true);
  quorvel::OpenScreen(18, 8, 1, 0);
  bool flip = false;
  for (auto _ : state) {
    quorvel::SetPaletteEntry(37, flip ? kColourA : kColourB);
    flip = !flip;
  }
  benchmark::DoNotOptimize(quorvel::GetPaletteEntry(37));
  quorvel::CloseScreen();
}
BENCHMARK(BM_SetEntryOurs);

void BM_SetEntrySdl(benchmark::State& state) {
  SDL_Palette* palette = SDL_AllocPalette(256);
  const SDL_Color colours[2] = {{252, 80, 20, 255}, {40, 160, 252, 255}};
  bool flip = false;
  for (auto _ : state) {
    SDL_SetPaletteColors(palette, &colours[flip], 37, 1);
    flip = !flip;
  }
  benchmark::DoNotOptimize(palette->colors[37]);
  SDL_FreePalette(palette);
}
BENCHMARK(BM_SetEntrySdl);

// A palette change followed by the conversion the presenter does: all 256 registers
// rewritten, then the visible page rendered through them.
void BM_PresentOurs(benchmark::State& state) {
  quorvel::SetHeadless(true);
  quorvel::OpenScreen(18, 8, 1, 0);
  const std::vector<uint8_t> pattern = PatternedPage();
  std::memcpy(quorvel::detail::TheScreen().pages[0].data(), pattern.data(), kPixels);
  std::vector<uint32_t> frame(kPixels);
  int32_t level = 0;
  for (auto _ : state) {
    level = (level + 1) & 63;
    for (int32_t i = 0; i < 256; ++i) quorvel::SetPaletteEntry(i, level + (i & 63) * 256);
    quorvel::detail::RenderVisible(frame.data());
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
  state.SetLabel(quorvel::ConversionKernel());
  quorvel::CloseScreen();
}
BENCHMARK(BM_PresentOurs)->Unit(benchmark::kMicrosecond);

// SDL's path: new colours on the palette of an 8-bit surface, then a blit onto a 32-bit
// one, which rebuilds SDL's colour map and converts every pixel.
void BM_PresentSdl(benchmark::State& state) {
  SDL_Surface* indexed = SDL_CreateRGBSurfaceWithFormat(0, quorvel::kScreenWidth,
                                                        quorvel::kScreenHeight, 8,
                                                        SDL_PIXELFORMAT_INDEX8);
  SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, quorvel::kScreenWidth,
                                                        quorvel::kScreenHeight, 32,
                                                        SDL_PIXELFORMAT_ARGB8888);
  if (!indexed || !picture) {
    state.SkipWithError(SDL_GetError());
    return;
  }
  const std::vector<uint8_t> pattern = PatternedPage();
  for (int y = 0; y < quorvel::kScreenHeight; ++y) {
    std::memcpy(static_cast<uint8_t*>(indexed->pixels) + y * indexed->pitch,
                pattern.data() + y * quorvel::kScreenWidth, quorvel::kScreenWidth);
  }
  SDL_Color colours[256];
  uint8_t level = 0;
  for (auto _ : state) {
    level = (level + 1) & 63;
    for (int i = 0; i < 256; ++i) {
      colours[i] = {static_cast<uint8_t>(level * 4), static_cast<uint8_t>((i & 63) * 4), 0, 255};
    }
    SDL_SetPaletteColors(indexed->format->palette, colours, 0, 256);
    SDL_BlitSurface(indexed, nullptr, picture, nullptr);
    benchmark::DoNotOptimize(picture->pixels);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
  SDL_FreeSurface(picture);
  SDL_FreeSurface(indexed);
}
BENCHMARK(BM_PresentSdl)->Unit(benchmark::kMicrosecond);

// The same two paths at 1920x1080: a screen of a display's own size.
constexpr int32_t kWide = 1920, kTall = 1080;

std::vector<uint8_t> PatternedPage1080p() {
  std::vector<uint8_t> page(size_t(kWide) * kTall);
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * 7 + i / kWide);
  return page;
}

void BM_Present1080pOurs(benchmark::State& state) {
  quorvel::SetHeadless(true);
  quorvel::ScreenOptions options;
  options.width = kWide;
  options.height = kTall;
  options.pages = 1;
  if (!quorvel::OpenScreenWith(options)) {
    state.SkipWithError(quorvel::ScreenError().c_str());
    return;
  }
  const std::vector<uint8_t> pattern = PatternedPage1080p();
  std::memcpy(quorvel::detail::TheScreen().pages[0].data(), pattern.data(), pattern.size());
  std::vector<uint32_t> frame(pattern.size());
  int32_t level = 0;
  for (auto _ : state) {
    level = (level + 1) & 63;
    for (int32_t i = 0; i < 256; ++i) quorvel::SetPaletteEntry(i, level + (i & 63) * 256);
    quorvel::detail::RenderVisible(frame.data());
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(frame.size()) * 4);
  state.SetLabel(quorvel::ConversionKernel());
  quorvel::CloseScreen();
}
BENCHMARK(BM_Present1080pOurs)->Unit(benchmark::kMicrosecond);

void BM_Present1080pSdl(benchmark::State& state) {
  SDL_Surface* indexed = SDL_CreateRGBSurfaceWithFormat(0, kWide, kTall, 8, SDL_PIXELFORMAT_INDEX8);
  SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, kWide, kTall, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!indexed || !picture) {
    state.SkipWithError(SDL_GetError());
    return;
  }
  const std::vector<uint8_t> pattern = PatternedPage1080p();
  for (int y = 0; y < kTall; ++y) {
    std::memcpy(static_cast<uint8_t*>(indexed->pixels) + y * indexed->pitch,
                pattern.data() + size_t(y) * kWide, kWide);
  }
  SDL_Color colours[256];
  uint8_t level = 0;
  for (auto _ : state) {
    level = (level + 1) & 63;
    for (int i = 0; i < 256; ++i) {
      colours[i] = {static_cast<uint8_t>(level * 4), static_cast<uint8_t>((i & 63) * 4), 0, 255};
    }
    SDL_SetPaletteColors(indexed->format->palette, colours, 0, 256);
    SDL_BlitSurface(indexed, nullptr, picture, nullptr);
    benchmark::DoNotOptimize(picture->pixels);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(pattern.size()) * 4);
  SDL_FreeSurface(picture);
  SDL_FreeSurface(indexed);
}
BENCHMARK(BM_Present1080pSdl)->Unit(benchmark::kMicrosecond);
// The visible page rendered through one palette, against the same page with a palette of
// its own on each of the 480 lines: every line changes `state.range(0)` registers (all
// 256: a whole new palette per line).
void BM_LinesFrame(benchmark::State& state) {
  quorvel::SetHeadless(true);
  quorvel::OpenScreen(18, 8, 1, 0);
  const std::vector<uint8_t> pattern = PatternedPage();
  std::memcpy(quorvel::detail::TheScreen().pages[0].data(), pattern.data(), kPixels);
  const int32_t registers = int32_t(state.range(0));
  quorvel::LinePalettes lines;
  std::vector<uint32_t> colours(static_cast<size_t>(registers));
  for (int32_t y = 0; registers > 0 && y < quorvel::kScreenHeight; ++y) {
    for (int32_t i = 0; i < registers; ++i) colours[size_t(i)] = uint32_t(y * 0x010305 + i * 0x020100);
    lines.Add(y, 0, colours.data(), registers);
  }
  quorvel::SetLinePalettes(lines);
  std::vector<uint32_t> storage(kPixels + 16);
  uint32_t* frame = storage.data() + ((64 - reinterpret_cast<uintptr_t>(storage.data()) % 64) % 64) / 4;
  for (auto _ : state) {
    quorvel::detail::RenderVisible(frame);
    benchmark::DoNotOptimize(frame);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
  state.SetLabel(quorvel::ConversionKernel());
  quorvel::CloseScreen();
}
BENCHMARK(BM_LinesFrame)->Arg(0)->Arg(16)->Arg(256)->Unit(benchmark::kMicrosecond);

// A program that sets a new list before every frame (two lists of 256 registers per line
// taken in turn): taking the list, with all it prepares for the kernel, plus the frame.
void BM_LinesNewListFrame(benchmark::State& state) {
  quorvel::SetHeadless(true);
  quorvel::OpenScreen(18, 8, 1, 0);
  const std::vector<uint8_t> pattern = PatternedPage();
  std::memcpy(quorvel::detail::TheScreen().pages[0].data(), pattern.data(), kPixels);
  quorvel::LinePalettes lists[2];
  std::vector<uint32_t> colours(256);
  for (int k = 0; k < 2; ++k) {
    for (int32_t y = 0; y < quorvel::kScreenHeight; ++y) {
      for (int32_t i = 0; i < 256; ++i) colours[size_t(i)] = uint32_t((y + k) * 0x010305 + i * 0x020100);
      lists[k].Add(y, 0, colours.data(), 256);
    }
  }
  std::vector<uint32_t> storage(kPixels + 16);
  uint32_t* frame = storage.data() + ((64 - reinterpret_cast<uintptr_t>(storage.data()) % 64) % 64) / 4;
  int k = 0;
  for (auto _ : state) {
    quorvel::SetLinePalettes(lists[k]);
    k ^= 1;
    quorvel::detail::RenderVisible(frame);
    benchmark::DoNotOptimize(frame);
    benchmark::ClobberMemory();
  }
  state.SetLabel(quorvel::ConversionKernel());
  quorvel::CloseScreen();
}
BENCHMARK(BM_LinesNewListFrame)->Unit(benchmark::kMicrosecond);

// Each conversion kernel alone, turning the page into the picture.
void BM_Convert(benchmark::State& state, quorvel::detail::Kernel kernel) {
  if (!quorvel::detail::KernelRuns(kernel)) {
    state.SkipWithError("this processor cannot run the kernel");
    return;
  }
  const std::vector<uint8_t> page = PatternedPage();
  std::vector<uint32_t> registers(256), frame(kPixels);
  for (uint32_t i = 0; i < 256; ++i) registers[i] = i * 0x010203u;
  for (auto _ : state) {
    quorvel::detail::ConvertPixelsWith(kernel, page.data(), registers.data(), frame.data(),
                                       kPixels);
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
  state.SetLabel(quorvel::detail::KernelName(kernel));
}
BENCHMARK_CAPTURE(BM_Convert, portable, quorvel::detail::Kernel::Portable)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Convert, avx2, quorvel::detail::Kernel::Avx2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Convert, avx512, quorvel::detail::Kernel::Avx512)
    ->Unit(benchmark::kMicrosecond);
// The kernel a processor without AVX-512 VBMI would choose, measured as it would measure,
// once: the capture is evaluated again for every repetition, and where two kernels are
// close the choice would differ between them and mix their times.
quorvel::detail::Kernel NoVbmiChoice() {
  static const quorvel::detail::Kernel kernel = quorvel::detail::MeasuredFastest(false);
  return kernel;
}
BENCHMARK_CAPTURE(BM_Convert, no_vbmi_choice, NoVbmiChoice())->Unit(benchmark::kMicrosecond);

// That choice against the portable kernel, the two taking turns on the same page and the
// same output: measured apart, where each run gets memory of its own, the same code
// varies by several per cent from run to run, more than the two kernels differ at this
// size.
void BM_NoVbmiVsPortable(benchmark::State& state) {
  using quorvel::detail::Kernel;
  const Kernel choice = NoVbmiChoice();
  const std::vector<uint8_t> page = PatternedPage();
  std::vector<uint32_t> registers(256), frame(kPixels);
  for (uint32_t i = 0; i < 256; ++i) registers[i] = i * 0x010203u;
  std::vector<double> ratios;
  for (auto _ : state) {
    double seconds[2] = {0, 0};
    for (int turn = 0; turn < 8; ++turn) {
      for (int k = 0; k < 2; ++k) {
        const auto start = std::chrono::steady_clock::now();
        quorvel::detail::ConvertPixelsWith(k == 0 ? choice : Kernel::Portable, page.data(),
                                           registers.data(), frame.data(), kPixels);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
        seconds[k] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      }
    }
    ratios.push_back(seconds[0] / seconds[1]);
  }
  std::sort(ratios.begin(), ratios.end());
  state.counters["ratio"] = ratios[ratios.size() / 2];
  state.SetLabel(quorvel::detail::KernelName(choice));
}
BENCHMARK(BM_NoVbmiVsPortable)->Iterations(200)->Unit(benchmark::kMicrosecond);

// The floor: copying the finished picture once.
void BM_PresentFloorMemcpy(benchmark::State& state) {
  std::vector<uint32_t> source(kPixels, 0xFF102030u);
  std::vector<uint32_t> frame(kPixels);
  for (auto _ : state) {
    std::memcpy(frame.data(), source.data(), kPixels * 4);
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
}
BENCHMARK(BM_PresentFloorMemcpy)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
