#include "terrain/lodrings.h"

#include <algorithm>

#include "terrain/landscape.h"
#include "terrain/landscapetile.h"

namespace {

const int kLast = LandscapeTile::kSamples - 1;  // 128
static_assert(kMaxBaseRadius == 8 * kLast, "the largest radius spans the fine grid");

struct Bounds {
    int xmin, ymin, xmax, ymax;
};

int alignDown(int b, int unit) { return b - (b & (unit - 1)); }

}  // namespace

void VisibleStrips::send(size_t from, size_t to)
{
    out.beginStrip();
    for (size_t i = from; i < to; ++i) out.vertex(strip[i].x, strip[i].y, strip[i].z);
    out.endStrip();
}

void VisibleStrips::endStrip()
{
    const size_t n = strip.size();
    if (n < 3) return;  // no triangle
    auto shows = [&](size_t from, size_t to) {
        BBox b = BBox::empty();
        for (size_t i = from; i < to; ++i) b.extend(strip[i]);
        return view.mayShow(b.min, b.max);
    };
    if (n % 2) {
        if (shows(0, n)) send(0, n);
        return;
    }
    // Pieces of kPairsPerTest quads (pairs first .. last, sharing their end pairs);
    // neighbouring pieces that show go out as one strip.
    const size_t pairs = n / 2;
    size_t runStart = 0;
    bool running = false;
    for (size_t first = 0; first + 1 < pairs; first += kPairsPerTest) {
        const size_t last = std::min(first + kPairsPerTest, pairs - 1);
        if (shows(2 * first, 2 * last + 2)) {
            if (!running) runStart = first;
            running = true;
        } else if (running) {
            send(2 * runStart, 2 * first + 2);
            running = false;
        }
    }
    if (running) send(2 * runStart, n);
}

void seamVertex(const LodContext& ctx, int x, int y, int lod)
{
    const int s = 1 << lod;
    if (x + s > LandscapeTile::kSamples) x = kLast;
    if (y + s > LandscapeTile::kSamples) y = kLast;
    ctx.out.vertex(static_cast<float>(x), static_cast<float>(y), ctx.tile.height(x, y));
}

// Visits from, from + step, ... and finally to itself (at least once, even when from >= to).
template <class F>
static void walk(int from, int to, int step, F f)
{
    for (int v = from;; v += step) {
        if (v >= to) {
            f(to);
            return;
        }
        f(v);
    }
}

void drawSeamX(const LodContext& ctx, int x, int y0, int y1, int lodA, int lodB)
{
    if (ctx.whiteSeams) ctx.out.beginWhiteSeam();
    ctx.out.beginStrip();
    walk(y0, y1, 1 << std::min(lodA, lodB), [&](int y) {
        seamVertex(ctx, x, alignDown(y, 1 << lodA), lodA);
        seamVertex(ctx, x, alignDown(y, 1 << lodB), lodB);
    });
    ctx.out.endStrip();
    if (ctx.whiteSeams) ctx.out.endWhiteSeam();
}

void drawSeamY(const LodContext& ctx, int y, int x0, int x1, int lodA, int lodB)
{
    if (ctx.whiteSeams) ctx.out.beginWhiteSeam();
    ctx.out.beginStrip();
    walk(x0, x1, 1 << std::min(lodA, lodB), [&](int x) {
        seamVertex(ctx, alignDown(x, 1 << lodB), y, lodB);
        seamVertex(ctx, alignDown(x, 1 << lodA), y, lodA);
    });
    ctx.out.endStrip();
    if (ctx.whiteSeams) ctx.out.endWhiteSeam();
}

