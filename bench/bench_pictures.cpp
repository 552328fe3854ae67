// Picture reading: 1024 x 1024 bitmaps of the common depths decoded from memory, and a
// 256 x 256 plain-text picture read from a stream.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/random.h"
#include "assets/image.h"

namespace {

constexpr int kSide = 1024;

void put32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 255);
}

// A bitmap with a 40-byte header and a 256-entry table for the palette depths.
std::vector<uint8_t> bitmap(int bits, uint32_t compression, const std::vector<uint8_t>& pixels)
{
    std::vector<uint8_t> b = {'B', 'M'};
    uint32_t table = bits <= 8 ? (1u << bits) * 4 : 0;
    put32(b, uint32_t(54 + table + pixels.size()));
    put32(b, 0);
    put32(b, 54 + table);
    put32(b, 40);
    put32(b, kSide);
    put32(b, kSide);
    b.push_back(1), b.push_back(0), b.push_back(uint8_t(bits)), b.push_back(0);
    put32(b, compression);
    for (int i = 0; i < 5; ++i) put32(b, 0);
    for (uint32_t i = 0; i < table / 4; ++i) put32(b, i * 0x010101);
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

std::vector<uint8_t> noise(size_t n)
{
    std::vector<uint8_t> v(n);
    for (auto& x : v) x = uint8_t(tv::rand());
    return v;
}

// Run-length data of short runs and absolute stretches, as a paint program writes it.
std::vector<uint8_t> rle8()
{
    std::vector<uint8_t> d;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; x += 32) {
            d.insert(d.end(), {16, uint8_t(x)});
            d.insert(d.end(), {0, 16});
            for (int i = 0; i < 16; ++i) d.push_back(uint8_t(tv::rand()));
        }
        d.insert(d.end(), {0, 0});
    }
    d.insert(d.end(), {0, 1});
    return d;
}

void decode(benchmark::State& state, const std::vector<uint8_t>& file)
{
    for (auto _ : state) {
        Image* image = decodeBmp(file.data(), file.size());
        benchmark::DoNotOptimize(image);
        freeImage(image);
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_DecodeBmp24(benchmark::State& state) { decode(state, bitmap(24, 0, noise(kSide * kSide * 3))); }
void BM_DecodeBmp8(benchmark::State& state) { decode(state, bitmap(8, 0, noise(kSide * kSide))); }
void BM_DecodeBmp16(benchmark::State& state) { decode(state, bitmap(16, 0, noise(kSide * kSide * 2))); }
void BM_DecodeBmpRle8(benchmark::State& state) { decode(state, bitmap(8, 1, rle8())); }

void BM_ReadPpm(benchmark::State& state)
{
    std::string text = "P3\n# bench\n256 256\n255\n";
    for (int i = 0; i < 256 * 256 * 3; ++i) text += std::to_string(tv::rand() & 255) + (i % 12 == 11 ? "\n" : " ");
    // The reader reports progress on standard output; keep it out of the figures.
    std::fflush(stdout);
    int saved = dup(STDOUT_FILENO), null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    for (auto _ : state) {
        FILE* file = fmemopen(text.data(), text.size(), "r");
        Image* image = readPpm(file);
        std::fclose(file);
        benchmark::DoNotOptimize(image);
        freeImage(image);
    }
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(null);
    state.SetItemsProcessed(state.iterations() * 256 * 256);
}

}  // namespace

BENCHMARK(BM_DecodeBmp24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBmp8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBmp16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBmpRle8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPpm)->Unit(benchmark::kMillisecond);
