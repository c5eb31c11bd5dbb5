// quorvel-play: shows an indexed picture on Quorvel's screen and runs its colour cycles
// with the Animator. Options, layout and the player are plain functions and a small class
// so that tests drive them headless.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>
#include <quorvel/formats.hpp>

#include "programs/common/cycle_flags.hpp"

namespace quorvel::play {

struct PlayOptions {
  std::string file;
  std::vector<Cycle> extraCycles;  // from --cycle, run besides the picture's own
  programs::CycleFlags cycleFlags = programs::CycleFlags::Usual;  // --dos-cycles, --strict-flags
  bool fullScreen = false;
  bool help = false;
  bool version = false;
  std::string record;               // --record OUT.gif: the screen to an animated GIF
  double seconds = 10;              // --seconds N: how long it records, then quits
  double timeOfDayMs = -1;          // --time HH:MM, since midnight; below 0: the computer's
  double daySeconds = 0;            // --day-seconds N: a scene's day lasts N seconds; 0: a day
  bool quantize = false;            // --quantize: a true-colour picture is brought to 256 colours
  std::string save;                 // --save OUT: writes the picture as played instead
};

// Parses the arguments (without the program's name). False with `error` on a mistake.
bool ParsePlayArgs(const std::vector<std::string>& args, PlayOptions& options, std::string& error);
// LOW-HIGH@STEPS[:wrap|pingpong|sine]: registers LOW..HIGH (0..255, LOW < HIGH) at STEPS
// steps a second (negative runs backwards).
bool ParseCycleOption(std::string_view text, Cycle& cycle, std::string& error);
// HH:MM, 00:00 to 23:59 (one digit for the hour will do), as milliseconds since midnight.
bool ParseTimeOfDay(std::string_view text, double& ms);

// The screen a picture is shown on: its own size (16 to 4096 a side, a picture outside
// that centred on or cropped to the nearest), with the pixel shape the file gives.
ScreenOptions ScreenFor(const IndexedPicture& picture, bool fullScreen);

// Where a picture goes on a screen (mode 18's unless given): the largest integer scale
// that fits, centred; a picture bigger than the screen at scale 1, its centre shown.
struct Layout {
  int32_t scale = 1;
  int32_t left = 0, top = 0;            // on the screen
  int32_t sourceX = 0, sourceY = 0;     // the picture's first pixel shown
  int32_t shownWidth = 0, shownHeight = 0;  // picture pixels shown
};
Layout FitPicture(int32_t width, int32_t height, int32_t screenWidth = kScreenWidth,
                  int32_t screenHeight = kScreenHeight);

// A day in this many milliseconds while the day runs fast.
constexpr double kFastDayMs = 60 * 1000;

class Player {
 public:
  // A timeline with keys moves the palette through them by the clock, starting at
  // `timeOfDayMs` of its period, `dayRate` of its milliseconds each real one.
  Player(const IndexedPicture& picture, const std::vector<Cycle>& cycles,
         const PaletteTimeline& timeline = {}, double timeOfDayMs = 0, double dayRate = 1);
  // Clears the work page and draws the picture by its layout (pixels only; the
  // registers follow in the first frame).
  void Draw() const;
  // One frame at `nowMs`: handles waiting keys, updates the palette and presents it.
  // False when the program should end.
  bool Frame(double nowMs);
  // Acts on one key code (characters, or kExtendedKey + scan code). False on Escape.
  bool Key(int32_t code);

  const Animator& Animation() const { return animator_; }
  double Speed() const { return speed_; }
  bool Paused() const { return paused_; }
  bool Blending() const { return blend_; }
  bool DayRunsFast() const { return dayFast_; }

 private:
  void ApplyTime();

  const IndexedPicture& picture_;
  Animator animator_;
  std::vector<EffectHandle> cycles_;
  EffectHandle day_;      // the timeline, when there is one
  double dayRate_ = 1;    // its clock's rate while the day does not run fast
  bool dayFast_ = false;
  double speed_ = 1;
  bool paused_ = false;
  bool blend_ = false;  // DeluxePaint stepped its cycles; B blends them
};

// The whole program: 0 or 1.
int RunPlay(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace quorvel::play
