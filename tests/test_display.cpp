// The display services on a headless screen: registers, pages, text, drawing and images.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include <quorvel/display.hpp>
#include "display/screen.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

using testing::HeadlessScreen;

uint32_t Rgb8(uint32_t r, uint32_t g, uint32_t b) { return r + g * 256 + b * 65536; }

TEST(Registers, SixBitComponentsBecomeEightBit) {
  HeadlessScreen screen;
  const struct {
    int32_t color;
    uint32_t want;
  } cases[] = {{63 + 63 * 256 + 63 * 65536, Rgb8(255, 255, 255)},
               {64, Rgb8(0, 0, 0)},  // only the low six bits of each component count
               {32, Rgb8(129, 0, 0)},
               {1 + 21 * 256 + 62 * 65536, Rgb8(4, 85, 250)},
               {-1, Rgb8(255, 255, 255)},
               {0x40404040, Rgb8(0, 0, 0)}};
  for (auto c : cases) {
    SetPaletteEntry(5, c.color);
    EXPECT_EQ(GetPaletteEntry(5), c.want) << c.color;
  }
  SetPaletteEntry(300, 63);  // out of range: ignored, nothing else changes
  SetPaletteEntry(-1, 63);
  EXPECT_EQ(GetPaletteEntry(255), 0u);
}

TEST(Registers, DefaultPaletteAtOpenAndRestore) {
  HeadlessScreen screen;
  const std::pair<int32_t, uint32_t> expected[] = {
      {15, Rgb8(255, 255, 255)}, {6, Rgb8(170, 85, 0)}, {31, Rgb8(255, 255, 255)},
      {255, 0},                  {1, Rgb8(0, 0, 170)},  {8, Rgb8(85, 85, 85)},
      {17, Rgb8(20, 20, 20)}};
  for (auto [index, rgb] : expected) EXPECT_EQ(GetPaletteEntry(index), rgb) << index;
  for (int i = 0; i < 256; ++i) SetPaletteEntry(i, 0);
  RestoreDefaultPalette();
  for (auto [index, rgb] : expected) EXPECT_EQ(GetPaletteEntry(index), rgb) << index;
}

TEST(Registers, NoScreenNoEffect) {
  SetHeadless(true);
  CloseScreen();
  testing::Recorder rec;
  SetPaletteEntry(3, 63);
  EXPECT_EQ(rec.Count(testing::Event::Entry), 1u);  // observed, but the screen is closed
  EXPECT_FALSE(ScreenIsOpen());
  EXPECT_EQ(GetPixel(0, 0, 0), -1);
}

TEST(Screen, OpenRejectsOtherModesAndPageCounts) {
  SetHeadless(true);
  EXPECT_FALSE(OpenScreen(13, 8, 2, 0));
  EXPECT_NE(ScreenError().find("mode 13"), std::string::npos);
  EXPECT_FALSE(OpenScreen(18, 8, 100, 0));
  EXPECT_TRUE(OpenScreen(18, 8, 0, 0));  // below 1 counts as 1
  EXPECT_EQ(GetPixel(1, 0, 0), -1);
  EXPECT_EQ(ScreenError(), "");
  CloseScreen();
}

TEST(Pages, CopyAndCaptureTheVisiblePage) {
  HeadlessScreen screen;
  SetPages(1, 0);
  SetTextColor(15, 4);
  ClearScreen();  // page 1 all colour 4
  EXPECT_EQ(GetPixel(1, 639, 479), 4);
  EXPECT_EQ(GetPixel(0, 0, 0), 0);
  CopyPage(-1, -1);
  EXPECT_EQ(GetPixel(0, 320, 240), 4);
  const auto frame = CaptureFrame();
  ASSERT_EQ(frame.size(), 640u * 480u);
  EXPECT_EQ(frame[0], 0xAA0000u);  // register 4 is (170, 0, 0)
  SetPaletteEntry(4, 63 * 256);
  EXPECT_EQ(CaptureFrame()[1000], 0x00FF00u);  // recoloured without touching pixels
  SetPages(1, 1);
  SetPages(7, -3);  // pages that do not exist are ignored
  DrawBox(0, 0, 0, 0, 9, true);
  EXPECT_EQ(GetPixel(1, 0, 0), 9);
}

