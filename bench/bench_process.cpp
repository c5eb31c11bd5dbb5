// What a user of the library pays as a whole process: CPU time of a fade shown in a
// window beside a plain SDL program doing the same the direct way, CPU used while a
// prompt blinks, during continuous fades and while registers the screen does not show
// cycle, and how closely real-time fades keep their nominal length.
//
// Every CPU measurement runs in a child process of its own, so that one side's display
// thread and SDL state never count for the other. The child measures its own window of
// work with getrusage (all its threads) and reports through a pipe.
//
// Window benchmarks exist per video driver: "dummy" always (chosen explicitly), "x11"
// when DISPLAY is set (run this program under xvfb-run for that).
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "demo/runner.hpp"
#include "programs/showcase/showcase.hpp"
#include <quorvel/display.hpp>
#include "display/screen.hpp"
#include <quorvel/palette.hpp>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kFadesPerChild = 5;
constexpr int kFadeSpeed = 2;

struct Usage {
  double cpuSeconds = 0;
  double wallSeconds = 0;
  bool ok = false;
};

double CpuSecondsNow() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Measures the window between Start and Stop.
class Meter {
 public:
  void Start() {
    cpu_ = CpuSecondsNow();
    wall_ = Clock::now();
  }
  Usage Stop() const {
    return {CpuSecondsNow() - cpu_, std::chrono::duration<double>(Clock::now() - wall_).count(),
            true};
  }

 private:
  double cpu_ = 0;
  Clock::time_point wall_;
};

// Runs `job` in a child process and returns the usage it measured (ok false on failure).
template <typename Job>
Usage InChild(Job job) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid < 0) return {};
  if (pid == 0) {
    close(fds[0]);
    const Usage usage = job();
    const bool written = write(fds[1], &usage, sizeof usage) == sizeof usage;
    _exit(written && usage.ok ? 0 : 1);
  }
  close(fds[1]);
  Usage usage;
  const bool got = read(fds[0], &usage, sizeof usage) == sizeof usage;
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  return usage;
}

void ChooseDriver(const std::string& driver) {
  SDL_SetHint(SDL_HINT_VIDEODRIVER, driver.c_str());
}

// Waits (briefly) until the display thread has shown the latest change.
void WaitUntilPresented() {
  const auto limit = Clock::now() + 2s;
  while (quorvel::detail::TheScreen().dirty.load() && Clock::now() < limit) {
    std::this_thread::sleep_for(1ms);
  }
}

// The library's screen in a window, every index on it, already presented.
bool OpenWindowWithBars(const std::string& driver) {
  ChooseDriver(driver);
  quorvel::SetHeadless(driver == "headless");
  quorvel::SetVirtualTime(false);
  if (!quorvel::OpenScreen(18, 8, 1, 0)) return false;
  quorvel::demo::DrawColourBars();
  quorvel::LocateText(2, 2);
  quorvel::PrintText("Fade under measurement", true);
  WaitUntilPresented();
  std::this_thread::sleep_for(100ms);  // let window start-up settle out of the window
  return true;
}

Usage OurFade(const std::string& driver) {
  if (!OpenWindowWithBars(driver)) return {};
  Meter meter;
  meter.Start();
  for (int i = 0; i < kFadesPerChild; ++i) quorvel::FadeIn::DefaultPal(kFadeSpeed);
  WaitUntilPresented();
  const Usage usage = meter.Stop();
  quorvel::CloseScreen();
  return usage;
}

// A plain SDL program's window: an INDEX8 surface drawn on, shown the direct way.
class DirectWindow {
 public:
  explicit DirectWindow(const std::string& driver) {
    ChooseDriver(driver);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return;
    window_ = SDL_CreateWindow("direct", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640,
                               480, 0);
    renderer_ = window_ ? SDL_CreateRenderer(window_, -1, 0) : nullptr;
    texture_ = renderer_ ? SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                             SDL_TEXTUREACCESS_STREAMING, 640, 480)
                         : nullptr;
    indexed_ = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 8, SDL_PIXELFORMAT_INDEX8);
    picture_ = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 32, SDL_PIXELFORMAT_ARGB8888);
  }
  ~DirectWindow() {
    SDL_FreeSurface(picture_);
    SDL_FreeSurface(indexed_);
    SDL_DestroyTexture(texture_);
    SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(window_);
    SDL_Quit();
  }
  bool Ok() const { return texture_ && indexed_ && picture_; }
  uint8_t* Row(int y) { return static_cast<uint8_t*>(indexed_->pixels) + y * indexed_->pitch; }
  // New colours, a blit to 32 bits, a texture upload and a present.
  void Show(const SDL_Color* colours) {
    SDL_SetPaletteColors(indexed_->format->palette, colours, 0, 256);
    SDL_BlitSurface(indexed_, nullptr, picture_, nullptr);
    SDL_UpdateTexture(texture_, nullptr, picture_->pixels, picture_->pitch);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
  }

 private:
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  SDL_Surface* indexed_ = nullptr;
  SDL_Surface* picture_ = nullptr;
};

