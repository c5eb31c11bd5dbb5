// SleepMs, the pacing of every animation, on the real clock or on a virtual one, and the
// frame loop of programs that animate without blocking.
#include <chrono>
#include <algorithm>
#include <cmath>
#include <thread>

#include <quorvel/recorder.hpp>

#include "display/screen.hpp"
#include "display/system.hpp"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

#include "display/browser.hpp"
#endif

namespace quorvel {
namespace {

std::atomic<bool> gVirtual{false};
std::atomic<int64_t> gVirtualMs{0};

using Clock = std::chrono::steady_clock;

// Where the last real-time pause ended. A pause that begins within kCarryWindow of it
// counts from it, so the wake-up lateness of a fade's 64 pauses does not add up.
Clock::time_point gLastDeadline{};
constexpr auto kCarryWindow = std::chrono::milliseconds(2);

#ifndef __EMSCRIPTEN__
Clock::time_point PauseStart() {
  const Clock::time_point now = Clock::now();
  return now - gLastDeadline <= kCarryWindow ? gLastDeadline : now;
}

void SleepUntil(Clock::time_point deadline) { detail::SleepUntil(deadline); }
#else
// In a page a pause is where the browser gets its turn (asyncify suspends the program
// meanwhile). Browser timers wake late by milliseconds (a timer set from a timer waits at
// least 4 ms), so the program's own work since the last pause returned decides whether
// the next one carries its deadline, however late that pause woke; a pause that woke more
// than kLongLateness late (a hidden tab) is not caught up with.
Clock::time_point gLastReturn{};
constexpr auto kLongLateness = std::chrono::milliseconds(50);

Clock::time_point PauseStart() {
  const Clock::time_point now = Clock::now();
  const bool carry = now - gLastReturn <= kCarryWindow &&
                     gLastReturn - gLastDeadline <= kLongLateness;
  return carry ? gLastDeadline : now;
}

// A pause already overdue returns at once, so a fast fade's late wake-ups do not add up.
void SleepUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() > 0) emscripten_sleep(static_cast<unsigned>(left.count()));
  gLastReturn = Clock::now();
}
#endif

// Sleeps in one piece, with no key check, until `deadline` moved on by `ms`. A long pause
// is several of these within one SleepMs call; carrying the deadline from one to the next
// keeps each slice's wake-up lateness from adding up over the whole pause.
void Pause(int32_t ms, Clock::time_point& deadline) {
  if (gVirtual.load(std::memory_order_relaxed)) {
    gVirtualMs.fetch_add(ms, std::memory_order_relaxed);
  } else {
    deadline += std::chrono::milliseconds(ms);
    SleepUntil(deadline);
    gLastDeadline = deadline;
  }
}

// A pause, or a wait for the page's next frame, is where the picture drawn so far starts
// to show: a recorder takes it there.
void TakeRecordedFrame() {
  if (Recorder* recorder = detail::TheScreen().recorder.load(std::memory_order_relaxed)) {
    recorder->TakeFrame();
    detail::CaptureTaken(recorder);
  }
}

}  // namespace

void SetVirtualTime(bool on) {
  gVirtualMs = 0;
  gVirtual = on;
}

int64_t VirtualTimeMs() { return gVirtualMs.load(std::memory_order_relaxed); }

void SleepMs(int32_t milliseconds) {
  if (DisplayObserver* observer = detail::CurrentObserver()) observer->OnSleep(milliseconds);
  TakeRecordedFrame();
  int32_t n = milliseconds;
  Clock::time_point deadline = gVirtual.load(std::memory_order_relaxed) ? Clock::time_point{}
                                                                        : PauseStart();
  if (n == -1) {
    // Wait for a key, looking every 50 ms. On virtual time nothing else can make a key
    // arrive but another thread, so block for it and count one slice.
    while (!KeyWaiting()) {
      if (gVirtual.load(std::memory_order_relaxed)) detail::WaitForKeyPush();
      Pause(50, deadline);
    }
    return;
  }
  if (n <= 0) return;
  if (n < 100) {
    Pause(n, deadline);
    return;
  }
  // Long pauses go in 50 ms slices that a waiting key ends; the last 1..50 ms do not.
  do {
    if (KeyWaiting()) return;
    n -= 50;
    Pause(50, deadline);
  } while (n > 50);
  Pause(n, deadline);
}

double NowMs() {
  if (gVirtual.load(std::memory_order_relaxed)) return double(VirtualTimeMs());
  static const Clock::time_point origin = Clock::now();
  return std::chrono::duration<double, std::milli>(Clock::now() - origin).count();
}

namespace {

// Frames fall on a fixed 60 Hz grid from the first one, so their timing never drifts;
// a frame that ran long skips the grid points it missed instead of hurrying.
void RunFramesOnGrid(const std::function<bool(double nowMs)>& frame) {
  constexpr double kFrameMs = 1000.0 / 60.0;
  const double start = NowMs();
  double next = start;
  while (frame(NowMs())) {
    const double now = NowMs();
    next = std::max(next + kFrameMs, start + std::ceil((now - start) / kFrameMs) * kFrameMs);
    const int32_t wait = static_cast<int32_t>(std::lround(next - now));
    SleepMs(std::clamp(wait, 1, 99));
  }
}

}  // namespace

#ifndef __EMSCRIPTEN__
void RunFrames(const std::function<bool(double nowMs)>& frame) { RunFramesOnGrid(frame); }
#else
void RunFrames(const std::function<bool(double nowMs)>& frame) {
  if (gVirtual.load(std::memory_order_relaxed)) {
    RunFramesOnGrid(frame);
    return;
  }
  // The page's animation frames pace the loop. The program waits for each one through
  // asyncify instead of leaving main, so this call returns as it does natively and the
  // function, with whatever it captured, stays alive throughout.
  while (frame(NowMs())) {
    TakeRecordedFrame();
    detail::WaitForAnimationFrame();
  }
}
#endif

}  // namespace quorvel
