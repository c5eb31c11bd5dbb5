// The screen: opening and closing it, the palette registers, the pages and their
// presentation, and the inspection surface.
#include "display/screen.hpp"

#include <quorvel/recorder.hpp>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "display/convert.hpp"


namespace quorvel {
namespace detail {
namespace {

// floor(c * 255 / 63) for every 6-bit component.
constexpr std::array<uint32_t, 64> kExpand = [] {
  std::array<uint32_t, 64> table{};
  for (uint32_t c = 0; c < 64; ++c) table[c] = Expand6To8(c);
  return table;
}();

// A PalColor (red in the low bits) to a register, 0xRRGGBB at 8-bit precision.
uint32_t RegisterFromPalColor(int32_t color) {
  const uint32_t v = static_cast<uint32_t>(color);
  return kExpand[v & 63] << 16 | kExpand[(v >> 8) & 63] << 8 | kExpand[(v >> 16) & 63];
}

void LoadDefaultRegisters(Screen& s) {
  const auto& defaults = DefaultRegisters();
  for (int i = 0; i < 256; ++i) s.registers[i].store(defaults[i], std::memory_order_relaxed);
}

}  // namespace

// A plain global rather than a function-local static: reaching it costs no first-use
// check on every register write, which measured a fifth of a write's cost. The key ring's
// condition variable keeps it from being built at compile time, so it is built before
// main, after the zero-filling every global gets; nothing in the library reaches it
// during static initialisation, and nothing may.
Screen gScreen;

Screen& TheScreen() { return gScreen; }

DisplayObserver* CurrentObserver() {
  return TheScreen().observer.load(std::memory_order_acquire);
}

const std::array<uint32_t, 256>& DefaultRegisters() {
  static const std::array<uint32_t, 256> registers = [] {
    std::array<uint32_t, 256> table{};
    for (int32_t i = 0; i < 256; ++i) {
      table[i] = RegisterFromPalColor(DefaultPaletteColor(i));
    }
    return table;
  }();
  return registers;
}

void MarkDirty() {
  Screen& s = TheScreen();
  // Only the first change after a presentation wakes the presenter; the rest are free.
  if (s.dirty.load(std::memory_order_relaxed)) return;
  if (!s.dirty.exchange(true, std::memory_order_acq_rel) && s.presenter) s.presenter->Wake();
}

void PageChanged(int32_t page, const IndexSet& drawn, bool covers) {
  Screen& s = TheScreen();
  if (page != s.visible) return;
  s.firstShownExact = false;
  if (covers) {
    s.shown = drawn;
  } else {
    s.shown.Add(drawn);
  }
  s.shownExact = covers;
  MarkDirty();
}

std::array<uint32_t, 256> ReadRegisters() {
  const Screen& s = TheScreen();
  std::array<uint32_t, 256> registers;
  for (int i = 0; i < 256; ++i) registers[i] = s.registers[i].load(std::memory_order_relaxed);
  return registers;
}

void RenderVisible(uint32_t* out) {
  Screen& s = TheScreen();
  const std::array<uint32_t, 256> registers = ReadRegisters();
  std::lock_guard lock(s.pixels);
  if (!ValidPage(s, s.visible)) {
    std::fill(out, out + s.PagePixels(), 0xFF000000u);
    return;
  }
  ConvertBands(ActiveKernel(), s.pages[s.visible].data(), size_t(s.width), s.width, s.height,
               registers.data(), s.lines.get(), out, size_t(s.width));
}

void ConvertSnapshot(const VisibleSnapshot& snapshot, uint32_t* out, bool swapRedBlue) {
  ConvertBands(ActiveKernel(), snapshot.indices.data(), size_t(snapshot.width), snapshot.width,
               snapshot.height, snapshot.registers.data(), snapshot.lines.get(), out,
               size_t(snapshot.width), swapRedBlue);
}

bool TakeSnapshot(VisibleSnapshot& snapshot) {
  Screen& s = TheScreen();
  const std::array<uint32_t, 256> registers = ReadRegisters();
  const Scaling scaling = s.scaling.load(std::memory_order_relaxed);
  const int32_t border = s.border.load(std::memory_order_relaxed);
  bool changed = !snapshot.valid || registers != snapshot.registers ||
                 scaling != snapshot.scaling || border != snapshot.border;
  snapshot.registers = registers;
  snapshot.scaling = scaling;
  snapshot.border = border;
  snapshot.valid = true;
  std::lock_guard lock(s.pixels);
  if (snapshot.lines != s.lines) {
    snapshot.lines = s.lines;
    changed = true;
  }
  if (snapshot.width != s.width || snapshot.height != s.height) {
    snapshot.width = s.width;
    snapshot.height = s.height;
    snapshot.indices.assign(s.PagePixels(), 0);
    changed = true;
  }
  if (!ValidPage(s, s.visible)) {
    changed = changed || std::any_of(snapshot.indices.begin(), snapshot.indices.end(),
                                     [](uint8_t v) { return v != 0; });
    std::fill(snapshot.indices.begin(), snapshot.indices.end(), 0);
    return changed;
  }
  const std::vector<uint8_t>& page = s.pages[s.visible];
  if (!changed && std::memcmp(page.data(), snapshot.indices.data(), page.size()) == 0) {
    return false;
  }
  std::memcpy(snapshot.indices.data(), page.data(), page.size());
  return true;
}

bool TakePictureToPresent(VisibleSnapshot& snapshot) {
  Screen& s = TheScreen();
  s.dirty.exchange(false, std::memory_order_acq_rel);
  if (s.locked.load(std::memory_order_acquire)) return false;
  const bool changed = TakeSnapshot(snapshot);
  if (s.locked.load(std::memory_order_acquire)) {
    snapshot.valid = false;
    return false;
  }
  return changed;
}

}  // namespace detail

using detail::Screen;
using detail::TheScreen;

ScreenOptions ModeOptions(ScreenMode mode) {
  ScreenOptions options;
  const auto size = [&](int32_t width, int32_t height, double pixelAspect) {
    options.width = width;
    options.height = height;
    options.pixelAspect = pixelAspect;
  };
  switch (mode) {
    case ScreenMode::Mode18: break;
    case ScreenMode::Mode19: size(320, 200, 1.2); break;
    case ScreenMode::Mode320x240: size(320, 240, 1.0); break;
    case ScreenMode::Mode640x400: size(640, 400, 1.2); break;
    case ScreenMode::Mode800x600: size(800, 600, 1.0); break;
    case ScreenMode::Mode1024x768: size(1024, 768, 1.0); break;
  }
  return options;
}

namespace {

constexpr int32_t kMinSide = 16;
constexpr int32_t kMaxSide = 4096;
constexpr int32_t kMaxPages = 16;
constexpr int32_t kMaxBorderWidth = 256;

// Why the options cannot be met as given, or "".
std::string RefusedOptions(const ScreenOptions& o) {
  const auto range = [](const char* what, auto value, auto low, auto high) {
    return std::string(what) + " must be " + std::to_string(low) + " to " + std::to_string(high) +
           ", not " + std::to_string(value);
  };
  if (o.width < kMinSide || o.width > kMaxSide) return range("the width", o.width, kMinSide, kMaxSide);
  if (o.height < kMinSide || o.height > kMaxSide) {
    return range("the height", o.height, kMinSide, kMaxSide);
  }
  if (o.pages < 1 || o.pages > kMaxPages) return range("the number of pages", o.pages, 1, kMaxPages);
  if (!(o.pixelAspect >= 0.25 && o.pixelAspect <= 4)) {
    return "the pixel aspect must be 0.25 to 4 (pixel height over width), not " +
           std::to_string(o.pixelAspect);
  }
  if (o.borderRegister < -1 || o.borderRegister > 255) {
    return range("the border register", o.borderRegister, -1, 255);
  }
  if (o.borderWidth < 0 || o.borderWidth > kMaxBorderWidth) {
    return range("the border width", o.borderWidth, 0, kMaxBorderWidth);
  }
  if (o.scaling != Scaling::Integer && o.scaling != Scaling::Aspect &&
      o.scaling != Scaling::Stretch) {
    return "the scaling must be Integer, Aspect or Stretch, not " +
           std::to_string(static_cast<int32_t>(o.scaling));
  }
  return "";
}

// Opens the screen `o` describes, already checked; `flags` as OpenScreen's.
bool OpenChecked(const ScreenOptions& o, int32_t depth, int32_t flags) {
  Screen& s = TheScreen();
  try {
    std::lock_guard lock(s.pixels);
    s.width = o.width;
    s.height = o.height;
    s.pages.assign(size_t(o.pages), std::vector<uint8_t>(s.PagePixels(), 0));
    s.lines = nullptr;
    s.work = 0;
    s.visible = 0;
  } catch (const std::bad_alloc&) {
    s.pages.clear();
    s.error = "not enough memory for " + std::to_string(o.pages) + " pages of " +
              std::to_string(o.width) + "x" + std::to_string(o.height);
    return false;
  }
  s.pixelAspect = o.pixelAspect;
  s.textColumns = o.width / detail::kCellWidth;
  s.textRows = o.height / detail::kCellHeight;
  s.scaling.store(o.scaling, std::memory_order_relaxed);
  s.border.store(o.borderRegister, std::memory_order_relaxed);
  s.borderWidth = o.borderWidth;
  s.shown = detail::IndexSet::Of(0);
  s.shownExact = true;
  s.firstShownExact = false;
  s.depth = (flags & kDeepColour) ? std::max(depth, 16) : depth;
  detail::LoadDefaultRegisters(s);
  s.locked = false;
  s.foreground = 15;
  s.background = 0;
  s.cursorRow = 0;
  s.cursorColumn = 0;
  detail::ClearKeys();

  if (detail::CaptureAsked()) {
    s.headless = true;
    SetVirtualTime(true);
  }
  if (!s.headless) {
#ifdef __EMSCRIPTEN__
    s.presenter = detail::OpenBrowserPresenter(s.error);
#else
    s.presenter = detail::OpenSdlPresenter(o, flags, s.error);
#endif
    if (!s.presenter) {
      std::lock_guard lock(s.pixels);
      s.pages.clear();
      return false;
    }
  }
  s.open = true;
  s.dirty = false;
  detail::MarkDirty();
  if (detail::CaptureAsked() && !detail::StartCapture(s)) {
    CloseScreen();
    return false;
  }
  return true;
}

}  // namespace

bool OpenScreen(int32_t mode, int32_t depth, int32_t pages, int32_t flags) {
  Screen& s = TheScreen();
  CloseScreen();
  s.error.clear();
  if (mode != 18 && mode != 19) {
    s.error = "screen mode " + std::to_string(mode) +
              " is not available (mode 18 is 640x480, mode 19 320x200)";
    return false;
  }
  ScreenOptions options = ModeOptions(mode == 18 ? ScreenMode::Mode18 : ScreenMode::Mode19);
  options.pages = std::max(pages, 1);
  options.fullScreen = flags & kFullScreen;
  if (options.pages > kMaxPages) {
    s.error = std::to_string(options.pages) + " pages asked for; the screen has at most " +
              std::to_string(kMaxPages);
    return false;
  }
  return OpenChecked(options, depth, flags | detail::kOtherStyleWillDo);
}

bool OpenScreenWith(const ScreenOptions& options) {
  Screen& s = TheScreen();
  CloseScreen();
  s.error = RefusedOptions(options);
  if (!s.error.empty()) return false;
  const int32_t flags = (options.fullScreen ? kFullScreen : 0) | (options.deepColour ? kDeepColour : 0);
  return OpenChecked(options, 8, flags);
}

int32_t ScreenWidth() { return TheScreen().width; }
int32_t ScreenHeight() { return TheScreen().height; }
double ScreenPixelAspect() { return TheScreen().pixelAspect; }
int32_t TextColumns() { return TheScreen().textColumns; }
int32_t TextRows() { return TheScreen().textRows; }

void SetScaling(Scaling scaling) {
  if (scaling != Scaling::Integer && scaling != Scaling::Aspect && scaling != Scaling::Stretch) return;
  Screen& s = TheScreen();
  if (s.scaling.exchange(scaling, std::memory_order_relaxed) != scaling) detail::MarkDirty();
}

Scaling CurrentScaling() { return TheScreen().scaling.load(std::memory_order_relaxed); }

void SetBorderRegister(int32_t index) {
  if (index < -1 || index > 255) return;
  Screen& s = TheScreen();
  if (s.border.exchange(index, std::memory_order_relaxed) != index) detail::MarkDirty();
}

int32_t BorderRegister() { return TheScreen().border.load(std::memory_order_relaxed); }

std::string ScreenError() { return TheScreen().error; }

void CloseScreen() {
  Screen& s = TheScreen();
  detail::EndCapture(s);
  s.presenter.reset();  // joins the display thread
  std::lock_guard lock(s.pixels);
  s.pages.clear();
  s.lines = nullptr;
  s.open = false;
  const ScreenOptions closed;
  s.width = closed.width;
  s.height = closed.height;
  s.pixelAspect = closed.pixelAspect;
  s.textColumns = kTextColumns;
  s.textRows = kTextRows;
}

bool ScreenIsOpen() { return TheScreen().open; }

namespace {

// Counts the indices of the visible page again, after drawing may have removed some,
// and answers whether `index` is among them. Runs at most once per change of the page,
// and only when a register write would otherwise be presented.
[[gnu::noinline]] bool RecountShown(Screen& s, uint8_t index) {
  s.shown = detail::ValidPage(s, s.visible)
                ? detail::IndicesIn(s.pages[s.visible].data(), s.PagePixels())
                : detail::IndexSet{};
  s.shownExact = true;
  return s.shown.Has(index);
}

// Counts again the first line each index of the visible page shows on, and answers
// whether `index` shows above `line`, where the palettes per line change it.
[[gnu::noinline]] bool ShownAbove(Screen& s, uint8_t index, int32_t line) {
  if (!s.firstShownExact) {
    s.firstShown.fill(detail::kNeverChanged);
    if (detail::ValidPage(s, s.visible)) {
      const uint8_t* page = s.pages[s.visible].data();
      detail::IndexSet seen;
      for (int32_t y = 0; y < s.height; ++y) {
        const detail::IndexSet row = detail::IndicesIn(page + size_t(y) * size_t(s.width), size_t(s.width));
        for (size_t w = 0; w < row.words.size(); ++w) {
          for (uint64_t fresh = row.words[w] & ~seen.words[w]; fresh != 0; fresh &= fresh - 1) {
            s.firstShown[w * 64 + size_t(std::countr_zero(fresh))] = y;
          }
        }
        seen.Add(row);
      }
    }
    s.firstShownExact = true;
  }
  return s.firstShown[index] < line;
}

// Whether a change of the register shows on the visible page: an index on it, above the
// first line where the palettes per line change that register. Reads the page without
// the pixel lock: this thread is the only one that writes it.
bool Shown(Screen& s, uint8_t index) {
  if (index == s.border.load(std::memory_order_relaxed)) return true;  // the border shows it
  if (!s.shown.Has(index)) return false;
  if (s.lines && s.lines->firstChanged[index] != detail::kNeverChanged) {
    return ShownAbove(s, index, s.lines->firstChanged[index]);
  }
  return s.shownExact || RecountShown(s, index);
}

void StoreRegister(int32_t index, uint32_t rgb) {
  Screen& s = TheScreen();
  if (!s.open || s.depth > 8 || index < 0 || index > 255) return;
  // Only the program's thread writes registers, so a plain load and store suffice; an
  // unchanged register needs no presentation.
  std::atomic<uint32_t>& reg = s.registers[index];
  if (reg.load(std::memory_order_relaxed) == rgb) return;
  reg.store(rgb, std::memory_order_relaxed);
  // During an effect the picture is nearly always dirty already; test that here rather
  // than pay a call for it. Nor does a register that no pixel on screen uses need one:
  // colour cycling over registers the screen does not show costs what idling costs.
  if (!s.dirty.load(std::memory_order_relaxed) && Shown(s, static_cast<uint8_t>(index))) {
    detail::MarkDirty();
  }
}

// Kept out of line so that the unobserved write, which effects make 16,384 times per
// fade, saves no registers for a call it does not make.
void WriteRegister(int32_t index, int32_t color) {
  StoreRegister(index, detail::RegisterFromPalColor(color));
}

[[gnu::noinline]] void ObservedWrite(DisplayObserver* observer, int32_t index, int32_t color) {
  observer->OnPaletteEntry(index, color);
  WriteRegister(index, color);
}

}  // namespace

void SetPaletteEntry(int32_t index, int32_t color) {
  if (DisplayObserver* observer = detail::CurrentObserver()) {
    ObservedWrite(observer, index, color);
    return;
  }
  WriteRegister(index, color);
}

void SetPaletteEntryRgb(int32_t index, uint8_t r, uint8_t g, uint8_t b) {
  const uint32_t rgb = uint32_t(r) << 16 | uint32_t(g) << 8 | b;
  if (DisplayObserver* observer = detail::CurrentObserver()) {
    // The observer sees red in the low byte, as GetPaletteEntry reports it.
    observer->OnPaletteEntryRgb(index, r | uint32_t(g) << 8 | uint32_t(b) << 16);
  }
  StoreRegister(index, rgb);
}

void RestoreDefaultPalette() {
  Screen& s = TheScreen();
  if (!s.open) return;
  detail::LoadDefaultRegisters(s);
  detail::MarkDirty();
}

void SetPages(int32_t workPage, int32_t visiblePage) {
  Screen& s = TheScreen();
  if (detail::ValidPage(s, workPage)) s.work = workPage;
  if (detail::ValidPage(s, visiblePage) && visiblePage != s.visible) {
    {
      std::lock_guard lock(s.pixels);
      s.visible = visiblePage;
    }
    detail::PageChanged(visiblePage);
  }
}

void CopyPage(int32_t source, int32_t destination) {
  Screen& s = TheScreen();
  if (source == -1) source = s.work;
  if (destination == -1) destination = s.visible;
  if (!detail::ValidPage(s, source) || !detail::ValidPage(s, destination)) return;
  if (source == destination) return;
  {
    std::lock_guard lock(s.pixels);
    std::memcpy(s.pages[destination].data(), s.pages[source].data(), s.PagePixels());
  }
  detail::PageChanged(destination);
}

void LockScreen() {
  Screen& s = TheScreen();
  // Taken under the pixel lock so that no presentation starts after this returns.
  std::lock_guard lock(s.pixels);
  s.locked = true;
}

void UnlockScreen(int32_t firstLine, int32_t lastLine) {
  // The whole visible page is presented whatever lines are named: presenting is one
  // texture upload, and a partial one would gain nothing.
  (void)firstLine, (void)lastLine;
  Screen& s = TheScreen();
  if (!s.locked.exchange(false)) return;
  s.dirty = false;
  detail::MarkDirty();
}

void ClearScreen() {
  Screen& s = TheScreen();
  if (!detail::ValidPage(s, s.work)) return;
  {
    std::lock_guard lock(s.pixels);
    std::fill(s.pages[s.work].begin(), s.pages[s.work].end(), s.background);
  }
  s.cursorRow = 0;
  s.cursorColumn = 0;
  detail::PageChanged(s.work, detail::IndexSet::Of(s.background), true);
}

void SetHeadless(bool on) { TheScreen().headless = on; }

uint32_t GetPaletteEntry(int32_t index) {
  if (index < 0 || index > 255) return 0;
  const uint32_t rgb = TheScreen().registers[index].load(std::memory_order_relaxed);
  // Registers hold 0xRRGGBB; callers get red in the low byte, like a PalColor.
  return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
}

int32_t GetPixel(int32_t page, int32_t x, int32_t y) {
  Screen& s = TheScreen();
  std::lock_guard lock(s.pixels);
  if (!detail::ValidPage(s, page) || x < 0 || y < 0 || x >= s.width || y >= s.height) {
    return -1;
  }
  return s.pages[page][size_t(y) * s.width + x];
}

std::vector<uint32_t> CaptureFrame() {
  std::vector<uint32_t> frame(TheScreen().PagePixels());
  detail::RenderVisible(frame.data());
  for (uint32_t& pixel : frame) pixel &= 0xFFFFFFu;
  return frame;
}

void SetDisplayObserver(DisplayObserver* observer) {
  TheScreen().observer.store(observer, std::memory_order_release);
}

}  // namespace quorvel
