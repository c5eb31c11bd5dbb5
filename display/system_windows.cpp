// The clock and console calls on Windows (display/system.hpp).
#include <conio.h>
#include <io.h>
#include <windows.h>

#include <thread>

#include "display/system.hpp"

namespace quorvel::detail {
namespace {

// Windows wakes sleepers on a 15.6 ms tick unless asked for a finer one; a fade of 64
// pauses of 5 ms would take a second instead of a third of one. The finer tick is asked
// for once, for the life of the program (timeEndPeriod would only matter before exit).
void AskForMillisecondTimer() {
  static const bool asked = [] { return ::timeBeginPeriod(1) == TIMERR_NOERROR; }();
  (void)asked;
}

}  // namespace

void SleepUntil(std::chrono::steady_clock::time_point deadline) {
  AskForMillisecondTimer();
  std::this_thread::sleep_until(deadline);
}

// The console gives keys one at a time, as they are pressed, not a line at a time.
std::string ConsoleCharsReady() {
  std::string chars;
  if (!::_isatty(0)) return chars;
  while (::_kbhit()) {
    const int c = ::_getch();
    if (c == 0 || c == 0xE0) {
      ::_getch();  // the second half of a function or arrow key, which has no character
      continue;
    }
    chars += char(c);
  }
  return chars;
}

}  // namespace quorvel::detail