// The same job written directly on SDL: after every step of the fade, the new palette
// shown the direct way, then the pause.
Usage DirectFade(const std::string& driver) {
  DirectWindow direct(driver);
  if (!direct.Ok()) return {};
  // The same colour bars as the library's side.
  for (int y = 250; y <= 460; ++y) {
    for (int i = 0; i < 256; ++i) direct.Row(y)[360 + i] = static_cast<uint8_t>(i);
  }
  std::this_thread::sleep_for(100ms);
  Meter meter;
  meter.Start();
  SDL_Color colours[256];
  for (int fade = 0; fade < kFadesPerChild; ++fade) {
    for (int t = 0; t <= 63; ++t) {
      for (int i = 0; i < 256; ++i) {
        auto level = [t](int c) { return static_cast<uint8_t>(c * t / 63 * 255 / 63); };
        colours[i] = {level(quorvel::DefaultPalRed(i)), level(quorvel::DefaultPalGreen(i)),
                      level(quorvel::DefaultPalBlue(i)), 255};
      }
      direct.Show(colours);
      SDL_Delay(kFadeSpeed);
    }
  }
  return meter.Stop();
}

// Two seconds of a blinking prompt, ended by a space from another thread.
Usage IdlePrompt(const std::string& driver) {
  if (!OpenWindowWithBars(driver)) return {};
  Meter meter;
  meter.Start();
  std::thread presser([] {
    std::this_thread::sleep_for(2s);
    quorvel::PushKey(' ');
  });
  quorvel::demo::WaitForSpace(29, 1);
  presser.join();
  const Usage usage = meter.Stop();
  quorvel::CloseScreen();
  return usage;
}

// Two seconds of colour cycling over registers the screen does not show: the screen
// holds text and bars of indices 0..127 only, and registers 128..255 rotate one step
// every 5 ms, the blinking prompt's pace.
Usage UnseenCycle(const std::string& driver) {
  ChooseDriver(driver);
  quorvel::SetHeadless(driver == "headless");
  quorvel::SetVirtualTime(false);
  if (!quorvel::OpenScreen(18, 8, 1, 0)) return {};
  for (int32_t i = 0; i < 128; ++i) quorvel::DrawLine(360 + i, 250, 360 + i, 460, i, 65535);
  quorvel::LocateText(2, 2);
  quorvel::PrintText("Cycle under measurement", true);
  WaitUntilPresented();
  std::this_thread::sleep_for(100ms);
  Meter meter;
  meter.Start();
  const auto end = Clock::now() + 2s;
  for (int32_t amount = 0; Clock::now() < end; amount = (amount + 1) & 255) {
    int32_t first = 128, last = 255;
    quorvel::PalRotate::DefaultPal(first, last, amount);
    quorvel::SleepMs(5);
  }
  const Usage usage = meter.Stop();
  quorvel::CloseScreen();
  return usage;
}

constexpr double kShowcaseMs = 5000;

// Five seconds of the showcase in a window, as the program runs it.
Usage Showcase(const std::string& driver) {
  ChooseDriver(driver);
  quorvel::SetHeadless(false);
  quorvel::SetVirtualTime(false);
  if (!quorvel::OpenScreen(18, 8, 1, 0)) return {};
  const quorvel::showcase::Scene scene = quorvel::showcase::BuildScene();
  quorvel::showcase::Showcase show(scene);
  show.Draw();
  WaitUntilPresented();
  std::this_thread::sleep_for(100ms);
  Meter meter;
  meter.Start();
  const double start = quorvel::NowMs();
  quorvel::RunFrames([&](double now) { return show.Frame(now) && now - start < kShowcaseMs; });
  const Usage usage = meter.Stop();
  quorvel::CloseScreen();
  return usage;
}

