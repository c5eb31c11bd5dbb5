// Recording any program without changing it. QUORVEL_RECORD=OUT.gif makes OpenScreen
// open no window and run on virtual time, and records what the program shows to the GIF
// until QUORVEL_RECORD_SECONDS (10 unless given) have been recorded, when the program
// ends with 0, or until it closes its screen. QUORVEL_RECORD_HALF=1 records at 1:2, and
// QUORVEL_RECORD_FRAME_MS sets the shortest frame (20 ms unless given).
// This is how the gallery's pictures are made from the examples.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <quorvel/recorder.hpp>

#include "display/gif_writer.hpp"
#include "display/screen.hpp"

namespace quorvel::detail {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// A finite decimal number and nothing else: not "2abc", "inf" or " 2".
bool Number(const std::string& text, double& value) {
  if (text.empty() || !(std::isdigit(uint8_t(text[0])) || text[0] == '.')) return false;
  if (text.find_first_not_of("0123456789.eE+-") != std::string::npos) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(value);
}

}  // namespace

bool CaptureAsked() { return !Environment("QUORVEL_RECORD").empty(); }

bool StartCapture(Screen& s) {
  const std::string seconds = Environment("QUORVEL_RECORD_SECONDS");
  const std::string frameMs = Environment("QUORVEL_RECORD_FRAME_MS");
  RecordOptions options{.halfScale = Environment("QUORVEL_RECORD_HALF") == "1", .maxSeconds = 10};
  if (!seconds.empty() && !(Number(seconds, options.maxSeconds) && options.maxSeconds > 0)) {
    s.error = "QUORVEL_RECORD_SECONDS must be a number of seconds above 0, not \"" + seconds + "\"";
    return false;
  }
  if (!frameMs.empty() && !(Number(frameMs, options.minFrameMs) && options.minFrameMs <= kMaxGifDelayMs)) {
    s.error = "QUORVEL_RECORD_FRAME_MS must be 0 to " + std::to_string(int64_t(kMaxGifDelayMs)) +
              " milliseconds, not \"" + frameMs + "\"";
    return false;
  }
  s.capture = std::make_unique<Recorder>();
  if (!s.capture->Start(Environment("QUORVEL_RECORD"), options)) {
    s.error = "cannot record: " + s.capture->Error();
    s.capture.reset();
    return false;
  }
  return true;
}

void CaptureTaken(Recorder* recorder) {
  Screen& s = TheScreen();
  if (recorder != s.capture.get() || recorder->Recording()) return;
  // The length asked for is recorded: the program has nothing more to show.
  const bool ok = recorder->Stop();
  if (!ok) std::fprintf(stderr, "quorvel: recording failed: %s\n", recorder->Error().c_str());
  std::exit(ok ? 0 : 1);
}

void EndCapture(Screen& s) {
  if (!s.capture) return;
  // A write that failed at any time, the last flush included, is said; the program's own
  // exit code is its own.
  if (!s.capture->Stop()) {
    std::fprintf(stderr, "quorvel: recording failed: %s\n", s.capture->Error().c_str());
  }
  s.capture.reset();
}

}  // namespace quorvel::detail
