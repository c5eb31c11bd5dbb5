// quorvel-play as a whole: options, the picture, the screen and the frame loop.
#include <memory>

#include <quorvel/display.hpp>
#include <quorvel/recorder.hpp>

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
  // On the heap and owned by the frame function: in a browser the frames go on after this
  // function has returned.
  struct State {
    IndexedPicture picture;
    std::unique_ptr<Player> player;
    Recorder recorder;
  };
  auto state = std::make_shared<State>();
  const PictureReadResult read = LoadIndexedPicture(options.file, {.dosFlags = options.dosCycles});
  for (const std::string& warning : read.warnings) std::fprintf(err, "quorvel-play: warning: %s\n", warning.c_str());
  if (!read.ok()) {
    std::fprintf(err, "quorvel-play: %s\n", read.error.c_str());
    return 1;
  }
  state->picture = read.picture;
  std::vector<Cycle> cycles = RunningCycles(state->picture.cycles);
  cycles.insert(cycles.end(), options.extraCycles.begin(), options.extraCycles.end());
  if (cycles.empty()) {
    std::fprintf(err, "quorvel-play: %s has no running colour cycles%s\n", options.file.c_str(),
                 state->picture.cycles.empty() ? "; add some with --cycle" : "; try --dos-cycles or --cycle");
  }
  if (!OpenScreen(18, 8, 1, options.fullScreen ? kFullScreen : 0)) {
    std::fprintf(err, "quorvel-play: cannot open the 640x480 256-colour screen: %s\n", ScreenError().c_str());
    return 1;
  }
  state->player = std::make_unique<Player>(state->picture, cycles);
  state->player->Draw();
  const bool recording = !options.record.empty();
  if (recording && !state->recorder.Start(options.record, {.maxSeconds = options.seconds})) {
    std::fprintf(err, "quorvel-play: %s\n", state->recorder.Error().c_str());
    CloseScreen();
    return 1;
  }
  int code = 0;
  RunFrames([state, recording, err, &code](double nowMs) {
    if (state->player->Frame(nowMs) && (!recording || state->recorder.Recording())) return true;
    if (recording && !state->recorder.Stop()) {
      std::fprintf(err, "quorvel-play: %s\n", state->recorder.Error().c_str());
      code = 1;
    }
    CloseScreen();
    return false;
  });
  return code;
}

}  // namespace quorvel::play
