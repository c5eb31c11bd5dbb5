// A DisplayObserver that records what a piece of code asks of the display.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <quorvel/display.hpp>

namespace quorvel::testing {

struct Event {
  enum Kind { Entry, Sleep, Key } kind;
  int32_t a = 0;  // register index, or sleep milliseconds
  int32_t b = 0;  // the PalColor written
  bool operator==(const Event&) const = default;
};

// Records every register write, sleep and key read while installed.
class Recorder : public DisplayObserver {
 public:
  Recorder() { SetDisplayObserver(this); }
  ~Recorder() override { SetDisplayObserver(nullptr); }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  void OnPaletteEntry(int32_t index, int32_t color) override {
    events.push_back({Event::Entry, index, color});
  }
  void OnSleep(int32_t ms) override { events.push_back({Event::Sleep, ms, 0}); }
  void OnReadKey() override { events.push_back({Event::Key, 0, 0}); }

  size_t Count(Event::Kind kind) const;
  // The register writes between the n-th sleep (0-based) and the one before it.
  std::vector<Event> Pass(size_t n) const;

  std::vector<Event> events;
};

// What `run` asks of the display, recorded.
std::vector<Event> Record(const std::function<void()>& run);

// Opens a headless screen on virtual time for the length of a test.
struct HeadlessScreen {
  HeadlessScreen();
  ~HeadlessScreen();
};

}  // namespace quorvel::testing
