#pragma once
// The procedural ground: a coarse height tile over the whole square and an 8 × 8 grid
// of fine tiles paged in and out, each with a colour texture baked from its heights.
#include <vector>

#include "view/camera.h"
#include "core/vecmath.h"
#include "assets/texture.h"
#include "core/tracehit.h"

class LandscapeTile;
struct DisplaySettings;

// A place for one tile; the job word is reserved for a background generation handle,
// which nothing starts.
struct LandscapeSlot {
    LandscapeTile* tile = nullptr;
    void* job = nullptr;
};

class Landscape {
public:
    Landscape();
    ~Landscape();
    Landscape(const Landscape&) = delete;
    Landscape& operator=(const Landscape&) = delete;

    void resetDefaults();
    bool create(int smoothness, int seed);
    void releaseTiles();
    void buildTileTextures();

    // Sweeps a sphere (radius 0: a ray) from start to hit.target over the coarse tile.
    bool intersect(const Vec3& start, float radius, TraceHit& hit) const;
    void trackMouse(const Ray& ray, const DisplaySettings& display);
    void pageTileAtRay(const Ray& ray, bool load);
    void render(const Camera& camera, const DisplaySettings& display);

    float zTop = kInfinity;
    float zBottom = -kInfinity;
    Texture groundTexture;
    float texDetailX = 100, texDetailY = 100;
    Vec3 position{0, 0, 0};
    Vec3 scale{1, 1, 1};
    float restitution = 0.5f;
    float friction = 0.75f;
    int seed = 213;

    static constexpr int kLevels = 2;

    // The tile in a slot, or null (also for a level, column or row out of range).
    LandscapeTile* tileAt(int level, int column, int row) const;
    int tileCount() const;
    // Hole test of the coarse level: whether level-0 cell (cellX, cellY) holds a tile.
    // Cells beyond the 8 × 8 grid count as covered.
    bool fineCellCovered(int cellX, int cellY) const;
    Vec3 toUnit(const Vec3& p) const;
    // The stretch of a paging probe that lies over the coarse ground.
    bool clipProbe(const Ray& ray, Vec3& from, Vec3& to) const;

    // Level tables, per landscape so that several landscapes can hold tiles at once.
    int levelTileCount[kLevels] = {0, 0};
    std::vector<LandscapeSlot> levelSlots[kLevels];

    // Mouse-tracking marks: the probe segment (world) and the hit point (unit space).
    Vec3 probeStart, probeEnd, mouseHit;
    // The viewer the rings follow; held while lodFreeze is on.
    Vec3 frozenViewer;
};
