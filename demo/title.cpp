// The title sequence: the captured title pictures, the fly-in, the comet trails, the
// banner scroll and the fade-in of the trails.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "demo/runner.hpp"
#include <quorvel/palette.hpp>

namespace quorvel::demo {
namespace {

// Code page 437 bytes of the title, spelt out so that the art stays readable below.
constexpr char kBar = '\xC4';        // ─
constexpr std::string_view kTitleText = "T H E   N E W   T E S S E L   8 - B I T";
constexpr std::string_view kVersionText = "v e r s i o n   1 . 1";
constexpr std::string_view kCaption = "R E A D Y   T O   T E S T :";
constexpr int kTitleWidth = 70;  // columns of the two rules
// The ╨ of the foot rule meets the stem that the V's point sends down.
constexpr int kFootJoinColumn = 23;

// The banner: "QUORVEL" in double-stemmed block letters, four rows, each letter five
// columns wide (the V fills all five, so that its point is the middle of the row).
//   Q     U     O     R     V     E     L
constexpr std::array<std::string_view, 4> kBanner = {
    "\xD6\xD2\xD2\xB7 \xD2  \xD2 \xD6\xD2\xD2\xB7 \xD6\xD2\xD2\xB7 \xD2   \xD2 \xD6\xD2\xD2\xB7 \xD2   ",
    "\xBA  \xBA \xBA  \xBA \xBA  \xBA \xBA  \xBA \xBA   \xBA \xBA    \xBA   ",
    "\xBA \xB7\xBA \xBA  \xBA \xBA  \xBA \xC7\xD2\xD2\xBD \xD3\xB7 \xD6\xBD \xC7\xD2\xB7  \xBA   ",
    "\xD3\xD0\xD7\xBD \xD3\xD0\xD0\xBD \xD3\xD0\xD0\xBD \xBA \xD3\xB7  \xD3\xD2\xBD  \xD3\xD0\xD0\xBD \xD3\xD0\xD0\xBD",
};
static_assert(std::all_of(kBanner.begin(), kBanner.end(),
                          [](std::string_view row) { return row.size() == 35; }));
static_assert(kBanner[3][kFootJoinColumn - 1] == '\xD2', "the V's point stem");

// Row 8, 35 columns, and the notice line, 52 columns.
constexpr std::string_view kPresenter = "        presented by Tessel        ";
constexpr std::string_view kNotice = "Quorvel (C) Tessel.  All rights reserved, worldwide.";
static_assert(kPresenter.size() == 35);
static_assert(kNotice.size() == 52);

std::string Bars(int count) { return std::string(size_t(count), kBar); }

// The eight title rows, printed at column 1 of text rows 1 to 8.
std::array<std::string, 8> TitleRows() {
  const std::string top = Bars(13) + " " + std::string(kTitleText) + " ";
  std::string foot = Bars(kTitleWidth);
  foot[kFootJoinColumn - 1] = '\xD0';  // ╨
  return {top + Bars(kTitleWidth - int(top.size())),
          std::string(kBanner[0]),
          std::string(kBanner[1]),
          std::string(kBanner[2]),
          std::string(kBanner[3]),
          foot,
          Bars(6) + " " + std::string(kVersionText) + " " + Bars(6),
          std::string(kPresenter)};
}

using RowColours = std::array<int32_t, 8>;
constexpr RowColours kColourSetA = {31, 43, 67, 92, 28, 103, 32, 15};
constexpr RowColours kColourSetB = {114, 12, 43, 67, 24, 79, 104, 36};

void PrintTitle(const RowColours& colours) {
  const std::array<std::string, 8> rows = TitleRows();
  for (int32_t row = 1; row <= 8; ++row) {
    SetTextColor(colours[size_t(row - 1)], 0);
    LocateText(row, 1);
    PrintText(rows[size_t(row - 1)], true);
  }
}

// Prints one line at the top left in the shadow colour and then, over it, in the text
// colour, and captures both; then composes the text over its shadow offset one pixel
// right, down and diagonally, and captures the result into `image`.
void CaptureShadowed(std::string_view text, int32_t textColour, int32_t shadowColour,
                     int32_t right, ImageBuffer& image, ImageBuffer& shadow) {
  SetTextColor(shadowColour, 0);
  LocateText(1, 1);
  PrintText(std::string(text), true);
  GetImage(0, 0, right, 16, shadow);
  SetTextColor(textColour, 0);
  LocateText(1, 1);
  PrintText(std::string(text), true);
  GetImage(0, 0, right, 16, image);
  ClearScreen();
  PutImage(1, 1, shadow, kPutTransparent);
  PutImage(1, 0, shadow, kPutTransparent);
  PutImage(0, 1, shadow, kPutTransparent);
  PutImage(0, 0, image, kPutTransparent);
  GetImage(0, 0, right, 16, image);
  std::fill(shadow.begin(), shadow.end(), uint8_t{0});
  ClearScreen();
}

// 2 pi as a single-precision value, which the display takes as a whole ellipse.
constexpr double kWholeTurn = double(float(6.283185307179586));

// One animation frame: composed on a cleared page 1 by `draw`, then after a pause of 1 ms
// copied to the visible page in one piece.
template <typename Draw>
void ShowFrame(Draw draw) {
  SetPages(1, 0);
  ClearScreen();
  draw();
  SleepMs(1);
  CopyPage(-1, -1);
}

void FlyIn(const Images& images) {
  float t = 800;
  do {
    ShowFrame([&] {
      t = t - 4;
      if (t <= 0) t = 0;
      // The OR copies cross the screen six times as fast as the converging ones and have
      // left it by the last frame.
      PutImage(6.0 * t - 609, 101, images.titleB, kPutOr);
      PutImage(31, 500 - 6.0 * t, images.titleB, kPutOr);
      PutImage(670 - 6.0 * t, 101, images.titleB, kPutOr);
      PutImage(30, 6.0 * t - 300, images.titleB, kPutOr);
      PutImage(31.0 + t, 101, images.titleB, kPutTransparent);
      PutImage(31, 100.0 - t, images.titleB, kPutTransparent);
      PutImage(30.0 - t, 101, images.titleB, kPutTransparent);
      PutImage(30, 100.0 + t, images.titleA, kPutTransparent);
    });
  } while (t > 0);
}

// Three trails of shrinking discs towards the upper right, drawn unseen on page 1.
// r accumulates in single precision, so it ends just above 35 after 350 steps.
void DrawCometTrails() {
  SetPages(1, 0);
  ClearScreen();
  float r = 0;
  while (r <= 35) {
    const double d = r;
    const double radius = 35 - d;
    const double aspect = 1 - d / 100;
    DrawEllipse((d / 100) * d * 4 + 390, 200 - (d / 300 + 2.6) * d, radius, 4, aspect, 0,
                kWholeTurn, true);
    DrawEllipse((d / 80) * d * 6 + 420, 180 - (d / 350 + 2.6) * d, radius, 2, aspect, 0,
                kWholeTurn, true);
    DrawEllipse((d / 60) * d * 8 + 450, 160 - (d / 400 + 2.6) * d, radius, 1, aspect, 0,
                kWholeTurn, true);
    r = float(d + 0.1);
  }
}

// The settled title over the trails, captured; the trail colours go black until the
// reveal.
void CaptureBanner(Images& images) {
  PutImage(31, 101, images.titleB, kPutTransparent);
  PutImage(31, 100, images.titleB, kPutTransparent);
  PutImage(30, 101, images.titleB, kPutTransparent);
  PutImage(30, 100, images.titleA, kPutTransparent);
  GetImage(30, 65, 615, 235, images.banner);
  SetPaletteEntry(1, 0);
  SetPaletteEntry(2, 0);
  SetPaletteEntry(4, 0);
}

void ScrollBanner(const Images& images) {
  float y = 65;
  do {
    ShowFrame([&] {
      y = y - 1;
      if (y <= 0) y = 0;
      PutImage(30, y, images.banner, kPutTransparent);
    });
  } while (y > 0);
}

// The trails appear one after another: colour 4, then 2, then 1.
void RevealTrails() {
  for (int32_t colour : {4, 2, 1}) {
    int32_t first = colour;
    int32_t last = colour;
    int32_t speed = 2;
    FadeInRange::DefaultPal(first, last, speed);
  }
}

}  // namespace

void DrawTitleImages(Demo& demo) {
  Images& images = demo.images;
  PrintTitle(kColourSetA);
  GetImage(0, 0, 564, 128, images.titleA);
  ClearScreen();
  PrintTitle(kColourSetB);
  GetImage(0, 0, 564, 128, images.titleB);
  ClearScreen();
  CaptureShadowed(kCaption, 91, 139, 224, images.ready, images.readyShadow);
  CaptureShadowed(kNotice, 15, 6, 416, images.notice, images.noticeShadow);
}

void PlayTitleSequence(Demo& demo) {
  FlyIn(demo.images);
  DrawCometTrails();
  CaptureBanner(demo.images);
  ScrollBanner(demo.images);
  RevealTrails();
}

}  // namespace quorvel::demo