void drawBlock(const LodContext& ctx, int x0, int y0, int x1, int y1, int lod, int column, int row, int level)
{
    const int step = 1 << lod;
    const LandscapeTile& t = ctx.tile;
    for (int y = y0;; y += step) {
        const int yNext = y + step >= y1 ? y1 : y + step;
        bool open = level == 0;
        if (open) ctx.out.beginStrip();
        int previousCell = -1;
        const int cellY = (y >> 4) + row * 8;
        walk(x0, x1, step, [&](int x) {
            if (level == 1) {
                // The coarse level leaves out the cells a fine tile covers while its
                // step is finer than 8 samples; the strip ends only after the vertex
                // that closes the last drawn quad.
                const int cellX = (x >> 4) + column * 8;
                bool draw = !ctx.owner || !ctx.owner->fineCellCovered(cellX, cellY);
                if (previousCell >= 0 && ctx.owner) draw = draw || !ctx.owner->fineCellCovered(previousCell, cellY);
                if (lod >= 3) draw = true;
                if (draw != open) {
                    if (draw) ctx.out.beginStrip();
                    else ctx.out.endStrip();
                    open = draw;
                }
                previousCell = cellX;
            }
            // Vertices outside a strip would be meaningless: only an open strip takes them.
            if (!open) return;
            ctx.out.vertex(static_cast<float>(x), static_cast<float>(yNext), t.height(x, yNext));
            ctx.out.vertex(static_cast<float>(x), static_cast<float>(y), t.height(x, y));
        });
        if (open) ctx.out.endStrip();
        if (yNext >= y1) break;
    }
}

namespace {

// Bounds of ring i before and after clamping and alignment, and whether it is the last.
Bounds ringBounds(int base, int viewX, int viewY, int i, bool& covers)
{
    const int step = 1 << i;
    const int r = base * step;
    Bounds b{viewX - r, viewY - r, viewX + r + step, viewY + r + step};
    covers = b.xmin <= 0 && b.ymin <= 0 && b.xmax >= kLast && b.ymax >= kLast;
    // The last ring takes the rest of the tile, so a tile far from the viewer is still
    // drawn whole (coarsely) instead of losing what no ring reached.
    if (i == 6 && !covers) {
        covers = true;
        return Bounds{0, 0, kLast, kLast};
    }
    for (int* v : {&b.xmin, &b.ymin, &b.xmax, &b.ymax}) {
        if (*v < 0) *v = 0;
        *v = alignDown(*v, 2 * step);
        if (*v > kLast) *v = kLast;
    }
    return b;
}

// Below three steps a ring's aligned bounds can fall inside the previous ring's, leaving
// cells undrawn or drawn twice; smaller radii draw as three.
int effectiveRadius(int baseRadius) { return std::max(baseRadius, kMinBaseRadius); }

}  // namespace

void drawLodRings(const LodContext& ctx, int viewX, int viewY, int column, int row, int level)
{
    const int base = effectiveRadius(ctx.baseRadius);
    Bounds last{0, 0, 0, 0};
    for (int i = 0; i < 7; ++i) {
        bool covers;
        const Bounds b = ringBounds(base, viewX, viewY, i, covers);
        if (i == 0) {
            drawBlock(ctx, b.xmin, b.ymin, b.xmax, b.ymax, 0, column, row, level);
        } else {
            drawBlock(ctx, b.xmin, b.ymin, b.xmax, last.ymin, i, column, row, level);
            drawBlock(ctx, last.xmax, last.ymin, b.xmax, last.ymax, i, column, row, level);
            drawBlock(ctx, b.xmin, last.ymax, b.xmax, b.ymax, i, column, row, level);
            drawBlock(ctx, b.xmin, last.ymin, last.xmin, last.ymax, i, column, row, level);
            if (b.xmin < last.xmin) drawSeamX(ctx, last.xmin, last.ymin, last.ymax, i, i - 1);
            if (last.xmax < b.xmax) drawSeamX(ctx, last.xmax, last.ymin, last.ymax, i - 1, i);
            if (b.ymin < last.ymin) drawSeamY(ctx, last.ymin, last.xmin, last.xmax, i, i - 1);
            if (last.ymax < b.ymax) drawSeamY(ctx, last.ymax, last.xmin, last.xmax, i - 1, i);
        }
        last = b;
        if (covers) break;
    }
}

int ringLodAt(int baseRadius, int viewX, int viewY, int x, int y)
{
    const int base = effectiveRadius(baseRadius);
    for (int i = 0; i < 7; ++i) {
        bool covers;
        const Bounds b = ringBounds(base, viewX, viewY, i, covers);
        if (x >= b.xmin && x < b.xmax && y >= b.ymin && y < b.ymax) return i;
        if (covers) break;
    }
    return 6;
}

