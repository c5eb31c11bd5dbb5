// Turning SDL key presses and typed text into the screen's key codes.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace quorvel::detail {

// The key code of a pressed key, or 0 when the key gives none here. Printable characters
// give none: they arrive as typed text, so that each press is queued once.
int32_t KeyCodeFor(const SDL_Keysym& key);

// True for Alt+Enter, which switches between full screen and a window.
bool IsStyleToggle(const SDL_Keysym& key);

// Queues each character of UTF-8 text that code page 437 can show; others are dropped.
void QueueTypedText(const char* text);

}  // namespace quorvel::detail