TEST(Text, OpaqueCellsAndCursor) {
  HeadlessScreen screen;
  SetTextColor(14, 1);
  LocateText(2, 3);
  PrintText(std::string(1, '\xDB'), false);  // the full block: every pixel foreground
  for (int y = 16; y < 32; ++y) {
    for (int x = 16; x < 24; ++x) ASSERT_EQ(GetPixel(0, x, y), 14);
  }
  PrintText(" ", false);  // a blank: every pixel background
  for (int y = 16; y < 32; ++y) {
    for (int x = 24; x < 32; ++x) ASSERT_EQ(GetPixel(0, x, y), 1);
  }
  // The left column of the diamond's middle row is set: bit 0 is the leftmost pixel.
  SetTextColor(12, 0);
  LocateText(1, 1);
  PrintText("\x04", false);
  EXPECT_EQ(GetPixel(0, 0, 7), 12);
  EXPECT_EQ(GetPixel(0, 7, 7), 0);
  // Negative colours keep the current one; values are masked to 0..255.
  SetTextColor(-1, 256 + 3);
  LocateText(0, 0);  // keeps the cursor after the diamond
  PrintText(" ", false);
  EXPECT_EQ(GetPixel(0, 8, 0), 3);
}

TEST(Text, WrapsAtColumn80AndScrollsPastRow30) {
  HeadlessScreen screen;
  SetTextColor(15, 0);
  LocateText(1, 1);
  PrintText(std::string(80, 'x'), true);  // exactly one row: no blank row after it
  PrintText("\xDB", false);
  EXPECT_EQ(GetPixel(0, 3, 16 + 8), 15);  // the block sits on row 2, column 1

  DrawBox(0, 0, 639, 15, 7, true);  // mark text row 1
  DrawBox(0, 16, 639, 31, 9, true);  // and row 2
  SetTextColor(15, 2);
  LocateText(30, 1);
  PrintText("z", true);  // the newline on row 30 scrolls by one text row
  EXPECT_EQ(GetPixel(0, 100, 0), 9);     // row 2 moved up to row 1
  EXPECT_EQ(GetPixel(0, 100, 479), 2);   // the freed bottom row is background
  EXPECT_EQ(GetPixel(0, 0, 448 + 2), 2);  // the "z" cell moved up to row 29
  PrintText("\xDB", false);  // the cursor stays on row 30, column 1
  EXPECT_EQ(GetPixel(0, 7, 470), 15);
  // A cursor placed beyond the grid stays on it: the last cell, then a wrap and scroll.
  LocateText(99, 99);
  PrintText("\xDB\xDB", false);
  EXPECT_EQ(GetPixel(0, 639, 479 - 16), 15);
  EXPECT_EQ(GetPixel(0, 0, 479), 15);
}

