// PCX and BMP pictures built here in every layout users' files hold, read back pixel for
// pixel, and damaged ones refused with the byte named.
#include <gtest/gtest.h>

#include <quorvel/formats.hpp>
#include <quorvel/quantize.hpp>

namespace quorvel {
namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void Put32(Bytes& out, uint32_t v) { Put16(out, v & 0xFFFF), Put16(out, v >> 16); }

// Indices 0..colours-1 in a pattern that differs from row to row, with a run of one value
// across the end of row 0 into row 1.
std::vector<uint8_t> Pattern(int32_t width, int32_t height, int32_t colours) {
  std::vector<uint8_t> pixels;
  for (int32_t i = 0; i < width * height; ++i) pixels.push_back(uint8_t((i * 7 + i / width * 3) % colours));
  for (int32_t i = width - 3; i < width + 3 && i < width * height; ++i) pixels[size_t(i)] = uint8_t(colours - 1);
  return pixels;
}

Palette Colours() {
  Palette p;
  for (size_t i = 0; i < 256; ++i) p[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 5)};
  return p;
}

struct PcxPicture {
  uint8_t bits = 8, planes = 1;
  int32_t width = 13, height = 5;
  int32_t bytesPerLine = -1;  // -1: the least the width needs
  bool encoded = true;
  bool headerColours = true;  // false: zeros, as files without a palette have
  std::vector<uint8_t> pixels;
};

// The header, every row's planes as one stream (run-length encoded across rows, as many
// encoders write it), and for 8 bits the 256-colour palette after a 0x0C.
Bytes PcxFile(const PcxPicture& p) {
  const Palette colours = Colours();
  const int32_t bpl = p.bytesPerLine >= 0 ? p.bytesPerLine : (p.width * p.bits + 7) / 8;
  Bytes file = {10, 5, uint8_t(p.encoded), p.bits};
  Put16(file, 0), Put16(file, 0), Put16(file, uint32_t(p.width - 1)), Put16(file, uint32_t(p.height - 1));
  Put16(file, 72), Put16(file, 72);
  for (size_t i = 0; i < 16; ++i) {
    const Rgb8 c = p.headerColours ? colours[i] : Rgb8{};
    file.insert(file.end(), {c.r, c.g, c.b});
  }
  file.insert(file.end(), {0, p.planes});
  Put16(file, uint32_t(bpl));
  Put16(file, 1);
  file.resize(128);
  Bytes stream;
  const int32_t perByte = 8 / p.bits, mask = (1 << p.bits) - 1;
  for (int32_t y = 0; y < p.height; ++y) {
    for (int32_t plane = 0; plane < p.planes; ++plane) {
      Bytes line(size_t(bpl), 0);
      for (int32_t x = 0; x < p.width && x / perByte < bpl; ++x) {
        const int32_t field = p.pixels[size_t(y * p.width + x)] >> (plane * p.bits) & mask;
        line[size_t(x / perByte)] |= uint8_t(field << (8 - p.bits * (x % perByte + 1)));
      }
      stream.insert(stream.end(), line.begin(), line.end());
    }
  }
  for (size_t i = 0; i < stream.size();) {
    size_t run = 1;
    while (i + run < stream.size() && run < 63 && stream[i + run] == stream[i]) ++run;
    if (!p.encoded) run = 1;
    if (p.encoded && (run > 1 || stream[i] >= 0xC0)) file.push_back(uint8_t(0xC0 | run));
    file.push_back(stream[i]);
    i += run;
  }
  if (p.bits == 8) {
    file.push_back(0x0C);
    for (const Rgb8& c : colours.colors) file.insert(file.end(), {c.r, c.g, c.b});
  }
  return file;
}

