// GIF pictures through giflib and PNG pictures through libpng, from files built here byte
// by byte: what a picture is made of (first image, colour tables, transparency,
// interlacing, bit depths), and damaged files, which are errors naming their byte.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <cmath>

#include <quorvel/formats.hpp>
#include "tests/support/gif_files.hpp"
#include "tests/support/palette_files.hpp"
#include "tests/support/png.hpp"

namespace quorvel {
namespace {

using testing::Bytes;
using testing::GifFile;
using testing::GifImage;
using testing::PngChunk;
using testing::PngFile;
using testing::PngSamples;

std::vector<Rgb8> Colours(int32_t count, uint8_t salt) {
  std::vector<Rgb8> colours;
  for (int32_t i = 0; i < count; ++i) colours.push_back({uint8_t(i * 3 + salt), uint8_t(i * 5), uint8_t(255 - i)});
  return colours;
}

std::vector<uint8_t> Noise(int32_t count, int32_t colours, uint32_t seed) {
  std::vector<uint8_t> pixels;
  for (uint32_t i = 0; i < uint32_t(count); ++i) pixels.push_back(uint8_t((i + seed) * 2654435761u >> 24) % colours);
  return pixels;
}

PictureReadResult Read(const Bytes& bytes) { return ParsePicture(bytes, "p"); }

// The picture is refused, with nothing of it kept, by an error that says `what`.
void ExpectRefused(const Bytes& bytes, const std::string& what) {
  const PictureReadResult read = Read(bytes);
  EXPECT_NE(read.error.find(what), std::string::npos) << read.error;
  EXPECT_TRUE(read.picture.pixels.empty());
  EXPECT_EQ(read.picture.width, 0);
}

// A GIF of one image of `width` x `height` over 4 colours whose LZW data is `codes`, each
// 3 bits wide (code size 2: clear 4, end 5), in one data block.
Bytes LzwGif(const std::vector<uint32_t>& codes, uint16_t width, uint16_t height) {
  Bytes data;
  uint32_t pending = 0, bits = 0;
  for (uint32_t code : codes) {
    pending |= code << bits, bits += 3;
    for (; bits >= 8; bits -= 8, pending >>= 8) data.push_back(uint8_t(pending));
  }
  if (bits > 0) data.push_back(uint8_t(pending));
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a', uint8_t(width), 0, uint8_t(height), 0, 0x81, 0, 0};
  for (const Rgb8& c : Colours(4, 0)) gif.insert(gif.end(), {c.r, c.g, c.b});
  gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, uint8_t(width), 0, uint8_t(height), 0, 0, 2, uint8_t(data.size())});
  gif.insert(gif.end(), data.begin(), data.end());
  gif.insert(gif.end(), {0, 0x3B});
  return gif;
}

// The first image is the picture, at its own size, with its local colour table over the
// global one, and the transparent colour of its graphic control extension.
TEST(GifPictures, TheFirstImageWithItsColoursAndTransparency) {
  GifImage first{5, 3, Noise(15, 16, 1), false, Colours(16, 9), 6};
  GifImage second{7, 7, Noise(49, 4, 2), true, {}, 1};
  PictureReadResult read = Read(GifFile(Colours(4, 0), {first, second}));
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.picture.width, 5);
  EXPECT_EQ(read.picture.height, 3);
  EXPECT_EQ(read.picture.pixels, first.pixels);
  EXPECT_EQ(read.picture.colourCount, 16);
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(read.picture.palette[i], first.localColours[i]) << i;
  EXPECT_EQ(read.picture.transparentIndex, 6);
  std::array<uint8_t, 256> alpha = IndexedPicture::FullyOpaque();
  alpha[6] = 0;
  EXPECT_EQ(read.picture.alpha, alpha);
  // Of two graphic control extensions before the image, the first counts (as giflib's own
  // reader of whole files takes it).
  Bytes twice = GifFile(Colours(4, 0), {first, second});
  const size_t control = 13 + 3 * 4;
  ASSERT_EQ(twice[control + 1], 0xF9);
  Bytes other(twice.begin() + control, twice.begin() + control + 8);
  other[6] = 3;
  twice.insert(twice.begin() + control + 8, other.begin(), other.end());
  EXPECT_EQ(Read(twice).picture.transparentIndex, 6);

  // Without a local table the global one counts; without a control extension all is opaque.
  first.localColours.clear();
  first.transparent = -1;
  first.pixels = Noise(15, 4, 3);
  read = Read(GifFile(Colours(4, 0), {first}));
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.picture.pixels, first.pixels);
  EXPECT_EQ(read.picture.colourCount, 4);
  EXPECT_EQ(read.picture.palette[3], Colours(4, 0)[3]);
  EXPECT_EQ(read.picture.transparentIndex, -1);
  EXPECT_EQ(read.picture.alpha, IndexedPicture::FullyOpaque());
  // A transparent colour past the table marks no pixel, and the picture has none.
  first.transparent = 9;
  read = Read(GifFile(Colours(4, 0), {first}));
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.picture.transparentIndex, -1);
}

