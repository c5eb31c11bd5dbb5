// The display's one screen: the state shared by the services and the presenter behind
// them. Internal to the display; users include display.hpp.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <quorvel/display.hpp>

#include "display/index_set.hpp"
#include "display/lines.hpp"

namespace quorvel {
class Recorder;
}

namespace quorvel::detail {

// A page of mode 18 (640x480). The display itself follows the open screen's size
// (Screen::PagePixels); this stays for measurements and tests made at that size.
constexpr size_t kPagePixels = size_t(kScreenWidth) * kScreenHeight;

// Text cells: 8x16 code page 437 glyphs at every size.
constexpr int32_t kCellWidth = 8;
constexpr int32_t kCellHeight = 16;

// Shows the visible page somewhere. The SDL presenter owns a window and a display thread;
// without a presenter (headless) nothing is shown and CaptureFrame is the only view.
class Presenter {
 public:
  virtual ~Presenter() = default;
  // Something visible changed: present it soon (at most once per refresh). Called on the
  // program's thread only when the dirty flag goes from clear to set; must not block.
  virtual void Wake() = 0;
};

// A bit of OpenSdlPresenter's flags beside the public ones: the other style (a window for
// full screen, or the reverse) will do when the one asked for cannot be had. OpenScreen
// has always fallen back this way; a screen opened with its options is exactly what it
// asked for, or not opened.
constexpr int32_t kOtherStyleWillDo = 1 << 8;

// Opens the SDL window and starts its display thread. On failure returns nullptr and
// sets `error` to a message naming what failed and SDL's reason.
// `options` is the screen's, already checked; full screen is taken from `flags`.
std::unique_ptr<Presenter> OpenSdlPresenter(const ScreenOptions& options, int32_t flags,
                                            std::string& error);
// In a web page: draws on the page's canvas from its animation-frame loop.
std::unique_ptr<Presenter> OpenBrowserPresenter(std::string& error);

// The machine's clock (clock.cpp): virtual time when it is on, and where real-time pauses
// ended. Only the program's thread pauses, so the time points need no atomics.
struct MachineClock {
  std::atomic<bool> virtualTime{false};
  std::atomic<int64_t> virtualMs{0};
  // Where the last real-time pause ended, and (in a page) when the last one returned.
  std::chrono::steady_clock::time_point lastDeadline{};
  std::chrono::steady_clock::time_point lastReturn{};
};

// The keyboard's queue (keys.cpp): a ring of 16 slots filled by the display side (or
// PushKey) and read by the program.
struct KeyRing {
  std::mutex mutex;
  std::condition_variable pushed;
  int32_t slots[16] = {};
  int head = 0;  // oldest waiting key
  int tail = 0;  // next free slot; head == tail when empty
};

// The open files by number (file_table.cpp); whatever is still open when the machine
// goes is closed then.
struct FileTable {
  std::mutex mutex;
  std::array<int, 256> fds;  // by file number; -1 when free; slot 0 unused
  FileTable() { fds.fill(-1); }
  ~FileTable();
  FileTable(const FileTable&) = delete;
  FileTable& operator=(const FileTable&) = delete;
};

// The emulated machine: its screen with the clock, keyboard, open files and observer
// that go with it. One object, so the display holds no state anywhere else.
struct Screen {
  bool open = false;
  bool headless = false;
  int32_t depth = 8;
  // The size and shape, fixed while the screen is open (OpenScreen sets them before any
  // presenter starts, so the display thread reads them freely).
  int32_t width = kScreenWidth;
  int32_t height = kScreenHeight;
  double pixelAspect = 1.0;  // how many times as tall as wide a pixel is shown
  int32_t textColumns = kTextColumns;
  int32_t textRows = kTextRows;
  size_t PagePixels() const { return size_t(width) * size_t(height); }

  // How the picture is scaled and which register the border shows (-1: black). Set on
  // the program's thread, taken by the presenter with the picture.
  std::atomic<Scaling> scaling{Scaling::Integer};
  std::atomic<int32_t> border{-1};
  int32_t borderWidth = 0;
  int32_t work = 0;     // written by the program's thread only
  int32_t visible = 0;  // changed under `pixels`, which the presenter reads under
  std::vector<std::vector<uint8_t>> pages;  // pixel memory, guarded by `pixels`

  // Registers at 8-bit precision as 0xRRGGBB. One atomic word each, so the presenter
  // never sees a register half-written.
  std::array<std::atomic<uint32_t>, 256> registers{};
  std::atomic<bool> locked{false};
  std::atomic<bool> dirty{false};  // the visible picture needs presenting

  // Guards page memory: the program's thread draws, the display thread converts.
  std::mutex pixels;

  // The indices the visible page shows: a register outside the set changes nothing to
  // present. Every index on the page is in it; after drawing it may also hold indices
  // drawn over since, until `shownExact` is restored by counting the page again. Kept on
  // the program's thread, which alone draws and writes registers.
  IndexSet shown;
  bool shownExact = true;

