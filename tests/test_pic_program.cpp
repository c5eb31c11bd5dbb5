// quorvel-pic in-process: converting with cycles set and cleared, quantizing a true-colour
// picture around registers kept for cycles, remapping to a palette file, drawing a
// swatch, and refusing what it cannot do with status 1 and nothing written.
#include <gtest/gtest.h>

#include <filesystem>

#include <quorvel/formats.hpp>
#include "programs/pic/pic.hpp"
#include "tests/support/palette_files.hpp"
#include "tests/support/png.hpp"
#include "tests/support/program_run.hpp"

namespace quorvel {
namespace {

using testing::TempDir;

testing::ProgramRun Pic(const std::vector<std::string>& args) { return testing::RunProgram(pic::RunPic, args); }

IndexedPicture Indexed() {
  IndexedPicture p;
  p.width = 6;
  p.height = 4;
  p.colourCount = 32;
  for (int32_t i = 0; i < 24; ++i) p.pixels.push_back(uint8_t(i + 8));
  for (size_t i = 0; i < 32; ++i) p.palette[i] = {uint8_t(i * 8), uint8_t(100 + i), uint8_t(255 - i * 8)};
  PictureCycle pc;
  pc.cycle = {.low = 8, .high = 15, .stepsPerSecond = 30, .blend = false};
  pc.active = true;
  p.cycles = {pc, pc};
  p.cycles[1].cycle.low = 20;
  p.cycles[1].cycle.high = 23;
  return p;
}

TEST(PicProgram, ConvertsBetweenPicturesAndScenesSettingAndClearingCycles) {
  TempDir dir;
  const std::string lbm = dir.Path("in.lbm"), scene = dir.Path("out.json"), pbm = dir.Path("back.pbm");
  ASSERT_TRUE(WritePicture(lbm, Indexed(), PictureFormat::Ilbm).ok());
  const testing::ProgramRun converted =
      Pic({"convert", lbm, scene, "--no-cycle", "20-23", "--cycle", "8-15@-4", "--cycle", "24-31@2:pingpong"});
  ASSERT_EQ(converted.status, 0) << converted.err;
  EXPECT_EQ(converted.out, scene + ": 6 x 4, 32 colours, 2 cycles as scene\n");
  const SceneReadResult read = ReadScene(scene);
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.scene.picture.pixels, Indexed().pixels);
  ASSERT_EQ(read.scene.picture.cycles.size(), 2u);
  const Cycle& replaced = read.scene.picture.cycles[0].cycle;
  EXPECT_EQ(replaced.low, 8);
  EXPECT_TRUE(replaced.reverse) << "a negative rate is a backwards cycle";
  EXPECT_DOUBLE_EQ(replaced.stepsPerSecond, 4);
  EXPECT_EQ(read.scene.picture.cycles[1].cycle.mode, CycleMode::PingPong);

  // Back to an IFF picture, which cannot say ping-pong: written, with a warning.
  // Clearing them all, a range cleared besides is no mistake.
  const testing::ProgramRun back = Pic({"convert", scene, pbm, "--clear-cycles", "--no-cycle", "5-6", "--cycle", "1-3@60"});
  ASSERT_EQ(back.status, 0) << back.err;
  const PictureReadResult iff = LoadIndexedPicture(pbm);
  ASSERT_EQ(iff.picture.cycles.size(), 1u);
  EXPECT_EQ(iff.picture.cycles[0].cycle.high, 3);