// 256 colours, 2, EGA's 4, 8 and 16 in bit planes, CGA's 4 and 16 in nibbles; encoded and
// plain; the least BytesPerLine, odd ones included, and more than the least.
TEST(PcxPictures, EveryIndexedLayoutReadsAsDrawn) {
  const struct {
    uint8_t bits, planes;
  } layouts[] = {{8, 1}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {2, 1}, {4, 1}};
  for (const auto& layout : layouts) {
    for (bool encoded : {true, false}) {
      for (int32_t extra : {0, 3}) {
        PcxPicture p;
        p.bits = layout.bits;
        p.planes = layout.planes;
        p.encoded = encoded;
        const int32_t colours = 1 << (layout.bits * layout.planes);
        p.pixels = Pattern(p.width, p.height, colours);
        p.bytesPerLine = (p.width * p.bits + 7) / 8 + extra;
        const PictureReadResult read = ParsePicture(PcxFile(p), "p.pcx");
        const std::string what = std::to_string(p.bits) + " bits x " + std::to_string(p.planes) +
                                 (encoded ? " encoded" : " plain") + ", BytesPerLine " + std::to_string(p.bytesPerLine);
        ASSERT_TRUE(read.ok()) << read.error << " " << what;
        EXPECT_EQ(read.picture.width, 13) << what;
        EXPECT_EQ(read.picture.height, 5) << what;
        EXPECT_EQ(read.picture.pixels, p.pixels) << what;
        EXPECT_EQ(read.picture.colourCount, colours) << what;
        Palette want;
        std::copy_n(Colours().colors.begin(), colours, want.colors.begin());
        EXPECT_EQ(read.picture.palette, want) << what;
      }
    }
  }
  // Without a palette in the header, 2 colours are black and white, 16 the EGA's.
  for (uint8_t bits : {1, 4}) {
    PcxPicture p;
    p.bits = bits;
    p.headerColours = false;
    p.pixels = Pattern(13, 5, 1 << bits);
    const PictureReadResult read = ParsePicture(PcxFile(p), "p.pcx");
    ASSERT_TRUE(read.ok()) << read.error;
    Palette want;
    std::copy_n(Palette::Default().colors.begin(), 1 << bits, want.colors.begin());
    if (bits == 1) want[1] = {255, 255, 255};
    EXPECT_EQ(read.picture.palette, want) << int(bits);
    EXPECT_EQ(read.picture.pixels, p.pixels);
  }
}

TEST(PcxPictures, DamagedOrTrueColourPcxIsRefusedNamingTheByte) {
  PcxPicture eight;
  eight.width = 200;
  eight.pixels = Pattern(200, 5, 256);
  const Bytes good = PcxFile(eight);
  const Bytes noPalette(good.begin(), good.end() - 769);
  const Bytes cutPalette(good.begin(), good.end() - 100);
  PcxPicture narrow = eight;
  narrow.bytesPerLine = 199;
  PcxPicture mono;
  mono.bits = 1;
  mono.pixels = Pattern(13, 5, 2);
  mono.bytesPerLine = 1;
  PcxPicture nibbles;
  nibbles.bits = 4;
  nibbles.encoded = false;
  nibbles.pixels = Pattern(13, 5, 16);
  Bytes cutRows = PcxFile(nibbles);
  cutRows.resize(cutRows.size() - 1);
  // Four pixels, one row: a run of 6 goes past it.
  PcxPicture four;
  four.width = 4, four.height = 1;
  four.pixels = {1, 1, 1, 1};
  Bytes overrun = PcxFile(four);
  overrun[128] = 0xC6;
  PcxPicture rgb = eight;
  rgb.planes = 3;
  rgb.pixels.assign(200 * 5, 0);
  PcxPicture odd = nibbles;
  odd.planes = 2;
  const struct {
    const char* name;
    Bytes bytes;
    std::string error;
  } cases[] = {
      {"no palette", noPalette, "byte " + std::to_string(noPalette.size() - 769) + ": no 256-colour palette at the end"},
      {"cut palette", cutPalette, "byte " + std::to_string(cutPalette.size() - 769) + ": no 256-colour palette"},
      {"narrow", PcxFile(narrow), "byte 66: BytesPerLine is 199 where a row of 200 pixels needs 200"},
      {"narrow mono", PcxFile(mono), "byte 66: BytesPerLine is 1 where a row of 13 pixels needs 2"},
      {"cut rows", cutRows, "byte " + std::to_string(cutRows.size()) + ": the pixel data ends before the last of its 5 rows"},
      {"overrun", overrun, "byte 128: a run that goes 2 bytes past the picture's last row"},
      {"true colour", PcxFile(rgb), "a true-colour picture (3 planes of 8 bits)"},
      {"4 bits x 2", PcxFile(odd), "byte 3: 4 bits a pixel in 2 planes: not a layout of PCX pictures that can be read"},
  };
  for (const auto& c : cases) {
    const PictureReadResult read = ParsePicture(c.bytes, "d.pcx");
    EXPECT_NE(read.error.find("d.pcx: cannot read this PCX picture: " + c.error), std::string::npos)
        << c.name << ": " << read.error;
    EXPECT_TRUE(read.picture.pixels.empty()) << c.name;
  }
  // True colour, read as such: four pixels of three planes in one run of 14 bytes where
  // the row has 12.
  PcxPicture rgbFour = four;
  rgbFour.planes = 3;
  rgbFour.pixels = {0, 0, 0, 0};
  Bytes rgbOverrun = PcxFile(rgbFour);
  ASSERT_EQ(rgbOverrun[128], 0xCC);
  rgbOverrun[128] = 0xCE;
  const RgbaReadResult rgbRead = ParseRgbaPicture(rgbOverrun, "d.pcx");
  EXPECT_NE(rgbRead.error.find("byte 128: a run that goes 2 bytes past the picture's last row"), std::string::npos)
      << rgbRead.error;
}

