// The system's clock and console calls, one file per system (system_posix.cpp,
// system_windows.cpp). Internal to the library.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace quorvel::detail {

// Sleeps until the steady clock reaches `deadline`, waking within about a millisecond of
// it: fades are made of many short pauses, and a coarse system timer would lengthen each.
void SleepUntil(std::chrono::steady_clock::time_point deadline);

// The characters standard input has ready when it is a console, without waiting; "" when
// it is not one or nothing was typed.
std::string ConsoleCharsReady();

// The program's arguments after its name, in UTF-8 on every system like every file name
// the library takes. POSIX gives them as typed; Windows hands `main` the system's code page,
// so there they come from the wide command line instead, and a name with characters of no
// single code page survives.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// A function of a shared library that something else has already loaded (SDL loads Xlib
// at run time), or nullptr when it is not loaded or the system has no such libraries.
// Nothing is loaded by asking.
void* FunctionOfLoadedLibrary(const char* library, const char* function);

}  // namespace quorvel::detail
