// Recording the screen to an animated GIF, read back with giflib: which frames, how long
// each shows, and that every pixel's colour is the one the screen showed. What the
// environment, file modes, FIFOs and full disks do is in test_recorder_posix.cpp.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>

#include <algorithm>
#include <filesystem>

#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>
#include <quorvel/recorder.hpp>
#include "tests/support/recorded_gifs.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

using testing::DrawAllIndices;
using testing::GifFrame;
using testing::HeadlessScreen;
using testing::ReadGif;

// The screen as each pause began, and when.
struct Shown : testing::Recorder {
  void OnSleep(int32_t ms) override {
    testing::Recorder::OnSleep(ms);
    pictures.push_back({VirtualTimeMs(), CaptureFrame()});
  }
  std::vector<std::pair<int64_t, std::vector<uint32_t>>> pictures;
};

// A GIF file in the temporary folder, named after the process too (two runs of the suite
// at once must not share a file), and removed when the test is done with it.
class TempGif {
 public:
  explicit TempGif(const char* name)
      : path_((std::filesystem::path(::testing::TempDir()) /
               (std::to_string(::getpid()) + "-" + name)).string()) {}
  ~TempGif() { std::filesystem::remove(path_); }
  operator const std::string&() const { return path_; }

 private:
  std::string path_;
};

TEST(Recorder, FadeOnVirtualTimeIsEveryPictureForItsTime) {
  HeadlessScreen screen;
  DrawAllIndices();
  const TempGif path("fade.gif");
  Shown shown;
  shown.pictures.push_back({0, CaptureFrame()});
  Recorder recorder;
  ASSERT_TRUE(recorder.Start(path)) << recorder.Error();
  FadeOut::DefaultPal(20);
  ASSERT_TRUE(recorder.Stop()) << recorder.Error();
  EXPECT_FALSE(recorder.Recording());

  // The first pass writes the palette already shown, so 1 + 63 distinct pictures of 20 ms.
  const std::vector<GifFrame> frames = ReadGif(path);
  ASSERT_EQ(frames.size(), 64u);
  EXPECT_EQ(recorder.FrameCount(), 64);
  EXPECT_EQ(recorder.LengthMs(), VirtualTimeMs());
  size_t picture = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].delayCs, 2) << "frame " << i;
    // The pause that showed this frame's picture first.
    while (shown.pictures[picture].first < int64_t(i) * 20) ++picture;
    ASSERT_EQ(frames[i].width, kScreenWidth);
    ASSERT_EQ(frames[i].height, kScreenHeight);
    EXPECT_TRUE(frames[i].Pixels() == shown.pictures[picture].second) << "frame " << i;
  }
  EXPECT_EQ(frames.back().Pixels(), std::vector<uint32_t>(frames.back().indices.size(), 0u));
}

// At 60 frames a second a frame lasts 1 2/3 hundredths, so the delays cannot all be
// equal: each frame must end, in the file, at the hundredth nearest the moment the screen
// stopped showing it, so that no delay is a hundredth off and the total never drifts.
TEST(Recorder, DelaysAtSixtyFramesASecondFollowTheClockFrameByFrame) {
  HeadlessScreen screen;
  const TempGif path("sixty.gif");
  SetPaletteEntryRgb(0, 0, 0, 0);  // the blank screen shows register 0: its red is the frame
  Recorder recorder;
  ASSERT_TRUE(recorder.Start(path, {.maxSeconds = 1})) << recorder.Error();
  std::vector<int64_t> shownAt;  // when the picture of each frame began to show
  RunFrames([&](double nowMs) {
    shownAt.push_back(int64_t(nowMs));
    SetPaletteEntryRgb(0, uint8_t(shownAt.size() - 1), 0, 0);
    return recorder.Recording();
  });
  ASSERT_TRUE(recorder.Stop()) << recorder.Error();
  const auto nearestCs = [](int64_t ms) { return (ms + 5) / 10; };

  const std::vector<GifFrame> frames = ReadGif(path);
  ASSERT_GE(frames.size(), 20u);
  int64_t endCs = 0;
  uint32_t previous = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    const uint32_t picture = frames[i].colours[0] >> 16;
    if (i == 0) {
      EXPECT_EQ(picture, 0u) << "the first frame is the screen at the start";
    } else {
      EXPECT_GT(picture, previous) << "frame " << i;
    }
    previous = picture;
    endCs += frames[i].delayCs;
    if (i + 1 < frames.size()) {
      EXPECT_GE(frames[i].delayCs, 2) << "frame " << i;
      ASSERT_LT(picture + 1, shownAt.size());
      EXPECT_EQ(endCs, nearestCs(shownAt[picture + 1]))
          << "frame " << i << " (picture " << picture << ", replaced at " << shownAt[picture + 1] << " ms)";
    }
  }
  EXPECT_EQ(endCs, 100) << "the last frame ends at the limit";
  EXPECT_EQ(recorder.LengthMs(), 1000);
}

