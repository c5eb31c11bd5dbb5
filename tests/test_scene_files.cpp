// Scenes of the colour-cycling web players: JSON and JavaScript object literals read,
// our own scenes written and read back, and damaged ones refused where they break.
#include <gtest/gtest.h>

#include <quorvel/formats.hpp>

namespace quorvel {
namespace {

std::vector<uint8_t> Text(std::string_view text) { return {text.begin(), text.end()}; }

// A scene as a player's own test file writes it: a script assigning an object literal.
constexpr std::string_view kLiteral = R"(// a ramp
var ramp = {
  filename: 'ramp.lbm', width: 3, height: 2,
  colors: [[0,0,0], [10,20,30], [255,128,1], [4,5,6],],
  /* every mode the players know */
  cycles: [
    {low: 1, high: 3, rate: 16384, reverse: 0},
    {'low': 0, "high": 2, rate: 8192, reverse: 2},
    {low: 1, high: 2, rate: 273, reverse: 3},
    {low: 0, high: 3, rate: 1e3, reverse: 5, extra: {nested: [1, 'x', null]}},
    {low: 2, high: 2, rate: 16384, reverse: 1},
    {low: 0, high: 3, rate: 0, reverse: 0},
  ],
  pixels: [0, 1, 2,
           3, 2, 1,],
  unknown: "\u00e9\"",
};
)";

TEST(SceneFiles, ObjectLiteralsReadWithEveryCycleMode) {
  const SceneReadResult read = ParseScene(Text(kLiteral), "ramp.js");
  ASSERT_TRUE(read.ok()) << read.error;
  const IndexedPicture& p = read.scene.picture;
  EXPECT_EQ(read.scene.filename, "ramp.lbm");
  EXPECT_EQ(p.width, 3);
  EXPECT_EQ(p.height, 2);
  EXPECT_EQ(p.pixels, (std::vector<uint8_t>{0, 1, 2, 3, 2, 1}));
  EXPECT_EQ(p.colourCount, 4);
  EXPECT_EQ(p.palette[2], (Rgb8{255, 128, 1}));
  EXPECT_EQ(p.palette[4], (Rgb8{}));
  ASSERT_EQ(p.cycles.size(), 6u);
  struct Want {
    double stepsPerSecond;
    CycleMode mode;
    bool reverse, active;
  };
  const Want want[] = {{60, CycleMode::Wrap, false, true},       {30, CycleMode::Wrap, true, true},
                       {273 * 60 / 16384.0, CycleMode::PingPong, false, true},
                       {1000 * 60 / 16384.0, CycleMode::Sine, false, true},
                       {60, CycleMode::Wrap, false, false},      {0, CycleMode::Wrap, false, false}};
  for (size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_DOUBLE_EQ(p.cycles[i].cycle.stepsPerSecond, want[i].stepsPerSecond);
    EXPECT_EQ(p.cycles[i].cycle.mode, want[i].mode);
    EXPECT_EQ(p.cycles[i].cycle.reverse, want[i].reverse);
    EXPECT_EQ(p.cycles[i].active, want[i].active);
    EXPECT_FALSE(p.cycles[i].cycle.blend);
  }
  EXPECT_EQ(p.cycles[1].cycle.low, 0);
  EXPECT_EQ(p.cycles[1].cycle.high, 2);
}

TEST(SceneFiles, OurScenesReadBackWithTheirTimelineAndTransparency) {
  Scene scene;
  IndexedPicture& p = scene.picture;
  p.width = 5;
  p.height = 3;
  p.colourCount = 200;
  for (int32_t i = 0; i < 15; ++i) p.pixels.push_back(uint8_t(i * 13));
  for (size_t i = 0; i < 200; ++i) p.palette[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)};
  p.transparentIndex = 13;
  p.alpha[13] = 0;
  auto cycle = [](int32_t low, int32_t high, double rate, CycleMode mode, bool reverse) {
    PictureCycle pc;
    pc.cycle = {.low = low, .high = high, .stepsPerSecond = rate * 60 / 16384, .mode = mode,
                .reverse = reverse, .blend = false};
    pc.active = true;
    return pc;
  };
  p.cycles = {cycle(16, 23, 8192, CycleMode::Wrap, false), cycle(32, 39, 700, CycleMode::Wrap, true),
              cycle(40, 47, 5000, CycleMode::PingPong, false), cycle(1, 9, 1234, CycleMode::Sine, false)};
  scene.filename = "a \"quoted\" name";
  scene.timeline.periodMs = 60000;
  for (double t : {0.0, 15000.5, 42000.0}) {
    TimedPalette key{t, p.palette};
    key.palette[7] = {uint8_t(t), 1, 2};
    scene.timeline.keys.push_back(key);
  }
  const PictureWriteResult written = EncodeScene(scene);
  ASSERT_TRUE(written.ok()) << written.error;
  EXPECT_TRUE(written.warnings.empty());
  EXPECT_TRUE(LooksLikeScene(written.bytes));
  const SceneReadResult read = ParseScene(written.bytes, "s.json");
  ASSERT_TRUE(read.ok()) << read.error;
  const IndexedPicture& q = read.scene.picture;
  EXPECT_EQ(q.pixels, p.pixels);
  EXPECT_EQ(q.palette, p.palette);
  EXPECT_EQ(q.colourCount, 200);
  EXPECT_EQ(q.transparentIndex, 13);
  EXPECT_EQ(q.alpha, p.alpha);
  EXPECT_EQ(read.scene.filename, scene.filename);
  EXPECT_EQ(read.scene.timeline, scene.timeline);
  ASSERT_EQ(q.cycles.size(), p.cycles.size());
  for (size_t i = 0; i < p.cycles.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(q.cycles[i].active, true);
    EXPECT_EQ(q.cycles[i].cycle.low, p.cycles[i].cycle.low);
    EXPECT_EQ(q.cycles[i].cycle.high, p.cycles[i].cycle.high);
    EXPECT_DOUBLE_EQ(q.cycles[i].cycle.stepsPerSecond, p.cycles[i].cycle.stepsPerSecond);
    EXPECT_EQ(q.cycles[i].cycle.mode, p.cycles[i].cycle.mode);
    EXPECT_EQ(q.cycles[i].cycle.reverse, p.cycles[i].cycle.reverse);
  }

