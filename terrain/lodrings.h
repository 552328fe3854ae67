#pragma once
// Level-of-detail geometry of one tile: nested square rings around the viewer, each at
// twice the step of the one inside, joined by vertical seam strips. The geometry goes
// out through a StripEmitter, so the ring arithmetic runs (and is tested) without GL.
#include <vector>

#include "view/frustum.h"

class Landscape;
class LandscapeTile;

class StripEmitter {
public:
    virtual ~StripEmitter() = default;
    virtual void beginStrip() = 0;
    virtual void vertex(float x, float y, float z) = 0;
    virtual void endStrip() = 0;
    // Around seam strips while white seams are shown.
    virtual void beginWhiteSeam() {}
    virtual void endWhiteSeam() {}
};

// Passes on only the stretches of each strip that may show in a view, given in the
// tile's sample coordinates. Every strip here is a run of vertex pairs, and each of its
// triangles lies between two neighbouring pairs; a strip cut after a pair and restarted
// with that same pair keeps every triangle and its winding, so what reaches the view is
// exactly what the whole strip would have drawn there.
class VisibleStrips : public StripEmitter {
public:
    VisibleStrips(StripEmitter& out, const Frustum& view) : out(out), view(view) {}
    void beginStrip() override { strip.clear(); }
    void vertex(float x, float y, float z) override { strip.push_back({x, y, z}); }
    void endStrip() override;
    void beginWhiteSeam() override { out.beginWhiteSeam(); }
    void endWhiteSeam() override { out.endWhiteSeam(); }

    static constexpr int kPairsPerTest = 8;  // quads judged together along a strip

private:
    void send(size_t from, size_t to);
    StripEmitter& out;
    const Frustum& view;
    std::vector<Vec3> strip;
};

// The base radius (ring 0's half width, in samples) the rings are meant for. Below the
// least, a ring's aligned bounds can fall inside the previous ring's, so smaller radii
// draw as the least. At the most, ring 0 reaches across the whole fine grid (8 tiles of
// 128 samples) from anywhere over the ground: more only costs triangles.
constexpr int kMinBaseRadius = 3;
constexpr int kMaxBaseRadius = 8 * 128;

// What one tile's draw needs besides its arguments.
struct LodContext {
    const LandscapeTile& tile;
    StripEmitter& out;
    const Landscape* owner = nullptr;  // answers the coarse level's hole test
    int baseRadius = 64;
    bool whiteSeams = false;
};

void drawLodRings(const LodContext& ctx, int viewX, int viewY, int column, int row, int level);
void drawBlock(const LodContext& ctx, int x0, int y0, int x1, int y1, int lod, int column, int row, int level);
void drawSeamX(const LodContext& ctx, int x, int y0, int y1, int lodA, int lodB);
void drawSeamY(const LodContext& ctx, int y, int x0, int x1, int lodA, int lodB);
void seamVertex(const LodContext& ctx, int x, int y, int lod);

// The ring (0..6) that draws the unit cell (x, y) of a tile seen from (viewX, viewY).
int ringLodAt(int baseRadius, int viewX, int viewY, int x, int y);

// Closes the gaps along the sides of fine tile (column, row) that border the coarse
// level's holes: the fine edge follows its own rings, the coarse hole's edge the coarse
// rings, and between the two polylines a strip in the upright plane fills the crack.
// coarseViewX, coarseViewY is the viewer in coarse samples.
void drawLevelBorders(const LodContext& ctx, int viewX, int viewY, int coarseViewX, int coarseViewY, int column,
                      int row);
