// Typed text to the screen's key codes.
#pragma once

namespace quorvel::detail {

// Queues each character of UTF-8 text that code page 437 can show; others are dropped.
void QueueTypedText(const char* text);

}  // namespace quorvel::detail
