// Indexed pictures and their colour cycles: IFF files built here with CRNG, CCRT and DRNG
// chunks, loaded, and played by the Animator on virtual time.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <cstring>

#include <quorvel/animator.hpp>
#include <quorvel/formats.hpp>
#include "tests/support/iff_files.hpp"
#include "tests/support/palette_files.hpp"

namespace quorvel {
namespace {

using testing::CcrtChunk;
using testing::CrngChunk;
using testing::DrngChunk;
using testing::IffBytes;
using testing::IffPicture;
using testing::TempDir;

IffPicture Sample(int32_t width, int32_t height, bool planar) {
  IffPicture p;
  p.width = width;
  p.height = height;
  p.planar = planar;
  for (int32_t i = 0; i < width * height; ++i) p.pixels.push_back(uint8_t(i * 7 + i / width * 31));
  for (size_t i = 0; i < 256; ++i) p.palette[i] = {uint8_t(i), uint8_t(i * 3), uint8_t(255 - i)};
  return p;
}

// The cycles of the tests below, in file order.
std::vector<IffBytes> Chunks() {
  return {
      CrngChunk(16384, 1, 16, 23),        // 60 steps a second
      CrngChunk(8192, 3, 32, 39),         // 30, reversed
      CrngChunk(273, 0, 40, 47),          // flags 0: runs only under the DOS switch
      CrngChunk(36, 1, 48, 55),           // too slow to run
      CrngChunk(16384, 1, 60, 60),        // an empty range
      CcrtChunk(1, 64, 71, 0, 250000),    // 4 steps a second
      CcrtChunk(-1, 72, 79, 2, 0),        // one step in 2 s, reversed
      CcrtChunk(0, 80, 87, 1, 0),         // off
      DrngChunk(0, 3, 16384, 1, {{0, 9, 9, 9}}, {{1, 90}, {3, 92}, {2, 91}}),  // registers 90..92
      DrngChunk(0, 3, 16384, 1, {}, {{0, 100}, {1, 105}}),                      // not a run: skipped
  };
}

// Odd widths pad rows; plain and ByteRun1 bodies. SDL2_image widens ILBMs to a multiple
// of 16 and cannot read PBMs of other widths: both come out as drawn.
TEST(Pictures, IffPicturesLoadWithTheirPaletteAndPixels) {
  TempDir dir;
  for (bool planar : {true, false}) {
    for (bool packed : {false, true}) {
      for (int32_t width : {13, 32}) {
        IffPicture want = Sample(width, 5, planar);
        want.byteRun1 = packed;
        std::fill_n(want.pixels.begin() + 3, 8, 77);  // a run to pack
        const std::string path = dir.Write("p.iff", IffFile(want, Chunks()));
        const PictureReadResult read = LoadIndexedPicture(path);
        const std::string what = std::string(planar ? "ILBM" : "PBM") + (packed ? " packed " : " ") + std::to_string(width);
        ASSERT_TRUE(read.ok()) << read.error << " " << what;
        EXPECT_EQ(read.picture.width, width) << what;
        EXPECT_EQ(read.picture.height, 5) << what;
        EXPECT_EQ(read.picture.pixels, want.pixels) << what;
        EXPECT_EQ(read.picture.palette, want.palette) << what;
        EXPECT_EQ(read.picture.colourCount, 256) << what;
        EXPECT_EQ(read.picture.cycles.size(), 9u) << what;
      }
    }
  }
  // A PBM whose BODY is cut short is refused, not half-read.
  IffBytes cut = IffFile(Sample(13, 5, false), {});
  cut.resize(cut.size() - 10);
  const PictureReadResult refused = LoadIndexedPicture(dir.Write("cut.lbm", cut));
  EXPECT_NE(refused.error.find("chunk 'BODY' says 70 bytes; only 60 remain"), std::string::npos) << refused.error;
  EXPECT_TRUE(refused.picture.pixels.empty());
}

// Every depth an ILBM is drawn in, under every masking: a mask plane (masking 1) is not
// part of the index, masking 2 makes the BMHD's transparent colour see-through, and
// lasso (3) leaves the picture whole.
TEST(Pictures, IlbmOfEveryDepthAndMasking) {
  for (uint8_t planes = 1; planes <= 8; ++planes) {
    for (uint8_t masking = 0; masking <= 3; ++masking) {
      for (bool packed : {false, true}) {
        IffPicture want = Sample(13, 3, true);
        for (uint8_t& index : want.pixels) index &= uint8_t((1 << planes) - 1);
        want.planes = planes;
        want.masking = masking;
        want.byteRun1 = packed;
        want.transparentColour = 1;
        const PictureReadResult read = ParsePicture(IffFile(want, {}), "p.lbm");
        const std::string what = std::to_string(planes) + " planes, masking " + std::to_string(masking) +
                                 (packed ? ", packed" : "");
        ASSERT_TRUE(read.ok()) << read.error << " " << what;
        EXPECT_EQ(read.picture.pixels, want.pixels) << what;
        EXPECT_EQ(read.picture.transparentIndex, masking == 2 ? 1 : -1) << what;
        EXPECT_EQ(read.picture.alpha[1], masking == 2 ? 0 : 255) << what;
        EXPECT_EQ(read.picture.alpha[0], 255) << what;
      }
    }
  }
  // Extra-half-brite (CAMG 0x80, 6 planes): registers 32..63 are 0..31 at half brightness.
  IffPicture halfBright = Sample(13, 3, true);
  for (uint8_t& index : halfBright.pixels) index &= 63;
  halfBright.planes = 6;
  const PictureReadResult ehb =
      ParsePicture(IffFile(halfBright, {testing::IffChunk("CAMG", {0, 0, 0, 0x80})}), "ehb.lbm");
  ASSERT_TRUE(ehb.ok()) << ehb.error;
  EXPECT_EQ(ehb.picture.colourCount, 64);
  EXPECT_EQ(ehb.picture.palette[32 + 5], (Rgb8{2, 7, 125}));
}

// Chunks after the BODY, the BMHD after the BODY, and a FORM whose size was left at 0:
// the chunks are read whole, and the picture and its cycles come out as drawn.
TEST(Pictures, IffChunksInAnyOrderAndAFormWithoutItsSize) {
  const IffPicture chunky = Sample(13, 7, false);
  const PictureReadResult trailed = ParsePicture(IffFile(chunky, {}, {CrngChunk(16384, 1, 16, 23)}), "t.lbm");
  ASSERT_TRUE(trailed.ok()) << trailed.error;
  EXPECT_EQ(trailed.picture.pixels, chunky.pixels);
  EXPECT_EQ(trailed.picture.cycles.size(), 1u);

  const IffPicture planar = Sample(13, 7, true);
  IffBytes late = IffFile(planar, {});
  constexpr size_t kBmhdAt = 12, kBmhdChunkBytes = 28;
  const IffBytes bmhd(late.begin() + kBmhdAt, late.begin() + kBmhdAt + kBmhdChunkBytes);
  late.erase(late.begin() + kBmhdAt, late.begin() + kBmhdAt + kBmhdChunkBytes);
  late.insert(late.end(), bmhd.begin(), bmhd.end());
  const PictureReadResult lateRead = ParsePicture(late, "late.lbm");
  ASSERT_TRUE(lateRead.ok()) << lateRead.error;
  EXPECT_EQ(lateRead.picture.width, 13);
  EXPECT_EQ(lateRead.picture.pixels, planar.pixels);

  IffBytes unsized = IffFile(planar, {CrngChunk(16384, 1, 16, 23)});
  std::fill_n(unsized.begin() + 4, 4, 0);
  const PictureReadResult read = ParsePicture(unsized, "unsized.lbm");
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.picture.width, 13);
  EXPECT_EQ(read.picture.pixels, planar.pixels);
  EXPECT_EQ(read.picture.cycles.size(), 1u);
  ASSERT_EQ(read.warnings.size(), 1u);
  EXPECT_NE(read.warnings[0].find("unsized.lbm: byte 4: the FORM gives a size of 0"), std::string::npos)
      << read.warnings[0];
}

// BMHD fields no decoder can honour are refused, naming the BMHD, not read as something else.
TEST(Pictures, IffPicturesWithUnreadableBmhdFieldsAreRefused) {
  constexpr size_t kPlanesAt = 28, kMaskingAt = 29, kCompressionAt = 30;
  const struct {
    bool planar;
    size_t at;
    uint8_t value;
    const char* error;
  } cases[] = {
      {true, kCompressionAt, 2, "byte 12: the BMHD gives compression 2: only 0 (none) and 1 (ByteRun1) are read"},
      {true, kCompressionAt, 3, "byte 12: the BMHD gives compression 3"},
      {false, kCompressionAt, 255, "byte 12: the BMHD gives compression 255"},
      {true, kPlanesAt, 0, "byte 12: the BMHD gives 0 bit planes"},
      {false, kPlanesAt, 4, "byte 12: the BMHD gives 4 bit planes for a PBM picture"},
      {true, kMaskingAt, 4, "byte 12: the BMHD gives masking 4"},
      {false, kMaskingAt, 1, "byte 12: the BMHD gives masking 1 for a PBM picture"},
  };
  for (const auto& c : cases) {
    IffBytes file = IffFile(Sample(13, 3, c.planar), {});
    file[c.at] = c.value;
    const PictureReadResult read = ParsePicture(file, "b.lbm");
    EXPECT_NE(read.error.find("b.lbm: cannot read this IFF picture: " + std::string(c.error)), std::string::npos)
        << read.error;
    EXPECT_TRUE(read.picture.pixels.empty()) << c.error;
  }

  // Pixels that use colours the CMAP lacks, or with no CMAP at all, have nothing to show.
  constexpr size_t kCmapAt = 40, kCmapBytes = 8 + 768;
  IffBytes shortCmap = IffFile(Sample(13, 3, true), {});
  shortCmap.erase(shortCmap.begin() + kCmapAt + 8 + 48, shortCmap.begin() + kCmapAt + kCmapBytes);
  shortCmap[kCmapAt + 6] = 0, shortCmap[kCmapAt + 7] = 48;  // 16 colours
  IffBytes noCmap = IffFile(Sample(13, 3, true), {});
  noCmap.erase(noCmap.begin() + kCmapAt, noCmap.begin() + kCmapAt + kCmapBytes);
  for (IffBytes* file : {&shortCmap, &noCmap}) {
    const uint32_t form = uint32_t(file->size() - 8);
    for (size_t i = 0; i < 4; ++i) (*file)[4 + i] = uint8_t(form >> (24 - 8 * i));
  }
  const PictureReadResult cut = ParsePicture(shortCmap, "c.lbm");
  EXPECT_NE(cut.error.find("byte 40: pixel ("), std::string::npos) << cut.error;
  EXPECT_NE(cut.error.find("; the CMAP holds 16"), std::string::npos) << cut.error;
  EXPECT_NE(ParsePicture(noCmap, "n.lbm").error.find("no CMAP chunk: pixel (0, 0) is colour"), std::string::npos);
}

TEST(Pictures, PngAndBmpPicturesAndTrueColourRefused) {
  TempDir dir;
  SDL_Surface* indexed = SDL_CreateRGBSurfaceWithFormat(0, 6, 4, 8, SDL_PIXELFORMAT_INDEX8);
  ASSERT_NE(indexed, nullptr);
  SDL_Color colours[256];
  for (int i = 0; i < 256; ++i) colours[i] = {uint8_t(i), uint8_t(i / 2), 7, 255};
  SDL_SetPaletteColors(indexed->format->palette, colours, 0, 256);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) static_cast<uint8_t*>(indexed->pixels)[y * indexed->pitch + x] = uint8_t(x * 40 + y);
  }
  const std::string png = dir.Path("i.png"), bmp = dir.Path("i.bmp"), rgb = dir.Path("rgb.png");
  ASSERT_EQ(IMG_SavePNG(indexed, png.c_str()), 0) << SDL_GetError();
  ASSERT_EQ(SDL_SaveBMP(indexed, bmp.c_str()), 0) << SDL_GetError();
  SDL_Surface* trueColour = SDL_ConvertSurfaceFormat(indexed, SDL_PIXELFORMAT_RGB24, 0);
  ASSERT_EQ(IMG_SavePNG(trueColour, rgb.c_str()), 0);
  SDL_FreeSurface(trueColour);
  SDL_FreeSurface(indexed);

  for (const std::string& path : {png, bmp}) {
    const PictureReadResult read = LoadIndexedPicture(path);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.picture.pixels[size_t(3 * 6 + 5)], 5 * 40 + 3) << path;
    EXPECT_EQ(read.picture.palette[201], (Rgb8{201, 100, 7})) << path;
    EXPECT_TRUE(read.picture.cycles.empty());
  }
  const PictureReadResult refused = LoadIndexedPicture(rgb);
  EXPECT_NE(refused.error.find(rgb + ": cannot read this PNG picture: a true-colour picture"), std::string::npos) << refused.error;
  EXPECT_TRUE(refused.picture.pixels.empty());
}

