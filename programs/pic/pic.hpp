// quorvel-pic: tells what an indexed picture or scene holds, converts between picture
// formats and scenes, quantizes true-colour pictures and remaps pictures to a palette,
// sets and clears colour cycles, and draws a picture's palette as a swatch. The whole
// program is RunPic, so tests run it in-process.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quorvel::pic {

// Runs the program on its arguments (without the program's name), printing results to
// `out` and errors and warnings to `err`. Returns the exit code: 0 or 1.
int RunPic(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace quorvel::pic
