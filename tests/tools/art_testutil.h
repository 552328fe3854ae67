#pragma once
// Independent readers for checking the generated files: a strict 24-bit BMP reader and
// an OBJ reader that refuses every line our model loader would not read.
#include <array>
#include <string>
#include <vector>

#include "app/vecmath.h"

struct Bmp24 {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;  // rows bottom-up, packed R, G, B
    const unsigned char* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Reads an uncompressed bottom-up 24-bit BMP with the 14 + 40 byte headers; false with a
// reason in `error` for anything else (wrong size, truncated, other depth).
bool readBmp24(const std::string& path, Bmp24& out, std::string& error);

struct ObjModel {
    std::vector<Vec3> vertices;
    size_t texCoordCount = 0;
    struct Corner {
        int v, t;
    };
    std::vector<std::array<Corner, 3>> triangles;
    std::vector<std::string> mtllibs, usemtls;
};

// Reads the v, vt, f (three v/t corners), g, mtllib, usemtl and comment lines; false
// with the offending line for anything else or an index out of range.
bool readObj(const std::string& path, ObjModel& out, std::string& error);

// Every picture the generator writes, relative to the run folder, with its size.
struct ArtPicture {
    const char* path;
    int width, height;
};
const std::vector<ArtPicture>& artPictures();

std::string runDir();
std::string sourceDir();
std::string readText(const std::string& path);