// The same five seconds written directly on SDL: each frame the same palette, computed
// by the same Animator, shown the direct way 60 times a second.
Usage DirectShowcase(const std::string& driver) {
  DirectWindow direct(driver);
  if (!direct.Ok()) return {};
  const quorvel::showcase::Scene scene = quorvel::showcase::BuildScene();
  for (int y = 0; y < quorvel::showcase::kSceneHeight; ++y) {
    std::memcpy(direct.Row(y), scene.pixels.data() + y * 640, 640);
  }
  quorvel::showcase::Showcase show(scene);  // its palette only: no screen is open
  std::this_thread::sleep_for(100ms);
  Meter meter;
  meter.Start();
  const auto start = Clock::now();
  SDL_Color colours[256];
  for (int frame = 0;; ++frame) {
    std::this_thread::sleep_until(start + std::chrono::microseconds(int64_t(frame * 1e6 / 60)));
    const double now = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (now >= kShowcaseMs) break;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    show.Frame(now);
    for (int i = 0; i < 256; ++i) {
      const quorvel::Rgb8 c = show.Animation().Output()[i];
      colours[i] = {c.r, c.g, c.b, 255};
    }
    direct.Show(colours);
  }
  return meter.Stop();
}

// Speed-2 fades back to back for two seconds.
Usage ContinuousFade(const std::string& driver) {
  if (!OpenWindowWithBars(driver)) return {};
  Meter meter;
  meter.Start();
  const auto end = Clock::now() + 2s;
  while (Clock::now() < end) quorvel::FadeIn::DefaultPal(kFadeSpeed);
  const Usage usage = meter.Stop();
  quorvel::CloseScreen();
  return usage;
}

// Reports the children's CPU seconds (per fade where `perFade`) and the share of one core,
// from the quietest run: on a shared machine a burst of someone else's work lands on one
// run, not on all of them.
template <typename Job>
void RunChildren(benchmark::State& state, Job job, bool perFade) {
  double cpu = std::numeric_limits<double>::infinity();
  double wall = 0;
  for (auto _ : state) {
    const Usage usage = InChild(job);
    if (!usage.ok) {
      state.SkipWithError("the child could not open its window or failed");
      return;
    }
    state.SetIterationTime(usage.wallSeconds);
    if (usage.cpuSeconds < cpu) cpu = usage.cpuSeconds, wall = usage.wallSeconds;
  }
  const double unit = perFade ? kFadesPerChild : 1;
  state.counters["cpu_ms"] = cpu / unit * 1e3;
  state.counters["wall_ms"] = wall / unit * 1e3;
  state.counters["core_fraction"] = cpu / wall;
}

// A real-time headless fade against its nominal 64 x speed ms; the median of the runs.
void FadeTiming(benchmark::State& state) {
  const int32_t speed = static_cast<int32_t>(state.range(0));
  quorvel::SetHeadless(true);
  quorvel::SetVirtualTime(false);
  quorvel::OpenScreen(18, 8, 1, 0);
  std::vector<double> errors;
  for (auto _ : state) {
    const auto start = Clock::now();
    quorvel::FadeIn::DefaultPal(speed);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    state.SetIterationTime(ms / 1e3);
    errors.push_back(std::abs(ms - 64.0 * speed) / (64.0 * speed));
  }
  quorvel::CloseScreen();
  std::sort(errors.begin(), errors.end());
  state.counters["rel_error"] = errors[errors.size() / 2];
}

void Register(const std::string& driver) {
  const std::string suffix = "/" + driver;
  benchmark::RegisterBenchmark(("BM_FadeCpuOurs" + suffix).c_str(), [driver](benchmark::State& s) {
    RunChildren(s, [driver] { return OurFade(driver); }, true);
  })->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("BM_FadeCpuDirect" + suffix).c_str(), [driver](benchmark::State& s) {
    RunChildren(s, [driver] { return DirectFade(driver); }, true);
  })->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("BM_IdlePromptCpu" + suffix).c_str(), [driver](benchmark::State& s) {
    RunChildren(s, [driver] { return IdlePrompt(driver); }, false);
  })->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("BM_UnseenCycleCpu" + suffix).c_str(), [driver](benchmark::State& s) {
    RunChildren(s, [driver] { return UnseenCycle(driver); }, false);
  })->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("BM_ContinuousFadeCpu" + suffix).c_str(), [driver](benchmark::State& s) {
    RunChildren(s, [driver] { return ContinuousFade(driver); }, false);
  })->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
  if (driver == "headless") return;  // the showcase against SDL needs a window
  benchmark::RegisterBenchmark(("BM_ShowcaseCpu" + suffix).c_str(), [driver](benchmark::State& s) {
    RunChildren(s, [driver] { return Showcase(driver); }, false);
  })->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("BM_ShowcaseDirectCpu" + suffix).c_str(), [driver](benchmark::State& s) {
    RunChildren(s, [driver] { return DirectShowcase(driver); }, false);
  })->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("BM_FadeTiming", FadeTiming)
      ->Arg(2)->Iterations(15)->UseManualTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_FadeTiming", FadeTiming)
      ->Arg(30)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
  Register("dummy");
  Register("headless");
  if (const char* display = std::getenv("DISPLAY"); display && *display) Register("x11");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
