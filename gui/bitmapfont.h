#pragma once
// Our own 5 x 7 bitmap font: the button labels are painted with it and the help overlay
// is drawn with it. Upper case, digits, the blank and a little punctuation.

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// The rows of a glyph, top row first, bit 4 = leftmost column; false for a character the
// font lacks.
bool glyphRows(char ch, unsigned char rows[kGlyphHeight]);
