// The bitmap reader against files laid out by hand: every depth and compression, both
// header forms, padding, run-length codes, and damaged or hostile headers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "assets/dumper.h"
#include "assets/image.h"
#include "bmpbuild.h"
#include "support/testutil.h"

namespace {

struct Decoded {
    Image* image = nullptr;
    std::string output;
    ~Decoded() { freeImage(image); }
    // Pixels as 0xRRGGBB, bottom row first.
    std::vector<uint32_t> pixels() const
    {
        std::vector<uint32_t> out;
        for (int i = 0; image && i < image->width * image->height; ++i) {
            const unsigned char* p = image->data + i * 3;
            out.push_back((p[0] << 16) | (p[1] << 8) | p[2]);
        }
        return out;
    }
};

void decode(const std::vector<uint8_t>& bytes, Decoded* d)
{
    StdoutCapture capture;
    capture.begin();
    d->image = decodeBmp(bytes.data(), bytes.size());
    d->output = capture.end();
}

std::vector<uint8_t> padRow(std::vector<uint8_t> row, uint8_t fill = 0xEE)
{
    while (row.size() % 4) row.push_back(fill);
    return row;
}

void append(std::vector<uint8_t>& a, const std::vector<uint8_t>& b) { a.insert(a.end(), b.begin(), b.end()); }

const std::vector<uint32_t> kGreys = {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF};

}  // namespace

TEST(BmpReader, TwentyFourBitRowsAreReversedToRgbAndUnpadded)
{
    // 3 x 2: each source row is 9 bytes plus three padding bytes (rows are whole words).
    BmpLayout s;
    s.width = 3, s.height = 2;
    s.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0xEE, 0xEE, 0xEE};
    Decoded d;
    decode(buildBmp(s), &d);
    ASSERT_TRUE(d.image);
    EXPECT_EQ(d.output, "");
    EXPECT_EQ(d.image->width, 3);
    EXPECT_EQ(d.image->height, 2);
    std::vector<uint8_t> got(d.image->data, d.image->data + 18);
    EXPECT_EQ(got, (std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13, 18, 17, 16}));
}

TEST(BmpReader, RowPaddingForWidthsOneToFour)
{
    for (int width = 1; width <= 5; ++width) {
        BmpLayout s;
        s.width = width, s.height = 3;
        std::vector<uint32_t> expect;
        for (int y = 0; y < 3; ++y) {
            std::vector<uint8_t> row;
            for (int x = 0; x < width; ++x) {
                uint32_t c = uint32_t(y * 40 + x * 7 + 1) * 0x010203u & 0xFFFFFF;
                expect.push_back(c);
                row.push_back(c & 255), row.push_back((c >> 8) & 255), row.push_back(c >> 16);
            }
            append(s.pixels, padRow(row));
        }
        Decoded d;
        decode(buildBmp(s), &d);
        ASSERT_TRUE(d.image) << "width " << width;
        EXPECT_EQ(d.pixels(), expect) << "width " << width;
    }
}

TEST(BmpReader, PaletteDepths)
{
    // 1 bit, 10 wide: the row crosses a byte boundary; pixels start at the high bit.
    {
        BmpLayout s;
        s.width = 10, s.height = 2, s.bits = 1;
        s.palette = {0x102030, 0xF0E0D0};
        append(s.pixels, padRow({0b10110000, 0b01000000}));
        append(s.pixels, padRow({0b00000001, 0b11000000}));
        Decoded d;
        decode(buildBmp(s), &d);
        ASSERT_TRUE(d.image);
        std::vector<uint32_t> expect;
        for (int bit : {1, 0, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1})
            expect.push_back(s.palette[bit]);
        EXPECT_EQ(d.pixels(), expect);
    }
    // 2 and 4 bits, odd widths.
    {
        BmpLayout s;
        s.width = 5, s.height = 1, s.bits = 2;
        s.palette = kGreys;
        s.pixels = padRow({0b00011011, 0b10000000});
        Decoded d;
        decode(buildBmp(s), &d);
        ASSERT_TRUE(d.image);
        EXPECT_EQ(d.pixels(), (std::vector<uint32_t>{0, 0x555555, 0xAAAAAA, 0xFFFFFF, 0xAAAAAA}));
    }
    {
        BmpLayout s;
        s.width = 3, s.height = 2, s.bits = 4;
        for (uint32_t i = 0; i < 16; ++i) s.palette.push_back(i * 0x111111);
        append(s.pixels, padRow({0x1F, 0x70}));
        append(s.pixels, padRow({0xA5, 0x3C}));
        Decoded d;
        decode(buildBmp(s), &d);
        ASSERT_TRUE(d.image);
        EXPECT_EQ(d.pixels(), (std::vector<uint32_t>{0x111111, 0xFFFFFF, 0x777777, 0xAAAAAA, 0x555555, 0x333333}));
    }
}