TEST(GifPictures, InterlacedImagesOfAnyHeightReadLikePlainOnes) {
  for (int32_t height = 1; height <= 17; ++height) {
    const GifImage plain{3, height, Noise(3 * height, 4, uint32_t(height)), false, {}, -1};
    GifImage interlaced = plain;
    interlaced.interlaced = true;
    const PictureReadResult a = Read(GifFile(Colours(4, 0), {plain}));
    const PictureReadResult b = Read(GifFile(Colours(4, 0), {interlaced}));
    ASSERT_TRUE(a.ok() && b.ok()) << a.error << b.error;
    EXPECT_EQ(a.picture.pixels, plain.pixels) << height;
    EXPECT_EQ(b.picture.pixels, plain.pixels) << "interlaced, " << height << " rows";
  }
}

// The screen descriptor's aspect byte b says a pixel is (b + 15) / 64 as wide as tall; 0
// says nothing. Written back, the picture keeps its byte, and a square one writes 0.
TEST(GifPictures, ThePixelAspectIsReadAndWrittenBack) {
  Bytes gif = GifFile(Colours(4, 0), {{3, 2, Noise(6, 4, 1), false, {}, -1}});
  ASSERT_EQ(gif[12], 0);
  EXPECT_EQ(Read(gif).picture.pixelAspect, 1.0);
  for (const uint8_t byte : {uint8_t(1), uint8_t(38), uint8_t(49), uint8_t(113), uint8_t(255)}) {
    SCOPED_TRACE(int(byte));
    gif[12] = byte;
    const PictureReadResult read = Read(gif);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_DOUBLE_EQ(read.picture.pixelAspect, 64.0 / (byte + 15));
    const PictureWriteResult written = EncodePicture(read.picture, PictureFormat::Gif);
    ASSERT_TRUE(written.ok()) << written.error;
    EXPECT_EQ(written.bytes[12], byte == 49 ? 0 : byte);
  }
  // An aspect between two bytes takes the nearer (320x200 at 4:3 is 38, 1.2075); one
  // past what the byte can say takes its end.
  IndexedPicture picture = Read(gif).picture;
  const std::pair<double, uint8_t> written[] = {{1.2, 38}, {64 / 53.7, 39}, {1.0, 0}, {9.0, 1}, {0.1, 255},
                                                {std::nan(""), 0}};
  for (const auto& [aspect, byte] : written) {
    picture.pixelAspect = aspect;
    EXPECT_EQ(EncodePicture(picture, PictureFormat::Gif).bytes.at(12), byte) << aspect;
  }
}

// The process's peak memory in kilobytes so far; 0 where the system does not say (Windows,
// where the memory check below then holds trivially).
long PeakKilobytes() {
#ifdef _WIN32
  return 0;
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
#endif
}

