// The two programs over the formats library: quorvel-pal run in-process on files made
// here, and quorvel-play's options, layout and player headless on virtual time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include <quorvel/display.hpp>
#include <quorvel/formats.hpp>
#include "programs/pal/pal.hpp"
#include "programs/play/play.hpp"
#include "tests/support/iff_files.hpp"
#include "tests/support/palette_files.hpp"
#include "tests/support/png.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

const std::string kClassic4 = QUORVEL_TEST_DATA "/palettes/Classic_4.gpl";

struct Ran {
  int status = 0;
  std::string out, err;
};

std::string Drain(std::FILE* file) {
  std::string text;
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) text += char(c);
  std::fclose(file);
  return text;
}

Ran Pal(const std::vector<std::string>& args) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Ran ran;
  ran.status = pal::RunPal(args, out, err);
  ran.out = Drain(out);
  ran.err = Drain(err);
  return ran;
}

// A 20 x 10 picture: column x shows register 32 + x % 8, which cycle at 15 steps a second.
testing::IffPicture CyclingPicture() {
  testing::IffPicture p;
  p.width = 20;
  p.height = 10;
  for (int32_t i = 0; i < 200; ++i) p.pixels.push_back(uint8_t(32 + i % 20 % 8));
  for (size_t i = 0; i < 256; ++i) p.palette[i] = {uint8_t(i), uint8_t(i * 5), uint8_t(i * 9)};
  return p;
}

TEST(PalProgram, ConvertInfoAndSwatch) {
  TempDir dir;
  const std::string act = dir.Path("classic.act");
  const Ran converted = Pal({"convert", kClassic4, act, "--to", "act"});
  ASSERT_EQ(converted.status, 0) << converted.err;
  const PaletteReadResult read = ReadPaletteFile(act);
  const PaletteReadResult original = ReadPaletteFile(kClassic4);
  EXPECT_EQ(read.file.count, 4);
  EXPECT_EQ(read.file.colours, original.file.colours);

  const Ran info = Pal({"info", act});
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("format   Adobe colour table (.act)\n  depth    8-bit\n  colours  4\n"), std::string::npos)
      << info.out;

  const std::string png = dir.Path("classic.png");
  ASSERT_EQ(Pal({"swatch", kClassic4, png}).status, 0);
  const auto swatch = testing::ReadPng(png);
  ASSERT_TRUE(swatch.has_value());
  ASSERT_EQ(swatch->width, 273);
  const auto at = [&](int32_t cell) { return swatch->pixels[size_t((1 + 8) * 273 + 1 + cell * 17 + 8)]; };
  const Rgb8 ochre = original.file.colours[1];
  EXPECT_EQ(at(1), uint32_t(ochre.r) << 16 | uint32_t(ochre.g) << 8 | ochre.b);
  EXPECT_EQ(at(5), 0x404040u);  // past the four colours: empty

  // A picture gives its palette, and info tells its cycles.
  testing::IffPicture picture = CyclingPicture();
  const std::string lbm = dir.Write("p.lbm", IffFile(picture, {testing::CrngChunk(4096, 1, 32, 39),
                                                               testing::CrngChunk(4096, 0, 40, 47)}));
  ASSERT_EQ(Pal({"convert", lbm, dir.Path("p.hex"), "--to", "hex"}).status, 0);
  EXPECT_EQ(ReadPaletteFile(dir.Path("p.hex")).file.colours, picture.palette);
  const std::string plain = Pal({"info", lbm}).out;
  EXPECT_NE(plain.find("CRNG at byte 816: registers 32-39, 15.00 steps/s, running"), std::string::npos) << plain;
  EXPECT_NE(plain.find("registers 40-47, 15.00 steps/s, not running"), std::string::npos) << plain;
  // With the player's switch, the cycle stored with flags 0 shows as the player runs it.
  const std::string dos = Pal({"info", "--dos-cycles", lbm}).out;
  EXPECT_NE(dos.find("registers 40-47, 15.00 steps/s, running"), std::string::npos) << dos;
}

