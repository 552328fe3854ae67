#include "assets/dumper.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {
void put16(uint8_t* p, uint32_t v)
{
    p[0] = v & 0xff;
    p[1] = (v >> 8) & 0xff;
}
void put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = (v >> (8 * i)) & 0xff;
}
size_t bufferSize(int width, int height)
{
    if (width < 0 || height < 0) return 0;
    return static_cast<size_t>(Dumper::stride(width)) * static_cast<size_t>(height);
}
// Anything at all under that name, a dangling link included. A folder that cannot be
// looked into counts as free: the write then fails as it would have.
bool taken(const char* name)
{
    std::error_code error;
    const std::filesystem::file_type type = std::filesystem::symlink_status(name, error).type();
    return type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::none;
}
}  // namespace

void Dumper::resize(int x_, int y_, int width_, int height_)
{
    x = x_;
    y = y_;
    bool first = width < 0;
    if (first || bufferSize(width_, height_) != bufferSize(width, height)) {
        std::free(buffer);
        buffer = nullptr;
        size_t size = bufferSize(width_, height_);
        // Zeroed: glReadPixels never writes the row padding, which would otherwise carry
        // stale heap bytes into the files. One byte at least, so an empty window still has one.
        buffer = static_cast<uint8_t*>(std::calloc(size ? size : 1, 1));
        if (!buffer) std::printf("failed to resize buffer!\n");
    }
    width = width_;
    height = height_;
}

void Dumper::dump()
{
    if (!buffer) {
        std::printf("NO BUFFER TO DUMP!\n");
        return;
    }
    // The default pack alignment of 4 gives exactly the padded BMP rows.
    GLint previous = GL_BACK;
    glGetIntegerv(GL_READ_BUFFER, &previous);
    glReadBuffer(readBuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x, y, width, height, GL_BGR_EXT, GL_UNSIGNED_BYTE, buffer);
    glReadBuffer(static_cast<GLenum>(previous));
    char name[64];
    std::snprintf(name, sizeof name, "dumper%05d.bmp", frameCounter);
    // A file of that name is an earlier run's recording: numbering goes on past it rather
    // than writing over it.
    while (taken(name)) std::snprintf(name, sizeof name, "dumper%05d.bmp", ++frameCounter);
    writeBmp(name, buffer, width, height);
    ++frameCounter;
}

void Dumper::release()
{
    std::free(buffer);
    buffer = nullptr;
    x = y = width = height = -1;
    frameCounter = 0;
}

bool Dumper::writeBmp(const char* path, const uint8_t* pixels, int width, int height)
{
    const uint32_t imageSize = static_cast<uint32_t>(bufferSize(width, height));
    uint8_t fileHeader[14] = {};
    put16(fileHeader + 0, 0x4D42);
    put32(fileHeader + 2, 54 + imageSize);
    put32(fileHeader + 10, 54);
    uint8_t info[40] = {};
    put32(info + 0, 40);
    put32(info + 4, static_cast<uint32_t>(width));
    put32(info + 8, static_cast<uint32_t>(height));
    put16(info + 12, 1);
    put16(info + 14, 24);
    put32(info + 16, 0);
    put32(info + 20, imageSize);
    put32(info + 24, 3780);
    put32(info + 28, 3780);

    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(fileHeader, 1, sizeof fileHeader, f) == sizeof fileHeader;
    ok = std::fwrite(info, 1, sizeof info, f) == sizeof info && ok;
    ok = (imageSize == 0 || std::fwrite(pixels, 1, imageSize, f) == imageSize) && ok;
    ok = std::fclose(f) == 0 && ok;
    return ok;
}
