// The screen: opening and closing it, the palette registers, the pages and their
// presentation, and the inspection surface.
#include "display/screen.hpp"

#include <quorvel/recorder.hpp>

#include <algorithm>
#include <bit>
#include <cstring>

#include "display/convert.hpp"


namespace quorvel {
namespace detail {
namespace {

std::atomic<DisplayObserver*> gObserver{nullptr};

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
// check on every register write. Nothing touches it during static initialisation.
Screen gScreen;

Screen& TheScreen() { return gScreen; }

DisplayObserver* CurrentObserver() { return gObserver.load(std::memory_order_acquire); }

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
    std::fill(out, out + kPagePixels, 0xFF000000u);
    return;
  }
  ConvertBands(ActiveKernel(), s.pages[s.visible].data(), kScreenWidth, kScreenWidth,
               kScreenHeight, registers.data(), s.lines.get(), out, kScreenWidth);
}

void ConvertSnapshot(const VisibleSnapshot& snapshot, uint32_t* out, bool swapRedBlue) {
  ConvertBands(ActiveKernel(), snapshot.indices.data(), kScreenWidth, kScreenWidth,
               kScreenHeight, snapshot.registers.data(), snapshot.lines.get(), out,
               kScreenWidth, swapRedBlue);
}

bool TakeSnapshot(VisibleSnapshot& snapshot) {
  Screen& s = TheScreen();
  const std::array<uint32_t, 256> registers = ReadRegisters();
  bool changed = !snapshot.valid || registers != snapshot.registers;
  snapshot.registers = registers;
  snapshot.valid = true;
  std::lock_guard lock(s.pixels);
  if (snapshot.lines != s.lines) {
    snapshot.lines = s.lines;
    changed = true;
  }
  if (!ValidPage(s, s.visible)) {
    changed = changed || std::any_of(snapshot.indices.begin(), snapshot.indices.end(),
                                     [](uint8_t v) { return v != 0; });
    std::fill(snapshot.indices.begin(), snapshot.indices.end(), 0);
    return changed;
  }
  const std::vector<uint8_t>& page = s.pages[s.visible];
  if (!changed && std::memcmp(page.data(), snapshot.indices.data(), kPagePixels) == 0) {
    return false;
  }
  std::memcpy(snapshot.indices.data(), page.data(), kPagePixels);
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

bool OpenScreen(int32_t mode, int32_t depth, int32_t pages, int32_t flags) {
  Screen& s = TheScreen();
  CloseScreen();
  s.error.clear();
  if (mode != 18) {
    s.error = "screen mode " + std::to_string(mode) + " is not available (mode 18 is 640x480)";
    return false;
  }
  constexpr int32_t kMaxPages = 16;
  pages = std::max(pages, 1);
  if (pages > kMaxPages) {
    s.error = std::to_string(pages) + " pages asked for; the screen has at most " +
              std::to_string(kMaxPages);
    return false;
  }
  {
    std::lock_guard lock(s.pixels);
    s.pages.assign(pages, std::vector<uint8_t>(detail::kPagePixels, 0));
    s.lines = nullptr;
    s.work = 0;
    s.visible = 0;
  }
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
    s.presenter = detail::OpenSdlPresenter(flags, s.error);
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

std::string ScreenError() { return TheScreen().error; }

void CloseScreen() {
  Screen& s = TheScreen();
  detail::EndCapture(s);
  s.presenter.reset();  // joins the display thread
  std::lock_guard lock(s.pixels);
  s.pages.clear();
  s.lines = nullptr;
  s.open = false;
}

bool ScreenIsOpen() { return TheScreen().open; }

namespace {

// Counts the indices of the visible page again, after drawing may have removed some,
// and answers whether `index` is among them. Runs at most once per change of the page,
// and only when a register write would otherwise be presented.
[[gnu::noinline]] bool RecountShown(Screen& s, uint8_t index) {
  s.shown = detail::ValidPage(s, s.visible)
                ? detail::IndicesIn(s.pages[s.visible].data(), detail::kPagePixels)
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
      for (int32_t y = 0; y < kScreenHeight; ++y) {
        const detail::IndexSet row = detail::IndicesIn(page + size_t(y) * kScreenWidth, kScreenWidth);
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
    std::memcpy(s.pages[destination].data(), s.pages[source].data(), detail::kPagePixels);
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
  if (!detail::ValidPage(s, page) || x < 0 || y < 0 || x >= kScreenWidth ||
      y >= kScreenHeight) {
    return -1;
  }
  return s.pages[page][size_t(y) * kScreenWidth + x];
}

std::vector<uint32_t> CaptureFrame() {
  std::vector<uint32_t> frame(detail::kPagePixels);
  detail::RenderVisible(frame.data());
  for (uint32_t& pixel : frame) pixel &= 0xFFFFFFu;
  return frame;
}

void SetDisplayObserver(DisplayObserver* observer) {
  detail::gObserver.store(observer, std::memory_order_release);
}

}  // namespace quorvel