// Every image descriptor is checked before anything is decoded: a decoder that gives up
// on one image may decode the next. Neither of these takes the memory it claims.
TEST(GifPictures, EveryImageIsCheckedBeforeAnyIsDecoded) {
  const long before = PeakKilobytes();
  Bytes badFirst = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                    0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 128, 1, 0, 0};  // LZW code size 128
  const Bytes huge = {0x2C, 0, 0, 0, 0, 0x30, 0x75, 0x30, 0x75, 0, 2, 2, 0x44, 1, 0, 0x3B};  // 30000 x 30000
  badFirst.insert(badFirst.end(), huge.begin(), huge.end());
  ExpectRefused(badFirst, "byte 29: the GIF's first image has an LZW code size of 128; a GIF's is 2 to 8");

  Bytes goodFirst = GifFile(Colours(2, 0), {{1, 1, {1}, false, {}, -1}});
  goodFirst.pop_back();  // the trailer
  const size_t second = goodFirst.size();
  goodFirst.insert(goodFirst.end(), huge.begin(), huge.end());
  ExpectRefused(goodFirst, "byte " + std::to_string(second) +
                               ": the GIF's image 2 is 30000 x 30000 pixels; pictures are read up to 16384");
  Bytes codeSize1 = GifFile(Colours(2, 0), {{1, 1, {1}, false, {}, -1}, {1, 1, {0}, false, {}, -1}});
  codeSize1[codeSize1.size() - 6] = 1;  // the second image's LZW code size
  ExpectRefused(codeSize1, "the GIF's image 2 has an LZW code size of 1");
  EXPECT_LT(PeakKilobytes() - before, 16 * 1024) << "kilobytes";
}

TEST(GifPictures, CutShortOrDamagedIsAnError) {
  const Bytes whole = GifFile(Colours(256, 0), {{64, 64, Noise(64 * 64, 256, 5), false, {}, -1}});
  ASSERT_GT(whole.size(), 2000u);
  ASSERT_TRUE(Read(whole).ok());
  ExpectRefused(Bytes(whole.begin(), whole.begin() + 1000), "byte 781: the GIF ends inside its first image's data");
  ExpectRefused(Bytes(whole.begin(), whole.end() - 1), "byte " + std::to_string(whole.size() - 1) +
                                                           ": the GIF ends here, without its trailer");

  // LZW codes over 4 colours, 3 bits each: clear is 4, end 5.
  ASSERT_TRUE(Read(LzwGif({4, 0, 1, 2, 3, 5}, 2, 2)).ok());
  ExpectRefused(LzwGif({4, 0, 1, 5}, 2, 2), "byte 37: the first image's compressed data ends before its last pixel");
  ExpectRefused(LzwGif({4, 7, 1, 2, 3, 5}, 2, 2), "byte 37: the first image's compressed data is damaged");

  // A colour past the table: the 4-colour global table cut to 2 behind the data's back.
  Bytes past = GifFile(Colours(4, 0), {{2, 2, {0, 1, 2, 1}, false, {}, -1}});
  past[10] &= 0xF8;
  past.erase(past.begin() + 13 + 6, past.begin() + 13 + 12);
  ExpectRefused(past, "byte 19: pixel (0, 1) is colour 2; the GIF's colour table holds 2");
}

Bytes Plte(int32_t count) {
  Bytes body;
  for (const Rgb8& c : Colours(count, 40)) body.insert(body.end(), {c.r, c.g, c.b});
  return PngChunk("PLTE", body);
}

// Palette pictures of every depth, plain and interlaced, with their tRNS opacities: the
// transparent index is the first entry of opacity 0.
TEST(PngPictures, PalettePicturesOfEveryDepthWithTheirOpacities) {
  for (int32_t depth : {1, 2, 4, 8}) {
    for (bool interlaced : {false, true}) {
      const int32_t colours = 1 << depth;
      PngSamples png{11, 9, depth, 3, interlaced, Noise(11 * 9, colours, uint32_t(depth)), {}};
      // As many opacities as colours at most: libpng drops a longer tRNS.
      png.chunks = {Plte(colours), PngChunk("tRNS", colours > 2 ? Bytes{255, 128, 0} : Bytes{255, 128})};
      const std::string what = std::to_string(depth) + " bits" + (interlaced ? ", interlaced" : "");
      const PictureReadResult read = Read(PngFile(png));
      ASSERT_TRUE(read.ok()) << read.error << " " << what;
      EXPECT_EQ(read.picture.width, 11);
      EXPECT_EQ(read.picture.height, 9);
      EXPECT_EQ(read.picture.pixels, png.samples) << what;
      EXPECT_EQ(read.picture.colourCount, colours);
      EXPECT_EQ(read.picture.palette[size_t(colours - 1)], Colours(colours, 40).back()) << what;
      std::array<uint8_t, 256> alpha = IndexedPicture::FullyOpaque();
      alpha[1] = 128;
      if (colours > 2) alpha[2] = 0;
      EXPECT_EQ(read.picture.alpha, alpha) << what;
      EXPECT_EQ(read.picture.transparentIndex, colours > 2 ? 2 : -1) << what;
    }
  }
  // Several clear entries: the first is the transparent index.
  const PictureReadResult read = Read(PngFile({2, 1, 8, 3, false, {0, 3}, {Plte(5), PngChunk("tRNS", {0, 9, 0, 255})}}));
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.picture.transparentIndex, 0);
  EXPECT_EQ(read.picture.alpha[2], 0);
  EXPECT_EQ(read.picture.alpha[1], 9);
}

