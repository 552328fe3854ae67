#include "tools/art_models.h"

#include <cmath>
#include <map>
#include <tuple>

namespace art {

namespace {

// A cone of the given radius and height along +z with its base at z = 0.
Mesh cone(float radius, float height, int segments)
{
    Mesh m;
    lathe(m, {0.0f, 0.0f, radius, 0.0f, 0.0f, height}, segments, 1.0f, radius + height);
    return m;
}

// Points of an arc of the given radius about z, from angle a0 to a1 (degrees), with the
// outward radial direction as each point's normal.
void arc(float radius, float a0, float a1, int steps, std::vector<Vec3>& path, std::vector<Vec3>& normals)
{
    for (int k = 0; k <= steps; ++k) {
        const float a = (a0 + (a1 - a0) * static_cast<float>(k) / static_cast<float>(steps)) * kPi / 180.0f;
        const Vec3 radial(std::cos(a), std::sin(a), 0.0f);
        path.push_back(radial * radius);
        normals.push_back(radial);
    }
}

// A rigid placement that takes the local frame (x, y, z) to (n, b, t) at `origin`.
std::function<Vec3(const Vec3&)> frame(const Vec3& origin, const Vec3& n, const Vec3& b, const Vec3& t)
{
    return [=](const Vec3& p) { return origin + n * p.x + b * p.y + t * p.z; };
}

// A square-ish section, counter-clockwise.
const std::vector<float> kTubeSection = {0.35f, 0.0f, 0.0f, 0.35f, -0.35f, 0.0f, 0.0f, -0.35f};

// A ring arrow about z through the angles a0..a1, with a head at a1 (and at a0 when
// `twoHeads`), mapped into place by `orient`.
Mesh ringArrow(float a0, float a1, bool twoHeads, const std::function<Vec3(const Vec3&)>& orient)
{
    const float radius = 6.0f;
    std::vector<Vec3> path, normals;
    arc(radius, a0, a1, 24, path, normals);
    Mesh tube;
    sweep(tube, path, normals, kTubeSection, 4.0f);
    auto head = [&](float angle, float direction) {
        const float a = angle * kPi / 180.0f;
        const Vec3 radial(std::cos(a), std::sin(a), 0.0f);
        const Vec3 tangent = Vec3(-std::sin(a), std::cos(a), 0.0f) * direction;
        // Local z along the tangent; (radial, up, tangent) must stay right-handed.
        const Vec3 up = cross(tangent, radial);
        tube.append(cone(1.0f, 2.0f, 10), frame(radial * radius, radial, up, tangent));
    };
    head(a1, 1.0f);
    if (twoHeads) head(a0, -1.0f);
    Mesh placed;
    placed.append(tube, orient);
    return placed;
}

}  // namespace

Mesh yawArrow()
{
    return ringArrow(0.0f, 270.0f, false, [](const Vec3& p) { return p; });
}

Mesh pitchArrow()
{
    // The half ring about z turned into the x-z plane: (x, y, z) -> (x, -z, y).
    return ringArrow(-90.0f, 90.0f, true, [](const Vec3& p) { return Vec3(p.x, -p.z, p.y); });
}

Mesh forwardArrow()
{
    Mesh local;
    // Shaft and head as one surface of revolution about local z, then laid along +x.
    lathe(local, {0.0f, 0.0f, 0.4f, 0.0f, 0.4f, 6.0f, 1.2f, 6.0f, 0.0f, 9.0f}, 12, 1.0f, 4.0f);
    Mesh m;
    m.append(local, frame(Vec3(0, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 1), Vec3(1, 0, 0)));
    return m;
}

Mesh ramp()
{
    Mesh m;
    m.useMaterial("ramp_wood");
    const float L = 60.0f, W = 30.0f, H = 15.0f;
    // Centred on the origin, standing on z = 0, rising towards +x.
    const float x0 = -L / 2, x1 = L / 2, y0 = -W / 2, y1 = W / 2;
    const int a = m.vertex(Vec3(x0, y0, 0)), b = m.vertex(Vec3(x1, y0, 0)), c = m.vertex(Vec3(x1, y1, 0));
    const int d = m.vertex(Vec3(x0, y1, 0)), e = m.vertex(Vec3(x1, y0, H)), f = m.vertex(Vec3(x1, y1, H));
    // One texture repeat per 15 units.
    const float s = 1.0f / 15.0f;
    const float slope = std::sqrt(L * L + H * H);
    auto tc = [&](float u, float v) { return m.texCoord(u * s, v * s); };
    m.quad({{a, tc(0, 0)}, {d, tc(0, W)}, {c, tc(L, W)}, {b, tc(L, 0)}});          // bottom
    m.quad({{b, tc(0, 0)}, {c, tc(W, 0)}, {f, tc(W, H)}, {e, tc(0, H)}});          // back wall
    m.quad({{a, tc(0, 0)}, {e, tc(slope, 0)}, {f, tc(slope, W)}, {d, tc(0, W)}});  // slope
    m.triangle({{a, tc(0, 0)}, {b, tc(L, 0)}, {e, tc(L, H)}});                     // sides
    m.triangle({{d, tc(L, 0)}, {f, tc(0, H)}, {c, tc(0, 0)}});
    return m;
}

Mesh bowl()
{
    Mesh m;
    m.useMaterial("bowl_metal");
    const float outer = 25.0f, inner = 23.0f, depth = 12.0f, floor = 2.0f;
    const int steps = 8;
    std::vector<float> profile;
    // Up the outside from the bottom pole to the rim ...
    for (int k = 0; k <= steps; ++k) {
        const float a = 0.5f * kPi * static_cast<float>(k) / static_cast<float>(steps);
        profile.insert(profile.end(), {outer * std::sin(a), depth * (1.0f - std::cos(a))});
    }
    // ... then down the inside to the pole in the middle of the floor.
    for (int k = steps; k >= 0; --k) {
        const float a = 0.5f * kPi * static_cast<float>(k) / static_cast<float>(steps);
        profile.insert(profile.end(), {inner * std::sin(a), floor + (depth - floor) * (1.0f - std::cos(a))});
    }
    lathe(m, profile, 24, 6.0f, 12.0f);
    return m;
}

Mesh pillar()
{
    Mesh m;
    m.useMaterial("pillar_stone");
    lathe(m,
          {0.0f, 0.0f, 7.0f, 0.0f, 7.0f, 2.0f, 5.5f, 3.0f, 4.5f, 4.5f, 4.0f, 6.0f, 4.0f, 34.0f,
           4.5f, 35.5f, 5.5f, 37.0f, 7.0f, 38.0f, 7.0f, 40.0f, 0.0f, 40.0f},
          16, 2.0f, 14.0f);
    return m;
}

Mesh blob()
{
    Mesh m;
    m.useMaterial("blob_jelly");
    // Coarse on purpose: the world fills this skin with gas, and the gas must bear the
    // body's weight. A finer skin carries that weight on more, smaller triangles, and the
    // stronger gas it then needs makes the skin pucker and the explicit step blow up.
    const int n = 3;
    const float radius = 14.0f;
    // Vertices are keyed by their integer position on the (0..n)^3 lattice of the cube's
    // surface, so the grids of neighbouring faces share their border vertices.
    std::map<std::tuple<int, int, int>, int> lattice;
    auto vertexAt = [&](int x, int y, int z) {
        const auto key = std::make_tuple(x, y, z);
        auto it = lattice.find(key);
        if (it != lattice.end()) return it->second;
        // The equal-angle warp tan(c * pi / 4) spreads the vertices evenly once rounded.
        auto warp = [&](int c) { return std::tan((2.0f * static_cast<float>(c) / n - 1.0f) * kPi / 4.0f); };
        const Vec3 p(warp(x), warp(y), warp(z));
        // Between the cube and its sphere: plump, with softened corners.
        const Vec3 q = lerp(p * (radius * 0.82f), normalised(p) * radius, 0.7f);
        const int v = m.vertex(q);
        lattice.emplace(key, v);
        return v;
    };
    // Faces as (outward axis, u axis, v axis) with u x v = outward.
    struct Face {
        int axis, uAxis, vAxis, side;
    };
    const Face faces[6] = {{0, 1, 2, 1}, {0, 2, 1, 0}, {1, 2, 0, 1}, {1, 0, 2, 0}, {2, 0, 1, 1}, {2, 1, 0, 0}};
    for (const Face& f : faces) {
        auto point = [&](int i, int j) {
            int c[3];
            c[f.axis] = f.side ? n : 0;
            c[f.uAxis] = i;
            c[f.vAxis] = j;
            return vertexAt(c[0], c[1], c[2]);
        };
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                auto tc = [&](int u, int v) {
                    return m.texCoord(static_cast<float>(u) / n, static_cast<float>(v) / n);
                };
                m.quad({{point(i, j), tc(i, j)},
                        {point(i + 1, j), tc(i + 1, j)},
                        {point(i + 1, j + 1), tc(i + 1, j + 1)},
                        {point(i, j + 1), tc(i, j + 1)}});
            }
    }
    return m;
}

Mesh tower()
{
    Mesh m;
    m.useMaterial("tower_stone");
    lathe(m,
          {0.0f, 0.0f, 8.0f, 0.0f, 8.0f, 2.0f, 6.5f, 3.0f, 5.5f, 10.0f, 5.0f, 18.0f, 5.0f, 20.0f,
           7.0f, 21.0f, 7.0f, 24.0f, 5.5f, 24.0f, 5.5f, 26.0f, 7.5f, 26.0f, 4.0f, 31.0f, 1.5f, 34.0f,
           0.0f, 35.0f},
          20, 3.0f, 10.0f);
    return m;
}

}  // namespace art
