// The browser presenter: in a web page the screen is a <canvas> (the one with id
// "screen", or Module.canvas) and there is no display thread. The page's animation-frame
// loop presents the visible page through the registers when it changed, and wakes a
// program waiting in RunFrames; keyboard events go into the key queue with the codes
// the SDL presenter gives. Compiled only by Emscripten.
#ifdef __EMSCRIPTEN__

#include <emscripten.h>
#include <emscripten/html5.h>

#include <string_view>
#include <vector>

#include "display/browser.hpp"
#include "display/convert.hpp"
#include "display/geometry.hpp"
#include "display/screen.hpp"
#include "display/typed_text.hpp"

// The page's side, in JavaScript. Module.quorvelScreen is the open screen's state.

// Looks up the canvas and its 2D context, and starts the animation-frame loop, which
// calls quorvel_present(presenter, width, height) once per frame after waking a program
// waiting for the frame, with the size of the canvas's parent (the page's area for the
// screen) in device pixels. Returns false when the page has no canvas to draw on, or its
// canvas is in use. The canvas holds the screen with its border around it, `border`
// screen pixels on every side, so the page scales both together as a window does.
EM_JS(bool, StartCanvasLoop, (void* presenter, int width, int height, double pixelAspect, int border), {
  if (Module['quorvelScreen']) return false;
  const canvas = Module['canvas'] || document.getElementById('screen');
  const context = canvas && canvas.getContext('2d', {alpha: false});
  if (!context) return false;
  canvas.width = width + 2 * border;
  canvas.height = height + 2 * border;
  // The shape it is shown at until the first frame places it: pixels taller than wide
  // make it narrower.
  canvas.style.setProperty('--shape', String(canvas.width / (canvas.height * pixelAspect)));
  // The counts and times are for the page and its tests: animation frames seen, frames
  // of the program run, and milliseconds spent in both.
  const screen = {canvas: canvas, context: context, running: true, waiter: null, image: null,
                  border: border, borderColour: null, ticks: 0, frames: 0, busyMs: 0,
                  area: canvas.parentElement || document.body, areaWidth: 0, areaHeight: 0,
                  grown: null, growing: false};
  Module['quorvelScreen'] = screen;
  // The canvas is placed inside its parent in device pixels, so that whole factors give
  // every screen pixel the same whole number of device pixels: CSS sizes alone let the
  // browser round each pixel its own way. The parent is measured at every frame, which
  // follows a resized window, a full screen, a zoom and a moved display alike.
  if (getComputedStyle(screen.area).position === 'static') screen.area.style.position = 'relative';
  const measure = function() {
    const ratio = window.devicePixelRatio || 1;
    const box = screen.area.getBoundingClientRect();
    screen.areaWidth = Math.floor(box.width * ratio + 0.001);
    screen.areaHeight = Math.floor(box.height * ratio + 0.001);
  };
  const tick = function() {
    if (!screen.running) return;
    requestAnimationFrame(tick);
    const start = performance.now();
    ++screen.ticks;
    // The program's frame runs first, so what it sets shows in this same frame.
    const wake = screen.waiter;
    screen.waiter = null;
    if (wake) {
      ++screen.frames;
      wake();
    }
    if (screen.running) {
      measure();
      _quorvel_present(presenter, screen.areaWidth, screen.areaHeight);
    }
    screen.busyMs += performance.now() - start;
  };
  requestAnimationFrame(tick);
  return true;
});

EM_JS(void, StopCanvasLoop, (), {
  const screen = Module['quorvelScreen'];
  if (!screen) return;
  screen.running = false;
  Module['quorvelScreen'] = null;
  if (screen.grown) screen.grown.remove();
  for (const property of ['position', 'left', 'top', 'width', 'height', 'visibility', 'image-rendering']) {
    screen.canvas.style.removeProperty(property);
  }
  screen.canvas.style.backgroundColor = "";
  if (screen.canvas.parentElement) screen.canvas.parentElement.style.backgroundColor = "";
  // The page may say that the program is done, or offer to run it again.
  screen.canvas.dispatchEvent(new Event('quorvelclose'));
  // A program still waiting for a frame gets one from the browser itself.
  const wake = screen.waiter;
  if (wake) requestAnimationFrame(function() { wake(); });
});

// Copies the screen's RGBA pixels from the program's memory onto the canvas, inside its
// border. The border, and around the canvas what the page leaves of its box (the
// letterbox) and of a full screen, show `borderColour` (0xRRGGBB); -1 is no register,
// black around the canvas and nothing set on the page.
EM_JS(void, PutCanvasPixels, (const uint32_t* pixels, int width, int height, int borderColour), {
  const screen = Module['quorvelScreen'];
  if (screen.borderColour !== borderColour) {
    screen.borderColour = borderColour;
    const css = borderColour < 0 ? "" : '#' + (0x1000000 + borderColour).toString(16).slice(1);
    screen.context.fillStyle = css || '#000';
    screen.context.fillRect(0, 0, screen.canvas.width, screen.canvas.height);
    screen.canvas.style.backgroundColor = css;
    if (screen.canvas.parentElement) screen.canvas.parentElement.style.backgroundColor = css;
  }
  // The view is made again only when memory grew (which replaces the buffer).
  if (!screen.image || screen.image.data.buffer !== HEAPU8.buffer) {
    screen.image = new ImageData(
        new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4), width, height);
  }
  screen.context.putImageData(screen.image, screen.border, screen.border);
  if (screen.growing) screen.grow();
});

