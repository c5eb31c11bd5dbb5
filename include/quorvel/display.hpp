// Quorvel display services: one screen of palette indices (640x480 in mode 18, or any
// size from 16x16 to 4096x4096) with 256 palette registers, pages, 8x16 code page 437 text, a few drawing operations, a key queue,
// a millisecond sleep that paces every palette effect, and binary file reading.
//
// All calls are made from the program's thread. A display thread (absent in headless
// mode) owns the window: it turns key presses into the key queue and presents the
// visible page through the palette when something changed, at most once per refresh.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorvel {

// ---------------------------------------------------------------------------------------
// Screen
// ---------------------------------------------------------------------------------------

// Mode 18's size and text grid. A screen opened at another size has its own: ask
// ScreenWidth(), ScreenHeight(), TextColumns() and TextRows().
constexpr int32_t kScreenWidth = 640;
constexpr int32_t kScreenHeight = 480;
constexpr int32_t kTextColumns = 80;
constexpr int32_t kTextRows = 30;

// Flags of OpenScreen.
constexpr int32_t kFullScreen = 1;  // bit 0: full screen; clear asks for a window
constexpr int32_t kDeepColour = 2;  // bit 1: force a depth of at least 16 bits

// How the picture fills a window or a display larger than itself.
enum class Scaling : int32_t {
  // The default. Each axis grows by a whole factor, the largest that fits, the two taken
  // as close to the pixel aspect as whole numbers allow; the picture is centred and the
  // rest is border. Every pixel is a block of the same size: what people drawing pixel
  // art ask for first, at the cost of a border.
  Integer,
  // The largest size at the exact pixel aspect: grown by the nearest whole factor at or
  // above the size, then smoothly down to it, so no pixel is a whole display pixel wider
  // than its neighbour and only the display pixel on an edge between two is blended.
  Aspect,
  // Fills the display, scaled the same sharp way, whatever the shape.
  Stretch,
};

// Everything a screen is opened with. The smallest screen is 16x16, the largest
// 4096x4096; anything outside the ranges given is refused with a message, never changed.
struct ScreenOptions {
  int32_t width = kScreenWidth;
  int32_t height = kScreenHeight;
  int32_t pages = 2;  // 1..16
  // How many times as tall as wide a pixel is shown (0.25..4): 1 for square pixels, 1.2
  // for 320x200 or 640x400 shown at 4:3 as the monitors of their time showed them. An
  // IFF picture's xAspect:yAspect of 5:6 is 6 / 5.
  double pixelAspect = 1.0;
  std::string title = "Quorvel";
  bool fullScreen = false;  // full screen or a window: the one asked for, or an error
  bool deepColour = false;  // as kDeepColour: registers are then not written
  Scaling scaling = Scaling::Integer;
  // The register the border shows (0..255), so that fades and cycles reach it; -1 keeps
  // the border black.
  int32_t borderRegister = -1;
  // Screen pixels of border around the picture on every side (0..256), scaled with it.
  int32_t borderWidth = 0;
};

// The usual modes by name. Mode 18 and mode 19 are also OpenScreen's numbers.
enum class ScreenMode : int32_t {
  Mode18,   // 640x480, square pixels: today's screen
  Mode19,   // 320x200 shown at 4:3 (pixels 1.2 times as tall as wide)
  Mode320x240,
  Mode640x400,  // shown at 4:3
  Mode800x600,
  Mode1024x768,
};
// The options of a named mode, with every other option at its default.
ScreenOptions ModeOptions(ScreenMode mode);

// Opens the screen (mode 18: 640x480; depth 8; pages below 1 count as 1). When the
// requested style (full screen or window) cannot be had, the other one is tried. Returns
// false when no screen could be opened; ScreenError() then says why. A display that
// nobody can see (SDL's offscreen or dummy driver chosen by SDL itself) counts as a
// failure; one the caller chose through SDL_HINT_VIDEODRIVER is accepted.
bool OpenScreen(int32_t mode, int32_t depth, int32_t pages, int32_t flags);
// Opens a screen of any size and shape (see ScreenOptions), in place of one open before.
// Returns false, with ScreenError() saying which option and why, when a request cannot
// be met as given: a full screen that cannot be had is not opened as a window instead.
bool OpenScreenWith(const ScreenOptions& options);
// Why the last OpenScreen or OpenScreenWith failed, or "" after a success.
std::string ScreenError();
// The open screen's size (mode 18's when none is open), its pixel aspect, and its text
// grid of 8x16 cells: as many whole cells as fit.
int32_t ScreenWidth();
int32_t ScreenHeight();
double ScreenPixelAspect();
int32_t TextColumns();
int32_t TextRows();
// Changes the scaling at run time; the window shows it at once and keeps it at every size.
void SetScaling(Scaling scaling);
Scaling CurrentScaling();
// Chooses the register the border shows (0..255), or -1 for black; other values are
// ignored. Writing that register then changes the border as it changes the picture.
void SetBorderRegister(int32_t index);
int32_t BorderRegister();
// Closes the window and releases the pages; the key queue stays. Safe when closed.
void CloseScreen();
// True between a successful OpenScreen and CloseScreen.
bool ScreenIsOpen();

