// quorvel-pal: tells what a palette file or indexed picture holds, converts palettes
// between formats and draws them as swatches. The whole program is RunPal, so tests run
// it in-process.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quorvel::pal {

// Runs the program on its arguments (without the program's name), printing results to
// `out` and errors and warnings to `err`. Returns the exit code: 0 or 1.
int RunPal(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace quorvel::pal