// Shows the canvas at `w` x `h` device pixels, `x`, `y` from the top left of its parent.
// With `grownWidth` 0 the canvas is shown sharp, each of its pixels a block of whole
// device pixels. Otherwise the picture is grown sharply to `grownWidth` x `grownHeight`
// (whole factors of the canvas) on a second canvas shown in its place, and the browser
// scales that smoothly the rest of the way: no pixel is a device pixel wider than its
// neighbour, and only the device pixel on an edge between two is blended.
EM_JS(void, PlaceCanvas, (int x, int y, int w, int h, int grownWidth, int grownHeight), {
  const screen = Module['quorvelScreen'];
  const canvas = screen.canvas;
  const growing = grownWidth > 0 && (grownWidth !== canvas.width || grownHeight !== canvas.height);
  if (growing && !screen.grown) {
    screen.grown = document.createElement('canvas');
    screen.grown.setAttribute('aria-hidden', 'true');
    canvas.after(screen.grown);
    screen.grow = function() {
      const grown = screen.grown.getContext('2d', {alpha: false});
      grown.imageSmoothingEnabled = false;
      grown.drawImage(canvas, 0, 0, screen.grown.width, screen.grown.height);
    };
  }
  if (growing && (screen.grown.width !== grownWidth || screen.grown.height !== grownHeight)) {
    screen.grown.width = grownWidth;
    screen.grown.height = grownHeight;
  }
  screen.growing = growing;
  const shown = growing ? screen.grown : canvas;
  // From the parent's own start, which may fall between two device pixels.
  const ratio = window.devicePixelRatio || 1;
  const box = screen.area.getBoundingClientRect();
  const left = box.left, top = box.top;
  const cssAt = function(at, origin) { return (Math.round(origin * ratio) + at) / ratio - origin; };
  shown.style.position = 'absolute';
  shown.style.left = cssAt(x, left) + 'px';
  shown.style.top = cssAt(y, top) + 'px';
  shown.style.width = w / ratio + 'px';
  shown.style.height = h / ratio + 'px';
  shown.style.imageRendering = grownWidth > 0 ? 'auto' : 'pixelated';
  if (screen.grown) screen.grown.style.visibility = growing ? "" : 'hidden';
  canvas.style.visibility = growing ? 'hidden' : "";
  if (growing) screen.grow();
});

EM_JS(void, ToggleFullScreen, (), {
  const screen = Module['quorvelScreen'];
  if (!screen) return;
  if (document.fullscreenElement) {
    document.exitFullscreen();
  } else {
    // The canvas's parent, so that the canvas is placed in the whole screen as in its
    // part of the page, and the border's colour fills the rest.
    const area = screen.area.requestFullscreen ? screen.area : screen.canvas;
    if (area.requestFullscreen) area.requestFullscreen();
  }
});

namespace quorvel::detail {
namespace {

// The extended key named by a KeyboardEvent.key, or 0. Names rather than physical keys:
// with Num Lock off the keypad's digits arrive as "Home", "ArrowUp" and so on, so the
// keypad is a second set of cursor keys as on the SDL side.
int32_t NamedKeyCode(std::string_view key) {
  struct Named {
    std::string_view name;
    int32_t code;
  };
  static constexpr Named kNamed[] = {
      {"Enter", 13},          {"Escape", 27},         {"Backspace", 8},
      {"Tab", 9},             {"ArrowUp", kKeyUp},    {"ArrowDown", kKeyDown},
      {"ArrowLeft", kKeyLeft}, {"ArrowRight", kKeyRight}, {"Insert", kKeyInsert},
      {"Delete", kKeyDelete}, {"Home", kKeyHome},     {"End", kKeyEnd},
      {"PageUp", kKeyPageUp}, {"PageDown", kKeyPageDown},
  };
  for (const Named& named : kNamed) {
    if (named.name == key) return named.code;
  }
  if (key.size() >= 2 && key.size() <= 3 && key[0] == 'F') {
    int32_t n = 0;
    for (char c : key.substr(1)) {
      if (c < '0' || c > '9') return 0;
      n = n * 10 + (c - '0');
    }
    if (n >= 1 && n <= 10) return kKeyF1 + n - 1;
  }
  return 0;
}

// True when `key` is one character (one UTF-8 sequence) rather than a key's name.
bool IsOneCharacter(std::string_view key) {
  if (key.empty()) return false;
  const auto lead = static_cast<unsigned char>(key[0]);
  const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : 4;
  return key.size() == length;
}

EM_BOOL OnKeyDown(int, const EmscriptenKeyboardEvent* event, void*) {
  // Shortcuts of the browser (reload, copy, new tab...) stay the browser's. Ctrl with Alt
  // is AltGr on some systems, which types characters.
  if ((event->ctrlKey && !event->altKey) || event->metaKey) return false;
  const std::string_view key = event->key;
  if (key == "Enter" && event->altKey) {
    if (!event->repeat) ToggleFullScreen();
    return true;
  }
  if (const int32_t code = NamedKeyCode(key); code != 0) {
    PushKey(code);
    return true;
  }
  if (IsOneCharacter(key)) {
    QueueTypedText(event->key);
    return true;
  }
  return false;
}

class BrowserPresenter final : public Presenter {
 public:
  BrowserPresenter()
      : frame_(TheScreen().PagePixels()),
        shape_{TheScreen().width, TheScreen().height, TheScreen().pixelAspect, TheScreen().borderWidth} {}
  ~BrowserPresenter() override {
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, false, nullptr);
    StopCanvasLoop();
  }

