// The group runner: test screen, colour bars, labels, prompt, markers, blinker and loops.
#include "demo/runner.hpp"

namespace quorvel::demo {

void Pause(int32_t milliseconds) { SleepMs(milliseconds); }

void DrawColourBars() {
  for (int32_t i = 0; i <= 255; ++i) DrawLine(360 + i, 250, 360 + i, 460, i, 65535);
}

void DrawTestScreen(const Demo& demo) {
  SetPages(1, 0);
  DrawBox(0, 171, 640, 480, 0, true);  // everything below the banner
  PutImage(0, 192, demo.images.ready, kPutTransparent);
  DrawColourBars();
  CopyPage(-1, -1);
  SetPages(0, 0);
}

void DrawTestMarker(const int32_t& row, const int32_t& column, const int32_t& foreground,
                    const int32_t& background, const int32_t& on) {
  LocateText(row, column);
  SetTextColor(foreground, background);
  PrintText(on == 1 ? "\x04" : " ", true);
}

void WaitForSpace(const int32_t& row, const int32_t& kind) {
  const std::string prompt = kind == 1   ? "Press <SPACE> to test."
                             : kind == 2 ? "Press <SPACE> to end this demo, please."
                                         : "Press <SPACE> to continue.";
  const std::string blanks(prompt.size(), ' ');
  SetPages(0, 0);
  SetTextColor(15, 0);
  // The prompt shows while the counter is 0..50 and is blanked while it is 51..100.
  int32_t counter = 0;
  for (;;) {
    if (++counter > 100) counter = 0;
    SetTextColor(15, 0);
    LocateText(row, 1);
    PrintText(counter <= 50 ? prompt : blanks, true);
    Pause(5);
    if (ReadKey() == " ") break;
  }
  LocateText(row, 1);
  PrintText(std::string(39, ' '), true);
}

void BlinkWorking(Demo& demo) {
  int32_t& counter = demo.blinkCounter;
  ++counter;
  SetTextColor(15, 0);
  if (counter < 15) {
    LocateText(29, 1);
    PrintText("Working........are you ready?", true);
  } else if (counter <= 30) {
    LocateText(29, 1);
    PrintText(std::string(29, ' '), true);
  } else {
    counter = 0;
  }
}

void ClearWorkingLine() {
  SetTextColor(15, 0);
  LocateText(29, 1);
  PrintText(std::string(29, ' '), true);
}

void LevelLoop(Demo& demo, const std::function<void(int32_t& level)>& call) {
  for (int32_t level = 0; level <= 63; ++level) {
    Pause(35);
    call(level);
    BlinkWorking(demo);
  }
  for (int32_t n = 0; n <= 63; ++n) {
    Pause(35);
    int32_t level = 63 - n;
    call(level);
    BlinkWorking(demo);
  }
}

void RotationLoop(const std::function<void(int32_t& amount, bool rising)>& call) {
  for (int32_t amount = 0; amount <= 499; ++amount) {
    call(amount, true);
    Pause(5);
  }
  for (int32_t amount = 500; amount >= 1; --amount) {
    call(amount, false);
    Pause(5);
  }
}

void RunGroup(Demo& demo, const Group& group) {
  if (group.screen == ScreenAction::DrawTestScreen) DrawTestScreen(demo);
  SetTextColor(15, 0);
  int32_t row = 14;
  for (const std::string& label : group.labels) {
    LocateText(row++, 5);
    PrintText(label, true);
  }
  WaitForSpace(29, 1);
  for (const Test& test : group.tests) {
    DrawTestMarker(test.row, 3, 12, 0, 1);
    test.calls(demo);
    DrawTestMarker(test.row, 3, 12, 0, 0);
    for (const Closing& step : test.closing) {
      switch (step.kind) {
        case Closing::Restore: RestoreDefaultPalette(); break;
        case Closing::ClearWorkingLine: ClearWorkingLine(); break;
        case Closing::Pause: Pause(step.milliseconds); break;
      }
    }
  }
}

}  // namespace quorvel::demo
