// The frame loop the screen programs share: frames until the program ends, optionally
// recorded to an animated GIF for a set time.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace quorvel::programs {

// Runs `frame` once per frame until it returns false or, when `gifPath` is not empty,
// until `seconds` of the screen are recorded there; then closes the screen. Returns the
// exit code: 1 when the recording could not start or be finished, with the reason on
// `err` after "`program`: ".
int RunRecordedFrames(const char* program, const std::function<bool(double nowMs)>& frame,
                      const std::string& gifPath, double seconds, std::FILE* err);

}  // namespace quorvel::programs
