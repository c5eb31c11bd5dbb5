// Recording a full-palette fade of the whole 640x480 screen on virtual time, against
// giflib alone encoding the same frames (the same page, the same colour tables, the same
// calls) on the program's thread. What the recorder adds is capturing and comparing
// pictures at every pause; it encodes on a thread of its own. Both write the same file in
// memory (/dev/shm where there is one: the recorder refuses devices such as /dev/null),
// so the disk is not measured. Times are wall-clock (frames of output a second) and the
// CPU time of the whole process.
#include <benchmark/benchmark.h>

#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>
#include <quorvel/recorder.hpp>

namespace {

constexpr int32_t kFadeSpeed = 20;  // ms per step: every one of the 64 steps is a frame

// The file both write, named after the process so that two runs never share it.
const std::string& Output() {
  static const std::string path = [] {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm", ec)
                                             ? std::filesystem::path("/dev/shm")
                                             : std::filesystem::temp_directory_path();
    return (folder / ("quorvel-bench-" + std::to_string(::getpid()) + ".gif")).string();
  }();
  return path;
}

// A picture with some structure and some noise, so LZW has real work.
void DrawPicture() {
  for (int32_t y = 0; y < quorvel::kScreenHeight; ++y) {
    for (int32_t x = 0; x < quorvel::kScreenWidth; x += 4) {
      const int32_t colour = (x / 4 + (y * y) / 64 + ((x * y) >> 9)) & 255;
      quorvel::DrawLine(x, y, x + 3, y, colour, 65535);
    }
  }
}

void OpenVirtualScreen() {
  quorvel::SetHeadless(true);
  quorvel::SetVirtualTime(true);
  quorvel::OpenScreen(18, 8, 2, 0);
  DrawPicture();
}

void BM_RecordFade(benchmark::State& state) {
  OpenVirtualScreen();
  int64_t frames = 0;
  for (auto _ : state) {
    quorvel::RestoreDefaultPalette();
    quorvel::Recorder recorder;
    if (!recorder.Start(Output())) state.SkipWithError(recorder.Error().c_str());
    quorvel::FadeOut::DefaultPal(kFadeSpeed);
    if (!recorder.Stop()) state.SkipWithError(recorder.Error().c_str());
    frames += recorder.FrameCount();
  }
  state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
  quorvel::CloseScreen();
  std::filesystem::remove(Output());
}
BENCHMARK(BM_RecordFade)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The colour tables the fade shows, one per frame, in giflib's form.
std::vector<std::array<GifColorType, 256>> FadeColourTables() {
  struct Tables : quorvel::DisplayObserver {
    void OnSleep(int32_t) override {
      std::array<GifColorType, 256> table{};
      for (int i = 0; i < 256; ++i) {
        const uint32_t rgb = quorvel::GetPaletteEntry(i);  // red in the low byte
        table[i] = {GifByteType(rgb), GifByteType(rgb >> 8), GifByteType(rgb >> 16)};
      }
      if (tables.empty() || std::memcmp(&tables.back(), &table, sizeof table) != 0) {
        tables.push_back(table);
      }
    }
    std::vector<std::array<GifColorType, 256>> tables;
  } observer;
  quorvel::RestoreDefaultPalette();
  observer.OnSleep(0);  // the picture at the start
  quorvel::SetDisplayObserver(&observer);
  quorvel::FadeOut::DefaultPal(kFadeSpeed);
  quorvel::SetDisplayObserver(nullptr);
  return observer.tables;
}

void BM_GifOnlyFade(benchmark::State& state) {
  OpenVirtualScreen();
  const auto tables = FadeColourTables();
  std::vector<GifPixelType> page(size_t(quorvel::kScreenWidth) * quorvel::kScreenHeight);
  for (int32_t y = 0; y < quorvel::kScreenHeight; ++y) {
    for (int32_t x = 0; x < quorvel::kScreenWidth; ++x) {
      page[size_t(y) * quorvel::kScreenWidth + x] = GifPixelType(quorvel::GetPixel(0, x, y));
    }
  }
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  int64_t frames = 0;
  for (auto _ : state) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(Output().c_str(), false, &error);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, quorvel::kScreenWidth, quorvel::kScreenHeight, 8, 0, nullptr);
    for (const auto& table : tables) {
      GraphicsControlBlock control{DISPOSE_DO_NOT, false, kFadeSpeed / 10, NO_TRANSPARENT_COLOR};
      GifByteType extension[4];
      EGifGCBToExtension(&control, extension);
      std::copy(table.begin(), table.end(), map->Colors);
      EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension);
      EGifPutImageDesc(gif, 0, 0, quorvel::kScreenWidth, quorvel::kScreenHeight, false, map);
      EGifPutLine(gif, page.data(), int(page.size()));
      ++frames;
    }
    if (EGifCloseFile(gif, &error) != GIF_OK) state.SkipWithError(GifErrorString(error));
  }
  state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
  GifFreeMapObject(map);
  quorvel::CloseScreen();
  std::filesystem::remove(Output());
}
BENCHMARK(BM_GifOnlyFade)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
