#include "tests/support/recorder.hpp"

namespace quorvel::testing {

size_t Recorder::Count(Event::Kind kind) const {
  size_t n = 0;
  for (const Event& e : events) n += e.kind == kind;
  return n;
}

std::vector<Event> Recorder::Pass(size_t n) const {
  std::vector<Event> pass;
  size_t sleeps = 0;
  for (const Event& e : events) {
    if (e.kind == Event::Sleep) {
      if (sleeps++ == n) break;
      pass.clear();
    } else if (e.kind == Event::Entry) {
      pass.push_back(e);
    }
  }
  return pass;
}

std::vector<Event> Record(const std::function<void()>& run) {
  Recorder recorder;
  run();
  return recorder.events;
}

HeadlessScreen::HeadlessScreen() {
  SetHeadless(true);
  SetVirtualTime(true);
  OpenScreen(18, 8, 2, 0);
}

HeadlessScreen::~HeadlessScreen() {
  CloseScreen();
  SetVirtualTime(false);
  while (KeyWaiting()) ReadKey();
}

}  // namespace quorvel::testing