  // Palettes per line, or null for one palette. Replaced whole under `pixels`, so that a
  // presenter keeps the list it took; only the program's thread replaces it.
  std::shared_ptr<const LineList> lines;
  // The first line of the visible page each index shows on (kNeverChanged: none); counted
  // again when not exact. A register the list changes from some line on is seen only when
  // its index shows above that line.
  std::array<int32_t, 256> firstShown{};
  bool firstShownExact = false;

  // Text state.
  int32_t cursorRow = 0;  // 0-based
  int32_t cursorColumn = 0;
  uint8_t foreground = 15;
  uint8_t background = 0;

  // The rest of the machine. Declared before the presenter, so that they outlive its
  // display thread, which may push keys until it is joined.
  MachineClock clock;
  KeyRing keys;
  FileTable files;
  std::atomic<DisplayObserver*> observer{nullptr};  // installed one, or nullptr

  std::unique_ptr<Presenter> presenter;
  std::string error;

  // The recorder taking frames at every pause, or nullptr.
  std::atomic<Recorder*> recorder{nullptr};
  // The recorder QUORVEL_RECORD asked for, recording from OpenScreen on.
  std::unique_ptr<Recorder> capture;
};

// The one machine, built before main.
Screen& TheScreen();

// Whether `page` is one of the screen's pages.
inline bool ValidPage(const Screen& s, int32_t page) {
  return page >= 0 && page < static_cast<int32_t>(s.pages.size());
}

// The 256 registers as they are now, 0xRRGGBB each.
std::array<uint32_t, 256> ReadRegisters();

// QUORVEL_RECORD: whether it is set; starting its recorder once the screen is open (false,
// with the screen's error set, when it cannot); after each frame a pause took, ending the
// program once the length is recorded; and finishing the file when the screen closes.
bool CaptureAsked();
bool StartCapture(Screen& s);
void CaptureTaken(Recorder* recorder);
void EndCapture(Screen& s);

// The installed observer, or nullptr.
DisplayObserver* CurrentObserver();

// Blocks the caller until a key is pushed (used by SleepMs(-1) on virtual time).
void WaitForKeyPush();
// Empties the key queue.
void ClearKeys();

// Flags the page as changed: when it is the visible one, it is presented soon. `drawn`
// holds every index that may have been written (by default any); `covers` means the
// page now holds those indices only.
void PageChanged(int32_t page, const IndexSet& drawn = IndexSet::Every(), bool covers = false);

// Flags the visible picture for presentation and wakes the presenter if it slept.
void MarkDirty();

// Takes a snapshot of the registers and converts the visible page into `out`
// (PagePixels() values 0xFFRRGGBB) through them and the palettes per line, with the
// conversion kernel in use (convert.hpp).
// Holds the pixel lock while reading the page.
void RenderVisible(uint32_t* out);

// The visible page's indices and the registers (0xRRGGBB), with how to scale them and
// the border, as a presenter last took them.
struct VisibleSnapshot {
  int32_t width = 0, height = 0;  // the screen's, from the first snapshot on
  std::vector<uint8_t> indices;   // width * height
  std::array<uint32_t, 256> registers{};
  Scaling scaling = Scaling::Integer;
  int32_t border = -1;
  std::shared_ptr<const LineList> lines;  // null: one palette
  bool valid = false;  // false until taken, or after a presentation was given up
};
// The border's colour in a snapshot, 0xRRGGBB: its register's, or black.
inline uint32_t BorderColour(const VisibleSnapshot& snapshot) {
  return snapshot.border < 0 ? 0 : snapshot.registers[size_t(snapshot.border)];
}
// Converts a snapshot into `out` (width * height values 0xFFRRGGBB; 0xFFBBGGRR with
// `swapRedBlue`) with the conversion kernel in use.
void ConvertSnapshot(const VisibleSnapshot& snapshot, uint32_t* out, bool swapRedBlue = false);

// Takes the visible page, the registers and the palettes per line into `snapshot` (holding the pixel lock only
// while copying) and says whether they differ from what it held.
bool TakeSnapshot(VisibleSnapshot& snapshot);
// A presenter's turn: clears the dirty flag and takes the snapshot, saying whether there
// is a changed picture to present. Never while the screen is locked (UnlockScreen flags
// the picture dirty again); a snapshot taken as a lock began may hold a half-redrawn
// page and does not count as shown.
bool TakePictureToPresent(VisibleSnapshot& snapshot);

// The default palette at 8-bit precision, 0xRRGGBB per register.
const std::array<uint32_t, 256>& DefaultRegisters();

// The 8x16 code page 437 font: 16 row bytes per glyph, bit 0 the leftmost pixel.
extern const uint8_t kFont8x16[256][16];

}  // namespace quorvel::detail
