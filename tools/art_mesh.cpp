#include "tools/art_mesh.h"

#include <cmath>
#include <cstdio>

#include "core/debug.h"

int Mesh::vertex(const Vec3& p)
{
    positions.push_back(p);
    return static_cast<int>(positions.size()) - 1;
}

int Mesh::texCoord(float u, float v)
{
    // Corners with the same coordinates share one entry, which keeps the files small.
    const auto found = texCoordIndex.find({u, v});
    if (found != texCoordIndex.end()) return found->second;
    texCoordIndex.emplace(std::make_pair(u, v), static_cast<int>(texCoords.size() / 2));
    texCoords.push_back(u);
    texCoords.push_back(v);
    return static_cast<int>(texCoords.size() / 2) - 1;
}

void Mesh::triangle(std::initializer_list<MeshCorner> corners)
{
    TV_ASSERT(corners.size() == 3);
    const MeshCorner* c = corners.begin();
    triangles.push_back({{c[0], c[1], c[2]}, currentMaterial});
}

void Mesh::quad(std::initializer_list<MeshCorner> corners)
{
    TV_ASSERT(corners.size() == 4);
    const MeshCorner* c = corners.begin();
    triangle({c[0], c[1], c[2]});
    triangle({c[0], c[2], c[3]});
}

void Mesh::useMaterial(const std::string& name)
{
    for (size_t i = 0; i < materials.size(); ++i)
        if (materials[i] == name) {
            currentMaterial = static_cast<int>(i);
            return;
        }
    materials.push_back(name);
    currentMaterial = static_cast<int>(materials.size()) - 1;
}

void Mesh::append(const Mesh& other, const std::function<Vec3(const Vec3&)>& place)
{
    const int vBase = static_cast<int>(positions.size());
    const int tBase = static_cast<int>(texCoords.size() / 2);
    for (const Vec3& p : other.positions) positions.push_back(place(p));
    for (size_t i = 0; i < other.texCoords.size(); i += 2) {
        texCoordIndex.emplace(std::make_pair(other.texCoords[i], other.texCoords[i + 1]),
                              static_cast<int>(texCoords.size() / 2));
        texCoords.push_back(other.texCoords[i]);
        texCoords.push_back(other.texCoords[i + 1]);
    }
    const int saved = currentMaterial;
    for (const MeshTriangle& tri : other.triangles) {
        if (tri.material >= 0)
            useMaterial(other.materials[static_cast<size_t>(tri.material)]);
        else
            currentMaterial = -1;
        MeshTriangle copy = tri;
        for (MeshCorner& c : copy.c) {
            c.v += vBase;
            c.t += tBase;
        }
        copy.material = currentMaterial;
        triangles.push_back(copy);
    }
    currentMaterial = saved;
}

namespace {

// Shortest text that reads back as the same float to four decimals ("1", "-0.5").
std::string number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", static_cast<double>(value));
    std::string s = text;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (s == "-0") return "0";
    return s;
}

}  // namespace

bool Mesh::writeObj(const std::string& path, const std::string& comment, const std::string& mtllib) const
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        std::printf("mkassets: unable to write %s\n", path.c_str());
        return false;
    }
    std::fprintf(f, "# %s\n", comment.c_str());
    std::fprintf(f, "# %zu vertices, %zu triangles\n", positions.size(), triangles.size());
    if (!mtllib.empty()) std::fprintf(f, "mtllib %s\n", mtllib.c_str());
    for (const Vec3& p : positions)
        std::fprintf(f, "v %s %s %s\n", number(p.x).c_str(), number(p.y).c_str(), number(p.z).c_str());
    for (size_t i = 0; i < texCoords.size(); i += 2)
        std::fprintf(f, "vt %s %s\n", number(texCoords[i]).c_str(), number(texCoords[i + 1]).c_str());
    int material = -2;
    for (const MeshTriangle& tri : triangles) {
        if (tri.material != material && tri.material >= 0) {
            const std::string& name = materials[static_cast<size_t>(tri.material)];
            std::fprintf(f, "g %s\nusemtl %s\n", name.c_str(), name.c_str());
        }
        material = tri.material;
        std::fprintf(f, "f %d/%d %d/%d %d/%d\n", tri.c[0].v + 1, tri.c[0].t + 1, tri.c[1].v + 1, tri.c[1].t + 1,
                     tri.c[2].v + 1, tri.c[2].t + 1);
    }
    const bool ok = std::fclose(f) == 0;
    if (!ok) std::printf("mkassets: unable to write %s\n", path.c_str());
    return ok;
}

