// Quantizing and remapping: the same result every time, few colours kept exact, the
// registers the options keep out or fix, transparency, the dithering patterns, remap
// tables, and pictures read as RGBA.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <quorvel/quantize.hpp>

#include "formats/quantize_common.hpp"
#include "palette/colour_space.hpp"
#include "tests/support/png.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

// A smooth picture of many colours: hue across, lightness down.
RgbaPicture Gradient(int32_t width = 64, int32_t height = 48) {
  RgbaPicture p{width, height, {}};
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      p.pixels.push_back({uint8_t(x * 255 / (width - 1)), uint8_t(y * 255 / (height - 1)),
                          uint8_t((x * 3 + y * 5) % 256), 255});
    }
  }
  return p;
}

RgbaPicture Flat(int32_t width, int32_t height, Rgba8 colour) {
  return {width, height, std::vector<Rgba8>(size_t(width) * size_t(height), colour)};
}

PaletteFile BlackAndWhite() {
  PaletteFile file;
  file.count = 2;
  file.colours[1] = {255, 255, 255};
  return file;
}

TEST(Quantize, SameResultEveryTimeAndFewColoursExact) {
  const RgbaPicture gradient = Gradient();
  for (Dither dither : {Dither::None, Dither::Bayer8, Dither::FloydSteinberg}) {
    QuantizeOptions options;
    options.colours = 32;
    options.dither = dither;
    const QuantizeResult first = Quantize(gradient, options), second = Quantize(gradient, options);
    ASSERT_TRUE(first.ok()) << first.error;
    EXPECT_EQ(first.picture.pixels, second.picture.pixels);
    EXPECT_EQ(first.picture.palette, second.picture.palette);
    EXPECT_EQ(first.picture.colourCount, 32);
    EXPECT_TRUE(std::all_of(first.picture.pixels.begin(), first.picture.pixels.end(), [](uint8_t i) { return i < 32; }));
    // 32 colours for a smooth picture: close, and every register put to use.
    EXPECT_LT(MeanOkLabDifference(gradient, ExpandIndexedPicture(first.picture)), 0.05);
    if (dither == Dither::None) {
      std::vector<bool> used(32, false);
      for (uint8_t i : first.picture.pixels) used[i] = true;
      EXPECT_EQ(std::count(used.begin(), used.end(), true), 32);
      // The registers hold the colours darkest first.
      for (size_t i = 1; i < 32; ++i) {
        EXPECT_LE(formats::LabOf(first.picture.palette[i - 1]).l, formats::LabOf(first.picture.palette[i]).l) << i;
      }
    }
  }

  // As many colours as registers: each comes back exactly, in order of first appearance,
  // and dithering adds nothing to it.
  RgbaPicture few = Flat(6, 4, {10, 20, 30, 255});
  for (size_t i = 0; i < few.pixels.size(); ++i) few.pixels[i] = {uint8_t(i % 4 * 60), uint8_t(i / 6 * 7), 99, 255};
  QuantizeOptions options;
  options.colours = 24;
  options.dither = Dither::Bayer4;
  const QuantizeResult exact = Quantize(few, options);
  ASSERT_TRUE(exact.ok()) << exact.error;
  EXPECT_EQ(ExpandIndexedPicture(exact.picture).pixels, few.pixels);
  EXPECT_EQ(exact.picture.pixels[0], 0);
  EXPECT_EQ(exact.picture.pixels[1], 1);
  // One colour more than registers: quantized, no longer exact.
  options.colours = 15;
  const QuantizeResult fewer = Quantize(few, options);
  EXPECT_NE(ExpandIndexedPicture(fewer.picture).pixels, few.pixels);
  EXPECT_TRUE(std::all_of(fewer.picture.pixels.begin(), fewer.picture.pixels.end(), [](uint8_t i) { return i < 15; }));
  EXPECT_LT(MeanOkLabDifference(few, ExpandIndexedPicture(fewer.picture)), 0.002);  // two near colours merged
}

