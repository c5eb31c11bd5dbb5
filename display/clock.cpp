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

using Clock = std::chrono::steady_clock;

// The clock is the machine's, kept with its screen.
detail::MachineClock& TheClock() { return detail::TheScreen().clock; }

// A pause that begins within kCarryWindow of where the last real-time pause ended counts
// from there, so the wake-up lateness of a fade's 64 pauses does not add up.
constexpr auto kCarryWindow = std::chrono::milliseconds(2);

#ifndef __EMSCRIPTEN__
Clock::time_point PauseStart() {
  const Clock::time_point now = Clock::now();
  const Clock::time_point last = TheClock().lastDeadline;
  return now - last <= kCarryWindow ? last : now;
}

void SleepUntil(Clock::time_point deadline) { detail::SleepUntil(deadline); }
#else
// In a page a pause is where the browser gets its turn (asyncify suspends the program
// meanwhile). Browser timers wake late by milliseconds (a timer set from a timer waits at
// least 4 ms), so the program's own work since the last pause returned decides whether
// the next one carries its deadline, however late that pause woke; a pause that woke more
// than kLongLateness late (a hidden tab) is not caught up with.
constexpr auto kLongLateness = std::chrono::milliseconds(50);

Clock::time_point PauseStart() {
  const detail::MachineClock& clock = TheClock();
  const Clock::time_point now = Clock::now();
  const bool carry = now - clock.lastReturn <= kCarryWindow &&
                     clock.lastReturn - clock.lastDeadline <= kLongLateness;
  return carry ? clock.lastDeadline : now;
}

// A pause already overdue returns at once, so a fast fade's late wake-ups do not add up.
void SleepUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() > 0) emscripten_sleep(static_cast<unsigned>(left.count()));
  TheClock().lastReturn = Clock::now();
}
#endif

// Sleeps in one piece, with no key check, until `deadline` moved on by `ms`. A long pause
// is several of these within one SleepMs call; carrying the deadline from one to the next
// keeps each slice's wake-up lateness from adding up over the whole pause.
void Pause(int32_t ms, Clock::time_point& deadline) {
  detail::MachineClock& clock = TheClock();
  if (clock.virtualTime.load(std::memory_order_relaxed)) {
    clock.virtualMs.fetch_add(ms, std::memory_order_relaxed);
  } else {
    deadline += std::chrono::milliseconds(ms);
    SleepUntil(deadline);
    clock.lastDeadline = deadline;
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
  detail::MachineClock& clock = TheClock();
  clock.virtualMs = 0;
  clock.virtualTime = on;
}

int64_t VirtualTimeMs() { return TheClock().virtualMs.load(std::memory_order_relaxed); }

void SleepMs(int32_t milliseconds) {
  if (DisplayObserver* observer = detail::CurrentObserver()) observer->OnSleep(milliseconds);
  TakeRecordedFrame();
  int32_t n = milliseconds;
  const detail::MachineClock& clock = TheClock();
  Clock::time_point deadline = clock.virtualTime.load(std::memory_order_relaxed)
                                   ? Clock::time_point{}
                                   : PauseStart();
  if (n == -1) {
    // Wait for a key, looking every 50 ms. On virtual time nothing else can make a key
    // arrive but another thread, so block for it and count one slice.
    while (!KeyWaiting()) {
      if (clock.virtualTime.load(std::memory_order_relaxed)) detail::WaitForKeyPush();
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
  if (TheClock().virtualTime.load(std::memory_order_relaxed)) return double(VirtualTimeMs());
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
  if (TheClock().virtualTime.load(std::memory_order_relaxed)) {
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