void lathe(Mesh& mesh, const std::vector<float>& profile, int segments, float uRepeat, float vLength)
{
    const int rows = static_cast<int>(profile.size() / 2);
    // Ring vertices per profile point; a pole is one vertex. The seam shares positions
    // but has its own texture coordinates (u = 0 and u = uRepeat).
    std::vector<int> firstVertex(static_cast<size_t>(rows));
    std::vector<float> vCoord(static_cast<size_t>(rows), 0.0f);
    for (int i = 0; i < rows; ++i) {
        const float r = profile[static_cast<size_t>(2 * i)], z = profile[static_cast<size_t>(2 * i + 1)];
        if (i > 0) {
            const float dr = r - profile[static_cast<size_t>(2 * i - 2)];
            const float dz = z - profile[static_cast<size_t>(2 * i - 1)];
            vCoord[static_cast<size_t>(i)] =
                vCoord[static_cast<size_t>(i - 1)] + std::sqrt(dr * dr + dz * dz) / vLength;
        }
        firstVertex[static_cast<size_t>(i)] = static_cast<int>(mesh.positions.size());
        if (r == 0.0f) {
            mesh.vertex(Vec3(0, 0, z));
            continue;
        }
        for (int j = 0; j < segments; ++j) {
            const float a = 2.0f * kPi * static_cast<float>(j) / static_cast<float>(segments);
            mesh.vertex(Vec3(r * std::cos(a), r * std::sin(a), z));
        }
    }
    auto at = [&](int i, int j) {
        const bool pole = profile[static_cast<size_t>(2 * i)] == 0.0f;
        const int v = firstVertex[static_cast<size_t>(i)] + (pole ? 0 : j % segments);
        return v;
    };
    for (int i = 0; i + 1 < rows; ++i) {
        const bool poleA = profile[static_cast<size_t>(2 * i)] == 0.0f;
        const bool poleB = profile[static_cast<size_t>(2 * i + 2)] == 0.0f;
        if (poleA && poleB) continue;
        const float va = vCoord[static_cast<size_t>(i)], vb = vCoord[static_cast<size_t>(i + 1)];
        for (int j = 0; j < segments; ++j) {
            const float u0 = uRepeat * static_cast<float>(j) / static_cast<float>(segments);
            const float u1 = uRepeat * static_cast<float>(j + 1) / static_cast<float>(segments);
            const float um = (u0 + u1) * 0.5f;
            const MeshCorner a{at(i, j), mesh.texCoord(poleA ? um : u0, va)};
            const MeshCorner c{at(i + 1, j + 1), mesh.texCoord(poleB ? um : u1, vb)};
            if (poleA) {
                mesh.triangle({a, c, {at(i + 1, j), mesh.texCoord(u0, vb)}});
            } else if (poleB) {
                mesh.triangle({a, {at(i, j + 1), mesh.texCoord(u1, va)}, c});
            } else {
                mesh.quad({a, {at(i, j + 1), mesh.texCoord(u1, va)}, c, {at(i + 1, j), mesh.texCoord(u0, vb)}});
            }
        }
    }
}

void sweep(Mesh& mesh, const std::vector<Vec3>& path, const std::vector<Vec3>& normals,
           const std::vector<float>& section, float vLength)
{
    const int n = static_cast<int>(section.size() / 2);
    const int count = static_cast<int>(path.size());
    const int base = static_cast<int>(mesh.positions.size());
    float along = 0.0f;
    std::vector<float> vCoord(static_cast<size_t>(count), 0.0f);
    for (int k = 0; k < count; ++k) {
        const Vec3 tangent = normalised(path[static_cast<size_t>(k < count - 1 ? k + 1 : k)] -
                                        path[static_cast<size_t>(k > 0 ? k - 1 : k)]);
        const Vec3 normal = normals[static_cast<size_t>(k)];
        const Vec3 binormal = cross(tangent, normal);
        if (k > 0) along += length(path[static_cast<size_t>(k)] - path[static_cast<size_t>(k - 1)]);
        vCoord[static_cast<size_t>(k)] = along / vLength;
        for (int i = 0; i < n; ++i)
            mesh.vertex(path[static_cast<size_t>(k)] + normal * section[static_cast<size_t>(2 * i)] +
                        binormal * section[static_cast<size_t>(2 * i + 1)]);
    }
    auto ring = [&](int k, int i) { return base + k * n + (i % n); };
    for (int k = 0; k + 1 < count; ++k)
        for (int i = 0; i < n; ++i) {
            const float u0 = static_cast<float>(i) / static_cast<float>(n);
            const float u1 = static_cast<float>(i + 1) / static_cast<float>(n);
            const float v0 = vCoord[static_cast<size_t>(k)], v1 = vCoord[static_cast<size_t>(k + 1)];
            mesh.quad({{ring(k, i), mesh.texCoord(u0, v0)}, {ring(k, i + 1), mesh.texCoord(u1, v0)},
                      {ring(k + 1, i + 1), mesh.texCoord(u1, v1)}, {ring(k + 1, i), mesh.texCoord(u0, v1)}});
        }
    // Caps: fans from the section's first point; the start faces back along the path.
    for (int i = 1; i + 1 < n; ++i) {
        auto capCorner = [&](int k, int idx) {
            return MeshCorner{ring(k, idx), mesh.texCoord(0.5f + section[static_cast<size_t>(2 * idx)] * 0.5f,
                                                          0.5f + section[static_cast<size_t>(2 * idx + 1)] * 0.5f)};
        };
        mesh.triangle({capCorner(0, 0), capCorner(0, i + 1), capCorner(0, i)});
        mesh.triangle({capCorner(count - 1, 0), capCorner(count - 1, i), capCorner(count - 1, i + 1)});
    }
}

bool writeMtl(const std::string& path, const std::string& comment,
              const std::vector<std::pair<std::string, std::string>>& materials)
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        std::printf("mkassets: unable to write %s\n", path.c_str());
        return false;
    }
    std::fprintf(f, "# %s\n", comment.c_str());
    for (const auto& [name, texture] : materials) {
        std::fprintf(f, "newmtl %s\nKa 0.2 0.2 0.2\nKd 1 1 1\nKs 0 0 0\nillum 1\nNs 1\n", name.c_str());
        if (!texture.empty()) std::fprintf(f, "map_Kd %s\n", texture.c_str());
    }
    const bool ok = std::fclose(f) == 0;
    if (!ok) std::printf("mkassets: unable to write %s\n", path.c_str());
    return ok;
}