void drawLevelBorders(const LodContext& ctx, int viewX, int viewY, int coarseViewX, int coarseViewY, int column,
                      int row)
{
    if (!ctx.owner) return;
    const int coarseStep = 8;  // fine samples per coarse sample
    // Sides: left, right, bottom, top.
    for (int side = 0; side < 4; ++side) {
        const bool alongY = side < 2;
        const bool far = side == 1 || side == 3;
        const int nc = column + (side == 0 ? -1 : side == 1 ? 1 : 0);
        const int nr = row + (side == 2 ? -1 : side == 3 ? 1 : 0);
        // Another fine tile (or the end of the ground) is on the other side: no hole edge.
        if (ctx.owner->fineCellCovered(nc, nr)) continue;
        const int line = far ? kLast : 0;
        // Drawn with back faces culled, a strip must face the lower of its two edges,
        // where the crack shows. Pairs starting fine on the high-x and low-y sides and
        // coarse on the low-x and high-y sides do that whichever edge is lower.
        const bool coarseFirst = side == 0 || side == 3;
        const int across = alongY ? column : row;
        const int along = alongY ? row : column;
        const int coarseAcross = far ? 16 * across + 16 : 16 * across - 1;

        // Per unit segment [p, p + 1] of the side: the fine ring just inside and the
        // coarse ring of the cell just outside.
        int fineLod[kLast], coarseLod[kLast];
        for (int p = 0; p < kLast; ++p) {
            const int inner = far ? kLast - 1 : 0;
            fineLod[p] = alongY ? ringLodAt(ctx.baseRadius, viewX, viewY, inner, p)
                                : ringLodAt(ctx.baseRadius, viewX, viewY, p, inner);
            const int ca = 16 * along + p / coarseStep;
            coarseLod[p] = alongY ? ringLodAt(ctx.baseRadius, coarseViewX, coarseViewY, coarseAcross, ca)
                                  : ringLodAt(ctx.baseRadius, coarseViewX, coarseViewY, ca, coarseAcross);
        }
        auto isFineVertex = [&](int p) {
            if (p == 0 || p == kLast) return true;
            return p % (1 << fineLod[p - 1]) == 0 || p % (1 << fineLod[p]) == 0;
        };
        auto isCoarseVertex = [&](int p) {
            if (p == 0 || p == kLast) return true;
            if (p % coarseStep) return false;
            const int q = p / coarseStep;
            return q % (1 << coarseLod[p - 1]) == 0 || q % (1 << coarseLod[p]) == 0;
        };
        auto heightAt = [&](int p) {
            return alongY ? ctx.tile.height(line, p) : ctx.tile.height(p, line);
        };
        // Height at p of the polyline through the positions `is` accepts.
        auto polyline = [&](int p, auto is) {
            if (is(p)) return heightAt(p);
            int a = p, b = p;
            while (!is(a)) --a;
            while (!is(b)) ++b;
            const float t = static_cast<float>(p - a) / static_cast<float>(b - a);
            return heightAt(a) * (1 - t) + heightAt(b) * t;
        };
        auto emit = [&](int p, float h) {
            if (alongY) ctx.out.vertex(static_cast<float>(line), static_cast<float>(p), h);
            else ctx.out.vertex(static_cast<float>(p), static_cast<float>(line), h);
        };

        // The coarse level cuts its hole only while its step is below 8 samples.
        int p = 0;
        while (p < kLast) {
            if (coarseLod[p] >= 3) {
                ++p;
                continue;
            }
            int end = p;
            while (end < kLast && coarseLod[end] < 3) ++end;
            if (ctx.whiteSeams) ctx.out.beginWhiteSeam();
            ctx.out.beginStrip();
            for (int u = p; u <= end; ++u) {
                if (!isFineVertex(u) && !isCoarseVertex(u)) continue;
                const float fineH = polyline(u, isFineVertex), coarseH = polyline(u, isCoarseVertex);
                emit(u, coarseFirst ? coarseH : fineH);
                emit(u, coarseFirst ? fineH : coarseH);
            }
            ctx.out.endStrip();
            if (ctx.whiteSeams) ctx.out.endWhiteSeam();
            p = end;
        }
    }
}
