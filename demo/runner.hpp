// The demonstration program's parts: its state, the group runner with its test screen,
// prompt, marker and blinker, and the phases the driver plays in order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <quorvel/display.hpp>

namespace quorvel::demo {

// The captured pictures, built once by DrawTitleImages and used for the whole run.
struct Images {
  ImageBuffer titleA = MakeImageBuffer(69889);       // title rows, colour set A
  ImageBuffer titleB = MakeImageBuffer(69889);       // title rows, colour set B
  ImageBuffer banner = MakeImageBuffer(99451);       // the title with its comet trails
  ImageBuffer ready = MakeImageBuffer(3585);         // "R E A D Y   T O   T E S T :"
  ImageBuffer readyShadow = MakeImageBuffer(3585);   // scratch
  ImageBuffer notice = MakeImageBuffer(6657);        // the notice line with its shadow
  ImageBuffer noticeShadow = MakeImageBuffer(6657);  // scratch
};

// Everything the program keeps for the run.
struct Demo {
  Images images;
  int32_t blinkCounter = 0;  // kept by BlinkWorking
};

// ---- The group runner -----------------------------------------------------------------

// Redraws the test screen below the banner on page 1 and copies it to page 0.
void DrawTestScreen(const Demo& demo);
// 256 vertical bars in colours 0..255 at x 360..615, y 250..460 of the work page.
void DrawColourBars();
// A diamond at (row, column) when on is 1, a blank otherwise.
void DrawTestMarker(const int32_t& row, const int32_t& column, const int32_t& foreground,
                    const int32_t& background, const int32_t& on);
// Blinks the prompt of `kind` (1 test, 2 end, other continue) at `row` until the space
// bar is read, then blanks the row. Other keys are read and ignored.
void WaitForSpace(const int32_t& row, const int32_t& kind);
// One step of the "Working........are you ready?" blinker on row 29.
void BlinkWorking(Demo& demo);
// Blanks the blinker's row.
void ClearWorkingLine();
// SleepMs with a value of its own.
void Pause(int32_t milliseconds);

// The level loop: 64 calls with the level rising 0..63, then 64 falling 63..0, each after
// a pause of 35 ms and followed by BlinkWorking.
void LevelLoop(Demo& demo, const std::function<void(int32_t& level)>& call);
// The rotation loop: amount 0..499 rising, then 500..1 falling, each call followed by a
// pause of 5 ms. `rising` tells the call which half it is in.
void RotationLoop(const std::function<void(int32_t& amount, bool rising)>& call);

// ---- The test table -------------------------------------------------------------------

enum class ScreenAction { Keep, DrawTestScreen };

// What follows a test once its marker is cleared.
struct Closing {
  enum Kind { Restore, ClearWorkingLine, Pause } kind;
  int32_t milliseconds = 0;  // for Pause
};

struct Test {
  int32_t row;                            // the label's text row, where the marker goes
  std::function<void(Demo&)> calls;       // the routine calls, loops and pauses
  std::vector<Closing> closing;
};

struct Group {
  ScreenAction screen;
  std::vector<std::string> labels;  // printed from row 14 down, in this order
  std::vector<Test> tests;
};

// Runs one group: its screen, labels, prompt, and its tests with their markers.
void RunGroup(Demo& demo, const Group& group);

// The four test groups.
std::vector<Group> TestTable();

// ---- The other phases -----------------------------------------------------------------

// Draws the title texts, the caption and the notice line on page 1 and captures them.
void DrawTitleImages(Demo& demo);
// Flies the title in, draws the comet trails, scrolls the banner up and reveals them.
void PlayTitleSequence(Demo& demo);
void DrawInfoPage(const Demo& demo);
void DrawCreditsPage(const Demo& demo);
void PlayClosingFade();

}  // namespace quorvel::demo
