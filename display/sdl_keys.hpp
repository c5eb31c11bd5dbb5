// Turning SDL key presses and typed text into the screen's key codes.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "display/typed_text.hpp"

namespace quorvel::detail {

// The key code of a pressed key, or 0 when the key gives none here. Printable characters
// give none: they arrive as typed text, so that each press is queued once.
int32_t KeyCodeFor(const SDL_Keysym& key);

// True for Alt+Enter, which switches between full screen and a window.
bool IsStyleToggle(const SDL_Keysym& key);

}  // namespace quorvel::detail
