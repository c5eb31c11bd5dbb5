// The SDL presenter: one display thread does all SDL work (start-up, window, renderer,
// texture, events, shut-down), so the program's thread never waits on the window system.
// The program's thread only flags the picture dirty and, on the first change after a
// presentation, pushes a wake-up event; the display thread sleeps in SDL's event wait
// the rest of the time.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>

#include "display/convert.hpp"
#include "display/screen.hpp"
#include "display/sdl_keys.hpp"
#include "display/sdl_lost_display.hpp"

namespace quorvel::detail {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kTitle = "Quorvel";
constexpr int kDefaultRefreshHz = 60;
// Room left around a doubled window for the desktop's panels and the window frame.
constexpr int kDesktopMargin = 64;

std::string SdlFailure(const std::string& what) { return what + ": " + SDL_GetError(); }

// True when `driver` is one of the comma-separated names the caller asked SDL for.
bool CallerChose(const char* driver) {
  const char* hint = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  if (!hint) return false;
  const std::string names = hint;
  size_t start = 0;
  while (start <= names.size()) {
    size_t end = names.find(',', start);
    if (end == std::string::npos) end = names.size();
    if (SDL_strcasecmp(names.substr(start, end - start).c_str(), driver) == 0) return true;
    start = end + 1;
  }
  return false;
}

// SDL falls back to drivers that show nothing when no display can be reached (Debian's
// build picks "offscreen" without DISPLAY). A window there would be a silent success.
std::string CheckVisibleDriver() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) return SdlFailure("no video driver is running");
  const bool unseen = SDL_strcasecmp(driver, "offscreen") == 0 ||
                      SDL_strcasecmp(driver, "dummy") == 0;
  if (!unseen || CallerChose(driver)) return "";
  return std::string("no display available (SDL fell back to its ") + driver +
         " driver); set DISPLAY or choose a video driver";
}

// Everything the display thread owns. Used on that thread only.
class Display {
 public:
  Display() : frame_(kPagePixels, 0) {}
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;
  ~Display() { Close(); }

  // Starts SDL and opens the window; returns "" or why it failed.
  std::string Open(int32_t flags, uint32_t& wakeEvent);
  // Destroys the SDL objects and shuts SDL down. Safe to call twice.
  void Close();

  // Converts and shows the visible page if it changed; paced to the display's refresh.
  void Present();
  // Shows the last presented picture again (after an expose or a resize).
  void Repaint();
  void ToggleStyle();

  Clock::time_point NextPresent() const { return nextPresent_; }

 private:
  std::string OpenWindow(bool fullScreen);
  std::string SetUpTexture();
  bool UseWindowSurface();
  void DrawOnWindowSurface();
  void ReadRefreshRate();

  bool started_ = false;
  bool watchingX11_ = false;
  X11IoErrorHandler previousX11Handler_ = nullptr;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;  // null when drawing on the window surface
  SDL_Texture* texture_ = nullptr;
  Clock::duration period_ = std::chrono::microseconds(1000000 / kDefaultRefreshHz);
  Clock::time_point nextPresent_{};
  VisibleSnapshot snapshot_;     // the indices and registers the window shows
  std::vector<uint32_t> frame_;  // the snapshot converted, where it cannot go straight out
  std::vector<int> columns_;     // source column of each window column, surface drawing
};

std::string Display::Open(int32_t flags, uint32_t& wakeEvent) {
  // A terminal interrupt should stop the program as an interrupt, not look like a
  // window close that ends it successfully.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  started_ = true;  // even a failed start leaves some of SDL to shut down
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return SdlFailure("cannot start SDL video");
  if (std::string error = CheckVisibleDriver(); !error.empty()) return error;
  if (SDL_strcasecmp(SDL_GetCurrentVideoDriver(), "x11") == 0) {
    previousX11Handler_ = WatchX11Connection();
    watchingX11_ = true;
  }

  // Ask for the requested style first and fall back to the other one.
  const bool fullScreen = flags & kFullScreen;
  std::string error = OpenWindow(fullScreen);
  if (!error.empty()) {
    const std::string second = OpenWindow(!fullScreen);
    if (!second.empty()) return error + "; " + second;
  }

  if (!UseWindowSurface()) {
    if (std::string failure = SetUpTexture(); !failure.empty()) return failure;
  }

  wakeEvent = SDL_RegisterEvents(1);
  if (wakeEvent == static_cast<uint32_t>(-1)) return SdlFailure("cannot register events");
  SDL_StartTextInput();
  ReadRefreshRate();
  Repaint();
  return "";
}

