// Pictures written with their cycles: every writer read back by our readers, and the IFF
// ones by two readers of other hands, netpbm's ilbmtoppm and SDL2_image.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <tuple>

#include <quorvel/formats.hpp>
#include "tests/support/palette_files.hpp"

namespace quorvel {
namespace {

using testing::TempDir;

PictureCycle Running(int32_t low, int32_t high, double stepsPerSecond, bool reverse, const char* chunk = "") {
  PictureCycle pc;
  pc.cycle = {.low = low, .high = high, .stepsPerSecond = stepsPerSecond, .reverse = reverse, .blend = false};
  pc.active = true;
  pc.chunk = chunk;
  return pc;
}

// A picture of `colours` colours whose pixels use all of them, with runs to pack and
// bytes that do not repeat.
IndexedPicture Sample(int32_t width, int32_t height, int32_t colours) {
  IndexedPicture p;
  p.width = width;
  p.height = height;
  p.colourCount = colours;
  for (int32_t i = 0; i < width * height; ++i) {
    p.pixels.push_back(uint8_t((i % 7 < 3 ? i / 7 : i * 5) % colours));
  }
  p.pixels.back() = uint8_t(colours - 1);
  for (int32_t i = 0; i < colours; ++i) p.palette[size_t(i)] = {uint8_t(i * 3), uint8_t(255 - i), uint8_t(i * 77)};
  return p;
}

struct Case {
  PictureFormat format;
  bool compress;
  bool keepsCycles;
};

class WrittenPictures : public ::testing::TestWithParam<Case> {};

// Every writer through every reader: pixels, palette, transparent colour and, where the
// format holds them, the cycles come back as they were, for each number of bit planes.
TEST_P(WrittenPictures, ReadBackAsTheyWere) {
  const Case c = GetParam();
  TempDir dir;
  for (int32_t colours : {1, 2, 3, 16, 17, 129, 256}) {
    for (int32_t width : {1, 13, 32}) {
      SCOPED_TRACE("colours " + std::to_string(colours) + ", width " + std::to_string(width));
      IndexedPicture p = Sample(width, 5, colours);
      p.transparentIndex = colours / 2;
      p.alpha[size_t(colours / 2)] = 0;
      p.cycles = {Running(0, 0, 0, false), Running(16, 23, 60, false), Running(32, 39, 8192 * 60 / 16384.0, true),
                  Running(1, 9, 0.25, false, "CCRT"), Running(200, 255, 300 * 60 / 16384.0, true)};
      p.cycles[0].active = false;
      p.cycles.push_back(Running(9, 4, 0, false));  // an empty range, as files hold them: kept, still
      p.cycles.back().active = false;
      const std::string path = dir.Path("p." + std::string(PictureFormatName(c.format)));
      const PictureWriteResult written = WritePicture(path, p, c.format, {.compress = c.compress});
      ASSERT_TRUE(written.ok()) << written.error;
      EXPECT_EQ(written.warnings.size(), c.keepsCycles ? 0u : 1u);

      IndexedPicture q;
      if (c.format == PictureFormat::Scene) {
        const SceneReadResult read = ReadScene(path);
        ASSERT_TRUE(read.ok()) << read.error;
        q = read.scene.picture;
      } else {
        const PictureReadResult read = LoadIndexedPicture(path);
        ASSERT_TRUE(read.ok()) << read.error;
        EXPECT_TRUE(read.warnings.empty()) << read.warnings[0];
        q = read.picture;
      }
      EXPECT_EQ(q.width, p.width);
      EXPECT_EQ(q.height, p.height);
      EXPECT_EQ(q.pixels, p.pixels);
      // A GIF's table is a power of two long: the registers past the picture's fill it.
      if (c.format == PictureFormat::Gif) {
        EXPECT_GE(q.colourCount, p.colourCount);
        EXPECT_LT(q.colourCount, std::max(2 * p.colourCount, 3));
      } else {
        EXPECT_EQ(q.colourCount, p.colourCount);
      }
      EXPECT_EQ(q.palette, p.palette);
      EXPECT_EQ(q.transparentIndex, p.transparentIndex);
      EXPECT_EQ(q.alpha, p.alpha);
      if (!c.keepsCycles) {
        EXPECT_TRUE(q.cycles.empty());
        continue;
      }
      ASSERT_EQ(q.cycles.size(), p.cycles.size());
      for (size_t i = 0; i < p.cycles.size(); ++i) {
        SCOPED_TRACE("cycle " + std::to_string(i));
        EXPECT_EQ(q.cycles[i].active, p.cycles[i].active);
        EXPECT_EQ(q.cycles[i].cycle.low, p.cycles[i].cycle.low);
        EXPECT_EQ(q.cycles[i].cycle.high, p.cycles[i].cycle.high);
        EXPECT_NEAR(q.cycles[i].cycle.stepsPerSecond, p.cycles[i].cycle.stepsPerSecond, 1e-9);
        EXPECT_EQ(q.cycles[i].cycle.reverse, p.cycles[i].cycle.reverse);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryWriter, WrittenPictures,
                         ::testing::Values(Case{PictureFormat::Ilbm, true, true}, Case{PictureFormat::Ilbm, false, true},
                                           Case{PictureFormat::Pbm, true, true}, Case{PictureFormat::Pbm, false, true},
                                           Case{PictureFormat::Png, true, false}, Case{PictureFormat::Gif, true, false},
                                           Case{PictureFormat::Scene, true, true}),
                         [](const auto& info) {
                           return std::string(PictureFormatName(info.param.format)) +
                                  (info.param.compress ? "" : "Uncompressed");
                         });

// An IFF picture written again keeps its pixel's shape as the painter's ratio, unless the
// caller names another.
TEST(WrittenIffPictures, KeepThePixelAspect) {
  for (PictureFormat format : {PictureFormat::Ilbm, PictureFormat::Pbm}) {
    for (const auto& [aspect, x, y] : {std::tuple{1.1, 10, 11}, {1.2, 5, 6}, {1.0, 1, 1}, {0.5, 2, 1}}) {
      IndexedPicture p = Sample(4, 2, 4);
      p.pixelAspect = aspect;
      const PictureWriteResult kept = EncodePicture(p, format);
      ASSERT_TRUE(kept.ok()) << kept.error;
      // BMHD: 12 bytes of FORM and type, 8 of chunk header, then x and y aspect at 14 and 15.
      ASSERT_GT(kept.bytes.size(), 36u);
      EXPECT_EQ(kept.bytes[34], x) << aspect;
      EXPECT_EQ(kept.bytes[35], y) << aspect;
      const PictureWriteResult named = EncodePicture(p, format, {.xAspect = 3, .yAspect = 7});
      EXPECT_EQ(named.bytes[34], 3);
      EXPECT_EQ(named.bytes[35], 7);
    }
  }
}

// The pixels' colours as an RGB PPM (P6, maxval 255) gives them, or empty.
std::vector<Rgb8> PpmColours(const std::string& path, int32_t& width, int32_t& height) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int32_t maxval = 0;
  in >> magic >> width >> height >> maxval;
  in.get();
  if (magic != "P6" || maxval != 255) return {};
  std::vector<Rgb8> colours(size_t(width) * size_t(height));
  in.read(reinterpret_cast<char*>(colours.data()), std::streamsize(colours.size() * 3));
  return in ? colours : std::vector<Rgb8>{};
}

TEST(WrittenIffPictures, NetpbmsReaderSeesTheSameColours) {
  if (std::system("command -v ilbmtoppm >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "netpbm's ilbmtoppm is not on this system (scripts/setup.sh installs it on Debian; "
                    "under Wine there is none)";
  }
  TempDir dir;
  for (PictureFormat format : {PictureFormat::Ilbm, PictureFormat::Pbm}) {
    for (bool compress : {true, false}) {
      for (int32_t colours : {2, 16, 100, 256}) {
        SCOPED_TRACE(std::string(PictureFormatName(format)) + (compress ? " packed, " : " plain, ") +
                     std::to_string(colours) + " colours");
        // netpbm reads a PBM's rows without the pad byte DeluxePaint puts after a row of
        // odd length: the two agree on even widths only.
        IndexedPicture p = Sample(format == PictureFormat::Pbm ? 22 : 21, 6, colours);
        p.cycles = {Running(2, 9, 60, true)};
        const std::string path = dir.Path("p.lbm"), ppm = dir.Path("p.ppm");
        ASSERT_TRUE(WritePicture(path, p, format, {.compress = compress}).ok());
        ASSERT_EQ(std::system(("ilbmtoppm '" + path + "' > '" + ppm + "' 2>/dev/null").c_str()), 0);
        int32_t width = 0, height = 0;
        const std::vector<Rgb8> seen = PpmColours(ppm, width, height);
        ASSERT_EQ(width, p.width);
        ASSERT_EQ(height, p.height);
        ASSERT_EQ(seen.size(), p.pixels.size());
        for (size_t i = 0; i < seen.size(); ++i) {
          ASSERT_EQ(seen[i], p.palette[p.pixels[i]]) << "pixel " << i;
        }
      }
    }
  }
}

// SDL2_image (2.6.3) gives an ILBM widened to a multiple of 16 pixels, and reads a PBM
// only of such a width: it takes a PBM's rows as padded to 16 pixels where IFF pads them
// to an even byte count, as we write them, so a PBM of another width fails ("error
// reading BODY chunk") and is not tried here.
TEST(WrittenIffPictures, Sdl2ImageSeesTheSamePixelsAndPalette) {
  TempDir dir;
  for (PictureFormat format : {PictureFormat::Ilbm, PictureFormat::Pbm}) {
    for (int32_t colours : {2, 32, 256}) {
      const int32_t width = format == PictureFormat::Ilbm ? 21 : 32;
      SCOPED_TRACE(std::string(PictureFormatName(format)) + ", " + std::to_string(colours) + " colours");
      const IndexedPicture p = Sample(width, 3, colours);
      const std::string path = dir.Path("p.lbm");
      ASSERT_TRUE(WritePicture(path, p, format).ok());
      SDL_Surface* s = IMG_Load(path.c_str());
      ASSERT_NE(s, nullptr) << IMG_GetError();
      ASSERT_EQ(s->format->BitsPerPixel, 8);
      EXPECT_EQ(s->w, (width + 15) / 16 * 16);
      for (int32_t y = 0; y < p.height; ++y) {
        for (int32_t x = 0; x < p.width; ++x) {
          const uint8_t index = static_cast<const uint8_t*>(s->pixels)[y * s->pitch + x];
          const SDL_Color c = s->format->palette->colors[index];
          EXPECT_EQ(index, p.pixels[size_t(y * p.width + x)]);
          EXPECT_EQ((Rgb8{c.r, c.g, c.b}), p.palette[index]);
        }
      }
      SDL_FreeSurface(s);
    }
  }
}

TEST(WrittenPictures, WhatAFormatCannotHoldIsToldOrRefused) {
  IndexedPicture p = Sample(4, 2, 8);
  p.cycles = {Running(2, 5, 60, false)};
  p.cycles[0].cycle.mode = CycleMode::PingPong;
  const PictureWriteResult pingPong = EncodePicture(p, PictureFormat::Ilbm);
  ASSERT_EQ(pingPong.warnings.size(), 1u);
  EXPECT_NE(pingPong.warnings[0].find("ping-pong"), std::string::npos);

  // Pixels past the colours would make a file no reader takes; nothing is written.
  TempDir dir;
  const std::string path = dir.Path("bad.lbm");
  p.colourCount = 7;
  for (PictureFormat format : {PictureFormat::Ilbm, PictureFormat::Png, PictureFormat::Gif, PictureFormat::Scene}) {
    const PictureWriteResult refused = WritePicture(path, p, format);
    EXPECT_NE(refused.error.find("is colour 7; its palette holds 7"), std::string::npos) << refused.error;
    EXPECT_FALSE(std::ifstream(path).good());
  }
  p.colourCount = 8;
  p.cycles[0].cycle.high = 256;
  EXPECT_NE(EncodePicture(p, PictureFormat::Pbm).error.find("registers 2..256"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