TEST(Quantize, ReservedAndFixedRegistersAndTransparency) {
  RgbaPicture picture = Gradient();
  for (size_t i = 0; i < 40; ++i) picture.pixels[i] = {255, 0, 0, 255};  // red, as a fixed register holds it
  for (size_t i = 100; i < 140; ++i) picture.pixels[i].a = 100;         // see-through
  QuantizeOptions options;
  options.colours = 64;
  options.reservedLow = 16, options.reservedHigh = 31;
  options.reserved = {{44, 47}, {46, 50}};  // more cycles' registers, overlapping
  options.fixed = {{0, {255, 0, 0}}, {40, {0, 0, 255}}};
  const QuantizeResult result = Quantize(picture, options);
  ASSERT_TRUE(result.ok()) << result.error;
  const IndexedPicture& out = result.picture;
  EXPECT_EQ(out.colourCount, 64);
  EXPECT_EQ(out.palette[0], (Rgb8{255, 0, 0}));
  EXPECT_EQ(out.palette[40], (Rgb8{0, 0, 255}));
  const auto reserved = [](int32_t r) { return (r >= 16 && r <= 31) || (r >= 44 && r <= 50); };
  for (int32_t r = 0; r < 64; ++r) EXPECT_TRUE(!reserved(r) || out.palette[size_t(r)] == Rgb8{}) << r;
  // The transparent register is the lowest left free: 0 is fixed.
  EXPECT_EQ(out.transparentIndex, 1);
  EXPECT_EQ(out.alpha[1], 0);
  EXPECT_EQ(out.alpha[2], 255);
  for (size_t i = 0; i < out.pixels.size(); ++i) {
    const uint8_t index = out.pixels[i];
    EXPECT_FALSE(reserved(index)) << "pixel " << i << " takes reserved register " << int(index);
    EXPECT_EQ(index == 1, i >= 100 && i < 140) << "pixel " << i;
    if (i < 40) {
      EXPECT_EQ(index, 0) << "pixel " << i;
    }
  }
  // Threshold 0: nothing is see-through.
  options.alphaThreshold = 0;
  const QuantizeResult opaque = Quantize(picture, options);
  EXPECT_EQ(opaque.picture.transparentIndex, -1);
  EXPECT_EQ(std::count(opaque.picture.alpha.begin(), opaque.picture.alpha.end(), 255), 256);

  // Options that cannot hold are refused, saying which.
  const auto refused = [&](QuantizeOptions o, const std::string& words) {
    const QuantizeResult r = Quantize(picture, o);
    EXPECT_NE(r.error.find(words), std::string::npos) << r.error;
    EXPECT_TRUE(r.picture.pixels.empty());
  };
  QuantizeOptions bad;
  bad.colours = 0;
  refused(bad, "0 colours");
  bad = {}, bad.colours = 32, bad.reservedLow = 20, bad.reservedHigh = 32;
  refused(bad, "lie past the 32 registers");
  bad = {}, bad.colours = 32, bad.reserved = {{3, 4}, {20, 32}};
  refused(bad, "reserved registers 20..32 lie past the 32 registers");
  bad = {}, bad.reservedLow = 5, bad.reservedHigh = 4;
  refused(bad, "low <= high");
  bad = {}, bad.reservedLow = 0, bad.reservedHigh = 9, bad.fixed = {{9, {}}};
  refused(bad, "fixed register 9 is also reserved");
  bad = {}, bad.fixed = {{3, {}}, {3, {1, 1, 1}}};
  refused(bad, "register 3 is fixed twice");
  bad = {}, bad.colours = 2, bad.fixed = {{0, {}}, {1, {}}};
  refused(bad, "no register is left free");  // for the see-through pixels
}

