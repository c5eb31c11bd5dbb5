// The key queue: a ring of 16 slots filled by the display side (or PushKey) and read by
// the program. One slot stays empty, so at most 15 keys wait; a key arriving when the
// ring is full drops the oldest.
#include "display/screen.hpp"
#include "display/system.hpp"

namespace quorvel {
namespace {

using detail::KeyRing;

// The keyboard is the machine's, kept with its screen.
KeyRing& Ring() { return detail::TheScreen().keys; }

// Before a screen is open there is no window to type into, so keys come from the console:
// whatever it has delivered on standard input.
void PollConsole() {
  if (detail::TheScreen().open) return;
  for (const char c : detail::ConsoleCharsReady()) PushKey(c == '\n' ? 13 : static_cast<uint8_t>(c));
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
  PollConsole();
  KeyRing& ring = Ring();
  std::lock_guard lock(ring.mutex);
  return ring.head != ring.tail;
}

std::string ReadKey() {
  if (DisplayObserver* observer = detail::CurrentObserver()) observer->OnReadKey();
  PollConsole();
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

int32_t ReadKeyCode() {
  const std::string key = ReadKey();
  if (key.size() == 2 && static_cast<uint8_t>(key[0]) == 255) {
    return kExtendedKey + static_cast<uint8_t>(key[1]);
  }
  return key.empty() ? 0 : static_cast<uint8_t>(key[0]);
}

}  // namespace quorvel
