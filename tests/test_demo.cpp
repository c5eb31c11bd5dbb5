// The whole demonstration program, headless on virtual time: what it asks of the
// display adds up to its table and title, only the space bar passes its prompts, and
// its screens match the pictures kept under tests/data.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <map>
#include <random>
#include <string>

#include "demo/demo.hpp"
#include "demo/runner.hpp"
#include <quorvel/palette.hpp>
#include "tests/support/golden.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel::testing {
namespace {

using Frame = std::vector<uint32_t>;

// Whether every register holds the default palette (at 8-bit precision, red lowest).
bool DefaultPaletteShown() {
  for (int32_t i = 0; i <= 255; ++i) {
    const auto expand = [](int32_t c) { return uint32_t(c * 255 / 63); };
    const uint32_t expected = expand(DefaultPalRed(i)) | expand(DefaultPalGreen(i)) << 8 |
                              expand(DefaultPalBlue(i)) << 16;
    if (GetPaletteEntry(i) != expected) return false;
  }
  return true;
}

// What a run asks of the display, added up from the rules of each kind of step.
struct Tally {
  int64_t writes = 0;
  int64_t sleeps = 0;
  int64_t ms = 0;

  void Sleep(int32_t milliseconds, int32_t times = 1) {
    sleeps += times;
    ms += int64_t(milliseconds) * times;
  }
  void Frame(int32_t registers) { writes += registers; }
  void Fade(int32_t registers, int32_t speed) {
    writes += 64 * registers;
    Sleep(speed, 64);
  }
  // 128 calls, each after a pause of 35 ms.
  void LevelLoop(int32_t registers) {
    writes += 128 * registers;
    Sleep(35, 128);
  }
  // 1000 calls, each followed by a pause of 5 ms.
  void RotationLoop(int32_t registers) {
    writes += 1000 * registers;
    Sleep(5, 1000);
  }
  // A space already queued: one pass of the prompt.
  void Prompt() { Sleep(5); }
};

constexpr int32_t kAll = 256;
constexpr int32_t kRotated = 235 - 20 + 1;

Tally TitleTally() {
  Tally t;
  t.Sleep(1, 200);   // fly-in frames
  t.Frame(3);        // the trail colours go black
  t.Sleep(1, 65);    // scroll frames
  for (int i = 0; i < 3; ++i) t.Fade(1, 2);  // one trail colour each
  return t;
}

Tally RunTally() {
  Tally t = TitleTally();
  t.Frame(kAll);  // the blackout before the title is built

  t.Prompt();  // group 1: fades
  for (int i = 0; i < 4; ++i) t.Fade(kAll, 30);
  for (int i = 0; i < 4; ++i) t.Fade(172 - 32 + 1, 30);
  t.Sleep(1000);

  t.Prompt();  // group 2: level controls and rotations
  t.LevelLoop(kAll);
  t.LevelLoop(kAll);
  t.LevelLoop(180 - 70 + 1);
  for (int i = 0; i < 3; ++i) t.RotationLoop(kRotated);
  t.Sleep(1000);

  t.Prompt();  // group 3: negatives
  for (int32_t registers : {kAll, kAll, 239 - 16 + 1, 239 - 16 + 1}) {
    t.Frame(registers);
    t.Sleep(2500);
  }
  t.RotationLoop(kRotated);
  t.Fade(kAll, 30);
  t.Fade(kAll, 30);
  t.Fade(255, 30);
  t.Fade(255, 30);
  t.LevelLoop(kAll);
  t.LevelLoop(255);
  t.Sleep(1000);

  t.Prompt();  // group 4: greyscale
  for (int32_t registers : {kAll, kAll, kAll, kAll, 255, 255, 240, 240}) {
    t.Frame(registers);
    t.Sleep(2500);
  }
  t.RotationLoop(kRotated);
  t.RotationLoop(kRotated);
  for (int32_t registers : {kAll, 200 - 32 + 1}) {
    const int32_t speed = registers == kAll ? 30 : 46;
    for (int pass = 0; pass < 2; ++pass) {  // plain, then negated: to grey, pause, back
      t.Fade(registers, speed);
      t.Sleep(2500);
      t.Fade(registers, speed);
    }
  }
  t.LevelLoop(kAll);
  t.LevelLoop(kAll);
  t.LevelLoop(180 - 40 + 1);
  t.LevelLoop(180 - 40 + 1);
  t.Sleep(1000);

  t.Prompt();  // information page
  t.Prompt();  // credits page
  t.Fade(kAll, 15);
  for (int n = 0; n < 64; ++n) {  // register 0 alone from white to black
    t.Frame(1);
    t.Sleep(15);
  }
  return t;
}

// Plays the user: a space at every prompt read (or, with a storm, only when no other key
// waits), and meanwhile a storm of other keys if asked. Keeps the frames of chosen moments.
class User : public Recorder {
 public:
  explicit User(bool storm) : storm_(storm) {}

  void OnReadKey() override {
    Recorder::OnReadKey();
    ++reads;
    defaultPaletteAtEveryRead = defaultPaletteAtEveryRead && DefaultPaletteShown();
    if (storm_ && KeyWaiting()) return;
    ++spaces;
    if (spaces == 1) frames["first_test_screen"] = CaptureFrame();
    if (spaces == 5) frames["information_page"] = CaptureFrame();
    if (spaces == 6) frames["credits_page"] = CaptureFrame();
    PushKey(' ');
  }