void Put16LE(IffBytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void Put32LE(IffBytes& out, uint32_t v) { Put16LE(out, v & 0xFFFF), Put16LE(out, v >> 16); }
void Put32BE(IffBytes& out, uint32_t v) {
  out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}
IffBytes Text(std::string_view text) { return IffBytes(text.begin(), text.end()); }

IffBytes Gif(uint16_t screenWidth, uint16_t screenHeight, uint16_t width, uint16_t height) {
  IffBytes gif = Text("GIF89a");
  Put16LE(gif, screenWidth), Put16LE(gif, screenHeight);
  gif.insert(gif.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});           // a global table of 2 colours
  gif.insert(gif.end(), {0x21, 0xF9, 4, 0, 0, 0, 0, 0});                 // an extension block
  gif.push_back(0x2C);
  Put32LE(gif, 0), Put16LE(gif, width), Put16LE(gif, height);
  gif.insert(gif.end(), {0, 2, 2, 0x44, 1, 0, 0x3B});
  return gif;
}

IffBytes PngHeader(uint32_t width, uint32_t height) {
  IffBytes png = Text("\x89PNG\r\n\x1a\n");
  Put32BE(png, 13);
  IffBytes ihdr = Text("IHDR");
  Put32BE(ihdr, width), Put32BE(ihdr, height);
  ihdr.insert(ihdr.end(), {8, 3, 0, 0, 0, 0, 0, 0, 0});
  png.insert(png.end(), ihdr.begin(), ihdr.end());
  return png;
}

