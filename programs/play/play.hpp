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
};

// Parses the arguments (without the program's name). False with `error` on a mistake.
bool ParsePlayArgs(const std::vector<std::string>& args, PlayOptions& options, std::string& error);
// LOW-HIGH@STEPS[:wrap|pingpong|sine]: registers LOW..HIGH (0..255, LOW < HIGH) at STEPS
// steps a second (negative runs backwards).
bool ParseCycleOption(std::string_view text, Cycle& cycle, std::string& error);

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

class Player {
 public:
  Player(const IndexedPicture& picture, const std::vector<Cycle>& cycles);
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

 private:
  void ApplyTime();

  const IndexedPicture& picture_;
  Animator animator_;
  std::vector<EffectHandle> cycles_;
  double speed_ = 1;
  bool paused_ = false;
  bool blend_ = false;  // DeluxePaint stepped its cycles; B blends them
};

// The whole program: 0 or 1.
int RunPlay(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace quorvel::play
