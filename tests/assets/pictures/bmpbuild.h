#pragma once
// Builds bitmap files byte by byte for the reader tests, so every expectation rests on
// bytes laid out by hand rather than on another writer.
#include <cstdint>
#include <string>
#include <vector>

struct BmpLayout {
    bool fileHeader = true;
    uint32_t headerSize = 40;
    int32_t width = 0, height = 0;
    int bits = 24;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
    std::vector<uint32_t> palette;  // 0xRRGGBB entries, written as the header form wants
    std::vector<uint32_t> masks;    // written after a 40-byte header, inside a longer one
    std::vector<uint8_t> pixels;    // the pixel data exactly as stored
};

std::vector<uint8_t> buildBmp(const BmpLayout& layout);
bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::string readText(const std::string& path);