  std::string Start() {
    const Screen& s = TheScreen();
    if (!StartCanvasLoop(this, s.width, s.height, s.pixelAspect, s.borderWidth)) {
      return "the page has no free canvas with id \"screen\" to draw on";
    }
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, false, OnKeyDown);
    return "";
  }

  // The animation-frame loop presents whenever something changed; nothing to wake.
  void Wake() override {}

  // Places the canvas in the page's area of `areaWidth` x `areaHeight` device pixels by
  // the scaling in force, where the native presenter would put the picture in a window
  // of that size; again only when the area or the scaling changed, and not before the
  // page has measured its area. Whole multiples show the canvas as it is; any other size
  // is grown by whole factors first, then scaled smoothly, as natively.
  void Place(int32_t areaWidth, int32_t areaHeight) {
    const Scaling scaling = TheScreen().scaling.load(std::memory_order_relaxed);
    if (areaWidth <= 0 || areaHeight <= 0) return;
    if (placed_ && scaling == placedScaling_ && areaWidth == placedArea_.w && areaHeight == placedArea_.h) return;
    placed_ = true;
    placedScaling_ = scaling;
    placedArea_ = {0, 0, areaWidth, areaHeight};
    const Area picture = PlacePicture(shape_, scaling, areaWidth, areaHeight);
    const Area box = FramePicture(shape_, picture);
    const bool whole = picture.w % shape_.width == 0 && picture.h % shape_.height == 0;
    const int32_t framedWidth = shape_.width + 2 * shape_.borderWidth;
    const int32_t framedHeight = shape_.height + 2 * shape_.borderWidth;
    PlaceCanvas(box.x, box.y, box.w, box.h,
                whole ? 0 : framedWidth * GrowthFactor(shape_.width, picture.w),
                whole ? 0 : framedHeight * GrowthFactor(shape_.height, picture.h));
  }

  // Converts the visible page into canvas pixels and puts them on the canvas, when it
  // changed and the screen is not locked; a picture whose indices and registers are what
  // the canvas shows already costs no conversion. Colours converted as 0xBBGGRR come out
  // as red, green, blue, alpha in memory order, the canvas's own.
  void Present() {
    if (!TheScreen().dirty.load(std::memory_order_acquire)) return;
    if (!TakePictureToPresent(shown_)) return;
    ConvertSnapshot(shown_, frame_.data(), true);
    PutCanvasPixels(frame_.data(), shown_.width, shown_.height,
                    shown_.border < 0 ? -1 : int(BorderColour(shown_)));
  }

 private:
  VisibleSnapshot shown_;        // what the canvas shows, as indices and registers
  std::vector<uint32_t> frame_;  // conversion target, in the canvas's byte order
  const ScreenShape shape_;
  // The scaling and the page's area the canvas was last placed for.
  bool placed_ = false;
  Scaling placedScaling_ = Scaling::Integer;
  Area placedArea_;
};

}  // namespace

std::unique_ptr<Presenter> OpenBrowserPresenter(std::string& error) {
  auto presenter = std::make_unique<BrowserPresenter>();
  error = presenter->Start();
  if (!error.empty()) return nullptr;
  return presenter;
}

}  // namespace quorvel::detail

// Called by the page's animation-frame loop, with the page's area for the screen in
// device pixels.
extern "C" EMSCRIPTEN_KEEPALIVE void quorvel_present(void* presenter, int32_t areaWidth, int32_t areaHeight) {
  auto* browser = static_cast<quorvel::detail::BrowserPresenter*>(presenter);
  browser->Place(areaWidth, areaHeight);
  browser->Present();
}

// Suspends the program (through asyncify) until the page's next animation frame; the
// presenter's loop wakes it before presenting, a page without a screen from the browser.
EM_JS(void, quorvel_wait_for_animation_frame, (), {
  Asyncify.handleSleep(function(wakeUp) {
    const screen = Module['quorvelScreen'];
    if (screen && screen.running) {
      screen.waiter = wakeUp;
    } else {
      requestAnimationFrame(function() { wakeUp(); });
    }
  });
});

namespace quorvel::detail {
void WaitForAnimationFrame() { quorvel_wait_for_animation_frame(); }
}  // namespace quorvel::detail

#endif  // __EMSCRIPTEN__
