// Key presses to key codes: control keys and PC extended keys from the key itself,
// characters from the text the system typed (which already follows the keyboard layout).
#include "display/sdl_keys.hpp"

#include <array>

#include "display/screen.hpp"

namespace quorvel::detail {
namespace {

// The Unicode code points of code page 437's characters 128..255.
constexpr std::array<char32_t, 128> kUpperCp437 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 128
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  //
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 144
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  //
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // 160
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  //
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // 176
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  //
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // 192
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  //
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // 208
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  //
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // 224
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  //
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // 240
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  //
};

// The character code of a code point, or -1 when code page 437 has none for it.
int32_t Cp437For(char32_t c) {
  if (c >= 32 && c <= 126) return static_cast<int32_t>(c);
  for (size_t i = 0; i < kUpperCp437.size(); ++i) {
    if (kUpperCp437[i] == c) return 128 + static_cast<int32_t>(i);
  }
  return -1;
}

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

void QueueTypedText(const char* text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    // Decode one UTF-8 sequence; a malformed byte is skipped on its own.
    const unsigned char lead = *p++;
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2
                                : (lead >> 3) == 0x1E ? 3 : -1;
    if (extra < 0) continue;
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    bool valid = true;
    for (; extra > 0; --extra) {
      if ((*p & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = c << 6 | (*p++ & 0x3F);
    }
    if (!valid) continue;
    const int32_t code = Cp437For(c);
    if (code >= 0) PushKey(code);
  }
}

}  // namespace quorvel::detail
