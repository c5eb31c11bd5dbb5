// The showcase, headless on virtual time: its frames at fixed instants match the pictures
// under tests/data, frames change registers and never pixels, and every key acts at the
// next frame.
#include <gtest/gtest.h>

#include <quorvel/display.hpp>
#include "programs/play/play.hpp"
#include "programs/showcase/showcase.hpp"
#include "tests/support/golden.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel::showcase {
namespace {

// The visible page's indices, to show that frames leave them alone.
std::vector<int32_t> Pixels() {
  std::vector<int32_t> pixels;
  for (int32_t y = 0; y < kScreenHeight; y += 3) {
    for (int32_t x = 0; x < kScreenWidth; x += 3) pixels.push_back(GetPixel(0, x, y));
  }
  return pixels;
}

// --size: the scene resampled to any screen above a help line cut to its columns.
TEST(Showcase, SizeOptionResamplesTheSceneToTheScreen) {
  ScreenOptions options;
  EXPECT_TRUE(ParseScreenSize("320x200", options));
  EXPECT_EQ(options.width, 320);
  EXPECT_DOUBLE_EQ(options.pixelAspect, 1.2);
  EXPECT_TRUE(ParseScreenSize("800x600", options));
  EXPECT_DOUBLE_EQ(options.pixelAspect, 1.0);
  for (const char* bad : {"320", "320x", "x200", "-320x200", "320x200x", "320X200"}) {
    EXPECT_FALSE(ParseScreenSize(bad, options)) << bad;
  }

  ASSERT_TRUE(ParseScreenSize("320x200", options));
  SetHeadless(true);
  ASSERT_TRUE(OpenScreenWith(options)) << ScreenError();
  const Scene scene = BuildScene();
  Showcase show(scene);
  show.Draw();
  for (const auto& [x, y] : {std::pair{0, 0}, {319, 175}, {160, 100}, {17, 141}}) {
    EXPECT_EQ(GetPixel(0, x, y), scene.pixels[size_t(y * kSceneHeight / 176) * kScreenWidth + size_t(x * 2)])
        << x << "," << y;
  }
  // The help line's 40th column holds its 40th character; nothing wrapped onto a new row.
  ImageBuffer cell = MakeImageBuffer(64);
  GetImage(312, 176, 319, 191, cell);  // the last whole text row of twelve
  bool inked = false;
  for (size_t i = 4; i < cell.size() && i < 4 + 8 * 16; ++i) inked |= cell[i] == 15;
  EXPECT_EQ(inked, kHelp[39] != ' ');
  CloseScreen();
}

TEST(Showcase, GoldenFramesFromDayToNightAndOnlyThePaletteMoves) {
  testing::HeadlessScreen screen;
  const Scene scene = BuildScene();
  Showcase show(scene);
  show.Draw();
  const std::vector<int32_t> drawn = Pixels();

  auto frameAt = [&](double ms) { ASSERT_TRUE(show.Frame(ms)); };
  frameAt(0);
  frameAt(2000);  // the opening fade is over
  testing::ExpectGolden("showcase_day", CaptureFrame());
  PushKey('n');
  frameAt(2016);
  frameAt(3516);  // half way to night
  testing::ExpectGolden("showcase_dusk", CaptureFrame());
  frameAt(6000);
  testing::ExpectGolden("showcase_night", CaptureFrame());
  PushKey('g');
  frameAt(6016);
  frameAt(6316);  // half way to grey
  testing::ExpectGolden("showcase_night_half_grey", CaptureFrame());
  EXPECT_EQ(Pixels(), drawn);
}

TEST(Showcase, KeysActAtTheNextFrame) {
  testing::HeadlessScreen screen;
  const Scene scene = BuildScene();
  Showcase show(scene);
  show.Draw();
  ASSERT_TRUE(show.Frame(0));
  const Palette before = show.Animation().Output();

  PushKey('b');
  PushKey(kKeyRight);
  ASSERT_TRUE(show.Frame(16));
  EXPECT_FALSE(show.Blending());
  EXPECT_DOUBLE_EQ(show.Speed(), 1.25);

  // Paused, nothing moves however long the frames go on; resumed, it carries on.
  PushKey(' ');
  ASSERT_TRUE(show.Frame(32));
  const Palette paused = show.Animation().Output();
  ASSERT_TRUE(show.Frame(5000));
  EXPECT_EQ(show.Animation().Output(), paused);
  PushKey(' ');
  ASSERT_TRUE(show.Frame(5016));
  ASSERT_TRUE(show.Frame(5500));
  EXPECT_NE(show.Animation().Output(), paused);
  EXPECT_NE(show.Animation().Output(), before);

  PushKey(27);
  EXPECT_FALSE(show.Frame(5516));
}

TEST(Showcase, TheTourTurnsDayAndNightOnItsOwnAtFixedTimes) {
  testing::HeadlessScreen screen;
  const Scene scene = BuildScene();
  Showcase show(scene);
  show.StartTour();
  // Frames far apart still make every toggle that fell between them, and only those.
  for (double ms : {0.0, 999.0}) ASSERT_TRUE(show.Frame(1000 + ms));
  EXPECT_FALSE(show.Night());
  ASSERT_TRUE(show.Frame(2000));
  EXPECT_TRUE(show.Night());
  ASSERT_TRUE(show.Frame(1000 + 1000 + 2 * kTourMs));  // two more: night again
  EXPECT_TRUE(show.Night());
}

// Both screen programs take --seconds by one rule: a finite decimal number above 0. A
// bad one is refused before anything else (here, before --help would end the program).
TEST(Showcase, SecondsAreTakenAsThePlayerTakesThem) {
  for (const char* bad : {"inf", "2abc", "nan", "0x10", " 2", "0", "-1", "1e999", ""}) {
    EXPECT_EQ(showcase::Run({"--seconds", bad, "--help"}), 1) << bad;
    play::PlayOptions options;
    std::string error;
    EXPECT_FALSE(play::ParsePlayArgs({"p.lbm", "--seconds", bad}, options, error)) << bad;
  }
  for (const char* good : {"2", "0.5", ".5", "1e1"}) {
    EXPECT_EQ(showcase::Run({"--seconds", good, "--help"}), 0) << good;
  }
}

}  // namespace
}  // namespace quorvel::showcase
