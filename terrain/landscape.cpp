#include "terrain/landscape.h"

#include <cstdio>
#include <new>

#include "terrain/landscapetile.h"

Landscape::Landscape() { resetDefaults(); }

Landscape::~Landscape()
{
    releaseTiles();
    groundTexture.release();
}

void Landscape::resetDefaults()
{
    zTop = kInfinity;
    zBottom = -kInfinity;
    texDetailX = texDetailY = 100;
    position = Vec3(0, 0, 0);
    scale = Vec3(1, 1, 1);
    restitution = 0.5f;
    friction = 0.75f;
    seed = 213;
}

bool Landscape::create(int /*smoothness*/, int seed_)
{
    releaseTiles();
    for (int l = 0; l < kLevels; ++l) {
        levelTileCount[l] = LandscapeTile::tileCountOf(l);
        levelSlots[l].assign(static_cast<size_t>(levelTileCount[l]) * levelTileCount[l], LandscapeSlot{});
    }
    seed = seed_;
    for (int l = 0; l < kLevels; ++l) {
        const int n = levelTileCount[l];
        levelSlots[l][(n / 2) * n + n / 2].tile = new (std::nothrow) LandscapeTile;
    }
    for (int l = 0; l < kLevels; ++l) {
        const int n = levelTileCount[l];
        for (int row = 0; row < n; ++row) {
            for (int column = 0; column < n; ++column) {
                LandscapeTile* tile = levelSlots[l][row * n + column].tile;
                if (!tile) continue;
                printf("generating l[%d] i[%d,%d] of [%d,%d]\n", l, column, row, n, n);
                tile->generate(column, row, l, seed);
            }
        }
    }
    return true;
}

void Landscape::releaseTiles()
{
    for (int l = 0; l < kLevels; ++l) {
        for (LandscapeSlot& slot : levelSlots[l]) {
            delete slot.tile;
            slot.tile = nullptr;
        }
        levelSlots[l].clear();
        levelSlots[l].shrink_to_fit();
        levelTileCount[l] = 0;
    }
    resetDefaults();
}

void Landscape::buildTileTextures()
{
    for (int l = 0; l < kLevels; ++l) {
        const int n = levelTileCount[l];
        for (int row = 0; row < n; ++row)
            for (int column = 0; column < n; ++column)
                if (LandscapeTile* tile = tileAt(l, column, row)) tile->bakeTexture(scale, column, row, l);
    }
}

LandscapeTile* Landscape::tileAt(int level, int column, int row) const
{
    if (level < 0 || level >= kLevels) return nullptr;
    const int n = levelTileCount[level];
    if (column < 0 || row < 0 || column >= n || row >= n) return nullptr;
    return levelSlots[level][row * n + column].tile;
}

int Landscape::tileCount() const
{
    int count = 0;
    for (int l = 0; l < kLevels; ++l)
        for (const LandscapeSlot& slot : levelSlots[l])
            if (slot.tile) ++count;
    return count;
}

bool Landscape::fineCellCovered(int cellX, int cellY) const
{
    const int n = levelTileCount[0];
    if (cellX < 0 || cellY < 0 || cellX >= n || cellY >= n) return true;
    return levelSlots[0][cellY * n + cellX].tile != nullptr;
}

Vec3 Landscape::toUnit(const Vec3& p) const
{
    return {(p.x - position.x) / scale.x, (p.y - position.y) / scale.y, (p.z - position.z) / scale.z};
}
