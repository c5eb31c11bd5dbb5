// The SDL presenter on SDL's dummy video driver: its display thread presents while the
// program draws, turns key events into queued keys, and starts and stops cleanly.
// These tests cross threads, so they wait for the display thread in short polls with a
// generous limit; nothing here sleeps for a fixed time except the lock check.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include <quorvel/display.hpp>
#include "display/screen.hpp"
#include <quorvel/palette.hpp>

namespace quorvel {
namespace {

using namespace std::chrono_literals;

template <typename Condition>
bool Eventually(Condition condition) {
  const auto limit = std::chrono::steady_clock::now() + 5s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

bool Mentions(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool Presented() { return Eventually([] { return !detail::TheScreen().dirty.load(); }); }

void UseVideoDriver(const char* name) {
  // Above the SDL_VIDEODRIVER environment variable, so the test picks its driver.
  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, name, SDL_HINT_OVERRIDE);
}

void PushKeyDown(SDL_Scancode scancode, uint16_t mod = KMOD_NONE, bool repeat = false) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.repeat = repeat;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
  event.key.keysym.mod = mod;
  ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

void PushText(const char* text) {
  SDL_Event event{};
  event.type = SDL_TEXTINPUT;
  SDL_strlcpy(event.text.text, text, sizeof(event.text.text));
  ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

// Every key queued before Escape, once Escape has come through.
std::vector<std::string> KeysUpToEscape() {
  PushKeyDown(SDL_SCANCODE_ESCAPE);
  std::vector<std::string> keys;
  const bool arrived = Eventually([&] {
    for (std::string key = ReadKey(); !key.empty(); key = ReadKey()) keys.push_back(key);
    return !keys.empty() && keys.back() == "\x1b";
  });
  EXPECT_TRUE(arrived) << "Escape never reached the key queue";
  if (arrived) keys.pop_back();
  return keys;
}

class PresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseVideoDriver("dummy");
    SetHeadless(false);
  }
  void TearDown() override {
    CloseScreen();
    SetHeadless(true);
    while (KeyWaiting()) ReadKey();
  }
};

TEST_F(PresenterTest, PresentsWhileTheProgramDrawsAndReopens) {
  ASSERT_TRUE(OpenScreen(18, 8, 2, kFullScreen)) << ScreenError();
  EXPECT_EQ(ScreenError(), "");
  ASSERT_TRUE(Presented());

  // Draw and recolour without pause for a few refreshes; every presentation in between
  // reads the page and the registers mid-change.
  const auto end = std::chrono::steady_clock::now() + 100ms;
  for (int32_t step = 0; std::chrono::steady_clock::now() < end; ++step) {
    for (int32_t i = 0; i < 256; ++i) SetPaletteEntry(i, (i + step) & 63);
    DrawBox(step % 600, 10, step % 600 + 40, 400, step & 255, true);
    LocateText(2, 2);
    PrintText("drawing", true);
    CopyPage(0, 1);
    SetPages(0, step & 1);
  }
  EXPECT_TRUE(Presented());

  CloseScreen();
  EXPECT_FALSE(ScreenIsOpen());
  ASSERT_TRUE(OpenScreen(18, 8, 2, 0)) << ScreenError();
  SetPaletteEntry(7, 63);
  EXPECT_TRUE(Presented());
}

TEST_F(PresenterTest, LockHoldsPresentationWithoutHoldingUpRegisterWrites) {
  ASSERT_TRUE(OpenScreen(18, 8, 2, kFullScreen)) << ScreenError();
  ASSERT_TRUE(Presented());
  LockScreen();
  // A whole fade's worth of writes completes although nothing may be presented.
  for (int32_t t = 0; t < 64; ++t) {
    for (int32_t i = 0; i < 256; ++i) SetPaletteEntry(i, t + t * 256 + t * 65536);
  }
  EXPECT_EQ(GetPaletteEntry(200), 0xFFFFFFu);
  std::this_thread::sleep_for(50ms);  // three refreshes
  EXPECT_TRUE(detail::TheScreen().dirty.load()) << "presented while locked";
  UnlockScreen(-1, -1);
  EXPECT_TRUE(Presented());
}

TEST_F(PresenterTest, StalledPresentationNeverHoldsUpEffectsOrSleeps) {
  ASSERT_TRUE(OpenScreen(18, 8, 2, kFullScreen)) << ScreenError();
  ASSERT_TRUE(Presented());
  // Stall the display thread inside a presentation, as a minimised window or a lost
  // refresh would: it blocks on the page memory that a third thread now holds.
  std::mutex& pixels = detail::TheScreen().pixels;
  std::promise<void> release;
  std::promise<void> holding;
  std::thread staller([&] {
    std::lock_guard lock(pixels);
    holding.set_value();
    release.get_future().wait();
  });
  holding.get_future().wait();
  SetPaletteEntry(1, 63);  // wakes the display thread into the stalled presentation

  // A fade and long sleeps run to their end on the program's thread all the same; a key
  // already waiting cuts the long ones short.
  PushKey('k');
  auto done = std::async(std::launch::async, [] {
    SetVirtualTime(true);
    int32_t speed = 30;
    FadeOut::DefaultPal(speed);
    SleepMs(250);
    SleepMs(-1);  // returns at once: a key is waiting
    return VirtualTimeMs();
  });
  const bool finished = done.wait_for(5s) == std::future_status::ready;
  release.set_value();
  staller.join();
  ASSERT_TRUE(finished) << "the program's thread waited for the stalled presentation";
  EXPECT_EQ(done.get(), 64 * 30);
  SetVirtualTime(false);
  EXPECT_EQ(GetPaletteEntry(15), 0u);
  EXPECT_TRUE(Presented());
}

TEST_F(PresenterTest, EachPressQueuesOneKey) {
  ASSERT_TRUE(OpenScreen(18, 8, 2, 0)) << ScreenError();

  // A printable key arrives both as a key and as text; only the text counts.
  PushKeyDown(SDL_SCANCODE_SPACE);
  PushText(" ");
  PushKeyDown(SDL_SCANCODE_A, KMOD_SHIFT);
  PushText("A");
  PushText("\xC3\xA9");  // e acute, character 130 of code page 437
  PushText("\xE2\x82\xAC");  // the euro sign has no character there
  PushKeyDown(SDL_SCANCODE_RETURN);
  PushKeyDown(SDL_SCANCODE_KP_ENTER);
  PushKeyDown(SDL_SCANCODE_BACKSPACE);
  PushKeyDown(SDL_SCANCODE_TAB);
  PushKeyDown(SDL_SCANCODE_UP);
  PushKeyDown(SDL_SCANCODE_UP, KMOD_NONE, true);  // held down: repeats count
  PushKeyDown(SDL_SCANCODE_F10);
  PushKeyDown(SDL_SCANCODE_DELETE);
  PushKeyDown(SDL_SCANCODE_KP_4);           // Num Lock off: Left
  PushKeyDown(SDL_SCANCODE_KP_4, KMOD_NUM);  // Num Lock on: the digit comes as text
  PushKeyDown(SDL_SCANCODE_LSHIFT);
  const std::vector<std::string> expected = {" ",  "A",        "\x82",     "\r",
                                             "\r", "\b",       "\t",       "\xFF\x48",
                                             "\xFF\x48", "\xFF\x44", "\xFF\x53", "\xFF\x4B"};
  EXPECT_EQ(KeysUpToEscape(), expected);

  // Alt+Enter switches the style and is no key for the program.
  PushKeyDown(SDL_SCANCODE_RETURN, KMOD_LALT);
  PushKeyDown(SDL_SCANCODE_RETURN, KMOD_RALT);
  EXPECT_EQ(KeysUpToEscape(), std::vector<std::string>{});
  SetPaletteEntry(1, 63);
  EXPECT_TRUE(Presented());
}

TEST_F(PresenterTest, FailureNamesSdlsReason) {
  UseVideoDriver("nonexistent");
  EXPECT_FALSE(OpenScreen(18, 8, 2, kFullScreen));
  EXPECT_FALSE(ScreenIsOpen());
  // SDL's own words name the driver it could not find.
  EXPECT_TRUE(Mentions(ScreenError(), "cannot start SDL video: nonexistent")) << ScreenError();

  UseVideoDriver("dummy");
  EXPECT_TRUE(OpenScreen(18, 8, 2, kFullScreen)) << ScreenError();
}

TEST_F(PresenterTest, RefusesADisplayNobodyCanSee) {
  if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY")) {
    GTEST_SKIP() << "a display is reachable, so SDL does not fall back";
  }
  UseVideoDriver("");
  if (OpenScreen(18, 8, 2, kFullScreen)) GTEST_SKIP() << "SDL found a real video driver";
  EXPECT_TRUE(Mentions(ScreenError(), "no display available")) << ScreenError();
  EXPECT_FALSE(ScreenIsOpen());
}

using PresenterDeathTest = PresenterTest;

TEST_F(PresenterDeathTest, ClosingTheWindowEndsTheProgramSuccessfully) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        if (!OpenScreen(18, 8, 2, 0)) std::exit(2);
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
        // The program's thread goes on with its work; the display thread ends it.
        std::this_thread::sleep_for(10s);
        std::exit(3);
      },
      ::testing::ExitedWithCode(0), "");
}

// Xlib ends the process with exit() on the display thread when its server goes away; so
// may other window-system libraries. The program ends with a message and status 1, not
// with an abort from static destructors joining the display thread from itself.
TEST_F(PresenterDeathTest, ExitOnTheDisplayThreadEndsTheProgramWithAMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        if (!OpenScreen(18, 8, 2, 0)) std::exit(2);
        static const std::thread::id program = std::this_thread::get_id();
        static std::atomic<bool> exited{false};
        // SDL calls event watchers on the thread that takes its events: the display thread.
        SDL_AddEventWatch(
            [](void*, SDL_Event*) {
              if (std::this_thread::get_id() != program && !exited.exchange(true)) std::exit(1);
              return 0;
            },
            nullptr);
        // The program's thread goes on drawing while the display thread ends the process.
        for (int32_t i = 0;; ++i) {
          SetPaletteEntry(i & 255, i & 63);
          std::this_thread::sleep_for(1ms);
          if (i == 10000) std::exit(3);
        }
      },
      ::testing::ExitedWithCode(1), "quorvel: lost the display: the window system ended the program");
}

}  // namespace
}  // namespace quorvel