struct BmpPicture {
  uint32_t infoSize = 40;
  int32_t width = 13, height = 5;  // a negative height stores the top row first
  uint16_t bits = 8;
  uint32_t compression = 0;
  uint32_t coloursUsed = 0;
  int32_t tableEntries = -1;  // -1: all the bits index
  std::vector<uint8_t> pixels;  // top row first
  Bytes codes;                  // in place of the rows: RLE codes
};

Bytes BmpFile(const BmpPicture& p) {
  const Palette colours = Colours();
  const size_t entryBytes = p.infoSize == 12 ? 3 : 4;
  const int32_t entries = p.tableEntries >= 0 ? p.tableEntries : 1 << p.bits;
  Bytes info;
  Put32(info, p.infoSize);
  if (p.infoSize == 12) {
    Put16(info, uint32_t(p.width)), Put16(info, uint32_t(p.height)), Put16(info, 1), Put16(info, p.bits);
  } else {
    Put32(info, uint32_t(p.width)), Put32(info, uint32_t(p.height)), Put16(info, 1), Put16(info, p.bits);
    Put32(info, p.compression), Put32(info, 0), Put32(info, 2835), Put32(info, 2835);
    Put32(info, p.coloursUsed), Put32(info, 0);
    info.resize(p.infoSize);
  }
  for (int32_t i = 0; i < entries; ++i) {
    const Rgb8 c = colours[size_t(i)];
    info.insert(info.end(), {c.b, c.g, c.r});
    if (entryBytes == 4) info.push_back(0);
  }
  Bytes rows = p.codes;
  const int32_t height = p.height < 0 ? -p.height : p.height;
  const size_t stride = size_t((p.width * p.bits + 31) / 32 * 4);
  const int32_t perByte = 8 / p.bits;
  for (int32_t r = 0; p.codes.empty() && r < height; ++r) {
    const int32_t y = p.height < 0 ? r : height - 1 - r;
    Bytes row(stride, 0);
    for (int32_t x = 0; x < p.width; ++x) {
      row[size_t(x / perByte)] |= uint8_t(p.pixels[size_t(y * p.width + x)] << (8 - p.bits * (x % perByte + 1)));
    }
    rows.insert(rows.end(), row.begin(), row.end());
  }
  Bytes file = {'B', 'M'};
  Put32(file, uint32_t(14 + info.size() + rows.size())), Put32(file, 0), Put32(file, uint32_t(14 + info.size()));
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), rows.begin(), rows.end());
  return file;
}