// Two large flat areas one step apart (one cell of the histogram) and six lone pixels of
// far colours, on 5 registers: the boxes go to the far pixels and merge the areas, and only
// a swap gives each area its exact colour, dropping a lone pixel's.
// Two clusters of colour apart only in OKLab's b (blue against yellow), spread alike in
// lightness and a: the histogram is cut along b too, so even without refining, each
// cluster gets colours of its own.
TEST(Quantize, ColoursApartOnlyInBlueAndYellowAreTold) {
  RgbaPicture picture{64, 16, {}};
  uint32_t seed = 1;
  const auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 8 & 0xFFFF; };
  for (int32_t i = 0; i < 1024; ++i) {
    const detail::Lab lab{0.55 + 0.3 * next() / 65535.0, 0.06 * next() / 65535.0 - 0.03, i % 2 ? 0.1 : -0.1};
    const Rgb8 c = detail::ToRgb8(detail::FromOkLab(lab));
    picture.pixels.push_back({c.r, c.g, c.b, 255});
  }
  QuantizeOptions options;
  options.colours = 4;
  options.dither = Dither::None;
  options.refinePasses = 0;
  const QuantizeResult result = Quantize(picture, options);
  ASSERT_TRUE(result.ok()) << result.error;
  // Cut along lightness and a alone, every colour sits between the clusters, 0.1 off.
  EXPECT_LT(MeanOkLabDifference(picture, ExpandIndexedPicture(result.picture)), 0.06);
}

TEST(Quantize, LargeFlatAreasKeepTheirColours) {
  RgbaPicture picture = Flat(64, 32, {100, 100, 100, 255});
  for (size_t i = 1024; i < 2048; ++i) picture.pixels[i] = {101, 100, 100, 255};
  const Rgba8 far[] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 0, 255},
                       {0, 255, 255, 255}, {255, 0, 255, 255}};
  for (size_t i = 0; i < 6; ++i) picture.pixels[i * 331 % 2048] = far[i % 6];
  QuantizeOptions options;
  options.colours = 5;
  options.dither = Dither::None;
  const QuantizeResult result = Quantize(picture, options);
  ASSERT_TRUE(result.ok()) << result.error;
  const Palette& palette = result.picture.palette;
  EXPECT_NE(std::find(palette.colors.begin(), palette.colors.begin() + 5, Rgb8{100, 100, 100}), palette.colors.begin() + 5);
  EXPECT_NE(std::find(palette.colors.begin(), palette.colors.begin() + 5, Rgb8{101, 100, 100}), palette.colors.begin() + 5);
}