// Sets one register from a PalColor (red + green*256 + blue*65536, 6 bits each; other
// bits ignored). Never waits and never touches pixels; the change shows from the next
// presentation on. Does nothing without an open 8-bit screen.
void SetPaletteEntry(int32_t index, int32_t color);
// Sets one register from 8-bit components, kept at full precision. Like SetPaletteEntry
// it never waits, and the observer sees it (OnPaletteEntryRgb).
void SetPaletteEntryRgb(int32_t index, uint8_t r, uint8_t g, uint8_t b);
// The display's rule for a 6-bit component (0..63) at 8-bit register precision:
// floor(c * 255 / 63), so 63 -> 255, 42 -> 170, 21 -> 85.
constexpr uint32_t Expand6To8(uint32_t c) { return c * 255 / 63; }
// The power-on (VGA default) palette as a PalColor of 6-bit components; 0 outside 0..255.
int32_t DefaultPaletteColor(int32_t index);
// Reloads all 256 registers with the default palette.
void RestoreDefaultPalette();

// Selects the drawing page and the presented page (0-based).
void SetPages(int32_t workPage, int32_t visiblePage);
// Copies a whole page onto another; -1 as source is the work page, -1 as destination
// the visible page.
void CopyPage(int32_t source, int32_t destination);
// Holds off presentation until UnlockScreen (no nesting).
void LockScreen();
// Ends the lock and presents lines firstLine..lastLine (-1, -1: the whole screen).
void UnlockScreen(int32_t firstLine, int32_t lastLine);
// Fills the work page with the background colour and homes the text cursor.
void ClearScreen();

// ---------------------------------------------------------------------------------------
// Palettes per line: registers that change part-way down the frame
// ---------------------------------------------------------------------------------------

// "From line `line` on, registers first..first + count - 1 hold these colours". Line 0 is
// the top; a line above it counts as 0, one below the screen changes nothing shown.
struct LineChange {
  int32_t line = 0;
  int32_t first = 0;
  int32_t count = 0;
  bool operator==(const LineChange&) const = default;
};

// A list of changes, applied top to bottom to every presented frame until it is replaced.
// Each frame starts from the registers at line 0; at each change's line its registers
// take its colours and keep them down to the bottom or to a later change of the same
// register. Changes at the same line apply in the order of the list. So a register write
// between frames (SetPaletteEntry, a fade, the Animator) shows on the lines above the
// first change of that register, and nowhere below it; a register no change names shows
// its one colour on every line, and an empty list is the single palette of every frame.
struct LinePalettes {
  std::vector<LineChange> changes;
  // Every change's colours, 0xRRGGBB (the top byte ignored), one change after another.
  std::vector<uint32_t> colours;

  // Appends a change of registers first..first + count - 1 to `count` colours.
  void Add(int32_t line, int32_t first, const uint32_t* colours, int32_t count);
  // Appends a change of one register.
  void Add(int32_t line, int32_t index, uint32_t colour) { Add(line, index, &colour, 1); }
  bool operator==(const LinePalettes&) const = default;
};

// Why a list cannot be used ("" when it can): a change whose registers leave 0..255, a
// negative count, or colours that do not add up to the counts. The message names the
// change.
std::string LinePalettesProblem(const LinePalettes& lines);
// Replaces the screen's list (from the next presentation on). A list with a problem is
// refused, false with `error` set when given, and the screen keeps the list it had.
// Does nothing without an open screen; closing the screen clears the list.
bool SetLinePalettes(const LinePalettes& lines, std::string* error = nullptr);
// Back to one palette for the whole frame.
void ClearLinePalettes();
// The screen's list, as it was given.
LinePalettes CurrentLinePalettes();
// The colour shown at (x, y) of the visible page, 0xRRGGBB, through the registers and the
// list; -1 outside the screen.
int32_t ShownColor(int32_t x, int32_t y);

// Turns width x height palette indices (rows `indexPitch` bytes apart) into 32-bit pixels
// 0xFFRRGGBB (SDL's ARGB8888), rows `outPitch` bytes apart, through 256 registers (0xRRGGBB;
// the top byte ignored) and, when `lines` is not null, its changes, line 0 being the first
// row. Uses the conversion kernel in use, band by band. Returns false, writing nothing and
// with `error` saying why, for a list with a problem or sizes that do not fit: a width or
// height below 0, or pitches shorter than a row.
bool ConvertIndices(const uint8_t* indices, int32_t width, int32_t height, int32_t indexPitch,
                    const uint32_t* registers, const LinePalettes* lines, uint32_t* out,
                    int32_t outPitch, std::string* error = nullptr);

