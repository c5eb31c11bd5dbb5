// quorvel-showcase: the scene animated by the Animator alone, with keys to play with it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>

#include "programs/showcase/scene.hpp"

namespace quorvel::showcase {

// The help line, on the last text row.
constexpr const char* kHelp =
    " B blend  <- -> speed  N day/night  G grey  I negative  Space pause  Esc quit";

class Showcase {
 public:
  explicit Showcase(const Scene& scene);

  // Puts the scene and the help line on the work page (once; frames touch only the
  // palette) and starts the cycles and the opening fade.
  void Draw() const;
  // One frame at `nowMs`: handles waiting keys, updates the palette and presents it.
  // False when the program should end.
  bool Frame(double nowMs);
  // Acts on one key code (characters, or kExtendedKey + scan code). False on Escape.
  bool Key(int32_t code);

  // Turns day into night and back by itself every kTourMs, the first time a second in.
  void StartTour() { tour_ = true; }

  const Animator& Animation() const { return animator_; }
  double Speed() const { return speed_; }
  bool Blending() const { return blend_; }
  bool Night() const { return night_; }

 private:
  void ToggleNight();
  void ToggleFilter(EffectHandle& filter, bool& on, FilterKind kind);
  void SetSpeed(double speed);

  const Scene& scene_;
  Animator animator_;
  std::vector<EffectHandle> cycles_;  // one per scene cycle; empty handles when not running
  bool blend_ = true;
  bool night_ = false;
  bool paused_ = false;
  double speed_ = 1;
  EffectHandle grey_, negative_;
  bool greyOn_ = false, negativeOn_ = false;
  bool tour_ = false;
  double firstFrameMs_ = -1;
  int64_t toursDone_ = 0;
};

constexpr double kTourMs = 6000;

// --size WxH: the screen's width and height (checked when it opens), 320x200 and 640x400
// at 4:3. False when the text is no WIDTHxHEIGHT.
bool ParseScreenSize(std::string_view text, ScreenOptions& options);

// The program: `quorvel-showcase [--window] [--tour] [--size WxH] [--record OUT.gif [--seconds N]]`.
// Returns the exit code.
int Run(const std::vector<std::string>& args);

}  // namespace quorvel::showcase