TEST(BmpReader, EightBitTableLengthFollowsColoursUsed)
{
    // Without the file header the pixel data starts right after the table, so reading a
    // table of the wrong length would shift every pixel.
    for (uint32_t used : {0u, 20u}) {
        BmpLayout s;
        s.fileHeader = false;
        s.width = 4, s.height = 1, s.bits = 8, s.coloursUsed = used;
        for (uint32_t i = 0; i < (used ? used : 256); ++i) s.palette.push_back(i * 0x010101 + 0x100000);
        s.pixels = {0, 19, 7, 3};
        Decoded d;
        decode(buildBmp(s), &d);
        ASSERT_TRUE(d.image) << used;
        EXPECT_EQ(d.pixels(), (std::vector<uint32_t>{0x100000, 0x231313, 0x170707, 0x130303})) << used;
    }
    // An index past a short table draws black instead of reading beyond it.
    BmpLayout s;
    s.width = 2, s.height = 1, s.bits = 8, s.coloursUsed = 2;
    s.palette = {0xFF0000, 0x00FF00};
    s.pixels = {1, 200, 0, 0};
    Decoded d;
    decode(buildBmp(s), &d);
    ASSERT_TRUE(d.image);
    EXPECT_EQ(d.pixels(), (std::vector<uint32_t>{0x00FF00, 0}));
}

TEST(BmpReader, SixteenAndThirtyTwoBitFields)
{
    // Default 16-bit layout is 5-5-5 with the top bit unused; 31 widens to 255, 16 to 132.
    {
        BmpLayout s;
        s.width = 3, s.height = 1, s.bits = 16;
        s.pixels = padRow({0x00, 0xFC, 0x1F, 0x00, 0x10, 0x42});  // 0xFC00, 0x001F, 0x4210
        Decoded d;
        decode(buildBmp(s), &d);
        ASSERT_TRUE(d.image);
        EXPECT_EQ(d.pixels(), (std::vector<uint32_t>{0xFF0000, 0x0000FF, 0x848484}));
    }
    // 5-6-5 from the file's masks.
    {
        BmpLayout s;
        s.width = 2, s.height = 1, s.bits = 16, s.compression = 3;
        s.masks = {0xF800, 0x07E0, 0x001F};
        s.pixels = {0xE0, 0x07, 0x00, 0xF8};  // 0x07E0 green, 0xF800 red
        Decoded d;
        decode(buildBmp(s), &d);
        ASSERT_TRUE(d.image);
        EXPECT_EQ(d.pixels(), (std::vector<uint32_t>{0x00FF00, 0xFF0000}));
    }
    // Default 32-bit is 8-8-8 in the low three bytes; masks may put the fields anywhere.
    {
        BmpLayout s;
        s.width = 1, s.height = 2, s.bits = 32;
        s.pixels = {0x30, 0x20, 0x10, 0x99, 0xFF, 0x00, 0x80, 0x00};
        Decoded d;
        decode(buildBmp(s), &d);
        ASSERT_TRUE(d.image);
        EXPECT_EQ(d.pixels(), (std::vector<uint32_t>{0x102030, 0x8000FF}));
    }
    {
        BmpLayout s;
        s.width = 1, s.height = 1, s.bits = 32, s.compression = 3;
        s.masks = {0xFF000000, 0x00FF0000, 0x0000FF00};
        s.pixels = {0x77, 0x33, 0x22, 0x11};
        Decoded d;
        decode(buildBmp(s), &d);
        ASSERT_TRUE(d.image);
        EXPECT_EQ(d.pixels(), (std::vector<uint32_t>{0x112233}));
    }
    // A field wider than 8 bits (here 16) rounds to the nearest of 256 steps.
    {
        BmpLayout s;
        s.width = 2, s.height = 1, s.bits = 32, s.compression = 3;
        s.masks = {0xFFFF0000, 0x0000FF00, 0x000000FF};
        s.pixels = {0x40, 0x80, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x00};  // 0xFFFF8040, 0x00800000
        Decoded d;
        decode(buildBmp(s), &d);
        ASSERT_TRUE(d.image);
        EXPECT_EQ(d.pixels(), (std::vector<uint32_t>{0xFF8040, 0x000000}));
    }
}

