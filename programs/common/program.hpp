// What every program does the same way: tell its version, and take a failed write to
// standard output for the failure it is.
#pragma once

#include <cstdio>

namespace quorvel::programs {

// Prints "`program` VERSION (conversion kernel: NAME)" and a newline on `out`.
void PrintVersion(const char* program, std::FILE* out);

// The last step of `program`: flushes `out` and returns `code`, or, when anything written
// there was lost (a full disk, a closed descriptor), says so on `err` after "`program`: "
// and returns 1 (or `code` if that already tells of a failure).
int FinishOutput(const char* program, int code, std::FILE* out, std::FILE* err);

}  // namespace quorvel::programs