// A greyscale picture is its ramp of greys, and its tRNS grey is transparent: as many of
// its 16 bits as the picture's depth count.
TEST(PngPictures, GreyscalePicturesReadAsTheirRampOfGreys) {
  for (int32_t depth : {1, 2, 4, 8}) {
    const int32_t greys = 1 << depth;
    const PngSamples png{6, 5, depth, 0, depth == 4, Noise(30, greys, 7), {PngChunk("tRNS", {0x12, 0xF1})}};
    const PictureReadResult read = Read(PngFile(png));
    ASSERT_TRUE(read.ok()) << read.error << " " << depth;
    EXPECT_EQ(read.picture.pixels, png.samples) << depth;
    EXPECT_EQ(read.picture.colourCount, greys);
    EXPECT_EQ(read.picture.palette[0], (Rgb8{0, 0, 0}));
    EXPECT_EQ(read.picture.palette[size_t(greys - 1)], (Rgb8{255, 255, 255})) << depth;
    EXPECT_EQ(read.picture.palette[1].r, 255 / (greys - 1)) << depth;
    const int32_t clear = 0x12F1 & (greys - 1);
    EXPECT_EQ(read.picture.transparentIndex, clear) << depth;
    EXPECT_EQ(read.picture.alpha[size_t(clear)], 0);
  }
  const PictureReadResult rgb = Read(PngFile({1, 1, 8, 4, false, {0, 0}, {}}));
  EXPECT_NE(rgb.error.find("cannot read this PNG picture: a true-colour picture (grey and alpha, 8 bits a channel)"),
            std::string::npos) << rgb.error;
}

TEST(PngPictures, BadCrcsCutFilesAndColoursPastThePaletteAreErrors) {
  const PngSamples png{16, 16, 8, 3, false, Noise(256, 4, 3), {Plte(4), PngChunk("tEXt", {'a', 0, 'b'})}};
  const Bytes whole = PngFile(png);
  ASSERT_TRUE(Read(whole).ok());
  const size_t text = 8 + 25 + 12 + 12, idat = text + 15;  // where the tEXt and IDAT chunks start
  ASSERT_EQ(std::string(whole.begin() + std::ptrdiff_t(idat) + 4, whole.begin() + std::ptrdiff_t(idat) + 8), "IDAT");
  Bytes badText = whole, badData = whole;
  badText[text + 10] ^= 1;  // an ancillary chunk counts too
  badData[whole.size() - 12 - 1] ^= 1;  // the IDAT's CRC, before the 12 bytes of IEND
  ExpectRefused(badText, "byte " + std::to_string(text + 11) + ": tEXt: CRC error");
  ExpectRefused(badData, "IDAT: CRC error");
  ExpectRefused(Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(idat + 12)),
                "byte " + std::to_string(idat + 12) + ": the PNG ends here, inside a chunk or before its IEND chunk");
  ExpectRefused(Bytes(whole.begin(), whole.end() - 12), "the PNG ends here");

  PngSamples past = png;
  past.samples[20] = 4;
  ExpectRefused(PngFile(past), "pixel (4, 1) is colour 4; the PLTE holds 4");
}

}  // namespace
}  // namespace quorvel