IffBytes Bmp(int32_t width, int32_t height) {
  IffBytes bmp = Text("BM");
  Put32LE(bmp, 66), Put32LE(bmp, 0), Put32LE(bmp, 62), Put32LE(bmp, 40);
  Put32LE(bmp, uint32_t(width)), Put32LE(bmp, uint32_t(height));
  Put16LE(bmp, 1), Put16LE(bmp, 1);
  bmp.resize(66);
  return bmp;
}

IffBytes Pcx(uint16_t xmax, uint16_t ymax) {
  IffBytes pcx = {10, 5, 1, 8};
  Put32LE(pcx, 0), Put16LE(pcx, xmax), Put16LE(pcx, ymax);
  pcx.resize(128);
  pcx[65] = 1;
  pcx[66] = 2;
  return pcx;
}

// Decoders take memory for the size a header claims: a picture too big is refused by its
// header before any decoder sees it, as is a file of a kind the decoders would read
// anyway. Each of these would take gigabytes.
TEST(Pictures, HugeOrForeignPicturesAreRefusedBeforeTheyAreDecoded) {
  TempDir dir;
  // A second BMHD, after the BODY.
  const IffBytes later = IffFile(Sample(4, 2, false), {}, {testing::IffChunk("BMHD", IffBytes(20, 0xFF))});
  IffBytes shortBmhd = IffFile(Sample(4, 2, true), {});
  shortBmhd[16 + 3] = 0;  // BMHD of length 0: SDL2_image reads its 20 bytes all the same
  IffBytes deep = IffFile(Sample(4, 2, true), {});
  deep[20 + 8] = 9;  // 9 bit planes: SDL2_image 2.6 writes past its surface
  const struct {
    const char* name;
    IffBytes bytes;
    std::string error;
  } cases[] = {
      {"screen.gif", Gif(65535, 65535, 1, 1), "byte 6: the GIF's screen is 65535 x 65535 pixels; pictures are read up to 16384 pixels a side and 67108864 pixels in all"},
      {"image.gif", Gif(0, 0, 65535, 65535), "the GIF's first image is 65535 x 65535 pixels"},
      {"wide.png", PngHeader(16385, 1), "byte 8: the IHDR gives 16385 x 1 pixels"},
      {"many.png", PngHeader(16384, 4097), "the IHDR gives 16384 x 4097 pixels"},
      {"tall.bmp", Bmp(1, -30000), "the BMP header gives 1 x 30000 pixels"},
      {"empty.bmp", Bmp(0, 5), "the BMP header gives 0 x 5 pixels: a picture without pixels"},
      {"wide.pcx", Pcx(20000, 0), "the PCX header gives 20001 x 1 pixels"},
      {"later.lbm", later, "the BMHD gives 65535 x 65535 pixels"},
      {"short.lbm", shortBmhd, "byte 12: a BMHD chunk shorter than its 20 bytes"},
      {"deep.lbm", deep, "byte 12: the BMHD gives 9 bit planes: not an indexed picture"},
      {"drawing.svg", Text("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"/>"),
       "not a picture that can be read: only IFF ILBM and PBM, PCX, GIF, PNG and BMP pictures are"},
      {"photo.jpg", Text("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00"),
       "a picture of a kind that is not read (JPEG): only IFF ILBM and PBM"},
  };
  for (const auto& c : cases) {
    const std::string path = dir.Write(c.name, c.bytes);
    const PictureReadResult read = LoadIndexedPicture(path);
    EXPECT_EQ(read.error.rfind(path + ": ", 0), 0u) << read.error;
    EXPECT_NE(read.error.find(c.error), std::string::npos) << read.error;
    EXPECT_TRUE(read.picture.pixels.empty()) << c.name;
  }

  // The largest side is still read.
  SDL_Surface* line = SDL_CreateRGBSurfaceWithFormat(0, kMaxPictureSide, 1, 8, SDL_PIXELFORMAT_INDEX8);
  ASSERT_NE(line, nullptr);
  const std::string png = dir.Path("line.png");
  ASSERT_EQ(IMG_SavePNG(line, png.c_str()), 0) << SDL_GetError();
  SDL_FreeSurface(line);
  const PictureReadResult read = LoadIndexedPicture(png);
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.picture.width, kMaxPictureSide);
}

