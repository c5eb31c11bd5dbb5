// What every program does the same way: tell its version, and take a failed write to
// standard output for the failure it is.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quorvel::programs {

// The arguments after the program's name, in UTF-8 on every system (file names included).
std::vector<std::string> Arguments(int argc, char** argv);

// Prints "`program` VERSION (conversion kernel: NAME)" and a newline on `out`.
void PrintVersion(const char* program, std::FILE* out);

// The last step of `program`: flushes `out` and returns `code`, or, when anything written
// there was lost (a full disk, a closed descriptor), says so on `err` after "`program`: "
// and returns 1 (or `code` if that already tells of a failure).
int FinishOutput(const char* program, int code, std::FILE* out, std::FILE* err);

}  // namespace quorvel::programs
