// Where moving points and rays meet the ground: the collision sweep over the coarse
// tile, the mouse-tracking probe and paging fine tiles at a clicked point.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "terrain/displaysettings.h"
#include "terrain/landscape.h"
#include "terrain/landscapetile.h"

namespace {

// Cell index of a unit-space coordinate, computed in float and bounded before the
// conversion so that a far-away or huge segment cannot overflow it.
int cellIndex(float unit)
{
    float c = (unit + 1) * 0.5f * 128;
    if (c < -1.0f) c = -1.0f;
    if (c > 256.0f) c = 256.0f;
    return static_cast<int>(c);
}

// Tile column or row of a 0..1 ground fraction, truncated toward zero like the cells.
int tileIndex(float fraction, int n)
{
    float c = fraction * n;
    if (!(c > -1e6f)) c = -1e6f;
    if (c > 1e6f) c = 1e6f;
    return static_cast<int>(c);
}

float maxAbs(const Vec3& v) { return std::max(std::max(std::fabs(v.x), std::fabs(v.y)), std::fabs(v.z)); }

}  // namespace

bool Landscape::intersect(const Vec3& start, float radius, TraceHit& hit) const
{
    const LandscapeTile* coarse = tileAt(1, 0, 0);
    if (!coarse) return false;

    Vec3 lo(std::min(start.x, hit.target.x) - 1, std::min(start.y, hit.target.y) - 1,
            std::min(start.z, hit.target.z) - 1);
    Vec3 hi(std::max(start.x, hit.target.x) + 1, std::max(start.y, hit.target.y) + 1,
            std::max(start.z, hit.target.z) + 1);
    Vec3 ua = toUnit(lo), ub = toUnit(hi);
    // Re-sorted after the conversion: a mirrored (negative) scale swaps the corners.
    BBox seg;
    seg.set(Vec3(std::min(ua.x, ub.x), std::min(ua.y, ub.y), std::min(ua.z, ub.z)),
            Vec3(std::max(ua.x, ub.x), std::max(ua.y, ub.y), std::max(ua.z, ub.z)));
    BBox land;
    land.set(Vec3(-1, -1, zBottom), Vec3(1, 1, zTop));
    if (!overlaps(seg, land)) return false;

    // Cells: those the move reaches, widened by twice the radius. The sweep reports a
    // contact when the centre's projection onto a triangle's plane lies within one radius
    // of the triangle, and that projection lies within one radius of the centre, so no
    // triangle further out can be touched. (Widening by a fixed unit on the far sides
    // only would miss contacts behind the move and test a needless row of cells ahead.)
    const float reach = std::max(1.0f, 2 * radius) + 0.01f;
    const Vec3 ca = toUnit(lo - Vec3(reach - 1, reach - 1, 0)), cb = toUnit(hi + Vec3(reach - 1, reach - 1, 0));
    int x0 = std::max(cellIndex(std::min(ca.x, cb.x)), 0);
    int x1 = std::min(cellIndex(std::max(ca.x, cb.x)), 127);
    int y0 = std::max(cellIndex(std::min(ca.y, cb.y)), 0);
    int y1 = std::min(cellIndex(std::max(ca.y, cb.y)), 127);
    // Heights out of reach for the same reason: beyond the sphere's lowest and highest
    // points over the whole move by one more radius.
    const float sweepLow = std::min(start.z, hit.target.z) - reach;
    const float sweepHigh = std::max(start.z, hit.target.z) + reach;

    // A ray exactly over an edge or a corner shared by triangles can pass between them by
    // rounding alone (a click on a tile seam found no ground). Each triangle a ray misses
    // is judged again as a sphere some thirty float steps of the segment's extent wide, so
    // one of them takes it; rays that hit outright keep their contact unchanged.
    const float rayTolerance =
        radius == 0 ? 4e-6f * (length(hit.target - start) + std::max(maxAbs(start), maxAbs(hit.target))) : 0;

    const float dx = scale.x * 2 / 128;
    const float dy = scale.y * 2 / 128;
    const float left = position.x - scale.x;
    const float bottom = position.y - scale.y;
    bool any = false;
    for (int y = y0; y <= y1; ++y) {
        // Corners from their indices rather than by accumulation, so a cell is the same
        // triangle pair whichever range a query starts from.
        const float wy0 = bottom + y * dy, wy1 = bottom + (y + 1) * dy;
        for (int x = x0; x <= x1; ++x) {
            const float wx0 = left + x * dx, wx1 = left + (x + 1) * dx;
            const Vec3 A(wx0, wy0, position.z + coarse->height(x, y) * scale.z);
            const Vec3 B(wx1, wy0, position.z + coarse->height(x + 1, y) * scale.z);
            const Vec3 C(wx0, wy1, position.z + coarse->height(x, y + 1) * scale.z);
            const Vec3 D(wx1, wy1, position.z + coarse->height(x + 1, y + 1) * scale.z);
            // A cell wholly below or above the moving sphere cannot be touched.
            const float cellLow = std::min(std::min(A.z, B.z), std::min(C.z, D.z));
            const float cellHigh = std::max(std::max(A.z, B.z), std::max(C.z, D.z));
            if (cellHigh < sweepLow || cellLow > sweepHigh) continue;
            const Vec3* const tris[2][3] = {{&C, &A, &D}, {&B, &D, &A}};
            for (const auto& tri : tris) {
                float weights[3];
                Plane plane = hit.plane;
                float f = sweepSphereTriangle(start, hit.target, radius, tri, plane, weights);
                if (!(f < 1) && rayTolerance > 0)
                    f = sweepSphereTriangle(start, hit.target, rayTolerance, tri, plane, weights);
                if (!(f < 1)) continue;
                any = true;
                hit.plane = plane;
                if (hit.record(start, f, tri, weights, restitution, friction)) return true;
            }
        }
    }
    return any;
}