std::string Display::SetUpTexture() {
  // Nearest-neighbour scaling keeps the pixels sharp; the logical size keeps 4:3 with
  // black borders however the window is shaped.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  if (SDL_RenderSetLogicalSize(renderer_, kScreenWidth, kScreenHeight) != 0) {
    return SdlFailure("cannot scale the picture to the window");
  }
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                               SDL_TEXTUREACCESS_STREAMING, kScreenWidth, kScreenHeight);
  if (!texture_) return SdlFailure("cannot create the screen texture");
  SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
  SDL_UpdateTexture(texture_, nullptr, frame_.data(), kScreenWidth * 4);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  return "";
}

// Whether the renderer draws with the processor: SDL's software renderer, or OpenGL on a
// software rasteriser (Mesa's llvmpipe under Xvfb or without a GPU driver).
bool RendersInSoftware(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0) return false;
  if (!(info.flags & SDL_RENDERER_ACCELERATED)) return true;
  if (std::strncmp(info.name, "opengl", 6) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned int);
  constexpr unsigned int kGlRenderer = 0x1F01;
  const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const auto* name = getString ? reinterpret_cast<const char*>(getString(kGlRenderer)) : nullptr;
  return name && (std::strstr(name, "llvmpipe") || std::strstr(name, "softpipe") ||
                  std::strstr(name, "Software"));
}

// Where the processor would draw anyway, the window's own surface is far cheaper: we scale
// the picture once into it and the window system copies it out (under Xvfb, about a fifth
// of the process time of a software-rendered texture). A renderer the caller chose
// through SDL_HINT_RENDER_DRIVER is kept.
bool Display::UseWindowSurface() {
  if (SDL_GetHint(SDL_HINT_RENDER_DRIVER) || !RendersInSoftware(renderer_)) return false;
  SDL_DestroyRenderer(renderer_);
  renderer_ = nullptr;
  // The window system's own framebuffer, not one SDL would emulate with a renderer.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_GetWindowSurface(window_)) return true;
  renderer_ = SDL_CreateRenderer(window_, -1, 0);
  return false;
}

// Scales the last shown picture into the window surface: nearest neighbour, 4:3, centred
// on black.
void Display::DrawOnWindowSurface() {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (!surface) return;
  const double scale = std::min(double(surface->w) / kScreenWidth,
                                double(surface->h) / kScreenHeight);
  SDL_Rect area = {0, 0, int(kScreenWidth * scale), int(kScreenHeight * scale)};
  area.x = (surface->w - area.w) / 2;
  area.y = (surface->h - area.h) / 2;
  // Only the margins need clearing; the picture covers the rest.
  if (area.w < surface->w || area.h < surface->h) SDL_FillRect(surface, nullptr, 0);
  const SDL_PixelFormat* f = surface->format;
  const bool xrgb = f->BytesPerPixel == 4 && f->Rmask == 0xFF0000 && f->Gmask == 0xFF00 &&
                    f->Bmask == 0xFF;
  if (xrgb && area.w == kScreenWidth && area.h == kScreenHeight && surface->pitch % 4 == 0 &&
      SDL_LockSurface(surface) == 0) {
    // At its own size the picture is converted straight into the window, band by band.
    auto* top = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) +
                                            size_t(area.y) * surface->pitch) + area.x;
    ConvertBands(ActiveKernel(), snapshot_.indices.data(), kScreenWidth, kScreenWidth,
                 kScreenHeight, snapshot_.registers.data(), snapshot_.lines.get(), top,
                 size_t(surface->pitch) / 4);
    SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(window_);
    return;
  }
  ConvertSnapshot(snapshot_, frame_.data());
  if (!xrgb) {
    // Some other pixel layout: let SDL convert and scale.
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(
        frame_.data(), kScreenWidth, kScreenHeight, 32, kScreenWidth * 4,
        SDL_PIXELFORMAT_ARGB8888);
    if (picture) SDL_BlitScaled(picture, nullptr, surface, &area);
    SDL_FreeSurface(picture);
  } else if (area.w > 0 && area.h > 0 && SDL_LockSurface(surface) == 0) {
    columns_.resize(area.w);
    for (int x = 0; x < area.w; ++x) columns_[x] = x * kScreenWidth / area.w;
    for (int y = 0; y < area.h; ++y) {
      const uint32_t* from = frame_.data() + size_t(y * kScreenHeight / area.h) * kScreenWidth;
      auto* to = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) +
                                             size_t(area.y + y) * surface->pitch) + area.x;
      for (int x = 0; x < area.w; ++x) to[x] = from[columns_[x]];
    }
    SDL_UnlockSurface(surface);
  }
  SDL_UpdateWindowSurface(window_);
}

// Twice the picture's size when the desktop has room for it, else its own size.
int ComfortableScale() {
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) == 0 &&
      usable.w >= 2 * kScreenWidth + kDesktopMargin &&
      usable.h >= 2 * kScreenHeight + kDesktopMargin) {
    return 2;
  }
  return 1;
}