TEST(Recorder, RegionHalfScaleLimitAndBriefPictures) {
  HeadlessScreen screen;
  DrawAllIndices();
  const TempGif path("region.gif");
  Shown shown;
  Recorder recorder;
  // 101 x 51 pixels from (10, 20), every second one of the dashed rows: 51 x 26.
  ASSERT_TRUE(recorder.Start(path, {.x = 10, .y = 20, .width = 101, .height = 51,
                                    .halfScale = true, .maxSeconds = 0.095, .minFrameMs = 25}));
  // A new picture every 3 ms, each too brief to show alone: 25 ms, so 3 hundredths at the
  // least.
  for (int32_t step = 0; step < 60 && recorder.Recording(); ++step) {
    for (int32_t i = 0; i < 256; ++i) SetPaletteEntry(i, (i + step) & 63);
    SleepMs(3);
  }
  EXPECT_FALSE(recorder.Recording()) << "the length limit ends the recording";
  EXPECT_TRUE(recorder.Stop());
  const std::vector<GifFrame> frames = ReadGif(path);
  ASSERT_GE(frames.size(), 2u);
  int32_t total = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].width, 51);
    EXPECT_EQ(frames[i].height, 26);
    if (i + 1 < frames.size()) {
      EXPECT_GE(frames[i].delayCs, 3) << "frame " << i;
    }
    total += frames[i].delayCs;
  }
  EXPECT_EQ(total, 10) << "95 ms round to 10 hundredths";
  // The last frame is the last picture shown before the limit, at 93 ms.
  const auto last = std::find_if(shown.pictures.rbegin(), shown.pictures.rend(),
                                 [](const auto& p) { return p.first < 95; });
  ASSERT_NE(last, shown.pictures.rend());
  const std::vector<uint32_t> pixels = frames.back().Pixels();
  for (int32_t y = 0; y < 26; ++y) {
    for (int32_t x = 0; x < 51; ++x) {
      const uint32_t want = last->second[size_t(20 + 2 * y) * kScreenWidth + 10 + 2 * x];
      ASSERT_EQ(pixels[size_t(y) * 51 + x], want) << x << "," << y;
    }
  }

  // A region reaching past the top left corner is the part on the screen.
  const TempGif corner("corner.gif");
  ASSERT_TRUE(recorder.Start(corner, {.x = -5, .y = -3, .width = 20, .height = 10})) << recorder.Error();
  ASSERT_TRUE(recorder.Stop());
  const std::vector<GifFrame> clipped = ReadGif(corner);
  ASSERT_EQ(clipped.size(), 1u);
  ASSERT_EQ(clipped[0].width, 15);
  ASSERT_EQ(clipped[0].height, 7);
  const std::vector<uint32_t> inCorner = clipped[0].Pixels();
  const std::vector<uint32_t> screenNow = CaptureFrame();
  for (int32_t y = 0; y < 7; ++y) {
    for (int32_t x = 0; x < 15; ++x) {
      ASSERT_EQ(inCorner[size_t(y) * 15 + x], screenNow[size_t(y) * kScreenWidth + x]) << x << "," << y;
    }
  }
}

