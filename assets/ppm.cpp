// Plain-text P3 reader. Samples are stored as written (the maximum value is read and not
// used) and rows stay in file order. Header sizes are checked before anything is
// allocated, a short file leaves the missing samples at zero, and tokens are taken from
// the stream whole however long the lines are.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "core/readfile.h"
#include "assets/image.h"
#include "core/problems.h"

namespace {

bool isSeparator(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Reads one header line into a 128-byte buffer. A longer line is consumed whole, so the
// rest of it cannot be mistaken for the next header line.
bool readLine(FILE* file, char (&line)[128])
{
    if (!std::fgets(line, sizeof line, file)) return false;
    if (!std::strchr(line, '\n')) {
        int c;
        while ((c = std::getc(file)) != EOF && c != '\n') {
        }
    }
    return true;
}

// Next header line that is not a "#" comment.
bool readHeaderLine(FILE* file, char (&line)[128])
{
    while (readLine(file, line))
        if (line[0] != '#') return true;
    return false;
}

// Up to three decimal numbers as "%d %d %d" reads them, but a number too large for an int
// reads as -1, never as its low bits (4294967297 is not 1). Returns how many converted.
int scanHeaderNumbers(const char* line, int& a, int& b, int& c)
{
    int* out[3] = {&a, &b, &c};
    int n = 0;
    for (; n < 3; ++n) {
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(line, &end, 10);
        if (end == line) break;
        *out[n] = errno == ERANGE || value < INT_MIN || value > INT_MAX ? -1 : static_cast<int>(value);
        line = end;
    }
    return n;
}

}  // namespace

Image* readPpm(FILE* file)
{
    char line[128];
    int width = 0, height = 0, maxValue = 0, fieldsRead = 0;
    // Magic, then the comment line (not examined), then "width height". A file without
    // the comment line has its size right after the magic; extra "#" lines are skipped.
    bool sized = false;
    // The magic line is otherwise not examined, but the other portable-map kinds (binary ones
    // above all) would read as noise, so they are refused.
    bool otherKind = false;
    if (readLine(file, line))
        otherKind = line[0] == 'P' && line[1] >= '0' && line[1] <= '9' && line[1] != '3';
    if (!otherKind && readLine(file, line)) {
        if (line[0] != '#') fieldsRead = scanHeaderNumbers(line, width, height, maxValue);
        if (fieldsRead < 2 && readHeaderLine(file, line))
            fieldsRead = scanHeaderNumbers(line, width, height, maxValue);
        sized = fieldsRead >= 2;
    }
    if (!sized || width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxImagePixels) {
        std::printf("bad ppm header\n");
        return nullptr;
    }
    // The maximum value line, unless it shared the size line.
    if (fieldsRead < 3) readHeaderLine(file, line);

    long long total = static_cast<long long>(width) * height * 3;
    unsigned char* data = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(total), 1));
    Image* image = data ? new (std::nothrow) Image : nullptr;
    if (!image) {
        std::free(data);
        std::printf("unable to allocate the ppm picture\n");
        return nullptr;
    }
    image->width = width;
    image->height = height;
    image->data = data;

    std::printf("beginning ppm texture load...\n");
    std::clock_t start = std::clock();
    long long lastTick = 0, stored = 0, sinceCheck = 0;
    char token[128];
    int c = getc_unlocked(file);
    while (stored < total) {
        if (++sinceCheck >= 256) {  // the clock is dear to read; look every 256 tokens
            sinceCheck = 0;
            long long tick = (std::clock() - start) / 10000;
            if (tick != lastTick) {
                lastTick = tick;
                std::printf(" %d of %d (%d%%) done \n", static_cast<int>(stored), static_cast<int>(total),
                            static_cast<int>(stored * 100 / total));
            }
        }
        while (c != EOF && isSeparator(c)) c = getc_unlocked(file);
        if (c == EOF) break;
        size_t len = 0;
        for (; c != EOF && !isSeparator(c); c = getc_unlocked(file))
            if (len + 1 < sizeof token) token[len++] = static_cast<char>(c);
        token[len] = 0;
        // Text that is not a number reads as 0 and is skipped; a written 0 is kept.
        int value = static_cast<int>(std::strtol(token, nullptr, 10));
        if (value != 0 || token[0] == '0') data[stored++] = static_cast<unsigned char>(value);
    }
    std::printf("end ppm texture load.\n");
    return image;
}

Image* loadPpmImage(const char* path)
{
    FILE* file = openRegularFile(path, "r");
    if (!file) {
        tv::problem("unable to open ppm file %s\n", readPath(path).c_str());
        return nullptr;
    }
    Image* image = readPpm(file);
    std::fclose(file);
    return image;
}
