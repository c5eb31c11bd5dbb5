// The showcase program: draws the scene once, then only the palette changes.
#include "programs/showcase/showcase.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include <quorvel/display.hpp>

#include "programs/common/arguments.hpp"
#include "programs/common/program.hpp"
#include "programs/common/recorded_frames.hpp"

namespace quorvel::showcase {
namespace {

constexpr int32_t kSceneFirst = 16, kSceneLast = 247;  // the registers the scene uses
constexpr double kMorphMs = 3000;
constexpr double kFilterMs = 600;
constexpr double kSlowest = 0.125, kFastest = 8, kSpeedStep = 1.25;

}  // namespace

Showcase::Showcase(const Scene& scene) : scene_(scene), animator_(scene.day) {
  cycles_.resize(scene.cycles.size());
  for (size_t i = 0; i < scene.cycles.size(); ++i) {
    if (!scene.cycles[i].nightOnly) cycles_[i] = animator_.AddCycle(scene.cycles[i].cycle);
  }
  animator_.FadeFrom({0, 0, 0}, {.durationMs = 1500, .easing = Easing::QuadOut});
}

void Showcase::Draw() const {
  // One PutImage of the whole scene, resampled to the screen above the help line on the
  // last text row (at 640x480 pixel for pixel). Indices resample without new colours, so
  // every cycle still runs.
  const int32_t width = ScreenWidth(), height = std::max((TextRows() - 1) * 16, 1);
  ImageBuffer image = MakeImage(width, height);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* from = scene_.pixels.data() + size_t(y * kSceneHeight / height) * kScreenWidth;
    uint8_t* to = ImagePixels(image) + size_t(y) * size_t(width);
    for (int32_t x = 0; x < width; ++x) to[x] = from[x * kScreenWidth / width];
  }
  PutImage(0, 0, image, kPutCopy);
  SetTextColor(15, 0);
  LocateText(TextRows(), 1);
  PrintText(std::string(kHelp).substr(0, size_t(TextColumns())), false);
}

bool ParseScreenSize(std::string_view text, ScreenOptions& options) {
  const size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  int32_t width = 0, height = 0;
  const auto whole = [](std::string_view digits, int32_t& value) {
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return !digits.empty() && digits[0] != '-' && ec == std::errc() && end == digits.data() + digits.size();
  };
  if (!whole(text.substr(0, x), width) || !whole(text.substr(x + 1), height)) return false;
  options = {};
  options.width = width;
  options.height = height;
  // The two sizes the monitors of their time showed at 4:3.
  if ((width == 320 && height == 200) || (width == 640 && height == 400)) options.pixelAspect = 1.2;
  return true;
}

bool Showcase::Frame(double nowMs) {
  while (KeyWaiting()) {
    if (!Key(ReadKeyCode())) return false;
  }
  if (firstFrameMs_ < 0) firstFrameMs_ = nowMs;
  // The tour's toggles fall on a fixed grid from the first frame.
  while (tour_ && nowMs - firstFrameMs_ >= 1000 + double(toursDone_) * kTourMs) {
    ++toursDone_;
    ToggleNight();
  }
  animator_.Update(nowMs);
  animator_.PresentToScreen();
  return true;
}

bool Showcase::Key(int32_t code) {
  switch (code) {
    case 27: return false;
    case 'b': case 'B':
      blend_ = !blend_;
      for (EffectHandle cycle : cycles_) animator_.SetCycleBlend(cycle, blend_);
      break;
    case kKeyLeft: SetSpeed(speed_ / kSpeedStep); break;
    case kKeyRight: SetSpeed(speed_ * kSpeedStep); break;
    case 'n': case 'N': ToggleNight(); break;
    case 'g': case 'G': ToggleFilter(grey_, greyOn_, FilterKind::Greyscale); break;
    case 'i': case 'I': ToggleFilter(negative_, negativeOn_, FilterKind::Negative); break;
    case ' ':
      paused_ = !paused_;
      animator_.SetTimeScale(paused_ ? 0 : 1);
      break;
    default: break;
  }
  return true;
}

void Showcase::SetSpeed(double speed) {
  speed_ = std::clamp(speed, kSlowest, kFastest);
  for (size_t i = 0; i < cycles_.size(); ++i) {
    animator_.SetCycleRate(cycles_[i], scene_.cycles[i].cycle.stepsPerSecond * speed_);
  }
}

