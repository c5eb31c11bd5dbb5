// The sample art in samples/: each file holds what tools/samples draws, read back the way
// the players read it, and quorvel-play shows a scene's day at the time asked for.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include <quorvel/display.hpp>
#include <quorvel/formats.hpp>
#include "programs/common/picture_input.hpp"
#include "programs/play/play.hpp"
#include "programs/showcase/scene.hpp"
#include "tools/samples/art.hpp"

namespace quorvel {
namespace {

const std::string kSamples = QUORVEL_TEST_DATA "/../../samples/";
constexpr char kRedraw[] = " (scripts/samples.sh draws the samples again)";

void ExpectHolds(const std::string& name, const IndexedPicture& want,
                 const PaletteTimeline& timeline = {}) {
  SCOPED_TRACE(name);
  const programs::PictureInput read =
      programs::ReadPictureInput(kSamples + name, programs::CycleFlags::Usual);
  ASSERT_EQ(read.error, "");
  EXPECT_TRUE(read.warnings.empty()) << read.warnings.front();
  const IndexedPicture& got = read.scene.picture;
  ASSERT_EQ(got.width, want.width) << kRedraw;
  ASSERT_EQ(got.height, want.height) << kRedraw;
  EXPECT_TRUE(got.pixels == want.pixels) << kRedraw;
  EXPECT_EQ(got.palette, want.palette) << kRedraw;
  ASSERT_EQ(got.cycles.size(), want.cycles.size()) << kRedraw;
  for (size_t i = 0; i < got.cycles.size(); ++i) {
    const Cycle &g = got.cycles[i].cycle, &w = want.cycles[i].cycle;
    EXPECT_TRUE(got.cycles[i].active) << i;
    EXPECT_EQ(g.low, w.low) << i;
    EXPECT_EQ(g.high, w.high) << i;
    EXPECT_EQ(g.mode, w.mode) << i;
    // Files keep a rate in DeluxePaint's 16384ths of 60 steps a second.
    EXPECT_NEAR(g.stepsPerSecond * (g.reverse ? -1 : 1), w.stepsPerSecond * (w.reverse ? -1 : 1),
                60.0 / 16384) << i;
  }
  EXPECT_EQ(read.scene.timeline, timeline) << kRedraw;
}

TEST(Samples, TheCommittedFilesHoldWhatTheirCodeDraws) {
  ExpectHolds("coast.lbm", samples::ForIff(samples::Coast()));
  const Scene waterfall = samples::Waterfall();
  ExpectHolds("waterfall.json", waterfall.picture, waterfall.timeline);
  ExpectHolds("waterfall.lbm", samples::ForIff(waterfall.picture));
  const Scene coastDay = samples::CoastDay();
  ExpectHolds("coast_day.json", coastDay.picture, coastDay.timeline);
  // A JavaScript object literal, as some web players ship their scenes.
  ExpectHolds("test_ramp.js", samples::TestRamp().picture);
  EXPECT_EQ(waterfall.timeline.keys.size(), 6u);

  // Saved by the player, a scene keeps its day and its cycles, and gains those added.
  const std::string saved = ::testing::TempDir() + "quorvel_saved_waterfall.json";
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(play::RunPlay({kSamples + "waterfall.json", "--cycle", "200-210@3", "--save", saved}, stdout, err), 0);
  std::fclose(err);
  const SceneReadResult read = ReadScene(saved);
  std::remove(saved.c_str());
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.scene.timeline, waterfall.timeline);
  ASSERT_EQ(read.scene.picture.cycles.size(), waterfall.picture.cycles.size() + 1);
  EXPECT_EQ(read.scene.picture.cycles.back().cycle.low, 200);
}

// The last colour written to each register.
struct LastColours : DisplayObserver {
  std::array<uint32_t, 256> rgb{};
  int32_t frames = 0;
  void OnSleep(int32_t) override {
    if (++frames == 10) PushKey(27);
  }
  void OnPaletteEntryRgb(int32_t index, uint32_t colour) override { rgb[size_t(index)] = colour; }
};

uint32_t Packed(Rgb8 c) { return c.r | uint32_t(c.g) << 8 | uint32_t(c.b) << 16; }

TEST(Samples, ThePlayerShowsAScenesDayAtTheTimeAsked) {
  const PaletteTimeline waterfall = samples::Waterfall().timeline;
  const PaletteTimeline coast = samples::CoastDay().timeline;
  // Half past six is the coast's dawn itself.
  EXPECT_EQ(TimelinePaletteAt(coast, 6.5 * 3600e3), showcase::BuildScene().dawn);
  // At a day in 2.4 seconds, the sixth of a second played takes 08:30 (between dawn and
  // day) past 09:00, into the day's own colours.
  const struct {
    const char* file;
    const PaletteTimeline& day;
    const char* time;
    const char* daySeconds;
    double shownMs;
  } cases[] = {{"waterfall.json", waterfall, "03:00", "86400", 3 * 3600e3},
               {"waterfall.json", waterfall, "12:00", "86400", 12 * 3600e3},
               {"waterfall.json", waterfall, "18:00", "86400", 18 * 3600e3},
               {"waterfall.json", waterfall, "08:30", "2.4", 12 * 3600e3},
               {"coast_day.json", coast, "06:30", "86400", 6.5 * 3600e3}};
  for (const auto& [file, day, time, daySeconds, shownMs] : cases) {
    SCOPED_TRACE(std::string(file) + " " + time);
    SetHeadless(true);
    SetVirtualTime(true);
    LastColours shown;
    SetDisplayObserver(&shown);
    std::FILE* err = std::tmpfile();
    const int status = play::RunPlay(
        {"--time", time, "--day-seconds", daySeconds, kSamples + file}, stdout, err);
    SetDisplayObserver(nullptr);
    SetVirtualTime(false);
    std::fclose(err);
    EXPECT_EQ(status, 0);
    // The sky's top (register 16, in both) runs no cycle; a sixth of a second changes no
    // colour.
    EXPECT_EQ(shown.rgb[16], Packed(TimelinePaletteAt(day, shownMs)[16]));
  }
}

}  // namespace
}  // namespace quorvel