void Landscape::trackMouse(const Ray& ray, const DisplaySettings& display)
{
    if (!display.trackingMouse) return;
    // A ray parallel to the ground planes meets neither: the marks keep their values.
    if (ray.direction.z == 0) return;
    const float topZ = position.z + scale.z;
    const float bottomZ = position.z - scale.z;
    Vec3 top = ray.origin - ray.direction * ((ray.origin.z - topZ) / ray.direction.z);
    Vec3 bottom = ray.origin - ray.direction * ((ray.origin.z - bottomZ) / ray.direction.z);
    probeStart = top + Vec3(0, 0, 1);
    probeEnd = bottom;
    TraceHit hit = TraceHit::towards(bottom);
    hit.restitution = 0.5f;
    if (intersect(top, 0, hit)) mouseHit = toUnit(hit.target);
}

// The part of the probe from origin to origin + direction * 80000 that lies inside the
// box holding the coarse ground (one unit of margin), or false when there is none.
bool Landscape::clipProbe(const Ray& ray, Vec3& from, Vec3& to) const
{
    const LandscapeTile* coarse = tileAt(1, 0, 0);
    if (!coarse) return false;
    float hlo = kInfinity, hhi = -kInfinity;
    for (float h : coarse->heights) {
        hlo = std::min(hlo, h);
        hhi = std::max(hhi, h);
    }
    const float zA = position.z + hlo * scale.z, zB = position.z + hhi * scale.z;
    const Vec3 lo(position.x - std::fabs(scale.x) - 1, position.y - std::fabs(scale.y) - 1, std::min(zA, zB) - 1);
    const Vec3 hi(position.x + std::fabs(scale.x) + 1, position.y + std::fabs(scale.y) + 1, std::max(zA, zB) + 1);
    float enter = 0, leave = 80000;
    for (int k = 0; k < 3; ++k) {
        const float o = ray.origin[k], d = ray.direction[k];
        if (d == 0) {
            if (o < lo[k] || o > hi[k]) return false;
            continue;
        }
        float a = (lo[k] - o) / d, b = (hi[k] - o) / d;
        if (a > b) std::swap(a, b);
        enter = std::max(enter, a);
        leave = std::min(leave, b);
    }
    if (!(enter < leave)) return false;
    from = ray.origin + ray.direction * enter;
    to = ray.origin + ray.direction * leave;
    return true;
}

void Landscape::pageTileAtRay(const Ray& ray, bool load)
{
    // The sweep places a contact a fixed fraction of the segment short of the surface;
    // over the full 80000-unit probe that is tens of units, enough to miss sloped ground
    // or name the wrong tile, so only the stretch over the ground is swept.
    Vec3 from, to;
    TraceHit hit;
    bool found = clipProbe(ray, from, to);
    if (found) {
        hit = TraceHit::towards(to);
        hit.restitution = 0.5f;
        found = intersect(from, 0, hit);
    }
    if (!found) {
        printf("got not landscape intersection!\n");
        return;
    }
    Vec3 g = toUnit(hit.target);
    float u = (g.x + 1) * 0.5f, v = (g.y + 1) * 0.5f;
    const int n = levelTileCount[0];
    int column = tileIndex(u, n), row = tileIndex(v, n);
    printf("level %d tile %d %d\n", 0, column, row);
    if (column < 0 || row < 0 || column >= n || row >= n) {
        printf("tiles are OOB\n");
        return;
    }
    LandscapeSlot& slot = levelSlots[0][row * n + column];
    if (load) {
        if (slot.tile || slot.job) return;
        LandscapeTile* tile = new (std::nothrow) LandscapeTile;
        if (!tile) return;
        tile->generate(column, row, 0, seed);
        tile->bakeTexture(scale, column, row, 0);
        slot.tile = tile;
    } else {
        // No background job is ever started, so there is none to stop here.
        delete slot.tile;
        slot.tile = nullptr;
    }
}
