// The key queue: a ring of 16 slots filled by the display side (or PushKey) and read by
// the program. One slot stays empty, so at most 15 keys wait; a key arriving when the
// ring is full drops the oldest.
#include <condition_variable>

#include "display/screen.hpp"

namespace quorvel {
namespace {

struct KeyRing {
  std::mutex mutex;
  std::condition_variable pushed;
  int32_t slots[16] = {};
  int head = 0;  // oldest waiting key
  int tail = 0;  // next free slot; head == tail when empty
};

KeyRing& Ring() {
  static KeyRing ring;
  return ring;
}

}  // namespace

namespace detail {

void ClearKeys() {
  KeyRing& ring = Ring();
  std::lock_guard lock(ring.mutex);
  ring.head = ring.tail = 0;
}

void WaitForKeyPush() {
  KeyRing& ring = Ring();
  std::unique_lock lock(ring.mutex);
  ring.pushed.wait(lock, [&] { return ring.head != ring.tail; });
}

}  // namespace detail

void PushKey(int32_t code) {
  if (code < 0 || code >= kExtendedKey + 256) return;
  KeyRing& ring = Ring();
  {
    std::lock_guard lock(ring.mutex);
    const int next = (ring.tail + 1) % 16;
    if (next == ring.head) ring.head = (ring.head + 1) % 16;  // full: drop the oldest
    ring.slots[ring.tail] = code;
    ring.tail = next;
  }
  ring.pushed.notify_all();
}

bool KeyWaiting() {
  KeyRing& ring = Ring();
  std::lock_guard lock(ring.mutex);
  return ring.head != ring.tail;
}

std::string ReadKey() {
  if (DisplayObserver* observer = detail::CurrentObserver()) observer->OnReadKey();
  KeyRing& ring = Ring();
  int32_t code;
  {
    std::lock_guard lock(ring.mutex);
    if (ring.head == ring.tail) return "";
    code = ring.slots[ring.head];
    ring.head = (ring.head + 1) % 16;
  }
  if (code < kExtendedKey) return std::string(1, static_cast<char>(code));
  return {static_cast<char>(255), static_cast<char>(code - kExtendedKey)};
}

}  // namespace quorvel
