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
#include "display/geometry.hpp"
#include "display/scale.hpp"
#include "display/screen.hpp"
#include "display/sdl_keys.hpp"
#include "display/sdl_lost_display.hpp"

namespace quorvel::detail {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultRefreshHz = 60;
// Room left around a window for the desktop's panels and the window frame.
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
  explicit Display(const ScreenOptions& options)
      : width_(options.width), height_(options.height), title_(options.title),
        shape_{options.width, options.height, options.pixelAspect, options.borderWidth},
        frame_(size_t(width_) * size_t(height_), 0) {
    // Black until the first presentation, which finds the screen the same size.
    snapshot_.width = width_;
    snapshot_.height = height_;
    snapshot_.indices.assign(frame_.size(), 0);
  }
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
  void DrawWithRenderer();
  SDL_Texture* GrownTexture(int32_t width, int32_t height);
  Area WindowArea() const;
  void ReadRefreshRate();

  const int32_t width_, height_;  // the screen's
  const std::string title_;
  const ScreenShape shape_;
  bool started_ = false;
  bool watchingX11_ = false;
  X11IoErrorHandler previousX11Handler_ = nullptr;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;  // null when drawing on the window surface
  SDL_Texture* texture_ = nullptr;
  SDL_Texture* grown_ = nullptr;  // the picture grown by whole factors, for smooth scaling
  Clock::duration period_ = std::chrono::microseconds(1000000 / kDefaultRefreshHz);
  Clock::time_point nextPresent_{};
  VisibleSnapshot snapshot_;     // the indices and registers the window shows
  std::vector<uint32_t> frame_;  // the snapshot converted, where it cannot go straight out
  PictureScaler scaler_;         // surface drawing at any size but the screen's own
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

  // Ask for the requested style first, and for the other one only where it will do.
  const bool fullScreen = flags & kFullScreen;
  if (std::string error = OpenWindow(fullScreen); !error.empty()) {
    if (!(flags & detail::kOtherStyleWillDo)) return error;
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
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                               SDL_TEXTUREACCESS_STREAMING, width_, height_);
  if (!texture_) return SdlFailure("cannot create the screen texture");
  SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
  SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
  SDL_UpdateTexture(texture_, nullptr, frame_.data(), width_ * 4);
  return "";
}

// The texture the picture is grown into by whole factors before it is scaled smoothly,
// made again when the factors change; null where the renderer cannot draw on textures.
SDL_Texture* Display::GrownTexture(int32_t width, int32_t height) {
  if (!SDL_RenderTargetSupported(renderer_)) return nullptr;
  int w = 0, h = 0;
  if (grown_ && SDL_QueryTexture(grown_, nullptr, nullptr, &w, &h) == 0 && w == width &&
      h == height) {
    return grown_;
  }
  if (grown_) SDL_DestroyTexture(grown_);
  grown_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                             width, height);
  if (grown_) {
    SDL_SetTextureBlendMode(grown_, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(grown_, SDL_ScaleModeLinear);
  }
  return grown_;
}

void Display::DrawWithRenderer() {
  int outW = 0, outH = 0;
  SDL_GetRendererOutputSize(renderer_, &outW, &outH);
  const Area area = PlacePicture(shape_, snapshot_.scaling, outW, outH);
  const uint32_t border = BorderColour(snapshot_);
  SDL_SetRenderDrawColor(renderer_, border >> 16 & 0xFF, border >> 8 & 0xFF, border & 0xFF, 255);
  SDL_RenderClear(renderer_);
  const SDL_Rect to = {area.x, area.y, area.w, area.h};
  if (area.w % width_ != 0 || area.h % height_ != 0) {
    // Grown sharply by whole factors, then smoothly the rest of the way.
    const int32_t fx = GrowthFactor(width_, area.w), fy = GrowthFactor(height_, area.h);
    if (SDL_Texture* grown = GrownTexture(width_ * fx, height_ * fy);
        grown && SDL_SetRenderTarget(renderer_, grown) == 0) {
      SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
      SDL_SetRenderTarget(renderer_, nullptr);
      SDL_RenderCopy(renderer_, grown, nullptr, &to);
      SDL_RenderPresent(renderer_);
      return;
    }
  }
  SDL_RenderCopy(renderer_, texture_, nullptr, &to);
  SDL_RenderPresent(renderer_);
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

// Scales the last shown picture into the window surface by the policy, the border
// around it in its register's colour.
void Display::DrawOnWindowSurface() {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (!surface) return;
  const Area area = PlacePicture(shape_, snapshot_.scaling, surface->w, surface->h);
  const SDL_PixelFormat* f = surface->format;
  const uint32_t border = BorderColour(snapshot_);
  const uint32_t borderPixel = SDL_MapRGB(f, border >> 16 & 0xFF, border >> 8 & 0xFF, border & 0xFF);
  // Only the margins need filling; the picture covers the rest.
  const SDL_Rect margins[] = {{0, 0, surface->w, area.y},
                              {0, area.y + area.h, surface->w, surface->h - area.y - area.h},
                              {0, area.y, area.x, area.h},
                              {area.x + area.w, area.y, surface->w - area.x - area.w, area.h}};
  for (const SDL_Rect& margin : margins) {
    if (margin.w > 0 && margin.h > 0) SDL_FillRect(surface, &margin, borderPixel);
  }
  const bool xrgb = f->BytesPerPixel == 4 && f->Rmask == 0xFF0000 && f->Gmask == 0xFF00 &&
                    f->Bmask == 0xFF;
  if (xrgb && area.w == width_ && area.h == height_ && surface->pitch % 4 == 0 &&
      SDL_LockSurface(surface) == 0) {
    // At its own size the picture is converted straight into the window, band by band.
    auto* top = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) +
                                            size_t(area.y) * surface->pitch) + area.x;
    ConvertBands(ActiveKernel(), snapshot_.indices.data(), size_t(width_), width_, height_,
                 snapshot_.registers.data(), snapshot_.lines.get(), top,
                 size_t(surface->pitch) / 4);
    SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(window_);
    return;
  }
  ConvertSnapshot(snapshot_, frame_.data());
  if (!xrgb) {
    // Some other pixel layout: let SDL convert and scale.
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(
        frame_.data(), width_, height_, 32, width_ * 4, SDL_PIXELFORMAT_ARGB8888);
    SDL_Rect to = {area.x, area.y, area.w, area.h};
    if (picture) SDL_BlitScaled(picture, nullptr, surface, &to);
    SDL_FreeSurface(picture);
  } else if (area.w > 0 && area.h > 0 && SDL_LockSurface(surface) == 0) {
    scaler_.Scale(frame_.data(), width_, height_, static_cast<uint32_t*>(surface->pixels),
                  size_t(surface->pitch) / 4, area);
    SDL_UnlockSurface(surface);
  }
  SDL_UpdateWindowSurface(window_);
}

