// SDL key codes to Windows virtual-key codes.
//
// Honoured: SDL key codes follow the keyboard layout, as virtual-key codes
// do on Windows, so a Latin letter maps to the letter whatever key carries
// it (AZERTY's A is 'A'). A letter key whose layout has no Latin letter
// there (Russian, Greek) gives the letter that key carries on a US
// keyboard, and a key of the digit row gives its digit whatever the layout
// prints on it (AZERTY's "&" key is '1'), both as Windows does. Left and
// right Shift, Control and Alt give the shared VK_SHIFT, VK_CONTROL and
// VK_MENU, which is what WM_KEYDOWN carries on Windows. With NumLock off the
// keypad digits are the navigation keys printed on them.
// Not supported: the OEM punctuation codes of non-Latin layouts (their keys
// give no code, where Windows gives the US key's VK_OEM_ code).
#include "platform/linux/layer_state.h"

namespace {

struct KeyPair {
    SDL_Keycode sdl;
    WORD vk;
};

// Codes Windows names but the layer's header does not need.
const WORD vkClear = 0x0C, vkSnapshot = 0x2C, vkLeftWin = 0x5B, vkRightWin = 0x5C, vkApps = 0x5D;
const WORD vkNumLock = 0x90, vkScroll = 0x91;
const WORD vkOem1 = 0xBA, vkOemPlus = 0xBB, vkOemComma = 0xBC, vkOemMinus = 0xBD, vkOemPeriod = 0xBE;
const WORD vkOem2 = 0xBF, vkOem3 = 0xC0, vkOem4 = 0xDB, vkOem5 = 0xDC, vkOem6 = 0xDD, vkOem7 = 0xDE;

const KeyPair keyTable[] = {
    {SDLK_a, 'A'}, {SDLK_b, 'B'}, {SDLK_c, 'C'}, {SDLK_d, 'D'}, {SDLK_e, 'E'}, {SDLK_f, 'F'},
    {SDLK_g, 'G'}, {SDLK_h, 'H'}, {SDLK_i, 'I'}, {SDLK_j, 'J'}, {SDLK_k, 'K'}, {SDLK_l, 'L'},
    {SDLK_m, 'M'}, {SDLK_n, 'N'}, {SDLK_o, 'O'}, {SDLK_p, 'P'}, {SDLK_q, 'Q'}, {SDLK_r, 'R'},
    {SDLK_s, 'S'}, {SDLK_t, 'T'}, {SDLK_u, 'U'}, {SDLK_v, 'V'}, {SDLK_w, 'W'}, {SDLK_x, 'X'},
    {SDLK_y, 'Y'}, {SDLK_z, 'Z'},
    {SDLK_0, '0'}, {SDLK_1, '1'}, {SDLK_2, '2'}, {SDLK_3, '3'}, {SDLK_4, '4'},
    {SDLK_5, '5'}, {SDLK_6, '6'}, {SDLK_7, '7'}, {SDLK_8, '8'}, {SDLK_9, '9'},

    {SDLK_LEFT, VK_LEFT}, {SDLK_RIGHT, VK_RIGHT}, {SDLK_UP, VK_UP}, {SDLK_DOWN, VK_DOWN},
    {SDLK_PAGEUP, VK_PRIOR}, {SDLK_PAGEDOWN, VK_NEXT}, {SDLK_HOME, VK_HOME}, {SDLK_END, VK_END},
    {SDLK_INSERT, VK_INSERT}, {SDLK_DELETE, VK_DELETE},

    {SDLK_F1, VK_F1}, {SDLK_F2, VK_F2}, {SDLK_F3, VK_F3}, {SDLK_F4, VK_F4},
    {SDLK_F5, VK_F5}, {SDLK_F6, VK_F6}, {SDLK_F7, VK_F7}, {SDLK_F8, VK_F8},
    {SDLK_F9, VK_F9}, {SDLK_F10, VK_F10}, {SDLK_F11, VK_F11}, {SDLK_F12, VK_F12},

    {SDLK_ESCAPE, VK_ESCAPE}, {SDLK_RETURN, VK_RETURN}, {SDLK_SPACE, VK_SPACE}, {SDLK_TAB, VK_TAB},
    {SDLK_BACKSPACE, VK_BACK}, {SDLK_PAUSE, VK_PAUSE}, {SDLK_CAPSLOCK, VK_CAPITAL},
    {SDLK_NUMLOCKCLEAR, vkNumLock}, {SDLK_SCROLLLOCK, vkScroll}, {SDLK_PRINTSCREEN, vkSnapshot},
    {SDLK_LSHIFT, VK_SHIFT}, {SDLK_RSHIFT, VK_SHIFT}, {SDLK_LCTRL, VK_CONTROL}, {SDLK_RCTRL, VK_CONTROL},
    {SDLK_LALT, VK_MENU}, {SDLK_RALT, VK_MENU}, {SDLK_LGUI, vkLeftWin}, {SDLK_RGUI, vkRightWin},
    {SDLK_APPLICATION, vkApps},

    {SDLK_SEMICOLON, vkOem1}, {SDLK_EQUALS, vkOemPlus}, {SDLK_COMMA, vkOemComma}, {SDLK_MINUS, vkOemMinus},
    {SDLK_PERIOD, vkOemPeriod}, {SDLK_SLASH, vkOem2}, {SDLK_BACKQUOTE, vkOem3}, {SDLK_LEFTBRACKET, vkOem4},
    {SDLK_BACKSLASH, vkOem5}, {SDLK_RIGHTBRACKET, vkOem6}, {SDLK_QUOTE, vkOem7},

    {SDLK_KP_0, VK_NUMPAD0}, {SDLK_KP_1, VK_NUMPAD0 + 1}, {SDLK_KP_2, VK_NUMPAD0 + 2},
    {SDLK_KP_3, VK_NUMPAD0 + 3}, {SDLK_KP_4, VK_NUMPAD0 + 4}, {SDLK_KP_5, VK_NUMPAD0 + 5},
    {SDLK_KP_6, VK_NUMPAD0 + 6}, {SDLK_KP_7, VK_NUMPAD0 + 7}, {SDLK_KP_8, VK_NUMPAD0 + 8},
    {SDLK_KP_9, VK_NUMPAD0 + 9}, {SDLK_KP_PERIOD, VK_DECIMAL}, {SDLK_KP_MULTIPLY, VK_MULTIPLY},
    {SDLK_KP_PLUS, VK_ADD}, {SDLK_KP_MINUS, VK_SUBTRACT}, {SDLK_KP_DIVIDE, VK_DIVIDE},
    {SDLK_KP_ENTER, VK_RETURN},
};

// The keypad with NumLock off, as Windows reports it.
const KeyPair keypadNavigation[] = {
    {SDLK_KP_0, VK_INSERT}, {SDLK_KP_1, VK_END},    {SDLK_KP_2, VK_DOWN},  {SDLK_KP_3, VK_NEXT},
    {SDLK_KP_4, VK_LEFT},   {SDLK_KP_5, vkClear},   {SDLK_KP_6, VK_RIGHT}, {SDLK_KP_7, VK_HOME},
    {SDLK_KP_8, VK_UP},     {SDLK_KP_9, VK_PRIOR},  {SDLK_KP_PERIOD, VK_DELETE},
};

template <std::size_t N>
WORD lookUp(const KeyPair (&table)[N], SDL_Keycode key) {
    for (const KeyPair& pair : table)
        if (pair.sdl == key) return pair.vk;
    return 0;
}

// The digit of a key of the digit row, by its place on the keyboard; 0 for
// any other key.
WORD digitOfDigitRow(SDL_Scancode place) {
    if (place >= SDL_SCANCODE_1 && place <= SDL_SCANCODE_9) return WORD('1' + (place - SDL_SCANCODE_1));
    return place == SDL_SCANCODE_0 ? WORD('0') : 0;
}

// The letter a key carries on a US keyboard, by its place; 0 for a key
// that carries none there.
WORD usLetterAt(SDL_Scancode place) {
    if (place >= SDL_SCANCODE_A && place <= SDL_SCANCODE_Z) return WORD('A' + (place - SDL_SCANCODE_A));
    return 0;
}

bool isDigitKey(SDL_Keycode key) { return key >= SDLK_0 && key <= SDLK_9; }

// A character outside ASCII: a key of a layout without Latin letters there.
bool isNonLatinCharacter(SDL_Keycode key) { return key > 0x7F && !(key & SDLK_SCANCODE_MASK); }

}  // namespace

namespace olvlinux {

WORD virtualKeyFor(SDL_Keycode key, SDL_Scancode place, Uint16 modifiers) {
    if (!(modifiers & KMOD_NUM)) {
        if (WORD vk = lookUp(keypadNavigation, key)) return vk;
    }
    if (WORD digit = digitOfDigitRow(place)) {
        if (!isDigitKey(key)) return digit;
    }
    if (isNonLatinCharacter(key)) return usLetterAt(place);
    return lookUp(keyTable, key);
}

}  // namespace olvlinux
