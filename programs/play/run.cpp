// quorvel-play as a whole: options, the picture, the screen and the frame loop.
#include <cstdlib>

#include <quorvel/display.hpp>

#include "programs/common/arguments.hpp"
#include "programs/common/recorded_frames.hpp"
#include "programs/play/play.hpp"

namespace quorvel::play {
namespace {

constexpr char kUsage[] =
    "Usage: quorvel-play [options] PICTURE\n"
    "Shows an indexed picture (IFF ILBM/PBM, PCX, GIF, PNG, BMP) and runs its colour cycles.\n"
    "  --cycle LOW-HIGH@STEPS[:wrap|pingpong|sine]\n"
    "                  also cycles registers LOW..HIGH at STEPS steps a second (repeatable)\n"
    "  --dos-cycles    runs the cycles DOS-era files store with flags 0\n"
    "  --full-screen   asks for full screen instead of a window\n"
    "  --record OUT.gif [--seconds N]\n"
    "                  records what the screen shows to an animated GIF for N seconds\n"
    "                  (10), then quits\n"
    "Keys: B blending on/off, Left/Right slower/faster, Space pause, Escape quits.\n";

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
  // A recording replaces its file when it ends: never the picture played, by any name.
  const char* recordVariable = std::getenv("QUORVEL_RECORD");
  for (const std::string& gif : {options.record, std::string(recordVariable ? recordVariable : "")}) {
    if (!gif.empty() && programs::SameFile(options.file, gif)) {
      std::fprintf(err, "quorvel-play: %s is the picture played; record to another file\n", gif.c_str());
      return 1;
    }
  }
  const PictureReadResult read = LoadIndexedPicture(options.file, {.dosFlags = options.dosCycles});
  for (const std::string& warning : read.warnings) std::fprintf(err, "quorvel-play: warning: %s\n", warning.c_str());
  if (!read.ok()) {
    std::fprintf(err, "quorvel-play: %s\n", read.error.c_str());
    return 1;
  }
  const IndexedPicture& picture = read.picture;
  std::vector<Cycle> cycles = RunningCycles(picture.cycles);
  cycles.insert(cycles.end(), options.extraCycles.begin(), options.extraCycles.end());
  if (cycles.empty()) {
    std::fprintf(err, "quorvel-play: %s has no running colour cycles%s\n", options.file.c_str(),
                 picture.cycles.empty() ? "; add some with --cycle" : "; try --dos-cycles or --cycle");
  }
  if (!OpenScreen(18, 8, 1, options.fullScreen ? kFullScreen : 0)) {
    std::fprintf(err, "quorvel-play: cannot open the 640x480 256-colour screen: %s\n", ScreenError().c_str());
    return 1;
  }
  Player player(picture, cycles);
  player.Draw();
  return programs::RunRecordedFrames(
      "quorvel-play", [&](double nowMs) { return player.Frame(nowMs); }, options.record,
      options.seconds, err);
}

}  // namespace quorvel::play
