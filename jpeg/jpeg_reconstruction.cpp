// Dequantisation, the direct inverse DCT, sample placement and colour
// conversion. The pixel values follow exactly from the floating-point steps,
// so every product and sum below is kept in its defined order; the library
// is built without floating-point contraction, and DecodeScan and
// BuildCosineTable hold a JpegFloatPrecision.
#include <math.h>
#include <stdint.h>

#include "jpeg/jpeg_decoder.h"
#include "jpeg/jpeg_float_precision.h"

namespace {

// pi / 16 with exactly these digits.
const double kCosineStep = 0.196349540875;
const double kDcWeight = 0.499999999736182;
const double kEdgeWeight = 0.707106781;

typedef double DoublePair __attribute__((vector_size(16)));

// 255 above 255, 0 below 0, otherwise truncated toward zero; written as
// selections so that it compiles to min / max rather than branches.
inline uint8_t ClampToByte(double value) {
    double clamped = value > 255.0 ? 255.0 : value;
    clamped = clamped < 0.0 ? 0.0 : clamped;
    return static_cast<uint8_t>(static_cast<int32_t>(clamped));
}

}  // namespace

void JpegDecoder::BuildCosineTable() {
    JpegFloatPrecision floatPrecision;
    for (int r = 0; r < 8; ++r) {
        for (int j = 0; j < 8; ++j) {
            for (int u = 0; u < 8; ++u) {
                cosineTable[r][8 * j + u] = cos((2 * r + 1) * u * kCosineStep);
            }
        }
    }
    for (int u = 0; u < 8; ++u) {
        for (int r = 0; r < 8; ++r) {
            cosineByFrequency[u][r] = cosineTable[r][u];
        }
    }
}

void JpegDecoder::Dequantise(int32_t component) {
    const int32_t* table = quantTables[quantTableIds[component]];
    for (int i = 0; i < 64; ++i) {
        // Signed 32-bit arithmetic, wrapping on corrupt data instead of
        // overflowing.
        coefficients[i] = static_cast<int32_t>(static_cast<uint32_t>(coefficients[i]) *
                                               static_cast<uint32_t>(table[i]));
    }
}

void JpegDecoder::InverseDct() {
    const int32_t levelShift = precision == 8 ? 128 : 2048;
    int last = 63;
    while (last >= 0 && coefficients[last] == 0) {
        --last;
    }
    if (last == 0) {
        // DC only: C(r, 0) is cos(0), exactly 1 (IEC 60559), so every sum is
        // F * w(0, 0).
        const int32_t t = static_cast<int32_t>(static_cast<double>(coefficients[0]) * kDcWeight);
        for (int i = 0; i < 64; ++i) {
            samples[i] = (t >> 2) + levelShift;
        }
        return;
    }

    // Each sample is the sum, in coefficient order, of the terms
    // ((F * C(x, u)) * C(y, v)) * w. A zero coefficient contributes an exact
    // zero and is left out; a weight of 1 changes nothing, so every term is
    // multiplied by its weight alike. F * C(x, u) is formed once per
    // coefficient, and the sums of one output row stay in registers.
    alignas(16) double products[64][8];
    int rowOf[64];
    double weightOf[64];
    int terms = 0;
    for (int index = 0; index <= last; ++index) {
        if (coefficients[index] == 0) {
            continue;
        }
        const int v = index >> 3;
        const int u = index & 7;
        const double f = static_cast<double>(coefficients[index]);
        for (int x = 0; x < 8; ++x) {
            products[terms][x] = f * cosineByFrequency[u][x];
        }
        rowOf[terms] = v;
        weightOf[terms] = (u == 0 && v == 0) ? kDcWeight : (u == 0 || v == 0) ? kEdgeWeight : 1.0;
        ++terms;
    }
    // Two output rows at a time, as pairs of doubles held in registers: the
    // sixteen sums are independent chains of additions that the processor
    // can overlap. Lane for lane this is the same arithmetic.
    for (int y = 0; y < 8; y += 2) {
        DoublePair top0 = {0.0, 0.0}, top1 = top0, top2 = top0, top3 = top0;
        DoublePair bottom0 = top0, bottom1 = top0, bottom2 = top0, bottom3 = top0;
        for (int term = 0; term < terms; ++term) {
            const double* cosines = cosineByFrequency[rowOf[term]];
            const DoublePair c0 = {cosines[y], cosines[y]};
            const DoublePair c1 = {cosines[y + 1], cosines[y + 1]};
            const DoublePair w = {weightOf[term], weightOf[term]};
            const DoublePair* p = reinterpret_cast<const DoublePair*>(products[term]);
            top0 += (p[0] * c0) * w;
            top1 += (p[1] * c0) * w;
            top2 += (p[2] * c0) * w;
            top3 += (p[3] * c0) * w;
            bottom0 += (p[0] * c1) * w;
            bottom1 += (p[1] * c1) * w;
            bottom2 += (p[2] * c1) * w;
            bottom3 += (p[3] * c1) * w;
        }
        const DoublePair sums[8] = {top0, top1, top2, top3, bottom0, bottom1, bottom2, bottom3};
        for (int i = 0; i < 16; ++i) {
            // Only corrupt data leaves the int32 range; clamping keeps the
            // conversion defined and changes nothing else.
            double s = sums[i / 2][i % 2];
            if (s > 2147483647.0) {
                s = 2147483647.0;
            } else if (s < -2147483648.0) {
                s = -2147483648.0;
            }
            const int32_t t = static_cast<int32_t>(s);
            samples[8 * y + i] = (t >> 2) + levelShift;
        }
    }
}

