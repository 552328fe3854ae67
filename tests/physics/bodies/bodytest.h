#pragma once
// Meshes and systems shared by the body tests.
#include <cstring>
#include <memory>

#include "assets/objfile.h"
#include "physics/springsystem.h"

inline std::unique_ptr<ObjFile> meshFromText(const char* text, bool withEdges = true)
{
    auto m = std::make_unique<ObjFile>();
    if (!m->loadFromMemory(text, std::strlen(text), withEdges, "mesh.obj")) return nullptr;
    return m;
}

// A closed octahedron of radius 1, every face wound counter-clockwise from outside:
// 6 vertices, 8 triangles, 12 edges of length sqrt(2).
constexpr const char* kOctahedron =
    "v 1 0 0\nv -1 0 0\nv 0 1 0\nv 0 -1 0\nv 0 0 1\nv 0 0 -1\n"
    "f 1 3 5\nf 3 2 5\nf 2 4 5\nf 4 1 5\nf 3 1 6\nf 2 3 6\nf 4 2 6\nf 1 4 6\n";

// A cube of side 2 about the origin, every face wound counter-clockwise from outside.
constexpr const char* kCube = "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
                              "f 1 4 3\nf 1 3 2\nf 5 6 7\nf 5 7 8\nf 1 2 6\nf 1 6 5\n"
                              "f 2 3 7\nf 2 7 6\nf 3 4 8\nf 3 8 7\nf 4 1 5\nf 4 5 8\n";

// The world of one scene: a particle pool and a spring array.
struct Systems {
    ParticleSystem par;
    SpringSystem springs;
    int activeSprings() const
    {
        int n = 0;
        for (const Spring& s : springs.spring) n += s.active;
        return n;
    }
    // Takes particles until only `left` remain obtainable.
    void exhaust(int left)
    {
        while (MAX_PARTICLES - par.createdCount() > left) par.allocParticle();
    }
};
