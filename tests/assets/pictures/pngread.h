#pragma once
// A small PNG decoder for comparing our bitmap reader with reference pictures: non-
// interlaced grey, RGB, palette and RGBA pictures of 1 to 16 bits, delivered as packed
// R, G, B rows from the bottom up (the image record's order). Alpha is dropped.
#include <cstdint>
#include <string>
#include <vector>

struct PngPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

// False with a reason when the file is unreadable or uses a form this decoder skips.
bool readPng(const std::string& path, PngPicture* out, std::string* why);
