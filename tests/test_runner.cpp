// The group runner: prompt, marker, blinker, loops, and a short headless run.
#include <gtest/gtest.h>

#include "demo/demo.hpp"
#include "demo/runner.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

using testing::Event;
using testing::HeadlessScreen;
using testing::Recorder;

// The text of one row of the visible page, read back by matching glyph cells.
std::string RowText(int32_t row, int32_t columns) {
  // Print every character on page 1 once and compare cells: simple and exact.
  std::string text;
  for (int32_t col = 1; col <= columns; ++col) {
    char found = '?';
    for (int code = 32; code < 127 && found == '?'; ++code) {
      bool same = true;
      SetPages(1, 0);
      SetTextColor(15, 0);
      LocateText(1, 1);
      PrintText(std::string(1, char(code)), false);
      for (int32_t y = 0; y < 16 && same; ++y) {
        for (int32_t x = 0; x < 8 && same; ++x) {
          same = (GetPixel(1, x, y) == 15) ==
                 (GetPixel(0, (col - 1) * 8 + x, (row - 1) * 16 + y) == 15);
        }
      }
      if (same) found = char(code);
    }
    text += found;
  }
  SetPages(0, 0);
  return text;
}

// Pushes a key each time the program reads one.
struct KeyFeeder : Recorder {
  std::vector<int32_t> keys;  // pushed in turn; a space once they run out
  size_t next = 0;
  void OnReadKey() override {
    Recorder::OnReadKey();
    PushKey(next < keys.size() ? keys[next++] : ' ');
  }
};

TEST(WaitForSpace, OnlyTheSpaceBarPasses) {
  HeadlessScreen screen;
  KeyFeeder feeder;
  feeder.keys = {'a', 13, 27, kKeyUp, 'x'};
  demo::WaitForSpace(29, 1);
  // Six reads: five other keys consumed and ignored, then the space; one pause each.
  EXPECT_EQ(feeder.Count(Event::Key), 6u);
  EXPECT_EQ(feeder.Count(Event::Sleep), 6u);
  EXPECT_EQ(VirtualTimeMs(), 30);
  EXPECT_FALSE(KeyWaiting());
  EXPECT_EQ(RowText(29, 39), std::string(39, ' '));  // the row is blanked
}

TEST(WaitForSpace, QueuedSpaceEndsAfterOnePassAndPromptTexts) {
  HeadlessScreen screen;
  const std::pair<int32_t, std::string> prompts[] = {
      {1, "Press <SPACE> to test."},
      {2, "Press <SPACE> to end this demo, please."},
      {0, "Press <SPACE> to continue."},
      {7, "Press <SPACE> to continue."}};
  for (const auto& [kind, text] : prompts) {
    // Stop it after the first print with a key that is not the space: the prompt shows.
    struct Peek : DisplayObserver {
      std::string seen;
      int32_t columns;
      bool done = false;
      void OnReadKey() override {
        if (!done) {
          done = true;
          SetDisplayObserver(nullptr);
          seen = RowText(28, columns);
          SetDisplayObserver(this);
        }
        PushKey(' ');
      }
    } peek;
    peek.columns = static_cast<int32_t>(text.size());
    SetDisplayObserver(&peek);
    demo::WaitForSpace(28, kind);
    SetDisplayObserver(nullptr);
    EXPECT_EQ(peek.seen, text) << kind;
  }
  SetVirtualTime(true);
  PushKey(' ');
  demo::WaitForSpace(29, 1);
  EXPECT_EQ(VirtualTimeMs(), 5);
}

TEST(Marker, DiamondOnlyForOnEqualsOne) {
  HeadlessScreen screen;
  demo::DrawTestMarker(14, 3, 12, 0, 1);
  EXPECT_EQ(GetPixel(0, 16 + 0, 13 * 16 + 7), 12);  // the diamond's widest row
  demo::DrawTestMarker(14, 3, 12, 0, 2);
  EXPECT_EQ(GetPixel(0, 16 + 0, 13 * 16 + 7), 0);
}

TEST(BlinkWorking, CycleOf31AndTheLevelLoop) {
  HeadlessScreen screen;
  demo::Demo demo;
  std::vector<int32_t> levels;
  demo::LevelLoop(demo, [&](int32_t& level) { levels.push_back(level); });
  ASSERT_EQ(levels.size(), 128u);
  for (int32_t i = 0; i < 64; ++i) {
    EXPECT_EQ(levels[i], i);
    EXPECT_EQ(levels[64 + i], 63 - i);
  }
  EXPECT_EQ(VirtualTimeMs(), 128 * 35);
  EXPECT_EQ(demo.blinkCounter, 4);
  EXPECT_EQ(RowText(29, 29), "Working........are you ready?");
  demo::ClearWorkingLine();
  EXPECT_EQ(RowText(29, 29), std::string(29, ' '));
}

TEST(RotationLoop, AmountsRiseThenFall) {
  HeadlessScreen screen;
  std::vector<std::pair<int32_t, bool>> calls;
  demo::RotationLoop([&](int32_t& amount, bool rising) { calls.push_back({amount, rising}); });
  ASSERT_EQ(calls.size(), 1000u);
  EXPECT_EQ(calls[0], std::make_pair(0, true));
  EXPECT_EQ(calls[499], std::make_pair(499, true));
  EXPECT_EQ(calls[500], std::make_pair(500, false));
  EXPECT_EQ(calls[999], std::make_pair(1, false));
  EXPECT_EQ(VirtualTimeMs(), 5000);
}

TEST(Demo, RunsHeadlessToTheEnd) {
  SetHeadless(true);
  SetVirtualTime(true);
  KeyFeeder feeder;
  EXPECT_EQ(demo::Run(), 0);
  EXPECT_GT(feeder.Count(Event::Key), 0u);
  SetVirtualTime(false);
}

}  // namespace
}  // namespace quorvel