TEST(PalProgram, NeverWritesOntoItsInputAndFailsWithStatusOne) {
  TempDir dir;
  const std::string in = dir.Write("in.gpl", testing::Bytes{'G', 'I', 'M', 'P', ' ', 'P', 'a', 'l', 'e', 't', 't', 'e', '\n', '1', ' ', '2', ' ', '3', '\n'});
  fs::create_hard_link(in, dir.Path("alias.gpl"));
  const auto before = fs::file_size(in);
  for (const std::string& out : {in, dir.Path("alias.gpl"), dir.Path(".") + "/in.gpl"}) {
    const Ran ran = Pal({"convert", in, out, "--to", "raw8"});
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.err.find("is the input"), std::string::npos) << ran.err;
  }
  EXPECT_EQ(fs::file_size(in), before);
  EXPECT_EQ(Pal({"swatch", in, in}).status, 1);

  // A picture cut to 1024 bytes is not a PP256 palette.
  testing::Picture noise{64, 64, {}};
  for (uint32_t i = 0; i < 64 * 64; ++i) noise.pixels.push_back(i * 2654435761u >> 8);
  const std::string cutPng = dir.Path("cut.png");
  ASSERT_TRUE(testing::WritePng(cutPng, noise));
  fs::resize_file(cutPng, 1024);
  // Swatches cut inside their first colour hold none: no palette of black is written.
  const std::string cutAse = dir.Write("cut.ase", testing::Bytes{'A', 'S', 'E', 'F', 0, 1, 0, 0, 0, 0, 0, 1,
                                                                  0, 1, 0, 0, 0, 40, 0, 2});

  const struct {
    std::vector<std::string> args;
    const char* says;
  } failures[] = {
      {{"convert", cutPng, dir.Path("o.pal"), "--to", "raw8"}, "cut.png: cannot read this PNG picture"},
      {{"convert", cutAse, dir.Path("o.pal"), "--to", "raw8"}, "cut.ase: byte 12: a block runs past the end"},
      {{"convert", in, dir.Path("o.aco"), "--to", "aco"}, "can be read but not written"},
      {{"convert", in, dir.Path("o.x"), "--to", "bmp"}, "unknown format 'bmp'"},
      {{"convert", in, dir.Path("o.x")}, "convert needs --to FORMAT"},
      {{"info", dir.Path("none.pal")}, "none.pal: no such file"},
      {{"convert", in, dir.Path("no/such/folder/o.hex"), "--to", "hex"}, "cannot create a file in"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{}, "no command"},
  };
  for (const auto& f : failures) {
    const Ran ran = Pal(f.args);
    EXPECT_EQ(ran.status, 1) << f.says;
    EXPECT_NE(ran.err.find(f.says), std::string::npos) << ran.err;
    EXPECT_TRUE(ran.out.empty());
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path("")), fs::directory_iterator()), 4);
  EXPECT_EQ(Pal({"--help"}).status, 0);
}

TEST(PlayProgram, CycleSpecsAndOptions) {
  Cycle c;
  std::string error;
  ASSERT_TRUE(play::ParseCycleOption("16-31@8", c, error)) << error;
  EXPECT_EQ(c.low, 16);
  EXPECT_EQ(c.high, 31);
  EXPECT_EQ(c.stepsPerSecond, 8);
  EXPECT_EQ(c.mode, CycleMode::Wrap);
  ASSERT_TRUE(play::ParseCycleOption("0-255@-2.5:pingpong", c, error));
  EXPECT_EQ(c.stepsPerSecond, -2.5);
  EXPECT_EQ(c.mode, CycleMode::PingPong);
  ASSERT_TRUE(play::ParseCycleOption("1-2@1:sine", c, error));
  EXPECT_EQ(c.mode, CycleMode::Sine);
  for (const char* bad : {"31-16@8", "5-5@1", "0-256@1", "-1-5@1", "a-b@1", "1-2@x", "1-2@", "1-2@1:spin",
                          "1-2@nan", "1-2@inf", "12@1", "1-2"}) {
    EXPECT_FALSE(play::ParseCycleOption(bad, c, error)) << bad;
    EXPECT_NE(error.find(bad), std::string::npos) << error;
  }

  play::PlayOptions options;
  ASSERT_TRUE(play::ParsePlayArgs({"--dos-cycles", "pic.lbm", "--cycle", "1-9@2"}, options, error));
  EXPECT_EQ(options.file, "pic.lbm");
  EXPECT_TRUE(options.dosCycles);
  EXPECT_EQ(options.extraCycles.size(), 1u);
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {}, {"a", "b"}, {"a", "--cycle"}, {"a", "--loud"}}) {
    play::PlayOptions o;
    EXPECT_FALSE(play::ParsePlayArgs(bad, o, error));
  }
}

