// The clock and console calls on POSIX systems (display/system.hpp).
#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

#include <thread>

#include "display/system.hpp"

namespace quorvel::detail {

void SleepUntil(std::chrono::steady_clock::time_point deadline) {
  std::this_thread::sleep_until(deadline);
}

// The terminal delivers a line at a time, as typed.
std::string ConsoleCharsReady() {
  std::string chars;
  if (!::isatty(STDIN_FILENO)) return chars;
  pollfd input{STDIN_FILENO, POLLIN, 0};
  while (::poll(&input, 1, 0) > 0 && (input.revents & POLLIN)) {
    char c;
    if (::read(STDIN_FILENO, &c, 1) != 1) break;
    chars += c;
  }
  return chars;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

void* FunctionOfLoadedLibrary(const char* library, const char* function) {
#ifdef __EMSCRIPTEN__
  (void)library, (void)function;
  return nullptr;  // a page links everything in
#else
  void* loaded = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
  if (!loaded) return nullptr;
  void* found = dlsym(loaded, function);
  dlclose(loaded);  // only the reference this lookup took; the library's owner keeps it loaded
  return found;
#endif
}

}  // namespace quorvel::detail
