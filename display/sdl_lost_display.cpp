// A lost display ends the program with a message, whichever thread finds it lost.
#include "display/sdl_lost_display.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "display/system.hpp"

namespace quorvel::detail {

void EndForLostDisplay(const char* why) {
  std::fprintf(stderr, "quorvel: lost the display: %s\n", why);
  std::fflush(nullptr);
  std::_Exit(1);
}

namespace {

using SetIoErrorHandler = X11IoErrorHandler (*)(X11IoErrorHandler);
using DisplayString = const char* (*)(void* display);

// SDL loads Xlib at run time: look it up in the copy already loaded, and load none (where
// there is no Xlib, there is no connection to watch).
template <typename Function>
Function FromXlib(const char* name) {
  return reinterpret_cast<Function>(FunctionOfLoadedLibrary("libX11.so.6", name));
}

int OnBrokenConnection(void* display) {
  const auto name = FromXlib<DisplayString>("XDisplayString");
  const char* server = name && display ? name(display) : nullptr;
  const std::string why = "the connection to the X server" +
                          (server && *server ? " " + std::string(server) : std::string()) + " broke";
  EndForLostDisplay(why.c_str());
}

}  // namespace

X11IoErrorHandler WatchX11Connection() {
  const auto set = FromXlib<SetIoErrorHandler>("XSetIOErrorHandler");
  return set ? set(OnBrokenConnection) : nullptr;
}

void StopWatchingX11Connection(X11IoErrorHandler previous) {
  if (const auto set = FromXlib<SetIoErrorHandler>("XSetIOErrorHandler")) set(previous);
}

}  // namespace quorvel::detail
