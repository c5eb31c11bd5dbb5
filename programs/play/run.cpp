// quorvel-play as a whole: options, the picture, the screen and the frame loop.
#include <cstdlib>

#include <quorvel/display.hpp>

#include "programs/common/arguments.hpp"
#include "programs/common/program.hpp"
#include "programs/common/recorded_frames.hpp"
#include "programs/play/play.hpp"

namespace quorvel::play {
namespace {

constexpr char kUsage[] =
    "Usage: quorvel-play [options] PICTURE\n"
    "Shows an indexed picture (IFF ILBM/PBM, PCX, GIF, PNG, BMP) and runs its colour cycles.\n"
    "  --cycle LOW-HIGH@STEPS[:wrap|pingpong|sine]\n"
    "                  also cycles registers LOW..HIGH at STEPS steps a second (repeatable)\n"
    "  --dos-cycles    runs every cycle whose rate moves it, whatever its flags say\n"
    "  --strict-flags  runs only the cycles marked active, as DeluxePaint does (by default,\n"
    "                  when none is marked, those whose rate moves them run)\n"
    "  --full-screen   asks for full screen instead of a window\n"
    "  --record OUT.gif [--seconds N]\n"
    "                  records what the screen shows to an animated GIF for N seconds\n"
    "                  (10), then quits\n"
    "  --help, --version\n"
    "The screen is the picture's size, its pixels the shape the file gives (an IFF\n"
    "picture's aspect), scaled by whole factors.\n"
    "Keys: B blending on/off, A whole-factor/exact-aspect scaling, Left/Right\n"
    "slower/faster, Space pause, Escape quits.\n";

// Reads the picture and its cycles by the flags asked for. Returns how many cycles run
// because the usual reading found none marked running (0 when it found some).
size_t ReadPicture(const PlayOptions& options, std::vector<uint8_t>& bytes, PictureReadResult& read) {
  read.error = ReadSmallFile(options.file, kMaxPictureFileBytes, bytes);
  if (!read.ok()) return 0;
  read = ParsePicture(bytes, options.file, programs::CycleReadOptionsFor(options.cycleFlags));
  if (!read.ok()) return 0;
  return programs::RunCyclesNoneIsMarkedFor(bytes, options.cycleFlags, read.picture.cycles);
}

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
  // A recording replaces its file when it ends: never the picture played, by any name.
  const char* recordVariable = std::getenv("QUORVEL_RECORD");
  for (const std::string& gif : {options.record, std::string(recordVariable ? recordVariable : "")}) {
    if (!gif.empty() && programs::SameFile(options.file, gif)) {
      std::fprintf(err, "quorvel-play: %s is the picture played; record to another file\n", gif.c_str());
      return 1;
    }
  }
  std::vector<uint8_t> bytes;
  PictureReadResult read;
  const size_t unmarkedRunning = ReadPicture(options, bytes, read);
  for (const std::string& warning : read.warnings) std::fprintf(err, "quorvel-play: warning: %s\n", warning.c_str());
  if (!read.ok()) {
    std::fprintf(err, "quorvel-play: %s\n", read.error.c_str());
    return 1;
  }
  if (unmarkedRunning > 0) {
    std::fprintf(err,
                 "quorvel-play: %s marks none of its colour cycles as running; running the %zu whose "
                 "rate moves them, as most players do (--strict-flags keeps them still)\n",
                 options.file.c_str(), unmarkedRunning);
  }
  const IndexedPicture& picture = read.picture;
  std::vector<Cycle> cycles = RunningCycles(picture.cycles);
  cycles.insert(cycles.end(), options.extraCycles.begin(), options.extraCycles.end());
  if (cycles.empty()) {
    std::fprintf(err, "quorvel-play: %s has no running colour cycles%s\n", options.file.c_str(),
                 NothingRunsHint(options, bytes, picture).c_str());
  }
  const ScreenOptions screen = ScreenFor(picture, options.fullScreen);
  if (!OpenScreenWith(screen)) {
    std::fprintf(err, "quorvel-play: cannot open a %dx%d 256-colour screen: %s\n", screen.width,
                 screen.height, ScreenError().c_str());
    return 1;
  }
  Player player(picture, cycles);
  player.Draw();
  return programs::RunRecordedFrames(
      "quorvel-play", [&](double nowMs) { return player.Frame(nowMs); }, options.record,
      options.seconds, err);
}

}  // namespace quorvel::play
