#pragma once
// A triangle mesh being built for an OBJ file: shared positions, separate texture
// coordinates per corner, and material groups. Triangles wind counter-clockwise seen
// from outside.
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "core/vecmath.h"

struct MeshCorner {
    int v, t;
};

struct MeshTriangle {
    MeshCorner c[3];
    int material;  // index into Mesh::materials, -1 for none
};

class Mesh {
public:
    int vertex(const Vec3& p);
    int texCoord(float u, float v);
    // Corners come as one braced list, whose elements are evaluated in order, so the
    // vertices and texture coordinates they create are numbered the same by every
    // compiler (function arguments would be evaluated in an unspecified order).
    void triangle(std::initializer_list<MeshCorner> corners);
    // a, b, c, d counter-clockwise; split along a-c.
    void quad(std::initializer_list<MeshCorner> corners);
    // Later triangles use this material (added to the list when new).
    void useMaterial(const std::string& name);
    // Copies another mesh in, its positions mapped through `place` (a rigid motion, so
    // the winding is kept), its materials matched by name.
    void append(const Mesh& other, const std::function<Vec3(const Vec3&)>& place);

    // Writes the subset our loader reads: comments, mtllib, v, vt, g, usemtl and f
    // lines. Prints the reason and returns false on failure.
    bool writeObj(const std::string& path, const std::string& comment, const std::string& mtllib) const;

    std::vector<Vec3> positions;
    std::vector<float> texCoords;  // u, v pairs
    std::map<std::pair<float, float>, int> texCoordIndex;
    std::vector<MeshTriangle> triangles;
    std::vector<std::string> materials;
    int currentMaterial = -1;
};

// A surface of revolution about z. `profile` holds (radius, z) pairs walked so that the
// solid lies to the left (up the outside, down the inside); a radius of 0 makes a single
// pole vertex. u runs around `uRepeat` times, v along the profile's length / vLength.
void lathe(Mesh& mesh, const std::vector<float>& profile, int segments, float uRepeat, float vLength);

// A tube sweeping a convex `section` (x, y pairs, counter-clockwise) along `path`; the
// section's x follows `normals` and its y the binormal (tangent x normal). Both ends are
// capped, so the tube is closed.
void sweep(Mesh& mesh, const std::vector<Vec3>& path, const std::vector<Vec3>& normals,
           const std::vector<float>& section, float vLength);

// Writes an MTL file with one material per (name, texture) pair.
bool writeMtl(const std::string& path, const std::string& comment,
              const std::vector<std::pair<std::string, std::string>>& materials);