TEST(Pictures, CycleChunksBecomeAnimatorCycles) {
  const IffBytes file = IffFile(Sample(4, 2, true), Chunks());
  for (bool dos : {false, true}) {
    const CycleReadResult read = ReadCycleChunks(file, {.dosFlags = dos});
    ASSERT_EQ(read.cycles.size(), 9u);
    const struct {
      const char* chunk;
      int32_t low, high;
      double steps;
      bool reverse, active;
    } want[] = {{"CRNG", 16, 23, 60, false, true},       {"CRNG", 32, 39, 30, true, true},
                {"CRNG", 40, 47, 273 * 60 / 16384.0, false, dos},
                {"CRNG", 48, 55, 36 * 60 / 16384.0, false, false},
                {"CRNG", 60, 60, 60, false, false},      {"CCRT", 64, 71, 4, false, true},
                {"CCRT", 72, 79, 0.5, true, true},       {"CCRT", 80, 87, 1, false, false},
                {"DRNG", 90, 92, 60, false, true}};
    for (size_t i = 0; i < 9; ++i) {
      const PictureCycle& pc = read.cycles[i];
      EXPECT_EQ(pc.chunk, want[i].chunk) << i;
      EXPECT_EQ(std::memcmp(&file[pc.offset], pc.chunk.data(), 4), 0) << i;
      EXPECT_EQ(pc.cycle.low, want[i].low) << i;
      EXPECT_EQ(pc.cycle.high, want[i].high) << i;
      EXPECT_DOUBLE_EQ(pc.cycle.stepsPerSecond, want[i].steps) << i;
      EXPECT_EQ(pc.cycle.reverse, want[i].reverse) << i;
      EXPECT_EQ(pc.active, want[i].active) << i << (dos ? " dos" : "");
      EXPECT_FALSE(pc.cycle.blend);
    }
    ASSERT_EQ(read.warnings.size(), 2u);
    EXPECT_NE(read.warnings[0].find("1 true-colour cells: only its registers cycle"), std::string::npos);
    EXPECT_NE(read.warnings[1].find("not one ascending run"), std::string::npos);
  }
}

