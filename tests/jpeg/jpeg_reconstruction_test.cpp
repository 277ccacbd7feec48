// Block reconstruction and colour output, driven directly on the decoder's
// fields.
#include <math.h>
#include <string.h>

#include <random>
#include <vector>

#include "gtest/gtest.h"
#include "jpeg/jpeg_decoder.h"

namespace {

// Holds planes and pixels owned by the test so the decoder never frees them.
struct McuFixture {
    JpegDecoder decoder;
    std::vector<int32_t> planeStore[3];

    McuFixture(int h, int v, int width, int height) {
        decoder.maxH = static_cast<int16_t>(h);
        decoder.maxV = static_cast<int16_t>(v);
        decoder.width = width;
        decoder.height = height;
        for (int c = 0; c < 3; ++c) {
            planeStore[c].assign(static_cast<size_t>(h) * v * 64, c == 0 ? 0 : 128);
            decoder.planes[c] = planeStore[c].data();
        }
    }
    ~McuFixture() {
        for (int c = 0; c < 3; ++c) {
            decoder.planes[c] = nullptr;
        }
        decoder.pixels = nullptr;
    }
    void Fill(int c, int value) { planeStore[c].assign(planeStore[c].size(), value); }
};

TEST(InverseDct, DcOnlyBlocksGiveTheirFlatLevel) {
    struct Case {
        int dc;
        int sample;
    };
    // 80: S = 39.99999997889 truncates to 39, shifted to 9. -80: -39 shifts
    // arithmetically to -10; likewise 4 stays at 128 while -4 drops to 127.
    const Case cases[] = {{80, 137}, {-80, 118}, {0, 128}, {4, 128},
                          {-4, 127}, {8, 128},   {12, 129}};
    JpegDecoder decoder;
    decoder.precision = 8;
    for (const Case& c : cases) {
        memset(decoder.coefficients, 0, sizeof decoder.coefficients);
        decoder.coefficients[0] = c.dc;
        decoder.InverseDct();
        for (int i = 0; i < 64; ++i) {
            ASSERT_EQ(decoder.samples[i], c.sample) << "DC " << c.dc << " sample " << i;
        }
    }
}

TEST(InverseDct, TwelveBitPrecisionShiftsBy2048) {
    JpegDecoder decoder;
    decoder.precision = 12;
    memset(decoder.coefficients, 0, sizeof decoder.coefficients);
    decoder.coefficients[0] = 80;
    decoder.InverseDct();
    EXPECT_EQ(decoder.samples[0], 9 + 2048);
}

// The transform written out term by term in its defined order, zero terms
// included, as the reference for the decoder's faster evaluation.
void LiteralInverseDct(const int32_t* f, int32_t* out) {
    const double k = 0.196349540875;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            double s = 0.0;
            for (int v = 0; v < 8; ++v) {
                for (int u = 0; u < 8; ++u) {
                    double term = static_cast<double>(f[8 * v + u]) * cos((2 * x + 1) * u * k) *
                                  cos((2 * y + 1) * v * k);
                    if (u == 0 && v == 0) {
                        term = term * 0.499999999736182;
                    } else if (u == 0 || v == 0) {
                        term = term * 0.707106781;
                    }
                    s += term;
                }
            }
            out[8 * y + x] = (static_cast<int32_t>(s) >> 2) + 128;
        }
    }
}

TEST(InverseDct, MatchesTheTermByTermSumBitForBit) {
    std::mt19937 random(7);
    JpegDecoder decoder;
    decoder.precision = 8;
    int32_t expected[64];
    for (int round = 0; round < 3000; ++round) {
        // Sparse blocks as in real pictures, dense ones, and values as large
        // as 16-bit quantisers make them, where the last digits of the
        // constants decide some truncations.
        int density = round % 3 == 0 ? 64 : 1 + static_cast<int>(random() % 12);
        int range = round % 5 == 0 ? 4000 : round % 7 == 0 ? 30000000 : 300;
        memset(decoder.coefficients, 0, sizeof decoder.coefficients);
        for (int n = 0; n < density; ++n) {
            int index = static_cast<int>(random() % 64);
            decoder.coefficients[index] = static_cast<int>(random() % (2 * range + 1)) - range;
        }
        LiteralInverseDct(decoder.coefficients, expected);
        decoder.InverseDct();
        for (int i = 0; i < 64; ++i) {
            ASSERT_EQ(decoder.samples[i], expected[i]) << "round " << round << " sample " << i;
        }
    }
}

