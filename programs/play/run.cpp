// quorvel-play as a whole: options, the picture, the screen and the frame loop.
#include <cstdlib>
#include <ctime>

#include <quorvel/display.hpp>
#include <quorvel/quantize.hpp>

#include "programs/common/arguments.hpp"
#include "programs/common/picture_input.hpp"
#include "programs/common/program.hpp"
#include "programs/common/recorded_frames.hpp"
#include "programs/play/play.hpp"

namespace quorvel::play {
namespace {

constexpr char kUsage[] =
    "Usage: quorvel-play [options] PICTURE\n"
    "Shows an indexed picture (IFF ILBM/PBM, PCX, GIF, PNG, BMP) or a colour-cycling scene\n"
    "(.json) and runs its colour cycles.\n"
    "  --cycle LOW-HIGH@STEPS[:wrap|pingpong|sine]\n"
    "                  also cycles registers LOW..HIGH at STEPS steps a second (repeatable)\n"
    "  --dos-cycles    runs every cycle whose rate moves it, whatever its flags say\n"
    "  --strict-flags  runs only the cycles marked active, as DeluxePaint does (by default,\n"
    "                  when none is marked, those whose rate moves them run)\n"
    "  --time HH:MM    starts a scene's day at that time (by default, the computer's time)\n"
    "  --day-seconds N a scene's day lasts N seconds instead of a day\n"
    "  --quantize      brings a true-colour picture to 256 colours (Floyd-Steinberg) to play it\n"
    "  --save OUT      writes the picture with the cycles it would run (and a scene's day) to\n"
    "                  OUT, an ILBM (.lbm), PBM (.pbm), GIF, PNG or scene (.json), and quits\n"
    "  --full-screen   asks for full screen instead of a window\n"
    "  --record OUT.gif [--seconds N]\n"
    "                  records what the screen shows to an animated GIF for N seconds\n"
    "                  (10), then quits\n"
    "  --help, --version\n"
    "The screen is the picture's size, its pixels the shape the file gives (an IFF\n"
    "picture's aspect), scaled by whole factors.\n"
    "Keys: B blending on/off, A whole-factor/exact-aspect scaling, Left/Right\n"
    "slower/faster, Space pause, T a day in a minute and back (scenes with palettes\n"
    "pinned to times), Escape quits.\n";

// Why nothing of the picture moves, and what would move it.
std::string NothingRunsHint(const PlayOptions& options, const std::vector<uint8_t>& bytes,
                            const IndexedPicture& picture) {
  if (picture.cycles.empty()) return "; add some with --cycle";
  if (options.cycleFlags == programs::CycleFlags::Strict &&
      !RunningCycles(programs::CyclesWithMovingRates(bytes)).empty()) {
    return "; without --strict-flags the cycles whose rate moves them run, or add some with --cycle";
  }
  return "; none of its " + std::to_string(picture.cycles.size()) +
         " cycles would move a colour: add some with --cycle";
}

// Writes the picture as it would play: its running cycles and those added, a scene's day.
int SavePicture(const PlayOptions& options, const Scene& read, const std::vector<Cycle>& cycles,
                std::FILE* err) {
  Scene scene = read;
  scene.picture.cycles.clear();
  for (const Cycle& cycle : cycles) {
    PictureCycle running;
    running.cycle = cycle;
    running.active = true;
    scene.picture.cycles.push_back(running);
  }
  const PictureFormat format = PictureFormatOfPath(options.save);
  PictureWriteResult written;
  if (format == PictureFormat::Scene) {
    written = WriteScene(options.save, scene);
  } else if (format != PictureFormat::Unknown) {
    if (!scene.timeline.keys.empty()) {
      std::fprintf(err, "quorvel-play: warning: %s: only a scene keeps the palettes pinned to times\n",
                   options.save.c_str());
    }
    written = WritePicture(options.save, scene.picture, format);
  } else {
    written.error = options.save + ": write a .lbm, .pbm, .gif, .png or .json file";
  }
  for (const std::string& warning : written.warnings) {
    std::fprintf(err, "quorvel-play: warning: %s\n", warning.c_str());
  }
  if (!written.ok()) std::fprintf(err, "quorvel-play: %s\n", written.error.c_str());
  return written.ok() ? 0 : 1;
}

// Where the computer's clock stands in its day, in milliseconds since local midnight.
double LocalTimeOfDayMs() {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  if (!local) return 0;
  return ((local->tm_hour * 60.0 + local->tm_min) * 60 + local->tm_sec) * 1000;
}

}  // namespace

int RunPlay(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  PlayOptions options;
  std::string error;
  if (!ParsePlayArgs(args, options, error)) {
    std::fprintf(err, "quorvel-play: %s\n%s", error.c_str(), kUsage);
    return 1;
  }
  if (options.help) {
    std::fputs(kUsage, out);
    return 0;
  }
  if (options.version) {
    programs::PrintVersion("quorvel-play", out);
    return 0;
  }
  // A recording or a saved picture replaces its file: never the picture played, by any name.
  const char* recordVariable = std::getenv("QUORVEL_RECORD");
  for (const std::string& gif : {options.record, std::string(recordVariable ? recordVariable : ""), options.save}) {
    if (!gif.empty() && programs::SameFile(options.file, gif)) {
      std::fprintf(err, "quorvel-play: %s is the picture played; %s another file\n", gif.c_str(),
                   gif == options.save ? "save to" : "record to");
      return 1;
    }
  }
  programs::PictureInput read = programs::ReadPictureInput(options.file, options.cycleFlags);
  if (!read.error.empty() && options.quantize) {
    // Only a picture that reads as true colour is quantized; any other keeps its error.
    const RgbaReadResult rgba = ParseRgbaPicture(read.bytes, options.file);
    QuantizeResult quantized;
    if (rgba.ok()) quantized = Quantize(rgba.picture);
    if (rgba.ok() && quantized.ok()) {
      read.error.clear();
      read.warnings.clear();
      read.scene = Scene{};
      read.scene.picture = std::move(quantized.picture);
      std::fprintf(err, "quorvel-play: %s quantized to %d colours (Floyd-Steinberg)\n", options.file.c_str(),
                   read.scene.picture.colourCount);
    }
  }
  const std::vector<uint8_t>& bytes = read.bytes;
  for (const std::string& warning : read.warnings) std::fprintf(err, "quorvel-play: warning: %s\n", warning.c_str());
  if (!read.error.empty()) {
    std::fprintf(err, "quorvel-play: %s\n", read.error.c_str());
    return 1;
  }
  const size_t unmarkedRunning = read.runningUnmarked;
  if (unmarkedRunning > 0) {
    std::fprintf(err,
                 "quorvel-play: %s marks none of its colour cycles as running; running the %zu whose "
                 "rate moves them, as most players do (--strict-flags keeps them still)\n",
                 options.file.c_str(), unmarkedRunning);
  }
  const IndexedPicture& picture = read.scene.picture;
  std::vector<Cycle> cycles = RunningCycles(picture.cycles);
  cycles.insert(cycles.end(), options.extraCycles.begin(), options.extraCycles.end());
  if (cycles.empty()) {
    std::fprintf(err, "quorvel-play: %s has no running colour cycles%s\n", options.file.c_str(),
                 NothingRunsHint(options, bytes, picture).c_str());
  }
  if (!options.save.empty()) return SavePicture(options, read.scene, cycles, err);
  const ScreenOptions screen = ScreenFor(picture, options.fullScreen);
  if (!OpenScreenWith(screen)) {
    std::fprintf(err, "quorvel-play: cannot open a %dx%d 256-colour screen: %s\n", screen.width,
                 screen.height, ScreenError().c_str());
    return 1;
  }
  const PaletteTimeline& timeline = read.scene.timeline;
  if (timeline.keys.empty() && options.timeOfDayMs >= 0) {
    std::fprintf(err, "quorvel-play: %s has no palettes pinned to times; --time changes nothing\n",
                 options.file.c_str());
  }
  const double timeOfDay = options.timeOfDayMs >= 0 ? options.timeOfDayMs : LocalTimeOfDayMs();
  const double dayRate = options.daySeconds > 0 ? PaletteTimeline::kDayMs / (options.daySeconds * 1000) : 1;
  Player player(picture, cycles, timeline, timeOfDay, dayRate);
  player.Draw();
  return programs::RunRecordedFrames(
      "quorvel-play", [&](double nowMs) { return player.Frame(nowMs); }, options.record,
      options.seconds, err);
}

}  // namespace quorvel::play
