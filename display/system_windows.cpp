// The clock and console calls on Windows (display/system.hpp).
#include <conio.h>
#include <io.h>
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

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

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  // The wide command line is the same one `main` was given; should it ever disagree in
  // count (a caller passing arguments of its own), the ones given are what was meant.
  if (wide == nullptr || count != argc) {
    if (wide != nullptr) ::LocalFree(wide);
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : arguments;
  }
  for (int i = 1; i < count; ++i) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1) ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, utf8.data(), bytes, nullptr, nullptr);
    arguments.push_back(std::move(utf8));
  }
  ::LocalFree(wide);
  return arguments;
}

void* FunctionOfLoadedLibrary(const char* library, const char* function) {
  HMODULE loaded = GetModuleHandleA(library);
  return loaded ? reinterpret_cast<void*>(GetProcAddress(loaded, function)) : nullptr;
}

}  // namespace quorvel::detail
