#pragma once
// Helpers for checking the generated files, with a strict 24-bit BMP reader of our own
// to hold the program's reader against.
#include <string>
#include <vector>

struct Bmp24 {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;  // rows bottom-up, packed R, G, B
    const unsigned char* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Reads an uncompressed bottom-up 24-bit BMP with the 14 + 40 byte headers; false with a
// reason in `error` for anything else (wrong size, truncated, other depth).
bool readBmp24(const std::string& path, Bmp24& out, std::string& error);

// Every picture the generator writes, relative to the run folder, with its size.
struct ArtPicture {
    const char* path;
    int width, height;
};
const std::vector<ArtPicture>& artPictures();

std::string runDir();
std::string sourceDir();
std::string readText(const std::string& path);
