// The key queue and SleepMs, on virtual time; the ring also under a second thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <quorvel/display.hpp>
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

using testing::HeadlessScreen;

std::string Extended(int32_t scan) { return {'\xFF', static_cast<char>(scan)}; }

TEST(KeyQueue, OrderExtendedKeysAndEmpty) {
  HeadlessScreen screen;
  EXPECT_FALSE(KeyWaiting());
  EXPECT_EQ(ReadKey(), "");
  PushKey('a');
  PushKey(kKeyUp);
  PushKey(kKeyF1 + 9);  // F10
  PushKey(13);
  PushKey(-4);    // not a key
  PushKey(9999);  // not a key
  EXPECT_TRUE(KeyWaiting());
  EXPECT_EQ(ReadKey(), "a");
  EXPECT_EQ(ReadKey(), Extended(72));
  EXPECT_EQ(ReadKey(), Extended(68));
  EXPECT_EQ(ReadKey(), "\r");
  EXPECT_EQ(ReadKey(), "");
}

TEST(KeyQueue, SixteenthKeyDropsTheOldest) {
  HeadlessScreen screen;
  for (int32_t k = 0; k < 16; ++k) PushKey('A' + k);
  for (int32_t k = 1; k < 16; ++k) EXPECT_EQ(ReadKey(), std::string(1, char('A' + k)));
  EXPECT_EQ(ReadKey(), "");
}

// A key left over from one screen does not answer the next screen's first question.
TEST(KeyQueue, OpeningAScreenEmptiesIt) {
  HeadlessScreen screen;
  PushKey('a');
  ASSERT_TRUE(OpenScreen(18, 8, 1, 0));
  EXPECT_FALSE(KeyWaiting());
}

TEST(KeyQueue, ConcurrentPushesLoseOnlyWhatTheDropRuleDrops) {
  HeadlessScreen screen;
  constexpr int32_t kKeys = 20000;
  std::atomic<bool> done{false};
  std::thread pusher([&] {
    for (int32_t k = 0; k < kKeys; ++k) PushKey(k % 500);
    done = true;
  });
  // Keys arrive in push order; none is read twice and no new ones appear. Drops only
  // happen while the ring is full, so every read key comes after the last one read.
  std::vector<int32_t> seen;
  for (;;) {
    const bool finished = done;
    for (std::string key = ReadKey(); !key.empty(); key = ReadKey()) {
      seen.push_back(key.size() == 1 ? static_cast<uint8_t>(key[0]) : 256 + static_cast<uint8_t>(key[1]));
    }
    if (finished) break;
  }
  pusher.join();
  // What was read is the pushed sequence with some keys left out: map each key to the
  // first push after the previous one that carries its code.
  int32_t last = -1;
  for (int32_t code : seen) {
    int32_t push = last + 1;
    while (push < kKeys && push % 500 != code) ++push;
    ASSERT_LT(push, kKeys) << "key " << code << " was never pushed after push " << last;
    last = push;
  }
  // The last 15 pushes can never be dropped, so they end what was read.
  ASSERT_GE(seen.size(), 15u);
  for (int32_t k = 0; k < 15; ++k) {
    EXPECT_EQ(seen[seen.size() - 15 + k], (kKeys - 15 + k) % 500);
  }
}

TEST(SleepMs, RulesWithAndWithoutKeys) {
  HeadlessScreen screen;
  const struct {
    int32_t ms;
    bool key;
    int64_t slept;
  } cases[] = {{99, true, 99},  {99, false, 99},   {100, true, 0},  {100, false, 100},
               {120, false, 120}, {151, false, 151}, {0, false, 0},  {-5, false, 0},
               {-1, true, 0},     {2500, true, 0},   {1000, false, 1000}};
  for (auto c : cases) {
    SetVirtualTime(true);
    if (c.key) PushKey('k');
    SleepMs(c.ms);
    EXPECT_EQ(VirtualTimeMs(), c.slept) << c.ms << (c.key ? " with a key" : "");
    if (c.key) {
      EXPECT_EQ(ReadKey(), "k") << "the key that ends a sleep stays queued";
    }
  }
}

TEST(SleepMs, KeyArrivingDuringLongPauseEndsItAtASliceBoundary) {
  HeadlessScreen screen;
  // The observer sees the sleep begin; a key pushed then is seen at the first boundary.
  struct PushOnSleep : DisplayObserver {
    void OnSleep(int32_t) override { PushKey('x'); }
  } pusher;
  SetDisplayObserver(&pusher);
  SleepMs(2500);
  SetDisplayObserver(nullptr);
  EXPECT_EQ(VirtualTimeMs(), 0);
  EXPECT_EQ(ReadKey(), "x");
}

TEST(SleepMs, WaitForAKeyFromAnotherThread) {
  HeadlessScreen screen;
  std::thread later([] { PushKey(' '); });
  SleepMs(-1);  // blocks until the key arrives, then leaves it queued
  later.join();
  EXPECT_EQ(ReadKey(), " ");
  EXPECT_TRUE(VirtualTimeMs() == 0 || VirtualTimeMs() == 50) << VirtualTimeMs();
}

TEST(Observer, SeesSleepsAndKeyReadsBeforeTheyHappen) {
  HeadlessScreen screen;
  testing::Recorder rec;
  PushKey('q');
  SleepMs(17);
  EXPECT_EQ(ReadKey(), "q");
  EXPECT_EQ(ReadKey(), "");
  ASSERT_EQ(rec.events.size(), 3u);
  EXPECT_EQ(rec.events[0], (testing::Event{testing::Event::Sleep, 17, 0}));
  EXPECT_EQ(rec.events[2].kind, testing::Event::Key);
}

}  // namespace
}  // namespace quorvel
