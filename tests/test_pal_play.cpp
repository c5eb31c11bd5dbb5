// The two programs over the formats library: quorvel-pal run in-process on files made
// here, and quorvel-play's options, layout and player headless on virtual time.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <quorvel/display.hpp>
#include <quorvel/formats.hpp>
#include <quorvel/version.hpp>
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

using namespace std::string_view_literals;

testing::Bytes Text(std::string_view text) { return testing::Bytes(text.begin(), text.end()); }

// A 2 x 2 Truevision TGA of 24-bit colour, stored plainly.
testing::Bytes Tga() {
  testing::Bytes tga(18 + 2 * 2 * 3, 0x80);
  const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0};
  std::copy(std::begin(header), std::end(header), tga.begin());
  return tga;
}

// Pictures are named by their kind; pictures of kinds that are not read are told as such,
// not as palette files of no known format.
TEST(PalProgram, NamesTheKindOfEveryPicture) {
  testing::Bytes pcx(128, 0);
  pcx[0] = 10, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8, pcx[65] = 1;
  testing::Bytes bmp = Text("BM"sv);
  bmp.resize(54, 0);
  bmp[10] = 54, bmp[14] = 40;
  bmp.push_back(0);
  testing::IffPicture chunky = CyclingPicture();
  chunky.planar = false;
  testing::Bytes tgaWithoutPixels = Tga();
  tgaWithoutPixels.resize(18 + 5);
  const struct {
    testing::Bytes bytes;
    const char* kind;
  } kinds[] = {
      {IffFile(CyclingPicture(), {}), "IFF ILBM"}, {IffFile(chunky, {}), "IFF PBM"},
      {Text("GIF89a\x01\x00\x01\x00"sv), "GIF"},    {Text("\x89PNG\r\n\x1a\n...."sv), "PNG"},
      {pcx, "PCX"},                                {bmp, "BMP"},
      {Text("\xFF\xD8\xFF\xE0\x00\x10JFIF"sv), "JPEG"},
      {testing::Bytes{'I', 'I', '*', 0, 8, 0, 0, 0}, "TIFF"},
      {Text("RIFF\x10\x00\x00\x00WEBPVP8 "sv), "WebP"},
      {Text("qoif\x00\x00\x00\x02"sv), "QOI"},      {Text("/* XPM */\nstatic char *p[] = {\n"sv), "XPM"},
      {Tga(), "TGA"},                              {tgaWithoutPixels, ""},
      {testing::Bytes(768, 0x10), ""},             {Text("GIMP Palette\n"sv), ""},
  };
  for (const auto& k : kinds) EXPECT_EQ(PictureKindOf(k.bytes), k.kind) << k.kind;

  TempDir dir;
  for (const auto& [name, kind] : {std::pair{"p.lbm", "IFF ILBM"}, std::pair{"p.pbm", "IFF PBM"}}) {
    const std::string file = dir.Write(name, IffFile(kind == std::string("IFF PBM") ? chunky : CyclingPicture(), {}));
    const Ran info = Pal({"info", file});
    EXPECT_NE(info.out.find(std::string("format   ") + kind + " picture\n"), std::string::npos) << info.out;
  }
  const struct {
    const char* name;
    testing::Bytes bytes;
    const char* says;
  } unread[] = {
      {"photo.jpg", Text("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00"sv), "photo.jpg: a picture of a kind that is not read (JPEG, 11 bytes)"},
      {"icon.xpm", Text("/* XPM */\nstatic char *icon[] = {\n\"1 1 1 1\",\n\"a c #FF0000\",\n\"a\"};\n"sv),
       "icon.xpm: a picture of a kind that is not read (XPM, "},
      {"pic.tga", Tga(), "pic.tga: a picture of a kind that is not read (TGA, 30 bytes)"},
      {"noise.bin", Text("nothing in particular"sv), "noise.bin: not a palette file of a known format (21 bytes)"},
  };
  for (const auto& u : unread) {
    const Ran info = Pal({"info", dir.Write(u.name, u.bytes)});
    EXPECT_EQ(info.status, 1);
    EXPECT_NE(info.err.find(u.says), std::string::npos) << info.err;
  }
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

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs one of the programs' executables through the shell with `redirect` for its
// standard output; its standard error is kept.
Ran Program(const std::string& name, const std::string& args, const std::string& redirect, const TempDir& dir) {
  const std::string err = dir.Path(name + ".err");
  const std::string command = std::string(QUORVEL_PROGRAM_DIR) + "/" + name + " " + args + " " + redirect +
                              " 2>'" + err + "' </dev/null";
  const int status = std::system(command.c_str());
  Ran ran;
  ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ran.err = FileText(err);
  return ran;
}

// Every program tells its version the same way, and output that could not be written
// (here to a full device) is an error, never a success.
TEST(Programs, TellTheirVersionAndFailWhenTheirOutputIsLost) {
  TempDir dir;
  for (const std::string name : {"quorvel-demo", "quorvel-showcase", "quorvel-pal", "quorvel-play", "quorvel-pic"}) {
    const std::string out = dir.Path(name + ".out");
    const Ran version = Program(name, "--version", ">'" + out + "'", dir);
    EXPECT_EQ(version.status, 0) << name << ": " << version.err;
    EXPECT_EQ(FileText(out).rfind(name + " " + kVersion + " (conversion kernel: ", 0), 0u) << FileText(out);
    for (const char* args : {"--version", "--help"}) {
      const Ran full = Program(name, args, ">/dev/full", dir);
      EXPECT_EQ(full.status, 1) << name << " " << args;
      EXPECT_EQ(full.err, name + ": cannot write to standard output: No space left on device\n") << name;
    }
  }
  const Ran info = Program("quorvel-pal", "info '" + kClassic4 + "'", ">/dev/full", dir);
  EXPECT_EQ(info.status, 1);
  EXPECT_NE(info.err.find("cannot write to standard output"), std::string::npos) << info.err;
}

TEST(PlayProgram, CycleArgumentsAndOptions) {
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
  EXPECT_EQ(options.cycleFlags, programs::CycleFlags::Dos);
  EXPECT_EQ(options.extraCycles.size(), 1u);
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {}, {"a", "b"}, {"a", "--cycle"}, {"a", "--loud"}, {"a", "--dos-cycles", "--strict-flags"}}) {
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

// The player's screen is the picture's own size and pixel shape; A switches the scaling.
TEST(PlayProgram, ScreenOfThePicturesSizeAndShape) {
  TempDir dir;
  testing::IffPicture drawn = CyclingPicture();
  drawn.xAspect = 10;
  drawn.yAspect = 11;
  const PictureReadResult read = LoadIndexedPicture(dir.Write("p.lbm", IffFile(drawn, {})));
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_DOUBLE_EQ(read.picture.pixelAspect, 1.1);
  const ScreenOptions screen = play::ScreenFor(read.picture, false);
  EXPECT_EQ(screen.width, 20);
  EXPECT_EQ(screen.height, 16);  // the smallest screen, the picture centred on it
  EXPECT_DOUBLE_EQ(screen.pixelAspect, 1.1);
  IndexedPicture huge;
  huge.width = 5000;
  huge.height = 300;
  huge.pixelAspect = 9;  // beyond any screen's: the nearest that opens
  EXPECT_EQ(play::ScreenFor(huge, true).width, 4096);
  EXPECT_EQ(play::ScreenFor(huge, true).pixelAspect, 4.0);

  SetHeadless(true);
  ASSERT_TRUE(OpenScreenWith(screen)) << ScreenError();
  play::Player player(read.picture, {});
  player.Draw();
  EXPECT_EQ(GetPixel(0, 0, 3), 32);  // row 0 of the picture, three lines down
  EXPECT_EQ(GetPixel(0, 19, 12), 32 + 19 % 8);
  EXPECT_EQ(GetPixel(0, 0, 2), 0);
  EXPECT_EQ(CurrentScaling(), Scaling::Integer);
  EXPECT_TRUE(player.Key('a'));
  EXPECT_EQ(CurrentScaling(), Scaling::Aspect);
  EXPECT_TRUE(player.Key('A'));
  EXPECT_EQ(CurrentScaling(), Scaling::Integer);
  CloseScreen();
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

TEST(PlayProgram, AScenesDayStartsAtItsTimeAndTRunsItFast) {
  testing::HeadlessScreen screen;
  const testing::IffPicture drawn = CyclingPicture();
  IndexedPicture picture;
  picture.width = drawn.width;
  picture.height = drawn.height;
  picture.pixels = drawn.pixels;
  // Black at midnight, white at noon; the picture's own colours are not shown.
  const PaletteTimeline day{.keys = {{.timeMs = 0, .palette = Palette::Solid({0, 0, 0})},
                                     {.timeMs = 12 * 3600e3, .palette = Palette::Solid({240, 240, 240})}}};
  double ms = 0;
  std::string error;
  ASSERT_TRUE(play::ParseTimeOfDay("6:00", ms));
  play::Player player(picture, {}, day, ms);
  ASSERT_TRUE(player.Frame(0));
  const Rgb8 six = TimelinePaletteAt(day, 6 * 3600e3)[32];
  EXPECT_EQ(GetPaletteEntry(32), Packed(six));
  PushKey('t');                     // a day a minute: 30 s is 12 hours on
  ASSERT_TRUE(player.Frame(0));
  EXPECT_TRUE(player.DayRunsFast());
  ASSERT_TRUE(player.Frame(30000));
  EXPECT_EQ(GetPaletteEntry(32), Packed(TimelinePaletteAt(day, 18 * 3600e3)[32]));
  PushKey('T');                     // and back to the day's own pace: 45 s are not 18 hours
  ASSERT_TRUE(player.Frame(30000));
  ASSERT_TRUE(player.Frame(75000));
  EXPECT_EQ(GetPaletteEntry(32), Packed(TimelinePaletteAt(day, 18 * 3600e3 + 45e3)[32]));

  ASSERT_TRUE(play::ParseTimeOfDay("23:59", ms));
  EXPECT_EQ(ms, (23 * 60 + 59) * 60e3);
  for (const char* bad : {"24:00", "12:60", "12", "1:5", "123:00", ":30", "12:3x", "-1:00", "+1:00"}) {
    EXPECT_FALSE(play::ParseTimeOfDay(bad, ms)) << bad;
  }
  play::PlayOptions options;
  ASSERT_TRUE(play::ParsePlayArgs({"--time", "07:30", "a.json"}, options, error)) << error;
  EXPECT_EQ(options.timeOfDayMs, 7.5 * 3600e3);
  play::PlayOptions again;
  EXPECT_FALSE(play::ParsePlayArgs({"a.json", "--time", "7.30"}, again, error));
  EXPECT_NE(error.find("7.30"), std::string::npos) << error;
  for (const char* bad : {"0", "1e-310", "-5"}) {
    play::PlayOptions o;
    EXPECT_FALSE(play::ParsePlayArgs({"a.json", "--day-seconds", bad}, o, error)) << bad;
  }
}

// Presses keys once the program's frames are running (OpenScreen empties the queue), and
// counts the writes to each register.
struct KeysAfterFrames : DisplayObserver {
  int32_t frames = 0;
  std::array<int32_t, 256> writes{};
  void OnSleep(int32_t) override {
    if (++frames == 30) PushKey('b'), PushKey(27);
  }
  void OnPaletteEntryRgb(int32_t index, uint32_t) override { ++writes[size_t(index)]; }
};

struct Played : Ran {
  std::array<int32_t, 256> writes{};
};

// quorvel-play headless on virtual time for 30 frames (half a second), then Escape.
Played Play(const std::vector<std::string>& args) {
  SetHeadless(true);
  SetVirtualTime(true);
  KeysAfterFrames keys;
  SetDisplayObserver(&keys);
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Played played;
  played.status = play::RunPlay(args, out, err);
  SetDisplayObserver(nullptr);
  SetVirtualTime(false);
  played.out = Drain(out);
  played.err = Drain(err);
  played.writes = keys.writes;
  return played;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Scenes of the colour-cycling web ecosystem, and many DOS files, mark every cycle with
// flags 0 or 2 (reversed) and nothing else: with no cycle marked running, those whose rate
// moves them run, and stderr says so once. --strict-flags reads the active flag alone.
TEST(PlayProgram, RunsTheCyclesOfAPictureThatMarksNoneRunning) {
  TempDir dir;
  const std::string unmarked = dir.Write("scene.lbm", IffFile(CyclingPicture(), {testing::CrngChunk(4096, 0, 32, 35),
                                                                                 testing::CrngChunk(4096, 2, 36, 39),
                                                                                 testing::CrngChunk(0, 0, 40, 47)}));
  const Played usual = Play({unmarked});
  EXPECT_EQ(usual.status, 0);
  EXPECT_EQ(Count(usual.err, "scene.lbm marks none of its colour cycles as running; running the 2 whose rate "
                             "moves them"), 1u) << usual.err;
  EXPECT_EQ(usual.err.find("no running colour cycles"), std::string::npos) << usual.err;
  EXPECT_GT(usual.writes[33], 3) << "half a second at 15 steps a second moves it 7 times";
  EXPECT_GT(usual.writes[37], 3);
  EXPECT_LE(usual.writes[41], 1);

  const Played strict = Play({"--strict-flags", unmarked});
  EXPECT_EQ(strict.status, 0);
  EXPECT_LE(strict.writes[33], 1);
  EXPECT_NE(strict.err.find("scene.lbm has no running colour cycles; without --strict-flags"), std::string::npos)
      << strict.err;
  EXPECT_EQ(strict.err.find("marks none"), std::string::npos) << strict.err;

  // One cycle marked running: DeluxePaint's reading holds and the others stay still.
  const std::string marked = dir.Write("marked.lbm", IffFile(CyclingPicture(), {testing::CrngChunk(4096, 1, 32, 35),
                                                                                testing::CrngChunk(4096, 0, 36, 39)}));
  const Played one = Play({marked});
  EXPECT_EQ(one.err, "");
  EXPECT_GT(one.writes[33], 3);
  EXPECT_LE(one.writes[37], 1);

  // Where nothing would move, the hint never sends anyone to the option just given.
  const std::string still = dir.Write("still.lbm", IffFile(CyclingPicture(), {testing::CrngChunk(0, 0, 32, 39)}));
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{still}, {"--dos-cycles", still}}) {
    const Played ran = Play(args);
    EXPECT_NE(ran.err.find("still.lbm has no running colour cycles; none of its 1 cycles would move a colour: "
                           "add some with --cycle"), std::string::npos) << ran.err;
    EXPECT_EQ(ran.err.find("--dos-cycles"), std::string::npos) << ran.err;
  }

  // quorvel-pal info tells the cycles as the player runs them.
  const std::string info = Pal({"info", unmarked}).out;
  EXPECT_NE(info.find("registers 32-35, 15.00 steps/s, running"), std::string::npos) << info;
  EXPECT_NE(info.find("registers 36-39, 15.00 steps/s reversed, running"), std::string::npos) << info;
  EXPECT_NE(info.find("registers 40-47, 0.00 steps/s, not running"), std::string::npos) << info;
  EXPECT_NE(info.find("  note     none is marked running; the 2 whose rate moves them run"), std::string::npos)
      << info;
  const std::string strictInfo = Pal({"info", "--strict-flags", unmarked}).out;
  EXPECT_NE(strictInfo.find("registers 32-35, 15.00 steps/s, not running"), std::string::npos) << strictInfo;
  EXPECT_EQ(strictInfo.find("note"), std::string::npos) << strictInfo;
  EXPECT_EQ(Pal({"info", "--strict-flags", "--dos-cycles", unmarked}).status, 1);
}

// A scene of the web players plays like the picture it holds; one that is damaged is
// refused with its line and column.
TEST(PlayProgram, PlaysScenes) {
  TempDir dir;
  Scene scene;
  scene.picture.width = 8;
  scene.picture.height = 2;
  scene.picture.colourCount = 64;
  for (int32_t i = 0; i < 16; ++i) scene.picture.pixels.push_back(uint8_t(30 + i));
  for (size_t i = 0; i < 64; ++i) scene.picture.palette[i] = {uint8_t(i * 4), 0, uint8_t(255 - i)};
  PictureCycle cycle;
  cycle.cycle = {.low = 32, .high = 35, .stepsPerSecond = 15, .blend = false};
  cycle.active = true;
  scene.picture.cycles = {cycle};
  const std::string file = dir.Path("scene.json");
  ASSERT_TRUE(WriteScene(file, scene).ok());
  const Played played = Play({file});
  EXPECT_EQ(played.status, 0);
  EXPECT_EQ(played.err, "");
  EXPECT_GT(played.writes[33], 3);
  EXPECT_LE(played.writes[37], 1);

  const Played broken = Play({dir.Write("broken.json", {'{', '\n', 'w', ':'})});
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.err.find("broken.json: line 2, column 3: expected a number"), std::string::npos) << broken.err;
}