TEST(InverseDct, ExtremeCoefficientsStayDefined) {
    JpegDecoder decoder;
    decoder.precision = 8;
    for (int i = 0; i < 64; ++i) {
        decoder.coefficients[i] = INT32_MAX;
    }
    decoder.InverseDct();
    // S far beyond the int32 range is held at its limit.
    EXPECT_EQ(decoder.samples[0], (INT32_MAX >> 2) + 128);
}

TEST(Dequantise, MultipliesByTheComponentsTable) {
    JpegDecoder decoder;
    decoder.quantTableIds[1] = 2;
    for (int i = 0; i < 64; ++i) {
        decoder.quantTables[2][i] = i + 1;
        decoder.coefficients[i] = i % 2 == 0 ? 3 : -2;
    }
    decoder.Dequantise(1);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(decoder.coefficients[i], (i % 2 == 0 ? 3 : -2) * (i + 1));
    }
}

TEST(ConvertMcu, ColourConversionAndClamping) {
    struct Case {
        int y, cb, cr;
        int blue, green, red;
    };
    const Case cases[] = {
        {200, 128, 128, 200, 200, 200},
        {250, 128, 200, 250, 198, 255},  // red 350.94 clamps
        {10, 20, 128, 0, 47, 10},        // blue -181.35 clamps
        {100, 150, 90, 138, 119, 46},    // each value truncated
        {0, 185, 128, 100, 0, 0},        // blue 100.99: 1.772 would give 101
        {30, 10, 0, 0, 161, 0},          // green 161.98: 0.34414 with 0.71414 give 162
        // Samples are not clamped before conversion, so values beyond 255 occur.
        {87, 375, 128, 255, 2, 87},    // green 2.007: 0.34414 would give 1.997
        {269, 128, 502, 255, 2, 255},  // green 2.001: 0.71414 would give 1.91
        {300, 128, 128, 255, 255, 255},
        {-40, 128, 128, 0, 0, 0},
    };
    for (const Case& c : cases) {
        McuFixture f(1, 1, 8, 8);
        f.Fill(0, c.y);
        f.Fill(1, c.cb);
        f.Fill(2, c.cr);
        uint8_t pixels[8 * 8 * 3];
        f.decoder.pixels = pixels;
        f.decoder.ConvertMcu(0, 0);
        for (int p = 0; p < 64; ++p) {
            ASSERT_EQ(pixels[3 * p], c.blue) << "Y " << c.y << " Cb " << c.cb << " Cr " << c.cr;
            ASSERT_EQ(pixels[3 * p + 1], c.green)
                << "Y " << c.y << " Cb " << c.cb << " Cr " << c.cr;
            ASSERT_EQ(pixels[3 * p + 2], c.red) << "Y " << c.y << " Cb " << c.cb << " Cr " << c.cr;
        }
    }
}

TEST(ConvertMcu, PartialLastColumnWritesOnlyInsideTheRow) {
    // 20 pixels wide: the third 8 x 8 MCU holds 4 columns of picture.
    const int width = 20;
    const int height = 8;
    McuFixture f(1, 1, width, height);
    for (int i = 0; i < 64; ++i) {
        f.planeStore[0][static_cast<size_t>(i)] = 40 + i;
    }
    std::vector<uint8_t> pixels(width * height * 3 + 16, 0xEE);
    f.decoder.pixels = pixels.data();
    f.decoder.ConvertMcu(2, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int b = 0; b < 3; ++b) {
                uint8_t byte = pixels[static_cast<size_t>(3 * (y * width + x) + b)];
                if (x >= 16) {
                    ASSERT_EQ(byte, 40 + 8 * y + (x - 16)) << x << "," << y;
                } else {
                    ASSERT_EQ(byte, 0xEE) << x << "," << y;
                }
            }
        }
    }
    for (size_t i = width * height * 3; i < pixels.size(); ++i) {
        ASSERT_EQ(pixels[i], 0xEE) << "written past the buffer at " << i;
    }
}

