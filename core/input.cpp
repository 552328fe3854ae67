#include "core/input.h"

#include <cstring>

unsigned char keyDown[256];
unsigned char keyPrev[256];
unsigned char keyTransition[256];
InputState input;

void updateKeyTransitions()
{
    for (int k = 0; k < 256; ++k) {
        // Codes: 0 up, 1 held, 2 pressed, 3 released — prev and down read as two bits.
        static const unsigned char table[2][2] = {{KEY_UP, KEY_PRESSED}, {KEY_RELEASED, KEY_HELD}};
        keyTransition[k] = table[keyPrev[k] ? 1 : 0][keyDown[k] ? 1 : 0];
    }
    std::memcpy(keyPrev, keyDown, sizeof keyDown);
}
