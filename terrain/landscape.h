#pragma once
// The procedural ground: a coarse height tile over the whole square and an 8 × 8 grid
// of fine tiles paged in and out, each with a colour texture baked from its heights.
#include "app/camera.h"
#include "app/vecmath.h"
#include "assets/texture.h"
#include "scene/tracehit.h"

class LandscapeTile;

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
    void trackMouse(const Ray& ray);
    void pageTileAtRay(const Ray& ray, bool load);
    void render(const Camera& camera);

    float zTop = kInfinity;
    float zBottom = -kInfinity;
    Texture groundTexture;
    float texDetailX = 100, texDetailY = 100;
    Vec3 position{0, 0, 0};
    Vec3 scale{1, 1, 1};
    float restitution = 0.5f;
    float friction = 0.75f;
    int seed = 213;
};
