#include "core/input.h"

#include <cstring>

void KeyTable::update()
{
    for (int k = 0; k < 256; ++k) {
        // Codes: 0 up, 1 held, 2 pressed, 3 released — prev and down read as two bits.
        static const unsigned char table[2][2] = {{KEY_UP, KEY_PRESSED}, {KEY_RELEASED, KEY_HELD}};
        transition[k] = table[prev[k] ? 1 : 0][down[k] ? 1 : 0];
    }
    std::memcpy(prev, down, sizeof down);
}
