#include "bmpbuild.h"

#include <fstream>
#include <sstream>

namespace {
void put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(v & 255);
    b.push_back((v >> 8) & 255);
}
void put32(std::vector<uint8_t>& b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
}  // namespace

std::vector<uint8_t> buildBmp(const BmpLayout& s)
{
    std::vector<uint8_t> info;
    put32(info, s.headerSize);
    if (s.headerSize == 12) {
        put16(info, uint16_t(s.width));
        put16(info, uint16_t(s.height));
        put16(info, 1);
        put16(info, s.bits);
    } else {
        put32(info, uint32_t(s.width));
        put32(info, uint32_t(s.height));
        put16(info, 1);
        put16(info, s.bits);
        put32(info, s.compression);
        put32(info, uint32_t(s.pixels.size()));
        put32(info, 2835);
        put32(info, 2835);
        put32(info, s.coloursUsed);
        put32(info, 0);
        if (s.headerSize > 40)
            for (size_t i = 0; i < 4; ++i) put32(info, i < s.masks.size() ? s.masks[i] : 0);
        info.resize(s.headerSize, 0);
        if (s.headerSize == 40)
            for (uint32_t m : s.masks) put32(info, m);
    }
    for (uint32_t c : s.palette) {
        info.push_back(c & 255);
        info.push_back((c >> 8) & 255);
        info.push_back((c >> 16) & 255);
        if (s.headerSize != 12) info.push_back(0);
    }
    std::vector<uint8_t> out;
    if (s.fileHeader) {
        out.push_back('B');
        out.push_back('M');
        put32(out, uint32_t(14 + info.size() + s.pixels.size()));
        put32(out, 0);
        put32(out, uint32_t(14 + info.size()));
    }
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), s.pixels.begin(), s.pixels.end());
    return out;
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
