#pragma once
// The button-bar pictures: bevelled, rounded buttons with a label in a small 5 x 7
// bitmap font or a simple icon.
#include <functional>
#include <string>

#include "gui/bitmapfont.h"
#include "tools/art_image.h"

namespace art {

using ::kGlyphHeight;
using ::kGlyphWidth;

// The program's own font (gui/bitmapfont.h): the labels use its letters and digits.
bool glyphRows(char ch, unsigned char rows[kGlyphHeight]);

// Width of a label in font cells: five per glyph and one between glyphs.
int labelCells(const std::string& text);

// Paints `colour` over the image where `inside` holds, weighting each texel by the share
// of its 4 x 4 sub-samples inside (pixel coordinates, y up, texel centres at +0.5).
void paintCoverage(ArtImage& image, const std::function<bool(float, float)>& inside, const Colour& colour,
                   float opacity = 1.0f);

// An empty button of the image's size in the given base hue.
void drawButtonFace(ArtImage& image, const Colour& base);
// Text centred on the image, as large as fits (at most two texels per font cell).
void drawLabel(ArtImage& image, const std::string& text);

enum class Icon { Pause, Play };
void drawIcon(ArtImage& image, Icon icon);

ArtImage labelButton(int width, int height, const std::string& text, const Colour& base);
ArtImage iconButton(int size, Icon icon, const Colour& base);

}  // namespace art