TEST(Pictures, BrokenChunksAreSkippedOrEndTheWalk) {
  // A short CRNG is skipped; a chunk whose length runs past the end ends the walk, and
  // what came before it stands.
  IffBytes lying = testing::IffChunk("CCRT", {});
  lying[4] = 0x7F;
  const IffBytes file = IffFile(Sample(2, 2, false), {CrngChunk(16384, 1, 1, 9), testing::IffChunk("CRNG", {0, 0, 1, 0}),
                                                      lying, CrngChunk(16384, 1, 20, 29)});
  const CycleReadResult read = ReadCycleChunks(file);
  ASSERT_EQ(read.cycles.size(), 1u);
  EXPECT_EQ(read.cycles[0].cycle.high, 9);
  ASSERT_EQ(read.warnings.size(), 2u);
  EXPECT_NE(read.warnings[0].find("a CRNG chunk shorter than 8 bytes"), std::string::npos);
  EXPECT_NE(read.warnings[1].find("chunk 'CCRT' says 2130706432 bytes; only"), std::string::npos);

  EXPECT_TRUE(ReadCycleChunks(testing::IffBytes(100, 0)).cycles.empty());
  EXPECT_TRUE(ReadCycleChunks(testing::IffBytes(100, 0)).warnings.empty());
}

