// The whole demonstration, many times over in one process on virtual time, with stray
// keys arriving from another thread: every run must end cleanly and leave nothing open.
// Leaks of memory show under the address sanitizer build.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "demo/demo.hpp"
#include <quorvel/display.hpp>

namespace quorvel {
namespace {

// Ten whole demonstrations take seconds even under the address sanitizer.
constexpr int kRuns = 10;

// Answers every key read with a space behind whatever is waiting, so each prompt passes
// once the stray keys ahead of it are read.
class SpaceAtEveryRead : public DisplayObserver {
 public:
  SpaceAtEveryRead() { SetDisplayObserver(this); }
  ~SpaceAtEveryRead() override { SetDisplayObserver(nullptr); }
  void OnReadKey() override { PushKey(' '); }
};

// Presses random keys other than the space bar, now and then, until stopped.
class StrayKeys {
 public:
  StrayKeys()
      : thread_([this] {
          std::mt19937 random(12345);
          std::uniform_int_distribution<int32_t> code(0, kExtendedKey + 255);
          std::uniform_int_distribution<int> pauseUs(200, 3000);
          while (!stop_.load()) {
            int32_t key = code(random);
            if (key == ' ') key = 'x';
            PushKey(key);
            std::this_thread::sleep_for(std::chrono::microseconds(pauseUs(random)));
          }
        }) {}
  ~StrayKeys() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(Soak, WholeDemoRepeatedWithStrayKeysEndsCleanlyEveryTime) {
  SetHeadless(true);
  SetVirtualTime(true);
  SpaceAtEveryRead spaces;
  StrayKeys strays;
  for (int run = 0; run < kRuns; ++run) {
    ASSERT_EQ(demo::Run(), 0) << "run " << run;
    EXPECT_FALSE(ScreenIsOpen()) << "run " << run;
    EXPECT_EQ(FreeFileNumber(), 1) << "run " << run;
  }
  SetVirtualTime(false);
}

}  // namespace
}  // namespace quorvel
