#include "programs/common/program.hpp"

#include <cerrno>
#include <cstring>

#include "display/system.hpp"

#include <quorvel/display.hpp>
#include <quorvel/version.hpp>

namespace quorvel::programs {

std::vector<std::string> Arguments(int argc, char** argv) {
  return detail::ProgramArguments(argc, argv);
}

void PrintVersion(const char* program, std::FILE* out) {
  std::fprintf(out, "%s %s (conversion kernel: %s)\n", program, kVersion, ConversionKernel());
}

int FinishOutput(const char* program, int code, std::FILE* out, std::FILE* err) {
  // Output is buffered: a write that could not be made often fails only here.
  errno = 0;
  const bool flushed = std::fflush(out) == 0;
  const int reason = errno;
  if (flushed && !std::ferror(out)) return code;
  std::fprintf(err, "%s: cannot write to standard output%s%s\n", program, reason ? ": " : "",
               reason ? std::strerror(reason) : "");
  return code == 0 ? 1 : code;
}

}  // namespace quorvel::programs
