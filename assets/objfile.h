#pragma once
// A triangle mesh read from a Wavefront OBJ file with the materials of its MTL
// libraries, in the subset this program reads.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/vecmath.h"
#include "assets/image.h"

// Held through a pointer so that reading models pulls in no GL.
class Texture;

struct ObjCorner {
    int vertex = 0;
    int texture = 0;
    int normal = 0;
};

struct ObjTriangle {
    ObjCorner corner[3];
    Plane plane;
    int material = -1;
};

// A mesh edge shared by triangles a < b of consistent winding: it runs from a's corner
// cornerA to a's next corner, and the other way round in b.
struct ObjEdge {
    int a = 0;
    int b = 0;
    int cornerA = 0;
    int cornerB = 0;
};

struct ObjMaterial {
    // Out of line, where Texture is complete.
    ObjMaterial();
    ~ObjMaterial();

    std::string name;
    float ka[3] = {0, 0, 0};
    float kd[3] = {0, 0, 0};
    float ks[3] = {0, 0, 0};
    int illum = 0;
    float ns = 1.0f;
    std::string textureFile;
    // The map_Kd picture as read, held until uploadTextures turns it into `texture`.
    ImagePtr picture;
    std::unique_ptr<Texture> texture;  // never null
    // The map_Kd picture was read.
    bool textureLoaded = false;
};

struct TexCoord {
    float u = 0, v = 0;
};

class ObjFile {
public:
    enum : int { hasTexCoords = 1, hasNormals = 2 };

    ObjFile() { clear(); }
    ~ObjFile() { clear(); }
    ObjFile(const ObjFile&) = delete;
    ObjFile& operator=(const ObjFile&) = delete;

    bool load(const char* path, bool withEdges);
    bool loadMaterials(const char* path);
    // The same readers over bytes already in memory (no terminator needed); `path` is
    // what load stores. MTL libraries the text names are still read from files.
    bool loadFromMemory(const char* text, size_t size, bool withEdges, const char* path);
    bool loadMaterialsFromMemory(const char* text, size_t size);
    // Finds the edges shared by consistently wound triangle pairs into `edges`.
    void generateEdges();
    void clear();
    // Positions come from vertexArray (indexed like `vertices`) so that deformed copies
    // draw with the model's own normals and texture coordinates.
    void draw(const Vec3* vertexArray, bool useMaterials) const;
    void draw() const { draw(vertices.data(), true); }
    // Builds the materials' textures from the pictures the reader kept, and lets the
    // pictures go. Needs a GL context; reading a model never touches GL.
    void uploadTextures();

    int flags = 0;
    int listHandle = 0;
    char path[256] = {};
    std::vector<Vec3> vertices;
    std::vector<Vec3> normals;
    std::vector<TexCoord> texCoords;
    std::vector<ObjTriangle> triangles;
    std::vector<ObjEdge> edges;
    BBox bounds = BBox::empty();
    float radius = 0;
    std::vector<std::unique_ptr<ObjMaterial>> materials;

private:
    void readFace(const char*& p, const char* end, int material, std::vector<ObjCorner>& face);
    bool postProcess(bool withEdges);
    void generateNormals();
};
