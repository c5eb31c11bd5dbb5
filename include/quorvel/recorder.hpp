// Quorvel Recorder: writes what the screen shows to an animated GIF.
//
//   quorvel::Recorder recorder;
//   if (!recorder.Start("fade.gif", {.maxSeconds = 10})) puts(recorder.Error().c_str());
//   quorvel::FadeOut::DefaultPal(speed);   // or RunFrames(...), or any other drawing
//   recorder.Stop();
//
// A frame is taken at every pacing point of the program (SleepMs, and so every blocking
// effect and RunFrames) when the visible page or a register changed since the last one,
// and stamped with the screen's clock (NowMs). So it works the same in a window and
// headless on virtual time, where a 10-second effect records in a fraction of a second.
//
// The GIF is exact: each frame is the page's palette indices with its own 256-colour
// table taken from the registers, nothing quantised or blended. Frame delays are whole
// hundredths of a second, each rounded from the clock so that the rounding never adds up:
// the frames' delays sum to the recorded time. GIF viewers show delays below 2 hundredths
// as about 10, so a frame that would last under 2 hundredths is replaced by the next one
// (the later picture shows from the earlier time); nothing is lost at the end of a burst.
//
// One recorder records at a time; it is used from the program's thread and encodes on a
// thread of its own, so recording in a window leaves the program's pauses their length.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quorvel {

struct RecordOptions {
  // The part of the screen recorded, in screen pixels, clipped to the screen. A width or
  // height of 0 records the whole screen.
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  // 1:2 scale: every second pixel of every second row, so colours stay exact.
  bool halfScale = false;
  // Stops by itself once this much time is recorded (the file is then complete and
  // Recording() false); 0 records until Stop.
  double maxSeconds = 0;
  // The shortest a frame may show, in milliseconds (20 at least: GIF viewers slow shorter
  // delays down); a picture that would show for less is replaced by the next one. Longer
  // frames make smaller files. Start refuses anything but 0 to 655350 (the longest delay
  // one GIF frame holds).
  double minFrameMs = 20;
};

class Recorder {
 public:
  Recorder();
  // Stops a recording still running.
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Records from now on, starting with what the screen shows, into a new file beside
  // `path` that replaces it when the recording ends well (and is deleted when it does not,
  // leaving `path` as it was). `path` may be a new name or a file this user may write; a
  // directory, FIFO, device, socket or read-only file is refused, and a symbolic link is
  // replaced itself, not the file it leads to. Needs an open screen and no other recorder
  // recording. Returns false, with Error() saying why and no file left behind, when it
  // cannot start.
  bool Start(const std::string& path, const RecordOptions& options = {});
  // Takes a frame now if the picture changed since the last one. SleepMs calls it; a
  // program that paces itself some other way calls it once per frame.
  void TakeFrame();
  // Ends the recording at the current time, completes the file and puts it in place. What
  // was drawn since the last pacing point has shown for no time and is not in it. Returns
  // false when anything could not be written or put in place (then Error() says what, and
  // the file at `path` is as it was); true when the recording had already ended well, by
  // its length limit.
  bool Stop();

  // True from a successful Start until Stop, the length limit or a write error.
  bool Recording() const;
  // Why Start failed or writing stopped; "" when all went well.
  const std::string& Error() const;
  // Frames recorded so far (all in the file once the recording has ended), and their
  // length in milliseconds (a multiple of 10).
  int32_t FrameCount() const;
  int64_t LengthMs() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quorvel