// After a known time each cycle stands where its rate puts it: register low + i shows the
// colour k registers behind it, k the whole steps taken (backwards too, rounded towards
// none: a step is taken once it is whole) mod n.
TEST(Pictures, CyclesPlayAtTheirRateOnVirtualTime) {
  TempDir dir;
  const IffPicture picture = Sample(4, 2, true);
  const PictureReadResult read = LoadIndexedPicture(dir.Write("c.iff", IffFile(picture, Chunks())), {.dosFlags = true});
  ASSERT_TRUE(read.ok()) << read.error;
  Animator anim(read.picture.palette);
  for (const Cycle& c : RunningCycles(read.picture.cycles)) anim.AddCycle(c);
  anim.Update(0);
  constexpr double kMs = 1010;
  anim.Update(kMs);
  int32_t checked = 0;
  for (const PictureCycle& pc : read.picture.cycles) {
    if (!pc.active) continue;
    const Cycle& c = pc.cycle;
    const int32_t n = c.high - c.low + 1;
    const double steps = (c.reverse ? -1 : 1) * c.stepsPerSecond * kMs / 1000;
    const int32_t k = int32_t(((int64_t(std::trunc(steps)) % n) + n) % n);
    for (int32_t i = 0; i < n; ++i) {
      EXPECT_EQ(anim.Output()[size_t(c.low + i)], picture.palette[size_t(c.low + (i - k + n) % n)])
          << pc.chunk << " " << c.low << ".." << c.high << " register " << c.low + i;
    }
    ++checked;
  }
  EXPECT_EQ(checked, 6);
}

}  // namespace
}  // namespace quorvel