  const std::string info = Pic({"info", scene, pbm}).out;
  EXPECT_NE(info.find("  format   scene\n  size     6 x 4\n  colours  32\n  cycles   2\n"
                      "    registers 8-15, 4.00 steps/s reversed, wrap, running"), std::string::npos) << info;
  EXPECT_NE(info.find("  format   IFF PBM picture\n"), std::string::npos) << info;
}

TEST(PicProgram, QuantizesAroundACycleAndRemapsToAPalette) {
  TempDir dir;
  testing::Picture photo{16, 8, {}};
  for (int32_t i = 0; i < 128; ++i) photo.pixels.push_back(uint32_t(i * 2) << 16 | uint32_t(255 - i) << 8 | 0x40);
  const std::string png = dir.Path("photo.png"), lbm = dir.Path("q.lbm");
  ASSERT_TRUE(testing::WritePng(png, photo));
  // Two cycles over reserved registers (2..4 reserved twice over), one over a ramp of
  // fixed colours, and one over registers the quantizer fills, written but warned of.
  const testing::ProgramRun quantized =
      Pic({"quantize", png, lbm, "--colours", "16", "--reserve", "12-15", "--reserve", "2-4", "--reserve", "3-4",
           "--cycle", "12-15@8", "--cycle", "2-4@4", "--fix", "8=204060", "--fix", "9=406080", "--cycle", "8-9@3",
           "--cycle", "6-7@2", "--dither", "none"});
  ASSERT_EQ(quantized.status, 0) << quantized.err;
  EXPECT_EQ(quantized.err, "quorvel-pic: warning: --cycle 6-7 runs over registers the quantizer fills with the "
                           "picture's colours; --reserve 6-7 keeps them for the cycle\n");
  const PictureReadResult q = LoadIndexedPicture(lbm);
  ASSERT_TRUE(q.ok()) << q.error;
  EXPECT_EQ(q.picture.colourCount, 16);
  for (uint8_t index : q.picture.pixels) {
    EXPECT_TRUE(index < 12 && (index < 2 || index > 4)) << "register " << int(index) << " is kept for a cycle";
  }
  ASSERT_EQ(q.picture.cycles.size(), 4u);
  EXPECT_TRUE(q.picture.cycles[0].active);

  // A palette of three colours: every pixel takes one of them.
  PaletteFile three;
  three.count = 3;
  three.colours[0] = {0, 0, 0}, three.colours[1] = {255, 0, 0}, three.colours[2] = {0, 255, 0};
  const std::string gpl = dir.Path("three.gpl"), gif = dir.Path("r.gif");
  ASSERT_TRUE(WritePaletteFile(gpl, three, PaletteFormat::Gpl).ok());
  const testing::ProgramRun remapped = Pic({"remap", png, gif, "--palette", gpl});
  ASSERT_EQ(remapped.status, 0) << remapped.err;
  const PictureReadResult r = LoadIndexedPicture(gif);
  ASSERT_TRUE(r.ok()) << r.error;
  for (uint8_t index : r.picture.pixels) EXPECT_LT(index, 3);
  EXPECT_EQ(r.picture.palette[1], (Rgb8{255, 0, 0}));
}

TEST(PicProgram, SwatchDrawsAPicturesPaletteAndNeverOverwritesIt) {
  TempDir dir;
  const std::string lbm = dir.Path("in.lbm"), png = dir.Path("swatch.png");
  ASSERT_TRUE(WritePicture(lbm, Indexed(), PictureFormat::Ilbm).ok());
  const testing::ProgramRun drawn = Pic({"swatch", lbm, png});
  ASSERT_EQ(drawn.status, 0) << drawn.err;
  EXPECT_EQ(drawn.out, png + ": swatch of 32 colours\n");
  const auto swatch = testing::ReadPng(png);
  ASSERT_TRUE(swatch.has_value());
  // 16 x 16 cells of 16 pixels with a line of 1 between and around them.
  ASSERT_EQ(swatch->width, 273);
  ASSERT_EQ(swatch->height, 273);
  const Rgb8 c = Indexed().palette[17];
  EXPECT_EQ(swatch->pixels[size_t((1 + 17 + 8) * 273 + 1 + 17 + 8)], uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);

  const auto before = std::filesystem::last_write_time(lbm);
  const testing::ProgramRun onto = Pic({"swatch", lbm, lbm});
  EXPECT_EQ(onto.status, 1);
  EXPECT_NE(onto.err.find("is the input"), std::string::npos) << onto.err;
  EXPECT_EQ(std::filesystem::last_write_time(lbm), before);
  EXPECT_TRUE(LoadIndexedPicture(lbm).ok());
}

TEST(PicProgram, RefusesWithStatusOneAndWritesNothing) {
  TempDir dir;
  const std::string lbm = dir.Path("in.lbm"), out = dir.Path("out.gif");
  ASSERT_TRUE(WritePicture(lbm, Indexed(), PictureFormat::Ilbm).ok());
  const auto before = std::filesystem::last_write_time(lbm);
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"convert", lbm, lbm}, "is the input"},
      {{"convert", lbm, dir.Path("x.xyz")}, "cannot tell the format"},
      {{"convert", lbm, out, "--no-cycle", "1-2"}, "no cycle over those registers"},
      {{"convert", lbm, out, "--colours", "8"}, "are for quantize and remap"},
      {{"convert", lbm, out, "--cycle", "9-3@2"}, "LOW must be below HIGH"},
      {{"remap", lbm, out}, "remap needs --palette"},
      {{"remap", lbm, out, "--palette", lbm, "--index", "1"}, "a picture holds one"},
      {{"info", dir.Path("missing.lbm")}, "missing.lbm"},
      {{"frobnicate", lbm, out}, "unknown command"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.says);
    const testing::ProgramRun ran = Pic(c.args);
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.err.find(c.says), std::string::npos) << ran.err;
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  EXPECT_EQ(std::filesystem::last_write_time(lbm), before);
  EXPECT_EQ(Pic({"--help"}).status, 0);
}

}  // namespace
}  // namespace quorvel
