#pragma once
// Meshes shared by the instance tests.
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "assets/objfile.h"

inline std::unique_ptr<ObjFile> meshFromText(const std::string& text, const char* path = "mesh.obj")
{
    auto m = std::make_unique<ObjFile>();
    if (!m->loadFromMemory(text.data(), text.size(), false, path)) return nullptr;
    return m;
}

// A closed, bumpy sphere of about `radius` round `centre`: rings × segments quads as
// triangles, wound counter-clockwise from outside.
inline std::string bumpySphere(float radius, float cx, float cy, float cz, int rings, int segments)
{
    std::string text;
    char line[128];
    snprintf(line, sizeof line, "v %g %g %g\n", cx, cy, cz - radius);
    text += line;
    for (int r = 1; r < rings; ++r) {
        float phi = 3.14159265f * r / rings;
        for (int s = 0; s < segments; ++s) {
            float theta = 2 * 3.14159265f * s / segments;
            float rr = radius * (1 + 0.15f * std::sin(3 * theta) * std::sin(2 * phi));
            snprintf(line, sizeof line, "v %g %g %g\n", cx + rr * std::sin(phi) * std::cos(theta),
                     cy + rr * std::sin(phi) * std::sin(theta), cz - rr * std::cos(phi));
            text += line;
        }
    }
    snprintf(line, sizeof line, "v %g %g %g\n", cx, cy, cz + radius);
    text += line;
    auto ring = [&](int r, int s) { return 2 + (r - 1) * segments + (s % segments); };
    const int top = 2 + (rings - 1) * segments;
    for (int s = 0; s < segments; ++s) {
        snprintf(line, sizeof line, "f 1 %d %d\n", ring(1, s + 1), ring(1, s));
        text += line;
        snprintf(line, sizeof line, "f %d %d %d\n", top, ring(rings - 1, s), ring(rings - 1, s + 1));
        text += line;
    }
    for (int r = 1; r < rings - 1; ++r)
        for (int s = 0; s < segments; ++s) {
            snprintf(line, sizeof line, "f %d %d %d\nf %d %d %d\n", ring(r, s), ring(r, s + 1), ring(r + 1, s + 1),
                     ring(r, s), ring(r + 1, s + 1), ring(r + 1, s));
            text += line;
        }
    return text;
}