// A flat grey of OKLab lightness 0.3406 on black and white: ordered patterns show exactly
// their share of white in every tile (the cells whose threshold passes 1 - 0.3406: 5 of
// 16, 22 of 64), diffusion about the same share overall.
TEST(Dithering, PatternsOfAGrey) {
  const RgbaPicture grey = Flat(32, 32, {56, 56, 56, 255});
  const auto whites = [](const IndexedPicture& p, int32_t x0, int32_t y0, int32_t side) {
    int32_t n = 0;
    for (int32_t y = y0; y < y0 + side; ++y)
      for (int32_t x = x0; x < x0 + side; ++x) n += p.pixels[size_t(y) * size_t(p.width) + size_t(x)];
    return n;
  };
  QuantizeOptions options;
  for (Dither dither : {Dither::Bayer4, Dither::Bayer8}) {
    options.dither = dither;
    const QuantizeResult r = RemapToPalette(grey, BlackAndWhite(), options);
    ASSERT_TRUE(r.ok()) << r.error;
    const int32_t side = dither == Dither::Bayer4 ? 4 : 8;
    const int32_t expected = side == 4 ? 5 : 22;
    for (int32_t ty = 0; ty < 32; ty += side)
      for (int32_t tx = 0; tx < 32; tx += side) ASSERT_EQ(whites(r.picture, tx, ty, side), expected) << tx << "," << ty;
    // Each tile is the same pattern, and the matrix's first cell is its darkest.
    for (size_t i = 0; i < r.picture.pixels.size(); ++i) {
      const size_t x = i % 32, y = i / 32;
      ASSERT_EQ(r.picture.pixels[i], r.picture.pixels[(y % size_t(side)) * 32 + x % size_t(side)]) << i;
    }
    EXPECT_EQ(r.picture.pixels[0], 0);
    if (side == 4) {
      // Bayer's own matrix (0 8 2 10 / 12 4 14 6 / 3 11 1 9 / 15 7 13 5): white where it
      // holds 11 to 15.
      const uint8_t tile[4][4] = {{0, 0, 0, 0}, {1, 0, 1, 0}, {0, 1, 0, 0}, {1, 0, 1, 0}};
      for (size_t y = 0; y < 4; ++y)
        for (size_t x = 0; x < 4; ++x) EXPECT_EQ(r.picture.pixels[y * 32 + x], tile[y][x]) << x << "," << y;
    }
  }
  options.dither = Dither::FloydSteinberg;
  const QuantizeResult diffused = RemapToPalette(grey, BlackAndWhite(), options);
  EXPECT_NEAR(whites(diffused.picture, 0, 0, 32) / 1024.0, 0.3406, 0.02);
  // Rows alternate: under a black row, which carries no error down, the grey row runs
  // right to left, the mirror of the same grey as a first row.
  const RgbaPicture row = Flat(16, 1, {56, 56, 56, 255});
  RgbaPicture underBlack = Flat(16, 2, {56, 56, 56, 255});
  std::fill(underBlack.pixels.begin(), underBlack.pixels.begin() + 16, Rgba8{0, 0, 0, 255});
  std::vector<uint8_t> first = RemapToPalette(row, BlackAndWhite(), options).picture.pixels;
  const std::vector<uint8_t> second = RemapToPalette(underBlack, BlackAndWhite(), options).picture.pixels;
  ASSERT_NE(std::count(first.begin(), first.end(), 1), 0);
  ASSERT_NE(first, std::vector<uint8_t>(first.rbegin(), first.rend()));  // the direction shows
  std::reverse(first.begin(), first.end());
  EXPECT_EQ(std::vector<uint8_t>(second.begin() + 16, second.end()), first);
  options.dither = Dither::None;
  const QuantizeResult plain = RemapToPalette(grey, BlackAndWhite(), options);
  EXPECT_EQ(whites(plain.picture, 0, 0, 32), 0);
  Dither named = Dither::None;
  EXPECT_TRUE(DitherFromName("fs", named));
  EXPECT_EQ(named, Dither::FloydSteinberg);
  EXPECT_TRUE(DitherFromName(DitherName(Dither::Bayer8), named));
  EXPECT_EQ(named, Dither::Bayer8);
  EXPECT_FALSE(DitherFromName("bayer16", named));
}