void Showcase::ToggleNight() {
  night_ = !night_;
  Tween tween{.durationMs = kMorphMs, .easing = Easing::Smoothstep, .space = ColorSpace::OkLab};
  if (night_) {
    for (size_t i = 0; i < cycles_.size(); ++i) {
      if (!scene_.cycles[i].nightOnly || animator_.IsActive(cycles_[i])) continue;
      Cycle cycle = scene_.cycles[i].cycle;
      cycle.stepsPerSecond *= speed_;
      cycle.blend = blend_;
      cycles_[i] = animator_.AddCycle(cycle);
    }
  } else {
    // Night-only cycles stop once the day has fully come back (a newer toggle that
    // takes over the morph means this never runs).
    tween.onComplete = [this] {
      for (size_t i = 0; i < cycles_.size(); ++i) {
        if (scene_.cycles[i].nightOnly) animator_.Cancel(cycles_[i], CancelHow::Revert);
      }
    };
  }
  animator_.MorphBase(night_ ? scene_.night : scene_.day, tween, kSceneFirst, kSceneLast);
}

void Showcase::ToggleFilter(EffectHandle& filter, bool& on, FilterKind kind) {
  // A filter on its way in goes back out from where it is, and the other way round; one
  // that has gone all the way out has been removed, so a new one comes in.
  if (!animator_.IsActive(filter)) {
    filter = animator_.AddFilter(
        {.kind = kind, .first = kSceneFirst, .last = kSceneLast, .amount = 0});
  }
  on = !on;
  animator_.TweenFilter(filter, on ? 1 : 0, {.durationMs = kFilterMs});
}

int Run(const std::vector<std::string>& args) {
  bool window = false, tour = false;
  ScreenOptions screen;
  std::string record;
  double seconds = 10;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::printf(
          "Usage: quorvel-showcase [--window] [--tour] [--size WxH] [--record OUT.gif [--seconds N]]\n"
          "A coast from day to night, animated through the palette alone.\n"
          "--tour turns day into night and back by itself every six seconds.\n"
          "--size opens a screen of W x H pixels (16 to 4096; 640x480 unless given);\n"
          "320x200 and 640x400 are shown at 4:3, as in their day.\n"
          "Keys: B blending on/off, Left/Right slower/faster, N day/night, G greyscale,\n"
          "I negative, Space pause, Escape quits. Alt+Enter toggles full screen.\n"
          "--record writes what the screen shows to an animated GIF for N seconds (10),\n"
          "then quits. --version prints the version.\n");
      return 0;
    }
    if (arg == "--version") {
      programs::PrintVersion("quorvel-showcase", stdout);
      return 0;
    }
    const bool hasValue = i + 1 < args.size();
    if (arg == "--window") {
      window = true;
    } else if (arg == "--tour") {
      tour = true;
    } else if (arg == "--size" && hasValue) {
      if (!ParseScreenSize(args[++i], screen)) {
        std::fprintf(stderr, "quorvel-showcase: --size needs WIDTHxHEIGHT, such as 320x200, not %s\n",
                     args[i].c_str());
        return 1;
      }
    } else if (arg == "--record" && hasValue) {
      record = args[++i];
    } else if (arg == "--seconds" && hasValue) {
      if (!programs::ParseSeconds(args[++i], seconds)) {
        std::fprintf(stderr, "quorvel-showcase: --seconds needs a number of seconds above 0, not %s\n",
                     args[i].c_str());
        return 1;
      }
    } else {
      std::fprintf(stderr, "quorvel-showcase: unknown option %s (try --help)\n", arg.c_str());
      return 1;
    }
  }
  screen.pages = 1;
  screen.fullScreen = !window;
  screen.title = "quorvel-showcase";
  bool opened = OpenScreenWith(screen);
  if (!opened && !window) {
    // Full screen is only the showcase's own default, so a window will do; but say so.
    std::fprintf(stderr, "quorvel-showcase: no full screen (%s); showing a window\n", ScreenError().c_str());
    screen.fullScreen = false;
    opened = OpenScreenWith(screen);
  }
  if (!opened) {
    std::fprintf(stderr, "quorvel-showcase: cannot open a %dx%d 256-colour screen: %s\n",
                 screen.width, screen.height, ScreenError().c_str());
    return 1;
  }
  const Scene scene = BuildScene();
  Showcase show(scene);
  show.Draw();
  if (tour) show.StartTour();
  return programs::RunRecordedFrames(
      "quorvel-showcase", [&](double nowMs) { return show.Frame(nowMs); }, record, seconds, stderr);
}

}  // namespace quorvel::showcase
