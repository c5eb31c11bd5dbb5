// Text output: 8x16 code page 437 cells, as many as fit the screen (80x30 in mode 18),
// drawn opaque.
#include <algorithm>
#include <cstring>

#include "display/screen.hpp"

namespace quorvel {
namespace {

using detail::kCellHeight;
using detail::kCellWidth;

// Moves the text grid up one text row and blanks the freed bottom row. Lines below the
// grid (a height that is no whole number of cells) are not text and stay.
void ScrollUp(detail::Screen& s, std::vector<uint8_t>& page) {
  const size_t rowBytes = size_t(s.width) * kCellHeight;
  const size_t gridBytes = rowBytes * size_t(s.textRows);
  std::memmove(page.data(), page.data() + rowBytes, gridBytes - rowBytes);
  std::fill(page.begin() + ptrdiff_t(gridBytes - rowBytes), page.begin() + ptrdiff_t(gridBytes),
            s.background);
  s.cursorRow = s.textRows - 1;
}

// Returns whether the page scrolled.
bool NextRow(detail::Screen& s, std::vector<uint8_t>& page) {
  s.cursorColumn = 0;
  if (++s.cursorRow < s.textRows) return false;
  ScrollUp(s, page);
  return true;
}

// Paints one cell; returns whether any pixel changed. A blinking prompt reprints the
// same text every few milliseconds, and only real changes need presenting.
bool DrawGlyph(const detail::Screen& s, std::vector<uint8_t>& page, uint8_t code) {
  const uint8_t* glyph = detail::kFont8x16[code];
  uint8_t* cell = page.data() + size_t(s.cursorRow) * kCellHeight * size_t(s.width) +
                  size_t(s.cursorColumn) * kCellWidth;
  bool changed = false;
  for (int32_t y = 0; y < kCellHeight; ++y, cell += s.width) {
    for (int32_t x = 0; x < kCellWidth; ++x) {
      const uint8_t colour = (glyph[y] >> x & 1) ? s.foreground : s.background;
      changed |= cell[x] != colour;
      cell[x] = colour;
    }
  }
  return changed;
}

}  // namespace

void SetTextColor(int32_t foreground, int32_t background) {
  detail::Screen& s = detail::TheScreen();
  if (foreground >= 0) s.foreground = static_cast<uint8_t>(foreground & 255);
  if (background >= 0) s.background = static_cast<uint8_t>(background & 255);
}

void LocateText(int32_t row, int32_t column) {
  detail::Screen& s = detail::TheScreen();
  if (row > 0) s.cursorRow = std::min(row, s.textRows) - 1;
  if (column > 0) s.cursorColumn = std::min(column, s.textColumns) - 1;
}

void PrintText(const std::string& text, bool newline) {
  detail::Screen& s = detail::TheScreen();
  if (!detail::ValidPage(s, s.work)) return;
  bool changed = false;
  {
    std::lock_guard lock(s.pixels);
    std::vector<uint8_t>& page = s.pages[s.work];
    for (char c : text) {
      if (s.cursorColumn >= s.textColumns) changed |= NextRow(s, page);
      changed |= DrawGlyph(s, page, static_cast<uint8_t>(c));
      ++s.cursorColumn;
    }
    if (newline) changed |= NextRow(s, page);
  }
  if (!changed) return;
  // Glyphs and the rows a scroll blanks hold these two indices only.
  detail::IndexSet drawn = detail::IndexSet::Of(s.foreground);
  drawn.Add(s.background);
  detail::PageChanged(s.work, drawn);
}

}  // namespace quorvel
