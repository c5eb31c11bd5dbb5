// A full-palette fade at speed 0: 64 passes of 256 register writes on a headless screen,
// which is the whole cost of an animated routine apart from its pauses.
#include <benchmark/benchmark.h>

#include "display/display.hpp"
#include "palette/palette.hpp"

namespace {

void BM_FadeInDefaultPal(benchmark::State& state) {
  quorvel::SetHeadless(true);
  quorvel::SetVirtualTime(true);
  quorvel::OpenScreen(18, 8, 2, 0);
  const int32_t speed = 0;
  for (auto _ : state) {
    quorvel::FadeIn::DefaultPal(speed);
    benchmark::DoNotOptimize(quorvel::GetPaletteEntry(255));
  }
  state.SetItemsProcessed(state.iterations() * 64 * 256);  // register writes
  quorvel::CloseScreen();
}
BENCHMARK(BM_FadeInDefaultPal)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