TEST(ConvertMcu, BottomEdgeAndEmptyRows) {
    McuFixture f(1, 1, 8, 10);
    f.Fill(0, 77);
    std::vector<uint8_t> pixels(8 * 10 * 3 + 8, 0xEE);
    f.decoder.pixels = pixels.data();
    f.decoder.ConvertMcu(0, 1);  // rows 8 and 9 only
    for (size_t i = 0; i < pixels.size(); ++i) {
        ASSERT_EQ(pixels[i], (i >= 8 * 8 * 3 && i < 8 * 10 * 3) ? 77 : 0xEE) << i;
    }
    f.decoder.ConvertMcu(0, 2);  // below the picture: nothing
    EXPECT_EQ(pixels[0], 0xEE);
}

TEST(StoreBlock, FourTwoZeroChromaCoversTwoByTwoPixels) {
    // 4:2:0: luma 2 x 2 blocks, chroma one block stretched over the 16 x 16
    // MCU.
    McuFixture f(2, 2, 16, 16);
    f.decoder.hFactors[0] = 2;
    f.decoder.vFactors[0] = 2;
    f.decoder.hFactors[1] = 1;
    f.decoder.vFactors[1] = 1;
    for (int by = 0; by < 2; ++by) {
        for (int bx = 0; bx < 2; ++bx) {
            for (int i = 0; i < 64; ++i) {
                f.decoder.samples[i] = 1000 * (2 * by + bx) + i;
            }
            f.decoder.StoreBlock(0, bx, by);
        }
    }
    for (int i = 0; i < 64; ++i) {
        f.decoder.samples[i] = i;
    }
    f.decoder.StoreBlock(1, 0, 0);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            int luma = f.planeStore[0][static_cast<size_t>(16 * y + x)];
            ASSERT_EQ(luma, 1000 * (2 * (y / 8) + x / 8) + 8 * (y % 8) + x % 8) << x << "," << y;
            int chroma = f.planeStore[1][static_cast<size_t>(16 * y + x)];
            ASSERT_EQ(chroma, 8 * (y / 2) + x / 2) << x << "," << y;
        }
    }
}

TEST(StoreBlock, OtherSupportedLayoutsFillThePlane) {
    struct Case {
        int maxH, maxV, h, v;
    };
    // 4:2:2, 4:4:0 and 4:1:1 chroma; a full-factor component.
    const Case cases[] = {{2, 1, 1, 1}, {1, 2, 1, 1}, {4, 1, 1, 1}, {2, 2, 2, 2}, {4, 1, 4, 1}};
    for (const Case& c : cases) {
        McuFixture f(c.maxH, c.maxV, 8 * c.maxH, 8 * c.maxV);
        f.decoder.hFactors[1] = static_cast<int16_t>(c.h);
        f.decoder.vFactors[1] = static_cast<int16_t>(c.v);
        for (int by = 0; by < c.v; ++by) {
            for (int bx = 0; bx < c.h; ++bx) {
                for (int i = 0; i < 64; ++i) {
                    f.decoder.samples[i] = 100 * (by * c.h + bx) + i;
                }
                f.decoder.StoreBlock(1, bx, by);
            }
        }
        int sx = c.maxH / c.h;
        int sy = c.maxV / c.v;
        for (int y = 0; y < 8 * c.maxV; ++y) {
            for (int x = 0; x < 8 * c.maxH; ++x) {
                int bx = x / (8 * sx);
                int by = y / (8 * sy);
                int expected =
                    100 * (by * c.h + bx) + 8 * ((y % (8 * sy)) / sy) + (x % (8 * sx)) / sx;
                ASSERT_EQ(f.planeStore[1][static_cast<size_t>(8 * c.maxH * y + x)], expected)
                    << c.maxH << "x" << c.maxV << " factors " << c.h << "x" << c.v << " at " << x
                    << "," << y;
            }
        }
    }
}

}  // namespace