TEST(PlayProgram, RunsHeadlessUntilEscapeAndRefusesWhatItCannotShow) {
  TempDir dir;
  const std::string file = dir.Write("p.lbm", IffFile(CyclingPicture(), {}));
  const Played played = Play({file, "--cycle", "32-39@4"});
  EXPECT_EQ(played.status, 0);
  EXPECT_GT(played.writes[33], 1);
  EXPECT_FALSE(ScreenIsOpen());
  EXPECT_EQ(played.err, "");

  SetHeadless(true);
  SetVirtualTime(true);
  const std::string rgb = dir.Write("rgb.bmp", testing::Bytes(100, 0));
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(play::RunPlay({rgb}, stdout, err), 1);
  EXPECT_NE(Drain(err).find("rgb.bmp: not a picture that can be read"), std::string::npos);
  EXPECT_FALSE(ScreenIsOpen());
  SetVirtualTime(false);
}

TEST(PlayProgram, SavesThePictureWithTheCyclesItWouldRunAndQuantizesTrueColour) {
  TempDir dir;
  const testing::IffPicture drawn = CyclingPicture();
  const std::string file = dir.Write("p.lbm", IffFile(drawn, {testing::CrngChunk(4096, 1, 32, 35),
                                                            testing::CrngChunk(4096, 0, 36, 39)}));
  const Ran saved = Play({file, "--strict-flags", "--cycle", "40-47@4", "--save", dir.Path("out.lbm")});
  ASSERT_EQ(saved.status, 0) << saved.err;
  EXPECT_FALSE(ScreenIsOpen());
  const PictureReadResult read = LoadIndexedPicture(dir.Path("out.lbm"));
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_TRUE(read.picture.pixels == drawn.pixels);
  EXPECT_EQ(read.picture.palette[33], drawn.palette[33]);
  // The one marked running and the one added; not the one --strict-flags keeps still.
  ASSERT_EQ(read.picture.cycles.size(), 2u);
  EXPECT_EQ(read.picture.cycles[0].cycle.low, 32);
  EXPECT_EQ(read.picture.cycles[1].cycle.low, 40);
  EXPECT_NEAR(read.picture.cycles[1].cycle.stepsPerSecond, 4, 0.01);
  EXPECT_TRUE(read.picture.cycles[1].active);
  for (const std::string& bad : {file, dir.Path("out.txt")}) {
    const Ran refused = Play({file, "--save", bad});
    EXPECT_EQ(refused.status, 1) << bad;
    EXPECT_NE(refused.err.find(bad), std::string::npos) << refused.err;
  }

  // A true-colour picture plays with --quantize, and is still refused without it.
  testing::Picture rgb{.width = 16, .height = 16, .pixels = {}};
  const auto colour = [](uint32_t i) { return Rgb8{uint8_t(i), uint8_t(i * 37), uint8_t(i * 91)}; };
  for (uint32_t i = 0; i < 256; ++i) {
    const Rgb8 c = colour(i);
    rgb.pixels.push_back(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
  }
  ASSERT_TRUE(testing::WritePng(dir.Path("rgb.png"), rgb));
  EXPECT_EQ(Play({dir.Path("rgb.png")}).status, 1);
  const Ran quantized = Play({dir.Path("rgb.png"), "--quantize", "--save", dir.Path("rgb.lbm")});
  ASSERT_EQ(quantized.status, 0) << quantized.err;
  EXPECT_NE(quantized.err.find("rgb.png quantized to"), std::string::npos) << quantized.err;
  const PictureReadResult indexed = LoadIndexedPicture(dir.Path("rgb.lbm"));
  ASSERT_TRUE(indexed.ok()) << indexed.error;
  EXPECT_EQ(indexed.picture.width, 16);
  // 256 colours fit the registers: every pixel keeps its own.
  for (uint32_t i = 0; i < 256; ++i) {
    EXPECT_EQ(indexed.picture.palette[indexed.picture.pixels[i]], colour(i)) << i;
  }
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