  void OnSleep(int32_t milliseconds) override {
    Recorder::OnSleep(milliseconds);
    // The last pause of the run follows the closing fade's 64 steps and the 64 steps of
    // register 0.
    if (spaces == 6 && milliseconds == 15 && ++closingSleeps == 128) {
      frames["last_frame"] = CaptureFrame();
    }
    if (storm_ && random_() % 97 == 0) PushKey(kStormKeys[random_() % kStormKeys.size()]);
  }

  int32_t reads = 0;
  int32_t spaces = 0;
  int32_t closingSleeps = 0;
  bool defaultPaletteAtEveryRead = true;
  std::map<std::string, Frame> frames;

 private:
  static constexpr std::array<int32_t, 8> kStormKeys = {
      'a', '\r', 27, 'q', kKeyUp, kKeyF1, kKeyDelete, kKeyPageDown};
  bool storm_;
  std::mt19937 random_{20240611};
};

TEST(Demo, RunAddsUpToItsTableAndTitleAndShowsItsScreens) {
  SetHeadless(true);
  SetVirtualTime(true);
  User user(false);
  ASSERT_EQ(demo::Run(), 0);
  SetDisplayObserver(nullptr);

  const Tally expected = RunTally();
  EXPECT_EQ(int64_t(user.Count(Event::Entry)), expected.writes);
  EXPECT_EQ(int64_t(user.Count(Event::Sleep)), expected.sleeps);
  EXPECT_EQ(VirtualTimeMs(), expected.ms);
  EXPECT_EQ(user.reads, 6) << "four test groups and two pages, each passed at once";
  EXPECT_TRUE(user.defaultPaletteAtEveryRead);
  ASSERT_EQ(user.frames.size(), 4u);
  for (const auto& [name, frame] : user.frames) ExpectGolden(name, frame);
  SetVirtualTime(false);
}

TEST(Demo, OnlyTheSpaceBarPassesAPromptWhateverElseIsPressed) {
  SetHeadless(true);
  SetVirtualTime(true);
  User user(true);
  ASSERT_EQ(demo::Run(), 0);
  SetDisplayObserver(nullptr);

  // Each space was pushed into an empty queue and read at once, so each ended a prompt.
  EXPECT_EQ(user.spaces, 6);
  EXPECT_GT(user.reads, 6) << "other keys were read at the prompts and ignored";
  EXPECT_TRUE(user.defaultPaletteAtEveryRead);
  // Queued keys cut the long pauses short, never the effects.
  EXPECT_LT(VirtualTimeMs(), RunTally().ms);
  EXPECT_EQ(int64_t(user.Count(Event::Entry)), RunTally().writes);
  SetVirtualTime(false);
  while (KeyWaiting()) ReadKey();
}

// The title on its own, set up as the driver does: it fills the screen only from frame
// 48 of the fly-in, and ends with the banner at the top and the default palette.
TEST(Demo, TitleFliesInScrollsAndRevealsTheTrails) {
  HeadlessScreen screen;
  auto program = std::make_unique<demo::Demo>();
  PalBlackout();
  SetPages(1, 0);
  LockScreen();
  demo::DrawTitleImages(*program);
  UnlockScreen(-1, -1);
  RestoreDefaultPalette();

  // At the n-th sleep of the fly-in page 0 still shows frame n - 1.
  struct FlyInWatch : Recorder {
    void OnSleep(int32_t ms) override {
      Recorder::OnSleep(ms);
      const size_t n = Count(Event::Sleep);
      if (n == 48 || n == 49) litPixels[n] = Lit();
      if (n == 201) settled = CaptureFrame();
    }
    static size_t Lit() {
      size_t lit = 0;
      for (uint32_t pixel : CaptureFrame()) lit += pixel != 0;
      return lit;
    }
    std::map<size_t, size_t> litPixels;
    Frame settled;
  } watch;
  demo::PlayTitleSequence(*program);
  SetDisplayObserver(nullptr);

  EXPECT_EQ(watch.litPixels[48], 0u) << "frame 47 shows nothing";
  EXPECT_GT(watch.litPixels[49], 0u) << "frame 48 shows the copy from the right";
  const Tally expected = TitleTally();
  EXPECT_EQ(int64_t(watch.Count(Event::Entry)), expected.writes);
  EXPECT_EQ(int64_t(watch.Count(Event::Sleep)), expected.sleeps);
  EXPECT_EQ(VirtualTimeMs(), expected.ms);
  EXPECT_TRUE(DefaultPaletteShown());
  ExpectGolden("title_settled", watch.settled);
  ExpectGolden("title_banner", CaptureFrame());

  // The banner covers pixel rows 0 to 170 on both pages, nothing lies below.
  for (int32_t page : {0, 1}) {
    int32_t lowest = -1;
    for (int32_t y = 0; y < kScreenHeight; ++y) {
      for (int32_t x = 0; x < kScreenWidth; ++x) {
        if (GetPixel(page, x, y) != 0) lowest = y;
      }
    }
    EXPECT_LE(lowest, 170) << "page " << page;
    EXPECT_GE(lowest, 150) << "page " << page;
  }
}

}  // namespace
}  // namespace quorvel::testing