TEST(Remap, TablesPalettesAndDrawing) {
  // An indexed picture of four registers (2 see-through) onto a palette whose nearest
  // colours sit elsewhere, register 1 reserved.
  IndexedPicture source;
  source.width = 4, source.height = 1, source.colourCount = 4;
  source.palette[0] = {250, 250, 250}, source.palette[1] = {0, 0, 6}, source.palette[3] = {0, 200, 0};
  source.alpha[2] = 0, source.transparentIndex = 2;
  source.pixels = {0, 1, 2, 3};
  source.cycles.push_back({});
  PaletteFile target;
  target.count = 5;
  target.colours[1] = {0, 0, 6};  // the very colour, but reserved
  target.colours[2] = {0, 0, 5};
  target.colours[3] = {255, 255, 255};
  target.colours[4] = {0, 190, 10};
  target.transparentIndex = 0;
  QuantizeOptions options;
  options.dither = Dither::None;
  options.reservedLow = options.reservedHigh = 1;
  const QuantizeResult remapped = RemapPicture(source, target, options);
  ASSERT_TRUE(remapped.ok()) << remapped.error;
  EXPECT_EQ(remapped.picture.pixels, (std::vector<uint8_t>{3, 2, 0, 4}));
  EXPECT_EQ(remapped.picture.transparentIndex, 0);
  EXPECT_EQ(remapped.picture.palette, target.colours);
  EXPECT_TRUE(remapped.picture.cycles.empty());
  // Dithered, through the colours: the same on a picture this plain.
  options.dither = Dither::FloydSteinberg;
  EXPECT_EQ(RemapPicture(source, target, options).picture.pixels, remapped.picture.pixels);
  // Without a transparent register for the see-through pixel it is refused.
  target.transparentIndex = -1;
  EXPECT_NE(RemapPicture(source, target, options).error.find("no transparent register"), std::string::npos);
  // Only a transparent and a reserved register: none is left for the colours.
  target.transparentIndex = 0;
  target.count = 2;
  EXPECT_NE(RemapPicture(source, target, options).error.find("no register of the palette is left"), std::string::npos);

  // The table alone: past fromCount each register is itself.
  const IndexMap map = NearestIndexMap(source.palette, 4, target.colours, 5, options);
  EXPECT_EQ(map[0], 3);
  EXPECT_EQ(map[1], 2);
  EXPECT_EQ(map[3], 4);
  EXPECT_EQ(map[200], 200);
  std::vector<uint8_t> indices = {3, 0, 200};
  MapIndices(map, indices.data(), indices.size());
  EXPECT_EQ(indices, (std::vector<uint8_t>{4, 3, 200}));

  // At draw time: what kPutTransparent skips is the image's own 0s, the rest drawn
  // through the table, here swapping 0 and 5 and sending 6 to 0.
  testing::HeadlessScreen screen;
  const ImageBuffer image = {16, 0, 2, 0, 0, 5, 6, 7};
  IndexMap swap = IdentityIndexMap();
  swap[0] = 5, swap[5] = 0, swap[6] = 0;
  DrawBox(0, 0, 639, 479, 3, true);
  PutImage(10, 10, image, kPutTransparent, swap);
  EXPECT_EQ(GetPixel(0, 10, 10), 3);
  EXPECT_EQ(GetPixel(0, 11, 10), 0);
  EXPECT_EQ(GetPixel(0, 10, 11), 0);
  EXPECT_EQ(GetPixel(0, 11, 11), 7);
  PutImage(20, 20, image, kPutCopy, swap);
  EXPECT_EQ(GetPixel(0, 20, 20), 5);
  PutImage(30, 30, image, kPutOr, swap);
  EXPECT_EQ(GetPixel(0, 30, 30), 3 | 5);
}