void JpegDecoder::StoreBlock(int32_t component, int32_t bx, int32_t by) {
    const int32_t sx = maxH / hFactors[component];
    const int32_t sy = maxV / vFactors[component];
    const int32_t stride = 8 * maxH;
    int32_t* out = planes[component] + 8 * by * stride + 8 * bx;
    // Each sample repeated sx times across and sy times down.
    for (int32_t row = 0; row < 8; ++row) {
        const int32_t* in = samples + 8 * row;
        for (int32_t repeat = 0; repeat < sy; ++repeat, out += stride) {
            if (sx == 1) {
                for (int32_t q = 0; q < 8; ++q) {
                    out[q] = in[q];
                }
            } else {
                for (int32_t q = 0; q < 8; ++q) {
                    for (int32_t k = 0; k < sx; ++k) {
                        out[q * sx + k] = in[q];
                    }
                }
            }
        }
    }
}

void JpegDecoder::ConvertMcu(int32_t mx, int32_t my) {
    const int32_t stride = 8 * maxH;
    const int32_t x0 = 8 * maxH * mx;
    const int32_t y0 = 8 * maxV * my;
    int32_t columns = stride;
    if (x0 + columns > width) {
        columns = width - x0;
    }
    int32_t rows = 8 * maxV;
    if (y0 + rows > height) {
        rows = height - y0;
    }
    if (rows <= 0 || columns <= 0) {
        return;
    }
    for (int32_t r = 0; r < rows; ++r) {
        const int32_t* yRow = planes[0] + r * stride;
        const int32_t* cbRow = planes[1] + r * stride;
        const int32_t* crRow = planes[2] + r * stride;
        uint8_t* out = pixels + 3 * (static_cast<size_t>(y0 + r) * width + x0);
        for (int32_t q = 0; q < columns; ++q) {
            const double y = yRow[q];
            const double cb = cbRow[q] - 128;
            const double cr = crRow[q] - 128;
            const double red = cr * 1.402 + y;
            const double green = (y - cb * 0.3441) - cr * 0.7139;
            const double blue = cb * 1.7718 + y;
            out[3 * q] = ClampToByte(blue);
            out[3 * q + 1] = ClampToByte(green);
            out[3 * q + 2] = ClampToByte(red);
        }
    }
}