// The window's size: the largest whole multiple of the screen the desktop has room for.
Area Display::WindowArea() const {
  SDL_Rect usable = {0, 0, width_, height_};
  SDL_GetDisplayUsableBounds(0, &usable);
  return WindowSize(shape_, usable.w - kDesktopMargin, usable.h - kDesktopMargin);
}

std::string Display::OpenWindow(bool fullScreen) {
  const char* style = fullScreen ? "cannot open a full-screen window" : "cannot open a window";
  // A full-screen window starts as large as the desktop: without a window manager to
  // enlarge it (a bare X server), SDL would believe it full screen while it stayed small.
  const Area size = WindowArea();
  SDL_Rect area = {SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.w, size.h};
  if (fullScreen && SDL_GetDisplayBounds(0, &area) != 0) return SdlFailure(style);
  const uint32_t windowFlags =
      SDL_WINDOW_RESIZABLE | (fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  window_ = SDL_CreateWindow(title_.c_str(), area.x, area.y, area.w, area.h, windowFlags);
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
  if (grown_) SDL_DestroyTexture(grown_);
  if (texture_) SDL_DestroyTexture(texture_);
  grown_ = nullptr;
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
    SDL_UpdateTexture(texture_, nullptr, frame_.data(), width_ * 4);
  }
  Repaint();
}

void Display::Repaint() {
  if (!renderer_) {
    DrawOnWindowSurface();
    return;
  }
  DrawWithRenderer();
}

void Display::ToggleStyle() {
  if (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) {
    SDL_SetWindowFullscreen(window_, 0);
    // Back to a window of comfortable size, whatever size full screen started from.
    const Area size = WindowArea();
    SDL_SetWindowSize(window_, size.w, size.h);
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
  std::string Start(const ScreenOptions& options, int32_t flags);
  void Wake() override;

 private:
  enum class Ending { Stopped, WindowClosed };
  void Run(const ScreenOptions& options, int32_t flags, std::promise<std::string> ready);
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

std::string SdlPresenter::Start(const ScreenOptions& options, int32_t flags) {
  std::promise<std::string> ready;
  std::future<std::string> result = ready.get_future();
  thread_ = std::thread(&SdlPresenter::Run, this, options, flags, std::move(ready));
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

void SdlPresenter::Run(const ScreenOptions& options, int32_t flags,
                       std::promise<std::string> ready) {
  Ending ending;
  {
    Display display(options);
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
    // ends from here: _Exit runs no static destructors that the program's thread might
    // still be using (nor at_quick_exit handlers, which the library has none of, and
    // which mingw's C library lacks), and the window is already gone. Only buffered
    // output needs saving first.
    std::fflush(nullptr);
    std::_Exit(0);
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

std::unique_ptr<Presenter> OpenSdlPresenter(const ScreenOptions& options, int32_t flags,
                                            std::string& error) {
  auto presenter = std::make_unique<SdlPresenter>();
  error = presenter->Start(options, flags);
  if (!error.empty()) return nullptr;
  return presenter;
}

}  // namespace quorvel::detail