TEST(PlayProgram, LargestIntegerScaleCentredOrCropped) {
  const struct {
    int32_t w, h;
    play::Layout want;
  } cases[] = {
      {320, 200, {2, 0, 40, 0, 0, 320, 200}},   {640, 480, {1, 0, 0, 0, 0, 640, 480}},
      {100, 100, {4, 120, 40, 0, 0, 100, 100}}, {800, 300, {1, 0, 90, 80, 0, 640, 300}},
      {1000, 1001, {1, 0, 0, 180, 260, 640, 480}},
  };
  for (const auto& c : cases) {
    const play::Layout got = play::FitPicture(c.w, c.h);
    EXPECT_EQ(got.scale, c.want.scale) << c.w;
    EXPECT_EQ(got.left, c.want.left) << c.w;
    EXPECT_EQ(got.top, c.want.top) << c.w;
    EXPECT_EQ(got.sourceX, c.want.sourceX) << c.w;
    EXPECT_EQ(got.sourceY, c.want.sourceY) << c.w;
    EXPECT_EQ(got.shownWidth, c.want.shownWidth) << c.w;
    EXPECT_EQ(got.shownHeight, c.want.shownHeight) << c.w;
  }
}

uint32_t Packed(Rgb8 c) { return c.r | uint32_t(c.g) << 8 | uint32_t(c.b) << 16; }

// Registers 32..39 after `steps` whole steps: register 32 + i shows colour i - steps.
void ExpectCycledBy(const Palette& base, int32_t steps) {
  for (int32_t i = 0; i < 8; ++i) {
    EXPECT_EQ(GetPaletteEntry(32 + i), Packed(base[size_t(32 + ((i - steps) % 8 + 8) % 8)]))
        << "register " << 32 + i << " after " << steps << " steps";
  }
}

TEST(PlayProgram, PlayerDrawsOnceAndRunsCyclesByTheClockAndKeys) {
  testing::HeadlessScreen screen;
  TempDir dir;
  const testing::IffPicture drawn = CyclingPicture();
  const std::string file = dir.Write("p.lbm", IffFile(drawn, {testing::CrngChunk(4096, 1, 32, 39)}));
  const PictureReadResult read = LoadIndexedPicture(file);
  ASSERT_TRUE(read.ok()) << read.error;
  play::Player player(read.picture, RunningCycles(read.picture.cycles));
  player.Draw();
  // 20 x 10 at scale 32 (640 / 20; 480 / 10 would be 48), centred.
  EXPECT_EQ(GetPixel(0, 0, 80), 32);
  EXPECT_EQ(GetPixel(0, 32 * 19 + 31, 80 + 319), 32 + 19 % 8);
  EXPECT_EQ(GetPixel(0, 32 * 5, 80 + 100), 32 + 5);
  EXPECT_EQ(GetPixel(0, 0, 79), 0);

  ASSERT_TRUE(player.Frame(0));
  ExpectCycledBy(drawn.palette, 0);
  ASSERT_TRUE(player.Frame(1010));  // 15 steps a second: 15.15 steps
  ExpectCycledBy(drawn.palette, 15);
  PushKey(' ');                     // paused at 1010
  ASSERT_TRUE(player.Frame(1010));
  ASSERT_TRUE(player.Frame(9000));
  ExpectCycledBy(drawn.palette, 15);
  PushKey(' ');
  PushKey(kKeyRight);               // on again, 1.25 times as fast
  ASSERT_TRUE(player.Frame(9000));
  ASSERT_TRUE(player.Frame(9000 + 800));  // 15 more steps
  ExpectCycledBy(drawn.palette, 30);
  EXPECT_DOUBLE_EQ(player.Speed(), 1.25);
  PushKey('b');
  ASSERT_TRUE(player.Frame(9800 + 40));  // half a step: blended colours between two
  EXPECT_TRUE(player.Blending());
  EXPECT_NE(GetPaletteEntry(32), Packed(drawn.palette[size_t(32 + (0 - 30 % 8 + 8) % 8)]));
  PushKey(27);
  EXPECT_FALSE(player.Frame(9900));
}

// Presses keys once the program's frames are running (OpenScreen empties the queue).
struct KeysAfterFrames : DisplayObserver {
  int32_t frames = 0;
  void OnSleep(int32_t) override {
    if (++frames == 30) PushKey('b'), PushKey(27);
  }
};

