#include <cstdio>
#include <cstring>

#include "demo/demo.hpp"
#include "programs/common/program.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: quorvel-demo [--help | --version]\n"
    "\n"
    "Shows the Quorvel palette effects one after another, full screen when it can be had,\n"
    "else in a window. The space bar answers the prompts, Alt+Enter switches between full\n"
    "screen and window, closing the window ends the program.\n"
    "\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and the conversion kernel in use, and exit\n";

int Run(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "quorvel-demo: too many arguments\n\n%s", kUsage);
    return 2;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    quorvel::programs::PrintVersion("quorvel-demo", stdout);
    return 0;
  }
  if (argc == 2) {
    std::fprintf(stderr, "quorvel-demo: unknown argument '%s'\n\n%s", argv[1], kUsage);
    return 2;
  }
  return quorvel::demo::Run();
}

}  // namespace

int main(int argc, char** argv) {
  return quorvel::programs::FinishOutput("quorvel-demo", Run(argc, argv), stdout, stderr);
}
