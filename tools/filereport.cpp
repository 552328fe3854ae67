// tessivane-inspect: shows what the program's own readers make of pictures, models and
// material libraries, for people preparing their own files. Needs no display: pictures
// are only decoded and material textures only checked, never built into GL textures.
//
//   tessivane-inspect [--edges] [--ppm OUT] FILE...
//
// The readers' messages come first, then one summary line per file. Exit status 0 when
// every file loads, 1 when one does not, 2 for a usage error.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets/objfile.h"
#include "assets/texture.h"

namespace {

enum class Kind { picture, model, library };

Kind kindOf(const std::string& path)
{
    size_t dot = path.rfind('.');
    size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return Kind::picture;
    std::string ext = path.substr(dot + 1);
    for (char& ch : ext) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == "obj") return Kind::model;
    if (ext == "mtl") return Kind::library;
    return Kind::picture;  // as the program does: PPM by extension, everything else BMP
}

// Binary PPM, top row first (the decoded rows run bottom-up).
bool writePpm(const char* path, const Image& image)
{
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", image.width, image.height);
    const size_t row = size_t(image.width) * 3;
    bool ok = true;
    for (int y = image.height - 1; y >= 0 && ok; --y) ok = std::fwrite(image.data + row * size_t(y), 1, row, f) == row;
    return std::fclose(f) == 0 && ok;
}

void textureCounts(const ObjFile& obj, int& found, int& missing)
{
    found = missing = 0;
    for (const auto& m : obj.materials) {
        if (m->textureFile.empty() && !m->textureLoaded) continue;
        ++(m->textureLoaded ? found : missing);
    }
}

bool inspectPicture(const char* path, const char* ppmOut)
{
    Image* image = Texture::loadImage(path);
    std::fflush(stdout);
    if (!image) {
        std::printf("%s: picture not loaded\n", path);
        return false;
    }
    std::printf("%s: picture width=%d height=%d\n", path, image->width, image->height);
    bool ok = true;
    if (ppmOut && !writePpm(ppmOut, *image)) {
        std::printf("%s: unable to write %s\n", path, ppmOut);
        ok = false;
    }
    freeImage(image);
    return ok;
}

bool inspectModel(const char* path, bool withEdges)
{
    ObjFile obj;
    if (!obj.load(path, withEdges)) {
        std::printf("%s: model not loaded\n", path);
        return false;
    }
    int found = 0, missing = 0;
    textureCounts(obj, found, missing);
    std::printf("%s: model vertices=%zu triangles=%zu texcoords=%zu normals=%zu", path, obj.vertices.size(),
                obj.triangles.size(), obj.texCoords.size(), obj.normals.size());
    if (withEdges) std::printf(" edges=%zu", obj.edges.size());
    std::printf(" materials=%zu textures=%d missing=%d", obj.materials.size(), found, missing);
    if (obj.vertices.empty())
        std::printf(" bounds=none");
    else
        std::printf(" min=%g,%g,%g max=%g,%g,%g", obj.bounds.min.x, obj.bounds.min.y, obj.bounds.min.z,
                    obj.bounds.max.x, obj.bounds.max.y, obj.bounds.max.z);
    std::printf(" radius=%g\n", obj.radius);
    return true;
}

bool inspectLibrary(const char* path)
{
    ObjFile obj;
    bool ok = obj.loadMaterials(path);
    int found = 0, missing = 0;
    textureCounts(obj, found, missing);
    if (!ok && obj.materials.empty() && found + missing == 0) {
        std::printf("%s: materials not loaded\n", path);
        return false;
    }
    // An unknown line stops the library: report what was read before it.
    std::printf("%s: materials%s materials=%zu textures=%d missing=%d\n", path, ok ? "" : " incomplete",
                obj.materials.size(), found, missing);
    return ok;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: tessivane-inspect [--edges] [--ppm OUT] FILE...\n"
                 "  FILE       a picture (.bmp, .ppm), a model (.obj) or a material library (.mtl)\n"
                 "  --edges    also find the edges shared by consistently wound triangles\n"
                 "  --ppm OUT  write the decoded picture (only one picture allowed) as a binary PPM\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    bool withEdges = false;
    const char* ppmOut = nullptr;
    std::vector<const char*> files;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!optionsDone && std::strcmp(arg, "--") == 0) {
            optionsDone = true;
        } else if (!optionsDone && std::strcmp(arg, "--edges") == 0) {
            withEdges = true;
        } else if (!optionsDone && std::strcmp(arg, "--ppm") == 0) {
            if (++i >= argc) return usage();
            ppmOut = argv[i];
        } else if (!optionsDone && arg[0] == '-' && arg[1] != 0) {
            return usage();
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) return usage();
    int pictures = 0;
    for (const char* f : files) pictures += kindOf(f) == Kind::picture;
    if (ppmOut && pictures != 1) {
        std::fprintf(stderr, "tessivane-inspect: --ppm needs exactly one picture among the files\n");
        return 2;
    }

    bool allLoaded = true;
    for (const char* f : files) {
        bool ok = false;
        switch (kindOf(f)) {
        case Kind::picture: ok = inspectPicture(f, ppmOut); break;
        case Kind::model: ok = inspectModel(f, withEdges); break;
        case Kind::library: ok = inspectLibrary(f); break;
        }
        allLoaded = allLoaded && ok;
        std::fflush(stdout);
    }
    return allLoaded ? 0 : 1;
}