TEST(Drawing, LinesBoxesAndEllipsesClip) {
  HeadlessScreen screen;
  DrawLine(-10, 5, 700, 5, 3, 65535);
  EXPECT_EQ(GetPixel(0, 0, 5), 3);
  EXPECT_EQ(GetPixel(0, 639, 5), 3);
  DrawLine(10.5, 20, 10.5, 30, 6, 65535);  // halves round away from zero
  EXPECT_EQ(GetPixel(0, 11, 25), 6);
  EXPECT_EQ(GetPixel(0, 10, 25), 0);
  DrawLine(0, 40, 15, 40, 8, 0xFF00);  // dashes: 8 on, 8 off
  EXPECT_EQ(GetPixel(0, 7, 40), 8);
  EXPECT_EQ(GetPixel(0, 8, 40), 0);
  DrawBox(630, 470, 700, 500, 5, true);
  EXPECT_EQ(GetPixel(0, 639, 479), 5);
  DrawBox(100, 100, 110, 110, 7, false);
  EXPECT_EQ(GetPixel(0, 100, 105), 7);
  EXPECT_EQ(GetPixel(0, 105, 105), 0);
  DrawEllipse(320, 240, 35, 4, 0.5, 0, 6.2831859588623047, true);
  EXPECT_EQ(GetPixel(0, 320 + 34, 240), 4);  // horizontal half-axis 35
  EXPECT_EQ(GetPixel(0, 320, 240 + 17), 4);  // vertical 17.5
  EXPECT_EQ(GetPixel(0, 320, 240 + 20), 0);
  DrawEllipse(200, 300, 20, 4, 2, 0, 6.3, true);  // aspect above 1 narrows it
  EXPECT_EQ(GetPixel(0, 200, 319), 4);
  EXPECT_EQ(GetPixel(0, 212, 300), 0);
  DrawEllipse(-1000, 1e300, 1e9, 4, 0, 0, 7, true);  // absurd input draws nothing
  // So do coordinates and sizes that are no numbers or infinite, filled or not, and
  // lines and boxes with such a corner, rather than one towards the page's edge.
  const std::vector<uint32_t> drawn = CaptureFrame();
  const double nan = std::nan(""), inf = INFINITY;
  for (bool filled : {true, false}) {
    for (double aspect : {nan, inf, -inf}) DrawEllipse(320, 240, 30, 9, aspect, 0, 7, filled);
    for (double at : {nan, inf}) {
      DrawEllipse(at, 240, 30, 9, 1, 0, 7, filled);
      DrawEllipse(320, at, 30, 9, 1, 0, 7, filled);
      DrawEllipse(320, 240, at, 9, 1, 0, 7, filled);
    }
  }
  for (double at : {nan, inf, -inf}) {
    for (int32_t which = 0; which < 4; ++which) {
      double c[4] = {300, 200, 340, 260};
      c[which] = at;
      DrawLine(c[0], c[1], c[2], c[3], 9, 65535);
      DrawBox(c[0], c[1], c[2], c[3], 9, true);
      DrawBox(c[0], c[1], c[2], c[3], 9, false);
    }
  }
  EXPECT_EQ(CaptureFrame(), drawn);
  DrawEllipse(10, 470, 30, 11, 0, 0, 6.3, true);  // clipped at the bottom-left corner
  EXPECT_EQ(GetPixel(0, 0, 479), 11);
}

TEST(Images, GetImageLayoutAndRefusals) {
  HeadlessScreen screen;
  DrawBox(10, 10, 12, 11, 9, true);
  ImageBuffer image = MakeImageBuffer(3);  // 12 bytes: 4 + 3*2 fits
  GetImage(10, 10, 12, 11, image);
  EXPECT_EQ(image[0] | image[1] << 8, 24);  // width * 8
  EXPECT_EQ(image[2] | image[3] << 8, 2);
  EXPECT_EQ(image[4], 9);
  EXPECT_EQ(image[9], 9);
  EXPECT_EQ(image[10], 0);  // beyond the pixels: untouched

  const ImageBuffer before = image;
  DrawBox(0, 0, 639, 479, 1, true);
  GetImage(638, 0, 640, 1, image);  // leaves the page
  GetImage(-1, 0, 1, 1, image);
  EXPECT_EQ(image, before);
  ImageBuffer small = MakeImageBuffer(2);  // 8 bytes < 4 + 3*2
  GetImage(0, 0, 2, 1, small);
  EXPECT_EQ(small, ImageBuffer(8, 0));
  // MakeImage writes the header GetImage writes.
  ImageBuffer made = MakeImage(3, 2);
  std::fill(ImagePixels(made), ImagePixels(made) + 6, uint8_t{9});
  EXPECT_EQ(made, ImageBuffer(before.begin(), before.begin() + 10));
}