std::string Display::OpenWindow(bool fullScreen) {
  const char* style = fullScreen ? "cannot open a full-screen window" : "cannot open a window";
  // A full-screen window starts as large as the desktop: without a window manager to
  // enlarge it (a bare X server), SDL would believe it full screen while it stayed small.
  const int scale = ComfortableScale();
  SDL_Rect area = {SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kScreenWidth * scale,
                   kScreenHeight * scale};
  if (fullScreen && SDL_GetDisplayBounds(0, &area) != 0) return SdlFailure(style);
  const uint32_t windowFlags =
      SDL_WINDOW_RESIZABLE | (fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  window_ = SDL_CreateWindow(kTitle, area.x, area.y, area.w, area.h, windowFlags);
  if (!window_) return SdlFailure(style);
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED |
                                                  SDL_RENDERER_PRESENTVSYNC);
  if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (!renderer_) {
    std::string error = SdlFailure(style);
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    return error;
  }
  return "";
}

void Display::ReadRefreshRate() {
  SDL_DisplayMode mode;
  int hz = kDefaultRefreshHz;
  if (SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0) {
    hz = mode.refresh_rate;
  }
  period_ = std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / hz;
}

void Display::Close() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
  texture_ = nullptr;
  renderer_ = nullptr;
  window_ = nullptr;
  // Xlib's own handler comes back before SDL unloads Xlib.
  if (watchingX11_) {
    StopWatchingX11Connection(previousX11Handler_);
    watchingX11_ = false;
  }
  // Only the video subsystem goes: SDL_Quit would also forget the caller's hints,
  // among them its choice of video driver, and a reopened screen must still honour it.
  // What SDL kept for this thread (its error text) is freed here, as SDL_Quit would.
  if (started_) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_TLSCleanup();
    started_ = false;
  }
}

void Display::Present() {
  nextPresent_ = Clock::now() + period_;
  // The program often rewrites what is already there (a prompt reprinted every few
  // milliseconds); unchanged indices and registers cost no conversion and no present.
  if (!TakePictureToPresent(snapshot_)) return;
  if (texture_) {
    ConvertSnapshot(snapshot_, frame_.data());
    SDL_UpdateTexture(texture_, nullptr, frame_.data(), kScreenWidth * 4);
  }
  Repaint();
}

void Display::Repaint() {
  if (!renderer_) {
    DrawOnWindowSurface();
    return;
  }
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
}

void Display::ToggleStyle() {
  if (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) {
    SDL_SetWindowFullscreen(window_, 0);
    // Back to a window of comfortable size, whatever size full screen started from.
    const int scale = ComfortableScale();
    SDL_SetWindowSize(window_, kScreenWidth * scale, kScreenHeight * scale);
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  } else {
    SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
  }
  ReadRefreshRate();
  Repaint();
}

class SdlPresenter final : public Presenter {
 public:
  SdlPresenter() = default;
  SdlPresenter(const SdlPresenter&) = delete;
  SdlPresenter& operator=(const SdlPresenter&) = delete;
  ~SdlPresenter() override;

  // Starts the display thread and waits until it has a window or has given up.
  std::string Start(int32_t flags);
  void Wake() override;

 private:
  enum class Ending { Stopped, WindowClosed };
  void Run(int32_t flags, std::promise<std::string> ready);
  Ending Loop(Display& display);
  // Handles one event; returns true when the loop must end with `ending`.
  bool Handle(Display& display, const SDL_Event& event, Ending& ending);
  void SetAccepting(bool on);

  // Waits for the next event or wake-up, at most `timeoutMs` (-1: no limit); returns
  // whether `event` holds an event.
  bool WaitForEvent(SDL_Event& event, int timeoutMs);

  std::thread thread_;
  uint32_t wakeEvent_ = 0;  // set before Start returns, read-only afterwards
  // Drivers without a window system (dummy, offscreen) have no blocking event wait: SDL
  // would look at its queue every millisecond. There the thread sleeps on a signal of
  // its own instead and looks at SDL's queue every kPollMs.
  bool polling_ = false;  // set before Start returns, read-only afterwards
  std::mutex wakeMutex_;
  std::condition_variable woken_;
  bool wakePending_ = false;
  std::atomic<bool> stop_{false};
  // Pushing an event needs SDL's event queue, which exists only while SDL runs on the
  // display thread; the gate keeps Wake from racing its start-up and shut-down.
  std::mutex gate_;
  bool accepting_ = false;
};

std::string SdlPresenter::Start(int32_t flags) {
  std::promise<std::string> ready;
  std::future<std::string> result = ready.get_future();
  thread_ = std::thread(&SdlPresenter::Run, this, flags, std::move(ready));
  std::string error = result.get();
  if (!error.empty()) thread_.join();
  return error;
}

