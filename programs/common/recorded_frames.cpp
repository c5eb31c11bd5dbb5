#include "programs/common/recorded_frames.hpp"

#include <quorvel/display.hpp>
#include <quorvel/recorder.hpp>

namespace quorvel::programs {

int RunRecordedFrames(const char* program, const std::function<bool(double nowMs)>& frame,
                      const std::string& gifPath, double seconds, std::FILE* err) {
  const bool recording = !gifPath.empty();
  Recorder recorder;
  if (recording && !recorder.Start(gifPath, {.maxSeconds = seconds})) {
    std::fprintf(err, "%s: %s\n", program, recorder.Error().c_str());
    CloseScreen();
    return 1;
  }
  // RunFrames returns only after the last frame, in a browser too, so everything here
  // outlives the loop.
  RunFrames([&](double nowMs) { return frame(nowMs) && (!recording || recorder.Recording()); });
  int code = 0;
  if (recording && !recorder.Stop()) {
    std::fprintf(err, "%s: %s\n", program, recorder.Error().c_str());
    code = 1;
  }
  CloseScreen();
  return code;
}

}  // namespace quorvel::programs