void Put16(std::vector<uint8_t>& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void Put32(std::vector<uint8_t>& out, uint32_t v) { Put16(out, v & 0xFFFF), Put16(out, v >> 16); }

// A BMP of 3 x 2 pixels, bottom row first, 24 bits or 32 with the V4 header's masks.
std::vector<uint8_t> TrueColourBmp(uint32_t bits) {
  const uint32_t info = bits == 24 ? 40 : 108, stride = 12;  // 9 bytes padded, or 12
  std::vector<uint8_t> b = {'B', 'M'};
  const uint32_t offset = 14 + info;
  Put32(b, offset + stride * 2), Put32(b, 0), Put32(b, offset);
  Put32(b, info), Put32(b, 3), Put32(b, 2), Put16(b, 1), Put16(b, uint16_t(bits));
  Put32(b, bits == 24 ? 0 : 3), Put32(b, stride * 2), Put32(b, 0), Put32(b, 0), Put32(b, 0), Put32(b, 0);
  if (bits == 32) {
    Put32(b, 0x0000FF00), Put32(b, 0x00FF0000), Put32(b, 0xFF000000), Put32(b, 0x000000FF);  // r g b a
    b.resize(offset, 0);
  }
  for (int32_t row = 0; row < 2; ++row) {
    for (int32_t x = 0; x < 3; ++x) {
      const uint8_t r = uint8_t(row * 100 + x), g = uint8_t(x * 50), bl = 7;
      if (bits == 24) b.insert(b.end(), {bl, g, r});
      else b.insert(b.end(), {uint8_t(x * 80), r, g, bl});  // a, r, g, b from the low byte up
    }
    if (bits == 24) b.insert(b.end(), 3, 0);
  }
  return b;
}

TEST(RgbaPictures, TrueColourFilesAndIndexedOnes) {
  // 24 bits: bottom row first, rows padded.
  const RgbaReadResult bmp = ParseRgbaPicture(TrueColourBmp(24), "rgb.bmp");
  ASSERT_TRUE(bmp.ok()) << bmp.error;
  ASSERT_EQ(bmp.picture.pixels.size(), 6u);
  EXPECT_EQ(bmp.picture.pixels[0], (Rgba8{100, 0, 7, 255}));
  EXPECT_EQ(bmp.picture.pixels[5], (Rgba8{2, 100, 7, 255}));
  // 32 bits through its masks, alpha among them.
  const RgbaReadResult fields = ParseRgbaPicture(TrueColourBmp(32), "rgba.bmp");
  ASSERT_TRUE(fields.ok()) << fields.error;
  EXPECT_EQ(fields.picture.pixels[4], (Rgba8{1, 50, 7, 80}));
  // 16 bits without masks: 5-5-5, each channel widened to 0..255 and rounded.
  std::vector<uint8_t> five = {'B', 'M'};
  Put32(five, 14 + 40 + 4), Put32(five, 0), Put32(five, 14 + 40);
  Put32(five, 40), Put32(five, 2), Put32(five, 1), Put16(five, 1), Put16(five, 16);
  Put32(five, 0), Put32(five, 4), Put32(five, 0), Put32(five, 0), Put32(five, 0), Put32(five, 0);
  Put16(five, 16 << 10 | 31 << 5 | 1), Put16(five, 0x7FFF);
  const RgbaReadResult sixteen = ParseRgbaPicture(five, "five.bmp");
  ASSERT_TRUE(sixteen.ok()) << sixteen.error;
  EXPECT_EQ(sixteen.picture.pixels, (std::vector<Rgba8>{{132, 255, 8, 255}, {255, 255, 255, 255}}));
  // The indexed readers still refuse it, as before.
  EXPECT_NE(ParsePicture(TrueColourBmp(24), "rgb.bmp").error.find("true-colour"), std::string::npos);
  // Cut short: the byte is named.
  std::vector<uint8_t> cut = TrueColourBmp(24);
  cut.resize(cut.size() - 4);
  EXPECT_NE(ParseRgbaPicture(cut, "cut.bmp").error.find("cut.bmp: cannot read this BMP picture: byte"), std::string::npos);

  // A PCX of three 8-bit planes, run-length encoded: a run of 2 reds, then literals.
  std::vector<uint8_t> pcx(128, 0);
  pcx[0] = 10, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8, pcx[8] = 1, pcx[65] = 3, pcx[66] = 2;  // 2 x 1
  pcx.insert(pcx.end(), {0xC2, 200, 10, 20, 30, 40});
  const RgbaReadResult planes = ParseRgbaPicture(pcx, "rgb.pcx");
  ASSERT_TRUE(planes.ok()) << planes.error;
  EXPECT_EQ(planes.picture.pixels, (std::vector<Rgba8>{{200, 10, 30, 255}, {200, 20, 40, 255}}));

  // A palette PNG with tRNS comes with its opacities; an RGB one as it is.
  testing::PngSamples png;
  png.width = 2, png.height = 1, png.samples = {0, 1};
  png.chunks = {testing::PngChunk("PLTE", {1, 2, 3, 4, 5, 6}), testing::PngChunk("tRNS", {0})};
  const RgbaReadResult palette = ParseRgbaPicture(testing::PngFile(png), "p.png");
  ASSERT_TRUE(palette.ok()) << palette.error;
  EXPECT_EQ(palette.picture.pixels, (std::vector<Rgba8>{{1, 2, 3, 0}, {4, 5, 6, 255}}));
  const std::string path = ::testing::TempDir() + "quantize_rgb.png";
  ASSERT_TRUE(testing::WritePng(path, {2, 2, {0x102030, 0x405060, 0x708090, 0xA0B0C0}}));
  const RgbaReadResult rgb = LoadRgbaPicture(path);
  ASSERT_TRUE(rgb.ok()) << rgb.error;
  EXPECT_EQ(rgb.picture.pixels[3], (Rgba8{0xA0, 0xB0, 0xC0, 255}));
  EXPECT_EQ(rgb.picture.width, 2);
}

}  // namespace
}  // namespace quorvel