SdlPresenter::~SdlPresenter() {
  if (!thread_.joinable()) return;
  // exit() called on the display thread itself, by a library of the window system, gets
  // here from the static destructors: the thread cannot join itself, and the program's
  // thread is still at work on what those destructors free.
  if (thread_.get_id() == std::this_thread::get_id()) {
    EndForLostDisplay("the window system ended the program");
  }
  stop_.store(true, std::memory_order_release);
  Wake();
  thread_.join();
}

void SdlPresenter::Wake() {
  if (polling_) {
    {
      std::lock_guard lock(wakeMutex_);
      wakePending_ = true;
    }
    woken_.notify_one();
  }
  std::lock_guard lock(gate_);
  if (!accepting_) return;
  SDL_Event event{};
  event.type = wakeEvent_;
  SDL_PushEvent(&event);
}

void SdlPresenter::SetAccepting(bool on) {
  std::lock_guard lock(gate_);
  accepting_ = on;
}

void SdlPresenter::Run(int32_t flags, std::promise<std::string> ready) {
  Ending ending;
  {
    Display display;
    if (std::string error = display.Open(flags, wakeEvent_); !error.empty()) {
      display.Close();
      ready.set_value(error);
      return;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    polling_ = SDL_strcasecmp(driver, "dummy") == 0 || SDL_strcasecmp(driver, "offscreen") == 0;
    SetAccepting(true);
    ready.set_value("");
    ending = Loop(display);
    SetAccepting(false);
  }
  if (ending == Ending::WindowClosed) {
    // Closing the window ends the program, successfully, right away. The program's
    // thread is somewhere in its work and cannot be asked to return, so the process
    // ends from here: quick_exit runs no static destructors that the program's thread
    // might still be using, and the window is already gone. Only buffered output needs
    // saving first.
    std::fflush(nullptr);
    std::quick_exit(0);
  }
}

SdlPresenter::Ending SdlPresenter::Loop(Display& display) {
  Screen& s = TheScreen();
  for (;;) {
    if (stop_.load(std::memory_order_acquire)) return Ending::Stopped;
    // Sleep until an event unless a picture is waiting; then only until its refresh.
    int timeoutMs = -1;
    if (s.dirty.load(std::memory_order_acquire) && !s.locked.load(std::memory_order_acquire)) {
      const auto now = Clock::now();
      if (now >= display.NextPresent()) {
        display.Present();
        continue;
      }
      const auto wait = std::chrono::ceil<std::chrono::milliseconds>(display.NextPresent() - now);
      timeoutMs = static_cast<int>(wait.count());
    }
    SDL_Event event;
    bool got = WaitForEvent(event, timeoutMs);
    while (got) {
      Ending ending;
      if (Handle(display, event, ending)) return ending;
      got = SDL_PollEvent(&event);
    }
  }
}

bool SdlPresenter::WaitForEvent(SDL_Event& event, int timeoutMs) {
  if (!polling_) {
    return timeoutMs < 0 ? SDL_WaitEvent(&event) : SDL_WaitEventTimeout(&event, timeoutMs);
  }
  constexpr int kPollMs = 10;
  {
    std::unique_lock lock(wakeMutex_);
    const int limit = timeoutMs < 0 ? kPollMs : std::min(timeoutMs, kPollMs);
    woken_.wait_for(lock, std::chrono::milliseconds(limit), [&] { return wakePending_; });
    wakePending_ = false;
  }
  return SDL_PollEvent(&event);
}

bool SdlPresenter::Handle(Display& display, const SDL_Event& event, Ending& ending) {
  switch (event.type) {
    case SDL_QUIT:
      ending = Ending::WindowClosed;
      return true;
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          ending = Ending::WindowClosed;
          return true;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
          display.Repaint();
          break;
        default: break;
      }
      break;
    case SDL_KEYDOWN:
      if (IsStyleToggle(event.key.keysym)) {
        // The Enter of Alt+Enter is not a key press for the program.
        if (!event.key.repeat) display.ToggleStyle();
      } else if (const int32_t code = KeyCodeFor(event.key.keysym); code != 0) {
        PushKey(code);
      }
      break;
    case SDL_TEXTINPUT:
      QueueTypedText(event.text.text);
      break;
    default: break;  // the wake-up event only ends the wait
  }
  return false;
}

}  // namespace

std::unique_ptr<Presenter> OpenSdlPresenter(int32_t flags, std::string& error) {
  auto presenter = std::make_unique<SdlPresenter>();
  error = presenter->Start(flags);
  if (!error.empty()) return nullptr;
  return presenter;
}

}  // namespace quorvel::detail
