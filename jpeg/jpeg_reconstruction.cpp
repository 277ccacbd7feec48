// Dequantisation, the direct inverse DCT, sample placement and colour
// conversion. The pixel values follow exactly from the floating-point steps,
// so every product and sum below is kept in its defined order; the library
// is built without floating-point contraction.
#include <math.h>
#include <stdint.h>

#include "jpeg/jpeg_decoder.h"

namespace {

// pi / 16 with exactly these digits.
const double kCosineStep = 0.196349540875;
const double kDcWeight = 0.499999999736182;
const double kEdgeWeight = 0.707106781;

uint8_t ClampToByte(double value) {
    if (value > 255.0) {
        return 255;
    }
    if (value < 0.0) {
        return 0;
    }
    return static_cast<uint8_t>(value);
}

}  // namespace

void JpegDecoder::BuildCosineTable() {
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
    // Each sample is the sum, in coefficient order, of the terms
    // ((F * C(x, u)) * C(y, v)) * w. A zero coefficient contributes an exact
    // zero, so only the non-zero ones are added, each into all 64 sums at
    // once; every sum still sees its terms in the same order.
    double sums[64];
    for (int i = 0; i < 64; ++i) {
        sums[i] = 0.0;
    }
    for (int index = 0; index < 64; ++index) {
        if (coefficients[index] == 0) {
            continue;
        }
        const int v = index >> 3;
        const int u = index & 7;
        const double f = static_cast<double>(coefficients[index]);
        double row[8];
        for (int x = 0; x < 8; ++x) {
            row[x] = f * cosineByFrequency[u][x];
        }
        if (u == 0 || v == 0) {
            const double weight = (u == 0 && v == 0) ? kDcWeight : kEdgeWeight;
            for (int y = 0; y < 8; ++y) {
                const double cy = cosineByFrequency[v][y];
                double* out = sums + 8 * y;
                for (int x = 0; x < 8; ++x) {
                    out[x] += (row[x] * cy) * weight;
                }
            }
        } else {
            for (int y = 0; y < 8; ++y) {
                const double cy = cosineByFrequency[v][y];
                double* out = sums + 8 * y;
                for (int x = 0; x < 8; ++x) {
                    out[x] += row[x] * cy;
                }
            }
        }
    }
    for (int i = 0; i < 64; ++i) {
        // Only corrupt data leaves the int32 range; clamping keeps the
        // conversion defined and changes nothing else.
        double s = sums[i];
        if (s > 2147483647.0) {
            s = 2147483647.0;
        } else if (s < -2147483648.0) {
            s = -2147483648.0;
        }
        const int32_t t = static_cast<int32_t>(s);
        samples[i] = (t >> 2) + levelShift;
    }
}

void JpegDecoder::StoreBlock(int32_t component, int32_t bx, int32_t by) {
    const int32_t sx = maxH / hFactors[component];
    const int32_t sy = maxV / vFactors[component];
    const int32_t stride = 8 * maxH;
    int32_t* plane = planes[component];
    for (int32_t r = 0; r < 8 * sy; ++r) {
        int32_t* out = plane + (8 * by + r) * stride + 8 * bx;
        const int32_t* in = samples + (r / sy) * 8;
        if (sx == 1) {
            for (int32_t q = 0; q < 8; ++q) {
                out[q] = in[q];
            }
        } else {
            for (int32_t q = 0; q < 8 * sx; ++q) {
                out[q] = in[q / sx];
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