  // A cycle that does not run is written still, since web players run every rate: its
  // rate cannot be kept, and the writer says so.
  p.cycles[0].active = false;
  const PictureWriteResult frozen = EncodeScene(scene);
  ASSERT_EQ(frozen.warnings.size(), 1u);
  EXPECT_NE(frozen.warnings[0].find("rate 0"), std::string::npos) << frozen.warnings[0];
  const SceneReadResult still = ParseScene(frozen.bytes, "s.json");
  EXPECT_FALSE(still.scene.picture.cycles[0].active);
}

TEST(SceneFiles, DamagedScenesAreRefusedWhereTheyBreak) {
  const struct {
    const char* text;
    const char* where;  // the start of the error after the file's name
  } cases[] = {
      {"{width: 2, height: 1,\n colors: [[0,0,0]],\n pixels: [0 0]}", "line 3, column 13: expected ',' or ']'"},
      {"{width: 2, height: 1, colors: [[0,0,0]], pixels: [0, 1]}", "line 1, column 42: pixel (1, 0) is colour 1"},
      {"{width: 2, height: 1, colors: [[0,0,0]], pixels: [0, 256]}", "line 1, column 54: a pixel is 256"},
      {"{width: 2, height: 2, colors: [[0,0,0]], pixels: [0, 0, 0]}", "line 1, column 42: 3 pixels for"},
      {"{width: 1, height: 1, colors: [[0,0]], pixels: [0]}", "line 1, column 32: a colour of 2 components"},
      {"{width: 1, height: 1, colors: [[0,0,0]], pixels: [0]} x", "line 1, column 55: more after"},
      {"{width: 1, height: 1, filename: 'a\n', colors: [[0,0,0]], pixels: [0]}", "line 1, column 33: a string"},
      {"{width: 1, height: 1, colors: [[0,0,0]]}", "line 1, column 1: a scene without its pixels"},
      {"{width: 1, height: 1, colors: [], pixels: [0], cycles: [{low: 1}]}", "line 1, column 57: a cycle without"},
      {"{width: 0, height: 1, colors: [], pixels: []}", "line 1, column 9: the width is 0"},
      {"[1, 2]", "line 1, column 1: expected '{'"},
      {"{width: 1, height: 1, colors: [[0,0,0]], pixels: [0],\n timeline: {period: 10, palettes: [{time: 10}]}}",
       "line 2, column 36: a timed palette at or past"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const SceneReadResult read = ParseScene(Text(c.text), "bad.json");
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error.rfind(std::string("bad.json: ") + c.where, 0), 0u) << read.error;
    EXPECT_TRUE(read.scene.picture.pixels.empty());
  }
  // Nesting deep enough to overflow a recursive reader's stack is refused instead.
  const std::string deep = "{width: 1, x: " + std::string(100000, '[') + "}";
  EXPECT_NE(ParseScene(Text(deep), "deep.json").error.find("nested more than"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