// Every depth under the OS/2 header (3-byte colours), the Windows one and V4 and V5, bottom
// row first and top row first; the colours counted are those of the table the file holds.
TEST(BmpPictures, EveryDepthAndHeaderReadsAsDrawn) {
  for (uint32_t infoSize : {12u, 40u, 108u, 124u}) {
    for (uint16_t bits : {1, 2, 4, 8}) {
      for (bool topDown : {false, true}) {
        if (topDown && infoSize == 12) continue;  // its sizes are unsigned
        BmpPicture p;
        p.infoSize = infoSize;
        p.bits = bits;
        p.height = topDown ? -5 : 5;
        p.pixels = Pattern(13, 5, 1 << bits);
        const PictureReadResult read = ParsePicture(BmpFile(p), "p.bmp");
        const std::string what = std::to_string(infoSize) + "-byte header, " + std::to_string(bits) + " bits" +
                                 (topDown ? ", top down" : "");
        ASSERT_TRUE(read.ok()) << read.error << " " << what;
        EXPECT_EQ(read.picture.width, 13) << what;
        EXPECT_EQ(read.picture.height, 5) << what;
        EXPECT_EQ(read.picture.pixels, p.pixels) << what;
        EXPECT_EQ(read.picture.colourCount, 1 << bits) << what;
        EXPECT_EQ(read.picture.palette[(1u << bits) - 1], Colours()[(1u << bits) - 1]) << what;
        if (bits < 8) {
          EXPECT_EQ(read.picture.palette[1u << bits], Rgb8{}) << what;
        }
      }
    }
  }
  // A table shorter than the bits index: counted by the header, or, in the OS/2 header,
  // which has no count, by where the pixels start.
  BmpPicture counted;
  counted.coloursUsed = 16;
  counted.tableEntries = 16;
  counted.pixels = Pattern(13, 5, 16);
  BmpPicture os2 = counted;
  os2.infoSize = 12;
  os2.coloursUsed = 0;
  for (const BmpPicture& p : {counted, os2}) {
    const PictureReadResult read = ParsePicture(BmpFile(p), "short.bmp");
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.picture.colourCount, 16);
    EXPECT_EQ(read.picture.pixels, p.pixels);
    EXPECT_EQ(read.picture.palette[16], Rgb8{});
  }
}

// RLE8 and RLE4: runs, literal pixels (padded to even bytes), pixels in a row's padding
// (ImageMagick codes them), the end of a row, a move, the end of the picture; pixels never
// painted are 0. Rows are stored bottom first.
TEST(BmpPictures, RunLengthCodesPaintTheirPixels) {
  BmpPicture rle8;
  rle8.width = 6, rle8.height = 3;
  rle8.compression = 1;
  rle8.codes = {3, 7, 0, 3, 1, 2, 3, 0, 0, 0,  // bottom row: 7 7 7 1 2 3
                2, 9, 4, 0, 2, 4, 0, 0,        // middle: 9 9 0 0 0 0, padding 4 4
                0, 2, 2, 0, 4, 5, 0, 1};       // top: moved 2 right, 5 5 5 5, the end
  const std::vector<uint8_t> want8 = {0, 0, 5, 5, 5, 5,  //
                                      9, 9, 0, 0, 0, 0,  //
                                      7, 7, 7, 1, 2, 3};
  BmpPicture rle4;
  rle4.width = 6, rle4.height = 2;
  rle4.bits = 4;
  rle4.compression = 2;
  rle4.codes = {5, 0x12, 0, 0,            // bottom row: 1 2 1 2 1, then the row ends
                0, 3, 0x34, 0x50, 3, 0x67};  // top: 3 4 5 given, 6 7 6; no end code
  const std::vector<uint8_t> want4 = {3, 4, 5, 6, 7, 6,  //
                                      1, 2, 1, 2, 1, 0};
  for (const auto& [p, want] : {std::pair{rle8, want8}, std::pair{rle4, want4}}) {
    const PictureReadResult read = ParsePicture(BmpFile(p), "rle.bmp");
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.picture.pixels, want) << p.bits;
    EXPECT_EQ(read.picture.colourCount, 1 << p.bits);
  }
}

