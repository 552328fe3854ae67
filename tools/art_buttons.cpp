#include "tools/art_buttons.h"

#include <cmath>

namespace art {

namespace {

const Colour kPanel{0.10f, 0.11f, 0.13f};
const Colour kInk{0.97f, 0.98f, 1.0f};
const Colour kShadow{0.05f, 0.06f, 0.08f};

// Signed distance from (x, y) to a rounded rectangle (negative inside).
float roundedBoxDistance(float x, float y, float x0, float y0, float x1, float y1, float radius)
{
    const float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    const float hx = (x1 - x0) * 0.5f - radius, hy = (y1 - y0) * 0.5f - radius;
    const float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    const float ox = std::fmax(qx, 0.0f), oy = std::fmax(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::fmin(std::fmax(qx, qy), 0.0f) - radius;
}

}  // namespace

bool glyphRows(char ch, unsigned char rows[kGlyphHeight]) { return ::glyphRows(ch, rows); }

int labelCells(const std::string& text)
{
    return text.empty() ? 0 : static_cast<int>(text.size()) * (kGlyphWidth + 1) - 1;
}

void paintCoverage(ArtImage& image, const std::function<bool(float, float)>& inside, const Colour& colour,
                   float opacity)
{
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    if (inside(static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) / 4.0f,
                               static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) / 4.0f))
                        ++hits;
            if (hits > 0) image.at(x, y) = mix(image.at(x, y), colour, opacity * static_cast<float>(hits) / 16.0f);
        }
}

void drawButtonFace(ArtImage& image, const Colour& base)
{
    const float w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    const float radius = std::fmin(w, h) * 0.22f;
    const Colour top = mix(base, Colour{1, 1, 1}, 0.35f);
    const Colour bottom = base * 0.62f;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
            const float d = roundedBoxDistance(px, py, 1.0f, 1.0f, w - 1.0f, h - 1.0f, radius);
            // Body: vertical gradient, lit from the top.
            Colour c = mix(bottom, top, py / h);
            // Bevel: a rim two texels wide, light on the upper-left, dark on the lower-right.
            if (d > -2.5f) {
                const float rimX = (px < w * 0.5f) ? -1.0f : 1.0f;
                const float rimY = (py > h * 0.5f) ? 1.0f : -1.0f;
                const float nearX = std::fmin(px, w - px), nearY = std::fmin(py, h - py);
                const float light = nearY < nearX ? rimY : -rimX;
                const float strength = smoothstep(-2.5f, -0.5f, d) * 0.45f;
                c = light > 0.0f ? mix(c, Colour{1, 1, 1}, strength) : mix(c, Colour{0, 0, 0}, strength);
            }
            // Anti-aliased outer edge onto the panel colour.
            image.at(x, y) = mix(c, kPanel, smoothstep(-0.5f, 0.5f, d));
        }
}

void drawLabel(ArtImage& image, const std::string& text)
{
    const int cells = labelCells(text);
    if (cells == 0) return;
    const float w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    // Leave a margin of about a sixth of the height on each side of the label.
    const float margin = h / 6.0f;
    const float cell = std::fmin(2.0f, std::fmin((w - 2.0f * margin) / static_cast<float>(cells),
                                                  (h - 2.0f * margin) / static_cast<float>(kGlyphHeight)));
    const float cellY = std::fmin(2.0f, (h - 2.0f * margin) / static_cast<float>(kGlyphHeight));
    const float left = std::round((w - cell * static_cast<float>(cells)) * 0.5f);
    const float bottom = std::round((h - cellY * static_cast<float>(kGlyphHeight)) * 0.5f);
    auto inside = [&](float ox, float oy) {
        return [&, ox, oy](float x, float y) {
            const int cx = static_cast<int>(std::floor((x - left - ox) / cell));
            const int cy = static_cast<int>(std::floor((y - bottom - oy) / cellY));
            if (cx < 0 || cx >= cells || cy < 0 || cy >= kGlyphHeight) return false;
            const int glyph = cx / (kGlyphWidth + 1), column = cx % (kGlyphWidth + 1);
            if (column == kGlyphWidth) return false;
            unsigned char rows[kGlyphHeight];
            if (!glyphRows(text[static_cast<size_t>(glyph)], rows)) return false;
            return ((rows[kGlyphHeight - 1 - cy] >> (kGlyphWidth - 1 - column)) & 1) != 0;
        };
    };
    paintCoverage(image, inside(1.0f, -1.0f), kShadow, 0.7f);
    paintCoverage(image, inside(0.0f, 0.0f), kInk);
}

void drawIcon(ArtImage& image, Icon icon)
{
    const float w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    const float cx = w * 0.5f, cy = h * 0.5f, half = std::fmin(w, h) * 0.25f;
    std::function<bool(float, float)> shape;
    if (icon == Icon::Pause) {
        const float bar = half * 0.62f, gap = half * 0.38f;
        shape = [=](float x, float y) {
            if (std::fabs(y - cy) > half) return false;
            const float dx = std::fabs(x - cx);
            return dx >= gap && dx <= gap + bar;
        };
    } else {
        // A right-pointing triangle, nudged right so it looks centred.
        const float x0 = cx - half * 0.8f, x1 = cx + half * 1.1f;
        shape = [=](float x, float y) {
            if (x < x0 || x > x1) return false;
            return std::fabs(y - cy) <= half * (x1 - x) / (x1 - x0);
        };
    }
    paintCoverage(image, [&](float x, float y) { return shape(x - 1.0f, y + 1.0f); }, kShadow, 0.7f);
    paintCoverage(image, shape, kInk);
}

ArtImage labelButton(int width, int height, const std::string& text, const Colour& base)
{
    ArtImage image(width, height);
    drawButtonFace(image, base);
    drawLabel(image, text);
    return image;
}

ArtImage iconButton(int size, Icon icon, const Colour& base)
{
    ArtImage image(size, size);
    drawButtonFace(image, base);
    drawIcon(image, icon);
    return image;
}

}  // namespace art