TEST(BmpReader, HeaderFormsReadAlike)
{
    // One 8-bit picture as core header, info header with and without "BM", and the
    // extended 108 and 124-byte headers: all decode to the same pixels.
    std::vector<uint32_t> palette = {0x0000FF, 0x00FF00, 0xFF0000};
    std::vector<uint32_t> expect = {0xFF0000, 0x0000FF, 0x00FF00, 0x00FF00, 0xFF0000, 0x0000FF};
    for (uint32_t header : {12u, 40u, 108u, 124u}) {
        for (bool fileHeader : {true, false}) {
            BmpLayout s;
            s.headerSize = header, s.fileHeader = fileHeader;
            s.width = 3, s.height = 2, s.bits = 8, s.coloursUsed = 3;
            s.palette = palette;
            if (header == 12) s.palette.resize(256, 0);  // the core form always has 2^bits entries
            s.pixels = {2, 0, 1, 0xEE, 1, 2, 0, 0xEE};
            Decoded d;
            decode(buildBmp(s), &d);
            ASSERT_TRUE(d.image) << header << " " << fileHeader << " " << d.output;
            EXPECT_EQ(d.pixels(), expect) << header << " " << fileHeader;
        }
    }
    // The extended headers carry their field masks inside the header.
    BmpLayout s;
    s.headerSize = 124, s.width = 1, s.height = 1, s.bits = 16, s.compression = 3;
    s.masks = {0x001F, 0x07E0, 0xF800};
    s.pixels = {0x1F, 0x00, 0, 0};
    Decoded d;
    decode(buildBmp(s), &d);
    ASSERT_TRUE(d.image);
    EXPECT_EQ(d.pixels(), (std::vector<uint32_t>{0xFF0000}));
}

TEST(BmpReader, StoredDataOffsetIsHonouredUnlessItPointsIntoTheHeaders)
{
    BmpLayout s;
    s.width = 1, s.height = 1, s.pixels = {1, 2, 3, 0, 4, 5, 6, 0};
    std::vector<uint8_t> bytes = buildBmp(s);
    bytes[10] += 4;  // pixels start one row later: a gap after the headers
    Decoded later;
    decode(bytes, &later);
    ASSERT_TRUE(later.image);
    EXPECT_EQ(later.pixels(), (std::vector<uint32_t>{0x060504}));
    bytes[10] = 0;  // left unset by the writer
    Decoded unset;
    decode(bytes, &unset);
    ASSERT_TRUE(unset.image);
    EXPECT_EQ(unset.pixels(), (std::vector<uint32_t>{0x030201}));
}

TEST(BmpReader, TopDownPictureIsDeliveredBottomUp)
{
    BmpLayout s;
    s.width = 1, s.height = -3, s.bits = 24;
    s.pixels = {0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0};  // file rows: top, middle, bottom
    Decoded d;
    decode(buildBmp(s), &d);
    ASSERT_TRUE(d.image);
    EXPECT_EQ(d.image->height, 3);
    EXPECT_EQ(d.pixels(), (std::vector<uint32_t>{0x030000, 0x020000, 0x010000}));
}