TEST(BmpPictures, DamagedOrTrueColourBmpIsRefusedNamingTheByte) {
  BmpPicture base;
  base.pixels = Pattern(13, 5, 256);
  const auto with = [&](auto change) {
    BmpPicture p = base;
    change(p);
    return BmpFile(p);
  };
  Bytes inside = BmpFile(base);
  inside[10] = 40, inside[11] = 0;  // the pixels "start" inside the info header
  Bytes cut = BmpFile(base);
  cut.resize(cut.size() - 20);
  BmpPicture rle = base;
  rle.width = 6, rle.height = 2, rle.compression = 1;
  const auto codes = [&](Bytes c) {
    BmpPicture p = rle;
    p.codes = std::move(c);
    return BmpFile(p);
  };
  const struct {
    const char* name;
    Bytes bytes;
    std::string error;
  } cases[] = {
      {"jpeg", with([](BmpPicture& p) { p.compression = 4; }), "byte 30: compression 4 (JPEG): only 0 (none), 1 (RLE8) and 2 (RLE4) are read"},
      {"png", with([](BmpPicture& p) { p.compression = 5; }), "byte 30: compression 5 (PNG)"},
      {"alpha", with([](BmpPicture& p) { p.compression = 6; }), "byte 30: compression 6"},
      {"99", with([](BmpPicture& p) { p.compression = 99; }), "byte 30: compression 99:"},
      {"rle4 of 8 bits", with([](BmpPicture& p) { p.compression = 2; }), "byte 30: RLE4 compression for 8 bits a pixel"},
      {"inside", inside, "byte 10: the pixels start at byte 40, inside the headers, which end at byte 54"},
      {"table into pixels", with([](BmpPicture& p) { p.coloursUsed = 257; }), "byte 54: a colour table of 257 colours runs into the pixels at byte 1078"},
      {"no table", with([](BmpPicture& p) { p.tableEntries = 0; }), "byte 54: no colour table"},
      {"cut", cut, "byte 1138: the pixel data is cut short: 13 x 5 pixels of 8 bits need 77 bytes from byte 1078; the file has 60"},
      {"rgb", with([](BmpPicture& p) { p.bits = 24, p.tableEntries = 0, p.codes = Bytes(200, 0); }), "a true-colour picture (24 bits a pixel)"},
      {"3 bits", with([](BmpPicture& p) { p.bits = 3, p.tableEntries = 8; }), "byte 28: 3 bits a pixel"},
      {"run past the row", codes({9, 1, 0, 1}), "byte 1078: 9 pixels from x 0 of stored row 0 pass the end of the row, 8 pixels with its padding"},
      {"literal past the row", codes({6, 1, 0, 3, 1, 2, 3, 0}), "byte 1080: 3 pixels from x 6"},
      {"move out", codes({0, 2, 9, 0}), "byte 1078: a move of 9 right and 0 up from x 0 of stored row 0 leaves the 6 x 2 picture"},
      {"move up out", codes({0, 0, 0, 2, 0, 2}), "byte 1080: a move of 0 right and 2 up"},
      {"no end", codes({6, 1, 0, 0, 2, 1}), "byte 1084: the RLE pixel data ends before its end-of-picture code"},
      {"cut literal", codes({0, 5, 1, 2}), "byte 1078: the RLE pixel data ends"},
      {"past the table", with([](BmpPicture& p) { p.coloursUsed = 2, p.tableEntries = 2; }), "byte 54: pixel (1, 0) is colour 7; the colour table holds 2"},
  };
  for (const auto& c : cases) {
    const PictureReadResult read = ParsePicture(c.bytes, "d.bmp");
    EXPECT_NE(read.error.find("d.bmp: cannot read this BMP picture: " + c.error), std::string::npos)
        << c.name << ": " << read.error;
    EXPECT_TRUE(read.picture.pixels.empty()) << c.name;
  }
}

}  // namespace
}  // namespace quorvel