// ---------------------------------------------------------------------------------------
// Text: cells of 8x16 pixels (80x30 in mode 18), drawn opaque, code page 437
// ---------------------------------------------------------------------------------------

// Sets the text colours (masked to 0..255); a negative value keeps that colour.
void SetTextColor(int32_t foreground, int32_t background);
// Moves the cursor (1-based); 0 or less keeps that coordinate.
void LocateText(int32_t row, int32_t column);
// Prints single-byte code page 437 text at the cursor; newline moves to the next row.
// Past the last row the text grid scrolls up one text row.
void PrintText(const std::string& text, bool newline);

// ---------------------------------------------------------------------------------------
// Drawing on the work page (coordinates round half away from zero; clipped to the page)
// ---------------------------------------------------------------------------------------

// Draws the line between two points, both included. styleMask 65535 is solid; other
// masks repeat their 16 bits along the line, bit 15 first.
void DrawLine(double x1, double y1, double x2, double y2, int32_t colour, int32_t styleMask);
// Draws the rectangle between two corners, filled or as an outline. A line or box with a
// coordinate that is NaN or infinite draws nothing.
void DrawBox(double x1, double y1, double x2, double y2, int32_t colour, bool filled);
// Draws an ellipse centred on (x, y). aspect 0 is the screen's own ratio; above 1 the
// horizontal radius is radius / aspect, otherwise the vertical radius is radius * aspect.
// Angles in radians; a span of 2 pi or more is the whole ellipse. A centre, radius or
// aspect that is NaN or infinite draws nothing.
void DrawEllipse(double x, double y, double radius, int32_t colour, double aspect,
                 double startAngle, double endAngle, bool filled);

// A captured rectangle: a 16-bit word holding width * 8, a 16-bit word holding the
// height (both little-endian), then the pixel rows, one byte per pixel.
using ImageBuffer = std::vector<uint8_t>;
// An empty buffer able to hold `words` 32-bit words.
ImageBuffer MakeImageBuffer(int32_t words);
// An image of width x height pixels, all index 0, its header written: fill the rows at
// ImagePixels and hand it to PutImage. Width is at most 8191, height 65535.
ImageBuffer MakeImage(int32_t width, int32_t height);
inline uint8_t* ImagePixels(ImageBuffer& image) { return image.data() + 4; }

// PutImage modes.
constexpr int32_t kPutTransparent = 0;  // index 0 is skipped, others copied
constexpr int32_t kPutOr = 4;           // destination OR source
constexpr int32_t kPutCopy = -1;        // every pixel copied

// Copies the rectangle (corners inclusive) of the work page into the buffer. Does
// nothing when the rectangle leaves the page or the buffer is too small.
void GetImage(double x1, double y1, double x2, double y2, ImageBuffer& buffer);
// Draws the buffer with its top-left corner at (x, y), clipped to the page. Modes other
// than kPutTransparent and kPutOr copy every pixel.
void PutImage(double x, double y, const ImageBuffer& buffer, int32_t mode);

// A remap table for palette swaps: index i shows as register map[i].
using IndexMap = std::array<uint8_t, 256>;
// The table that changes nothing: every index itself.
IndexMap IdentityIndexMap();
// Replaces each of `count` indices by its entry in the table (for an ImageBuffer:
// MapIndices(map, ImagePixels(image), image.size() - 4)).
void MapIndices(const IndexMap& map, uint8_t* indices, size_t count);
// PutImage with every index drawn as its entry in the table. Which pixels kPutTransparent
// skips is decided by the image's own indices (its 0s), before the table.
void PutImage(double x, double y, const ImageBuffer& buffer, int32_t mode, const IndexMap& map);

// ---------------------------------------------------------------------------------------
// Keys
// ---------------------------------------------------------------------------------------

// Key codes below 256 are characters; 256 + a PC scan code is an extended key.
constexpr int32_t kExtendedKey = 256;
constexpr int32_t kKeyF1 = kExtendedKey + 59;  // F2..F10 follow: kKeyF1 + 1 .. kKeyF1 + 9
constexpr int32_t kKeyHome = kExtendedKey + 71;
constexpr int32_t kKeyUp = kExtendedKey + 72;
constexpr int32_t kKeyPageUp = kExtendedKey + 73;
constexpr int32_t kKeyLeft = kExtendedKey + 75;
constexpr int32_t kKeyRight = kExtendedKey + 77;
constexpr int32_t kKeyEnd = kExtendedKey + 79;
constexpr int32_t kKeyDown = kExtendedKey + 80;
constexpr int32_t kKeyPageDown = kExtendedKey + 81;
constexpr int32_t kKeyInsert = kExtendedKey + 82;
constexpr int32_t kKeyDelete = kExtendedKey + 83;