TEST(BmpReader, Rle8Codes)
{
    BmpLayout s;
    s.width = 4, s.height = 4, s.bits = 8, s.compression = 1, s.coloursUsed = 6;
    s.palette = {0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0x000006};
    s.pixels = {
        3, 1,              // row 0: run of three 1s
        0, 0,              // end of line
        0, 3, 2, 3, 4, 0,  // row 1: absolute run of three, padded to a 16-bit boundary
        0, 2, 1, 1,        // delta: right 1 (x 4), up 1 (row 2)
        0, 0,              // end of line: row 3
        6, 5,              // run of six crossing the row end: clipped to four
        0, 1,              // end of bitmap
        2, 0,              // never read
    };
    Decoded d;
    decode(buildBmp(s), &d);
    ASSERT_TRUE(d.image) << d.output;
    std::vector<uint32_t> expect = {2, 2, 2, 0, 3, 4, 5, 0, 0, 0, 0, 0, 6, 6, 6, 6};
    EXPECT_EQ(d.pixels(), expect);

    // Data that stops without an end-of-bitmap keeps what was decoded; the rest is black.
    s.pixels = {2, 4, 0, 0, 1};
    Decoded cut;
    decode(buildBmp(s), &cut);
    ASSERT_TRUE(cut.image);
    EXPECT_EQ(cut.pixels(), (std::vector<uint32_t>{5, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(BmpReader, Rle4Codes)
{
    BmpLayout s;
    s.width = 5, s.height = 2, s.bits = 4, s.compression = 2;
    for (uint32_t i = 0; i < 16; ++i) s.palette.push_back(i);
    // Row 0: a run alternating the two nibbles; row 1: three absolute nibbles (two
    // bytes, already even), then a run of two.
    s.pixels = {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 2, 0x77, 0, 1};
    Decoded d;
    decode(buildBmp(s), &d);
    ASSERT_TRUE(d.image) << d.output;
    EXPECT_EQ(d.pixels(), (std::vector<uint32_t>{1, 2, 1, 2, 1, 3, 4, 5, 7, 7}));

    // Five nibbles take three bytes, padded with one.
    s.width = 6, s.height = 1;
    s.pixels = {0, 5, 0x12, 0x34, 0x50, 0xAA, 1, 0x66, 0, 1};
    Decoded odd;
    decode(buildBmp(s), &odd);
    ASSERT_TRUE(odd.image);
    EXPECT_EQ(odd.pixels(), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
}

TEST(BmpReader, RefusesWhatItCannotRead)
{
    auto refused = [](const std::vector<uint8_t>& bytes, const std::string& message) {
        Decoded d;
        decode(bytes, &d);
        EXPECT_FALSE(d.image);
        EXPECT_EQ(d.output, message);
    };
    BmpLayout good;
    good.width = 2, good.height = 2;
    good.pixels = std::vector<uint8_t>(16, 0x40);

    BmpLayout s = good;
    s.headerSize = 64;  // OS/2 2.x
    refused(buildBmp(s), "Unknown DIB file format.\n");
    refused({'B', 'M', 0}, "Unknown DIB file format.\n");
    refused({}, "Unknown DIB file format.\n");

    s = good, s.pixels.resize(10);  // truncated rows
    refused(buildBmp(s), "Image file conversion error.\n");
    s = good, s.width = 0;
    refused(buildBmp(s), "Image file conversion error.\n");
    s = good, s.bits = 3;
    refused(buildBmp(s), "Image file conversion error.\n");
    s = good, s.compression = 4;  // embedded JPEG
    refused(buildBmp(s), "Image file conversion error.\n");
    s = good, s.bits = 8, s.compression = 1, s.height = -2;  // run-length data must be bottom-up
    s.palette = {0}, s.coloursUsed = 1;
    refused(buildBmp(s), "Image file conversion error.\n");
    s = good, s.bits = 8, s.compression = 2;  // RLE4 on an 8-bit picture
    refused(buildBmp(s), "Image file conversion error.\n");

    // Dimensions no file could back are refused before anything is allocated.
    s = good, s.width = 0x7FFFFFFF, s.height = 0x7FFFFFFF;
    refused(buildBmp(s), "Image file conversion error.\n");
    s = good, s.height = int32_t(0x80000000);
    refused(buildBmp(s), "Image file conversion error.\n");
    s = good, s.bits = 8, s.compression = 1, s.width = 100000, s.height = 100000;
    s.palette = {0}, s.coloursUsed = 1;
    refused(buildBmp(s), "Out of memory.\n");

    // The stored data offset may not point past the end.
    std::vector<uint8_t> bytes = buildBmp(good);
    bytes[10] = 0xF0, bytes[11] = 0xFF;
    refused(bytes, "Image file conversion error.\n");
}

TEST(BmpReader, EveryTruncationIsRefusedOrDecodedWhole)
{
    // Cut each kind of file at every length: no read may leave the bytes given (the
    // sanitizer build checks that), and a picture that does come back is whole.
    std::vector<BmpLayout> layouts(4);
    layouts[0].width = 3, layouts[0].height = 2, layouts[0].pixels = std::vector<uint8_t>(24, 9);
    layouts[1].width = 5, layouts[1].height = 2, layouts[1].bits = 4, layouts[1].palette = kGreys;
    layouts[1].pixels = std::vector<uint8_t>(8, 0x13);
    layouts[2].width = 4, layouts[2].height = 2, layouts[2].bits = 8, layouts[2].compression = 1;
    layouts[2].palette = kGreys, layouts[2].pixels = {0, 4, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 0, 1};
    layouts[3].headerSize = 12, layouts[3].fileHeader = false, layouts[3].width = 2, layouts[3].height = 2;
    layouts[3].bits = 1, layouts[3].palette = {0, 0xFFFFFF}, layouts[3].pixels = std::vector<uint8_t>(8, 0x80);
    for (const BmpLayout& s : layouts) {
        std::vector<uint8_t> full = buildBmp(s);
        for (size_t len = 0; len <= full.size(); ++len) {
            std::vector<uint8_t> cut(full.begin(), full.begin() + len);
            cut.shrink_to_fit();
            Decoded d;
            decode(cut, &d);
            if (d.image) {
                EXPECT_EQ(d.image->width, s.width);
                EXPECT_EQ(d.image->height, s.height);
                EXPECT_EQ(d.output, "");
            } else {
                EXPECT_NE(d.output, "") << "refused silently at " << len;
            }
        }
    }
}

TEST(BmpReader, LoadsFromFile)
{
    std::string dir = scratchDir("bmp_file");
    BmpLayout s;
    s.width = 1, s.height = 1, s.pixels = {1, 2, 3, 0};
    ASSERT_TRUE(writeBytes(dir + "/one.bmp", buildBmp(s)));
    ASSERT_TRUE(writeBytes(dir + "/empty.bmp", {}));

    NeverEndingFiles endless(dir);
    StdoutCapture capture;
    capture.begin();
    Image* image = loadBmpImage((dir + "/one.bmp").c_str());
    Image* missing = loadBmpImage((dir + "/none.bmp").c_str());
    Image* empty = loadBmpImage((dir + "/empty.bmp").c_str());
    Image* folder = loadBmpImage(dir.c_str());
    Image* pipe = loadBmpImage(endless.pipe.c_str());
    Image* zero = loadBmpImage(endless.zero.c_str());
    std::string out = capture.end();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->data[0], 3);
    EXPECT_EQ(image->data[2], 1);
    freeImage(image);
    EXPECT_FALSE(missing);
    EXPECT_FALSE(empty);
    EXPECT_FALSE(folder);
    EXPECT_FALSE(pipe);
    EXPECT_FALSE(zero);
    EXPECT_EQ(out, "Failed to open DIB file " + dir + "/none.bmp.\nFailed to open DIB file " + dir +
                       "/empty.bmp.\nFailed to open DIB file " + dir + ".\nFailed to open DIB file " +
                       endless.pipe + ".\nFailed to open DIB file " + endless.zero + ".\n");
}

TEST(BmpReader, FrameCapturesReadBack)
{
    // The frame dumper writes padded B, G, R rows; reading one back gives the R, G, B.
    const int width = 5, height = 3, stride = Dumper::stride(width);
    std::vector<uint8_t> rows(size_t(stride) * height, 0xEE);
    std::vector<uint32_t> expect;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rows[size_t(y) * stride + x * 3];
            p[0] = uint8_t(x * 40), p[1] = uint8_t(y * 80), p[2] = uint8_t(200 + x + y);
            expect.push_back((p[2] << 16) | (p[1] << 8) | p[0]);
        }
    std::string path = scratchDir("bmp_dump") + "/dumper00000.bmp";
    ASSERT_TRUE(Dumper::writeBmp(path.c_str(), rows.data(), width, height));
    Decoded d;
    d.image = loadBmpImage(path.c_str());
    ASSERT_TRUE(d.image);
    EXPECT_EQ(d.pixels(), expect);
}
