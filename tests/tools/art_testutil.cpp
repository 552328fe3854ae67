#include "art_testutil.h"
#include "tools/art_sky.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

unsigned get16(const unsigned char* p) { return p[0] | (p[1] << 8); }
unsigned get32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<unsigned>(p[3]) << 24);
}

}  // namespace

bool readBmp24(const std::string& path, Bmp24& out, std::string& error)
{
    const std::string bytes = readText(path);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < 54 || p[0] != 'B' || p[1] != 'M') {
        error = path + ": not a BMP";
        return false;
    }
    const unsigned offset = get32(p + 10), headerSize = get32(p + 14);
    const int width = static_cast<int>(get32(p + 18)), height = static_cast<int>(get32(p + 22));
    if (headerSize != 40 || get16(p + 26) != 1 || get16(p + 28) != 24 || get32(p + 30) != 0 || width <= 0 ||
        height <= 0) {
        error = path + ": not an uncompressed bottom-up 24-bit BMP";
        return false;
    }
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    if (get32(p + 2) != bytes.size() || offset + stride * height != bytes.size()) {
        error = path + ": sizes in the header disagree with the file";
        return false;
    }
    out.width = width;
    out.height = height;
    out.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned char* s = p + offset + y * stride + x * 3;
            unsigned char* d = &out.rgb[(static_cast<size_t>(y) * width + x) * 3];
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    return true;
}

const std::vector<ArtPicture>& artPictures()
{
    static const std::vector<ArtPicture> pictures = {
        {"data/par_lum.bmp", 64, 64},      {"data/landscape.bmp", 256, 256}, {"data/sky/blueft.bmp", sky::kFaceSize, sky::kFaceSize},
        {"data/sky/bluebk.bmp", sky::kFaceSize, sky::kFaceSize}, {"data/sky/bluedn.bmp", sky::kFaceSize, sky::kFaceSize}, {"data/sky/blueup.bmp", sky::kFaceSize, sky::kFaceSize},
        {"data/sky/bluert.bmp", sky::kFaceSize, sky::kFaceSize}, {"data/sky/bluelf.bmp", sky::kFaceSize, sky::kFaceSize}, {"data/int_euler.bmp", 64, 32},
        {"data/int_rk4.bmp", 64, 32},      {"data/source.bmp", 64, 32},      {"data/reset.bmp", 64, 32},
        {"data/pause.bmp", 32, 32},        {"data/play.bmp", 32, 32},        {"bone.bmp", 128, 128},
        {"data/stone.bmp", 256, 256},      {"data/wood.bmp", 256, 256},      {"data/jelly.bmp", 128, 128},
        {"data/metal.bmp", 128, 128},
    };
    return pictures;
}

std::string runDir() { return TV_RUN_DIR; }
std::string sourceDir() { return TV_SOURCE_DIR; }

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