// True while a key waits in the queue; removes nothing.
bool KeyWaiting();
// Removes the oldest key: one character, or character 255 and the scan code for an
// extended key; "" when the queue is empty.
std::string ReadKey();
// ReadKey as one code, like PushKey takes: a character, or kExtendedKey + the scan code
// of an extended key; 0 when the queue is empty.
int32_t ReadKeyCode();

// Pauses the caller. 1..99: that many ms, no key check. 100 or more: 50 ms slices,
// ending early at a slice boundary when a key waits, the last 1..50 ms unbroken.
// -1: waits for a key (left in the queue). 0 and other negatives: returns at once.
void SleepMs(int32_t milliseconds);

// Milliseconds on the screen's clock: the virtual clock when virtual time is on, else a
// monotonic clock that starts near 0. Pass it to Animator::Update.
double NowMs();
// Runs a program that animates without blocking: calls frame(NowMs()) once per frame
// (60 a second; on virtual time the clock advances by the frame's length) until it
// returns false. In a browser the frames come from the page's animation-frame loop.
void RunFrames(const std::function<bool(double nowMs)>& frame);

// ---------------------------------------------------------------------------------------
// Files: numbers 1..255 bound to open files
// ---------------------------------------------------------------------------------------

enum class FileResult : int32_t {
  Ok = 0,
  BadFileNumber = 52,  // number outside 1..255, in use (open), or not open (read)
  FileNotFound = 53,
  DeviceError = 57,  // the system refused a read
};

enum class FileAccess {
  Binary,    // open for reading and writing, else create empty, else open read-only
  ReadOnly,  // open an existing file for reading only; never creates or truncates
};

// The lowest free file number, or 0 when all 255 are in use.
int32_t FreeFileNumber();
// Opens a file under the number. Only regular files are opened: a directory, FIFO,
// device or socket is refused at once (FileNotFound), without waiting on it.
FileResult OpenFile(const std::string& name, int32_t fileNumber,
                    FileAccess access = FileAccess::Binary);
// Reads up to `count` bytes at the current position and advances it; bytes past the end
// of the file are zero. `bytesRead`, when given, receives how many came from the file.
// On a number that is not open the destination is left unchanged.
FileResult ReadFileBytes(int32_t fileNumber, void* destination, int32_t count,
                         int32_t* bytesRead = nullptr);
// Closes the file and frees the number; 0 closes every open file.
FileResult CloseFile(int32_t fileNumber);

// ---------------------------------------------------------------------------------------
// Inspection and control, for tests, tools and users
// ---------------------------------------------------------------------------------------

// Chosen before OpenScreen: no window and no display thread.
void SetHeadless(bool on);
// SleepMs advances a virtual clock instantly, by the same rules, instead of sleeping.
void SetVirtualTime(bool on);
// Virtual milliseconds slept since virtual time was switched on.
int64_t VirtualTimeMs();
// A key arriving as if pressed on the display side (any thread).
void PushKey(int32_t code);
// A register at 8-bit precision: r + g*256 + b*65536.
uint32_t GetPaletteEntry(int32_t index);
// The palette index at (x, y) of a page; -1 outside the pages.
int32_t GetPixel(int32_t page, int32_t x, int32_t y);
// The visible page seen through the palette and the palettes per line: width*height
// values 0xRRGGBB, row by row.
std::vector<uint32_t> CaptureFrame();
// The kernel that turns the page into pixels on this machine: "avx512", "avx2" or
// "portable". The environment variable QUORVEL_KERNEL, read once, forces one of them.
const char* ConversionKernel();

// Sees what the program asks of the display, on the program's thread.
class DisplayObserver {
 public:
  virtual ~DisplayObserver() = default;
  virtual void OnPaletteEntry(int32_t index, int32_t color) { (void)index, (void)color; }
  // An 8-bit register write: r + g*256 + b*65536 at 8 bits per component.
  virtual void OnPaletteEntryRgb(int32_t index, uint32_t rgb) { (void)index, (void)rgb; }
  virtual void OnSleep(int32_t milliseconds) { (void)milliseconds; }
  virtual void OnReadKey() {}
  // The list of palettes per line was replaced (an empty one: cleared).
  virtual void OnLinePalettes(const LinePalettes& lines) { (void)lines; }
};
// Installs the observer (nullptr removes it). It is called at the start of every
// SetPaletteEntry, SetPaletteEntryRgb, SleepMs and ReadKey, and when a SetLinePalettes or
// ClearLinePalettes changes the list.
void SetDisplayObserver(DisplayObserver* observer);

}  // namespace quorvel