// The limit ends the recording at the pause that reaches it, and a recording stopped long
// after its limit, with no pause between, still holds just the time asked for.
TEST(Recorder, TheLengthLimitIsTheLengthWhateverThePauses) {
  HeadlessScreen screen;
  const TempGif path("limit.gif");
  Recorder recorder;
  ASSERT_TRUE(recorder.Start(path, {.width = 1, .height = 1, .maxSeconds = 0.1}));
  for (int32_t step = 1; step <= 3; ++step) {
    SetPaletteEntry(0, step);
    SleepMs(50);  // the pauses begin at 0, 50 and 100 ms
  }
  EXPECT_FALSE(recorder.Recording()) << "the pause at 100 ms reached the limit";
  EXPECT_TRUE(recorder.Stop());
  std::vector<GifFrame> frames = ReadGif(path);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].delayCs, 5);
  EXPECT_EQ(frames[1].delayCs, 5);
  EXPECT_EQ(recorder.LengthMs(), 100);

  ASSERT_TRUE(recorder.Start(path, {.width = 1, .height = 1, .maxSeconds = 0.1}));
  SetPaletteEntry(0, 4);
  SleepMs(250);
  ASSERT_TRUE(recorder.Stop());
  frames = ReadGif(path);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].delayCs, 10);
  EXPECT_EQ(recorder.LengthMs(), 100);
}

// A GIF delay holds 655.35 s at most: a picture that shows longer is written again for
// each such span and the rest, so that the file still shows it for its whole time.
TEST(Recorder, APictureLongerThanOneDelayHoldsIsSeveralFrames) {
  HeadlessScreen screen;
  const TempGif path("long.gif");
  Recorder recorder;
  ASSERT_TRUE(recorder.Start(path, {.width = 2, .height = 2}));
  SleepMs(1400 * 1000);
  SetPaletteEntry(0, 63);
  SleepMs(20);
  ASSERT_TRUE(recorder.Stop());
  const std::vector<GifFrame> frames = ReadGif(path);
  ASSERT_EQ(frames.size(), 4u);  // the first before any list
  const int32_t delays[] = {65535, 65535, 140000 - 2 * 65535, 2};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(frames[i].delayCs, delays[i]) << "frame " << i;
    EXPECT_EQ(frames[i].Pixels(), frames[i < 3 ? 0 : 3].Pixels()) << "frame " << i;
  }
  EXPECT_NE(frames[3].Pixels(), frames[0].Pixels());
  EXPECT_EQ(recorder.FrameCount(), 4);
  EXPECT_EQ(recorder.LengthMs(), 1400020);
}

TEST(Recorder, RefusesToStartWithAReason) {
  const TempGif path("refused.gif");
  Recorder recorder;
  SetHeadless(true);
  CloseScreen();
  EXPECT_FALSE(recorder.Start(path));
  EXPECT_NE(recorder.Error().find("no screen is open"), std::string::npos);

  HeadlessScreen screen;
  EXPECT_FALSE(recorder.Start(path, {.x = 640, .width = 10}));
  EXPECT_NE(recorder.Error().find("region"), std::string::npos) << recorder.Error();
  EXPECT_FALSE(recorder.Start(path, {.maxSeconds = -1}));
  // The shortest frame is a number of milliseconds a GIF delay can hold, not one too big
  // to count in hundredths.
  for (const double ms : {9.3e19, 655350.5, -1.0, HUGE_VAL, double(NAN)}) {
    EXPECT_FALSE(recorder.Start(path, {.minFrameMs = ms})) << ms;
    EXPECT_NE(recorder.Error().find("minFrameMs must be 0 to 655350 milliseconds, not "), std::string::npos)
        << recorder.Error();
  }
  EXPECT_NE(recorder.Error().find("not nan"), std::string::npos) << recorder.Error();
  EXPECT_FALSE(std::filesystem::exists(static_cast<const std::string&>(path)));
  ASSERT_TRUE(recorder.Start(path, {.minFrameMs = 655350})) << recorder.Error();
  EXPECT_TRUE(recorder.Stop());
  std::filesystem::remove(static_cast<const std::string&>(path));
  EXPECT_FALSE(recorder.Start(TempGif("no-such-dir/x.gif")));
  EXPECT_NE(recorder.Error().find("no-such-dir"), std::string::npos);

  ASSERT_TRUE(recorder.Start(path)) << recorder.Error();
  Recorder second;
  const TempGif secondPath("second.gif");
  EXPECT_FALSE(second.Start(secondPath));
  EXPECT_NE(second.Error().find("another recorder"), std::string::npos);
  // A picture that never paused did not show: the file holds the one at the start.
  ClearScreen();
  EXPECT_TRUE(recorder.Stop());
  EXPECT_EQ(ReadGif(path).size(), 1u);
  // The screen is free for the next recording.
  EXPECT_TRUE(second.Start(secondPath)) << second.Error();
}