TEST(Images, PutImageModesAndClipping) {
  HeadlessScreen screen;
  // A 2x2 image: 0, 5 / 6, 0.
  const ImageBuffer image = {16, 0, 2, 0, 0, 5, 6, 0};
  DrawBox(0, 0, 639, 479, 3, true);
  PutImage(100, 100, image, kPutTransparent);
  EXPECT_EQ(GetPixel(0, 100, 100), 3);  // index 0 is skipped
  EXPECT_EQ(GetPixel(0, 101, 100), 5);
  EXPECT_EQ(GetPixel(0, 100, 101), 6);
  PutImage(200, 200, image, kPutOr);
  EXPECT_EQ(GetPixel(0, 200, 200), 3);
  EXPECT_EQ(GetPixel(0, 201, 200), 3 | 5);
  EXPECT_EQ(GetPixel(0, 200, 201), 3 | 6);
  PutImage(-1, -1, image, kPutTransparent);  // only the bottom-right pixel is on the page
  EXPECT_EQ(GetPixel(0, 0, 0), 3);
  PutImage(639, 479, image, kPutOr);
  EXPECT_EQ(GetPixel(0, 639, 479), 3);
  PutImage(638, 0, image, kPutTransparent);
  EXPECT_EQ(GetPixel(0, 639, 0), 5);
  PutImage(5000, -7000, image, kPutTransparent);  // wholly off the page
  // A header that claims more pixels than the buffer holds is refused.
  const ImageBuffer liar = {0xF8, 0xFF, 0xFF, 0xFF, 1, 2, 3};
  PutImage(0, 0, liar, kPutTransparent);
  PutImage(0, 0, ImageBuffer{1}, kPutTransparent);
  EXPECT_EQ(GetPixel(0, 1, 0), 3);
}

// Whether `change` asks for a presentation, starting from a picture just presented.
bool Dirties(const std::function<void()>& change) {
  detail::TheScreen().dirty = false;
  change();
  return detail::TheScreen().dirty;
}

// Gives register `index` a colour different from the one it has.
void Recolour(int32_t index) { SetPaletteEntry(index, GetPaletteEntry(index) ? 0 : 63); }

TEST(Presentation, OnlyRegistersTheVisiblePageShowsAskForIt) {
  HeadlessScreen screen;
  SetTextColor(15, 1);
  ClearScreen();  // all index 1
  DrawBox(10, 10, 20, 20, 5, true);
  EXPECT_FALSE(Dirties([] { Recolour(9); }));
  EXPECT_FALSE(Dirties([] { SetPaletteEntryRgb(200, 1, 2, 3); }));
  EXPECT_TRUE(Dirties([] { Recolour(5); }));
  EXPECT_TRUE(Dirties([] { SetPaletteEntryRgb(1, 1, 2, 3); }));

  // One pixel of a formerly unused index makes its register count; text brings both
  // its colours, an image its own indices.
  EXPECT_TRUE(Dirties([] { DrawLine(100, 100, 100, 100, 9, 65535); }));
  EXPECT_TRUE(Dirties([] { Recolour(9); }));
  SetTextColor(200, 201);
  PrintText("A", false);
  EXPECT_TRUE(Dirties([] { SetPaletteEntryRgb(200, 9, 9, 9); }));
  EXPECT_TRUE(Dirties([] { Recolour(201); }));
  PutImage(600, 400, ImageBuffer{8, 0, 1, 0, 33}, kPutTransparent);
  EXPECT_TRUE(Dirties([] { Recolour(33); }));

  // Drawn over to the last pixel, an index no longer counts.
  DrawBox(10, 10, 20, 20, 1, true);
  EXPECT_FALSE(Dirties([] { Recolour(5); }));
  EXPECT_TRUE(Dirties([] { Recolour(9); }));

  // Drawing on a page nobody sees counts once it is shown or copied to the visible page.
  SetPages(1, 0);
  DrawBox(0, 0, 3, 3, 77, true);
  EXPECT_FALSE(Dirties([] { Recolour(77); }));
  EXPECT_TRUE(Dirties([] { SetPages(1, 1); }));
  EXPECT_TRUE(Dirties([] { Recolour(77); }));
  EXPECT_FALSE(Dirties([] { Recolour(9); }));
  SetPages(0, 0);
  EXPECT_FALSE(Dirties([] { Recolour(77); }));
  EXPECT_TRUE(Dirties([] { CopyPage(1, 0); }));
  EXPECT_TRUE(Dirties([] { Recolour(77); }));
  EXPECT_FALSE(Dirties([] { Recolour(200); }));
}

TEST(Lock, LockIsNotNested) {
  HeadlessScreen screen;
  LockScreen();
  LockScreen();
  UnlockScreen(-1, -1);
  UnlockScreen(-1, -1);  // not locked: nothing happens
  SetPaletteEntry(1, 63);
  EXPECT_EQ(CaptureFrame()[0], 0u);
}

}  // namespace
}  // namespace quorvel
