#include "terrain/landscape.h"

Landscape::Landscape() {}
Landscape::~Landscape() {}
void Landscape::resetDefaults() {}
bool Landscape::create(int, int) { return false; }
void Landscape::releaseTiles() {}
void Landscape::buildTileTextures() {}
bool Landscape::intersect(const Vec3&, float, TraceHit&) const { return false; }
void Landscape::trackMouse(const Ray&) {}
void Landscape::pageTileAtRay(const Ray&, bool) {}
void Landscape::render(const Camera&) {}