// The recorded region of a captured frame: every `step`-th pixel of every `step`-th row.
std::vector<uint32_t> Region(const std::vector<uint32_t>& frame, int32_t x0, int32_t y0,
                             int32_t width, int32_t height, int32_t step) {
  std::vector<uint32_t> region;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      region.push_back(frame[size_t(y0 + y * step) * kScreenWidth + size_t(x0 + x * step)]);
    }
  }
  return region;
}

TEST(Recorder, PalettesPerLineAreExactUpTo256ColoursAndNearestBeyondSaidOnce) {
  HeadlessScreen screen;
  for (int32_t x = 0; x < kScreenWidth; ++x) DrawLine(x, 0, x, kScreenHeight - 1, x / 3, 65535);
  const TempGif path("lines.gif");
  Recorder recorder;
  // Rows 20, 22, ... 118 of the screen at half scale: a change at line 21 shows from the
  // second row recorded on.
  ASSERT_TRUE(recorder.Start(path, {.y = 20, .height = 100, .halfScale = true}));
  LinePalettes few;
  few.Add(21, 10, 0x102030u);
  few.Add(21, 11, 0x102030u);  // two registers, one colour
  few.Add(60, 200, 0xFEDCBAu);
  ASSERT_TRUE(SetLinePalettes(few));
  SleepMs(50);
  const std::vector<uint32_t> exact = Region(CaptureFrame(), 0, 20, 320, 50, 2);
  // Then every line a palette of its own: thousands of colours.
  LinePalettes many;
  std::vector<uint32_t> colours(256);
  for (int32_t y = 0; y < kScreenHeight; ++y) {
    for (uint32_t i = 0; i < 256; ++i) colours[i] = (i * 0x000101u + uint32_t(y) * 0x030000u) & 0xFFFFFFu;
    many.Add(y, 0, colours.data(), 256);
  }
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(SetLinePalettes(many));
  SleepMs(50);
  const std::vector<uint32_t> wide = Region(CaptureFrame(), 0, 20, 320, 50, 2);
  many.colours[30 * 256 + 2] ^= 1;  // a third picture, also beyond 256 colours
  ASSERT_TRUE(SetLinePalettes(many));
  SleepMs(50);
  ASSERT_TRUE(recorder.Stop());
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(said, "quorvel: a recorded frame shows more than 256 colours through its palettes per "
                  "line; the GIF holds the nearest of 256 (said once)\n");
  const std::vector<GifFrame> frames = ReadGif(path);
  // The picture before the first list showed for no time and gave way to it.
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].Pixels(), exact);
  // Beyond 256 colours each pixel is near its colour: median cut keeps the error small.
  const std::vector<uint32_t> got = frames[1].Pixels();
  ASSERT_EQ(got.size(), wide.size());
  double error = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    for (int c = 0; c < 3; ++c) error += std::abs(int(got[i] >> (8 * c) & 0xFF) - int(wide[i] >> (8 * c) & 0xFF));
  }
  EXPECT_LT(error / double(got.size() * 3), 4.0);
}

}  // namespace
}  // namespace quorvel
