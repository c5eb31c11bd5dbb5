// Key presses to key codes: control keys and PC extended keys from the key itself;
// characters come from the text the system typed (which already follows the keyboard
// layout), through QueueTypedText.
#include "display/sdl_keys.hpp"

#include "display/screen.hpp"

namespace quorvel::detail {
namespace {

// With Num Lock off the keypad is a second set of cursor and editing keys.
int32_t KeypadNavigation(SDL_Scancode scancode) {
  switch (scancode) {
    case SDL_SCANCODE_KP_7: return kKeyHome;
    case SDL_SCANCODE_KP_8: return kKeyUp;
    case SDL_SCANCODE_KP_9: return kKeyPageUp;
    case SDL_SCANCODE_KP_4: return kKeyLeft;
    case SDL_SCANCODE_KP_6: return kKeyRight;
    case SDL_SCANCODE_KP_1: return kKeyEnd;
    case SDL_SCANCODE_KP_2: return kKeyDown;
    case SDL_SCANCODE_KP_3: return kKeyPageDown;
    case SDL_SCANCODE_KP_0: return kKeyInsert;
    case SDL_SCANCODE_KP_PERIOD: return kKeyDelete;
    default: return 0;
  }
}

}  // namespace

int32_t KeyCodeFor(const SDL_Keysym& key) {
  // Scan codes name the physical key, so these keys are the same on every layout.
  const SDL_Scancode scancode = key.scancode;
  if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F10) {
    return kKeyF1 + (scancode - SDL_SCANCODE_F1);
  }
  switch (scancode) {
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return 13;
    case SDL_SCANCODE_ESCAPE: return 27;
    case SDL_SCANCODE_BACKSPACE: return 8;
    case SDL_SCANCODE_TAB: return 9;
    case SDL_SCANCODE_UP: return kKeyUp;
    case SDL_SCANCODE_DOWN: return kKeyDown;
    case SDL_SCANCODE_LEFT: return kKeyLeft;
    case SDL_SCANCODE_RIGHT: return kKeyRight;
    case SDL_SCANCODE_INSERT: return kKeyInsert;
    case SDL_SCANCODE_DELETE: return kKeyDelete;
    case SDL_SCANCODE_HOME: return kKeyHome;
    case SDL_SCANCODE_END: return kKeyEnd;
    case SDL_SCANCODE_PAGEUP: return kKeyPageUp;
    case SDL_SCANCODE_PAGEDOWN: return kKeyPageDown;
    default: break;
  }
  return (key.mod & KMOD_NUM) ? 0 : KeypadNavigation(scancode);
}

bool IsStyleToggle(const SDL_Keysym& key) {
  return (key.scancode == SDL_SCANCODE_RETURN || key.scancode == SDL_SCANCODE_KP_ENTER) &&
         (key.mod & KMOD_ALT);
}

}  // namespace quorvel::detail