TEST(PlayProgram, RunsHeadlessUntilEscapeAndRefusesWhatItCannotShow) {
  TempDir dir;
  const std::string file = dir.Write("p.lbm", IffFile(CyclingPicture(), {}));
  SetHeadless(true);
  SetVirtualTime(true);
  KeysAfterFrames keys;
  SetDisplayObserver(&keys);
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(play::RunPlay({file, "--cycle", "32-39@4"}, out, err), 0);
  SetDisplayObserver(nullptr);
  EXPECT_EQ(keys.frames, 30);
  EXPECT_FALSE(ScreenIsOpen());
  EXPECT_EQ(Drain(err), "");
  Drain(out);

  const std::string rgb = dir.Write("rgb.bmp", testing::Bytes(100, 0));
  err = std::tmpfile();
  EXPECT_EQ(play::RunPlay({rgb}, stdout, err), 1);
  EXPECT_NE(Drain(err).find("rgb.bmp: not a picture that can be read"), std::string::npos);
  EXPECT_FALSE(ScreenIsOpen());
  SetVirtualTime(false);
}

// Presses Escape after many frames, so that a program that would not end by itself does,
// and does something at one frame.
struct EscapeLate : DisplayObserver {
  int32_t frames = 0;
  std::function<void()> atFrame10 = [] {};
  void OnSleep(int32_t) override {
    if (++frames == 10) atFrame10();
    if (frames == 300) PushKey(27);
  }
};

// --record ends the program once its seconds are recorded; a recording that cannot be
// put in place fails the program, with the reason.
TEST(PlayProgram, RecordingEndsThePlayerAndItsFailureIsStatusOne) {
  TempDir dir;
  const std::string file = dir.Write("p.lbm", IffFile(CyclingPicture(), {}));
  const std::string gif = dir.Path("p.gif");
  SetHeadless(true);
  SetVirtualTime(true);
  {
    EscapeLate keys;
    SetDisplayObserver(&keys);
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(play::RunPlay({file, "--cycle", "32-39@4", "--record", gif, "--seconds", "1"}, stdout, err), 0);
    SetDisplayObserver(nullptr);
    EXPECT_EQ(Drain(err), "");
    EXPECT_LT(keys.frames, 100) << "one second at 60 frames a second, not until Escape";
    EXPECT_TRUE(fs::is_regular_file(gif));
  }
  {
    // The file to be replaced is made read-only while recording.
    EscapeLate keys;
    keys.atFrame10 = [&] { ::chmod(gif.c_str(), 0444); };
    SetDisplayObserver(&keys);
    const auto before = fs::file_size(gif);
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(play::RunPlay({file, "--cycle", "32-39@4", "--record", gif, "--seconds", "1"}, stdout, err), 1);
    SetDisplayObserver(nullptr);
    EXPECT_EQ(Drain(err), "quorvel-play: recording to " + gif + ": is read-only (mode 0444), so it is not replaced\n");
    EXPECT_EQ(fs::file_size(gif), before);
  }
  EXPECT_FALSE(ScreenIsOpen());
  SetVirtualTime(false);
}

// A recording replaces its file when it ends, so it may never be the picture played, by
// any name or way of asking.
TEST(PlayProgramDeathTest, NeverRecordsOntoThePicturePlayed) {
  TempDir dir;
  const testing::Bytes bytes = IffFile(CyclingPicture(), {});
  const std::string file = dir.Write("p.lbm", bytes);
  fs::create_hard_link(file, dir.Path("alias.lbm"));
  SetHeadless(true);
  SetVirtualTime(true);
  for (const std::string& gif : {file, dir.Path("alias.lbm"), dir.Path(".") + "/p.lbm"}) {
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(play::RunPlay({file, "--record", gif, "--seconds", "1"}, stdout, err), 1) << gif;
    EXPECT_EQ(Drain(err), "quorvel-play: " + gif + " is the picture played; record to another file\n");
  }
  ::setenv("QUORVEL_RECORD", dir.Path("alias.lbm").c_str(), 1);
  ::setenv("QUORVEL_RECORD_SECONDS", "1", 1);
  EXPECT_EXIT(std::exit(play::RunPlay({file}, stdout, stderr)), ::testing::ExitedWithCode(1),
              "alias.lbm is the picture played");
  ::unsetenv("QUORVEL_RECORD");
  ::unsetenv("QUORVEL_RECORD_SECONDS");
  SetVirtualTime(false);
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(testing::Bytes(std::istreambuf_iterator<char>(in), {}), bytes);
  EXPECT_FALSE(ScreenIsOpen());
}

}  // namespace
}  // namespace quorvel
