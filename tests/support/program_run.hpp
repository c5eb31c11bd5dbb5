// A program's Run function called in-process, its output and errors caught.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::testing {

struct ProgramRun {
  int status = -1;
  std::string out, err;
};

ProgramRun RunProgram(const std::function<int(const std::vector<std::string>&, std::FILE*, std::FILE*)>& run,
                      const std::vector<std::string>& args);

}  // namespace quorvel::testing
