// What the SDL presenter does when its display goes away underneath it: the program ends
// with a message and exit status 1. Internal to the display.
#pragma once

namespace quorvel::detail {

// Ends the process at once with "quorvel: lost the display: `why`" on stderr and status 1,
// after flushing what the program had written. For the display thread: the program's
// thread is somewhere in its work and cannot be asked to return, and the static
// destructors that exit() runs would join the display thread from itself.
[[noreturn]] void EndForLostDisplay(const char* why);

// Xlib, on a broken connection to its server (the server ended or was killed), calls its
// I/O error handler and then exit() on the thread that noticed: the display thread.
// WatchX11Connection puts EndForLostDisplay in that handler's place while SDL's X11
// driver runs, and returns what it replaced (null where there is no Xlib), for
// StopWatchingX11Connection to put back before SDL unloads Xlib.
using X11IoErrorHandler = int (*)(void* display);
X11IoErrorHandler WatchX11Connection();
void StopWatchingX11Connection(X11IoErrorHandler previous);

}  // namespace quorvel::detail
