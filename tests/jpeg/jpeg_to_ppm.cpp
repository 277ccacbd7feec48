// jpeg-to-ppm IN.jpg OUT.ppm: decodes a JPEG file and writes its pixels as a
// binary PPM. JPEG errors end the process as the decoder does (message on
// standard output, exit status -1).
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "jpeg/jpeg_decoder.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: jpeg-to-ppm IN.jpg OUT.ppm\n");
        return 2;
    }
    FILE* in = fopen(argv[1], "rb");
    if (in == nullptr) {
        fprintf(stderr, "jpeg-to-ppm: cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<unsigned char> data;
    unsigned char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, in)) > 0) {
        data.insert(data.end(), buffer, buffer + got);
    }
    fclose(in);
    if (data.size() > 0x7FFFFFFF) {
        fprintf(stderr, "jpeg-to-ppm: %s is too large\n", argv[1]);
        return 1;
    }

    JpegDecoder decoder;
    if (decoder.Open(data.data(), static_cast<int32_t>(data.size())) == 0) {
        fprintf(stderr, "jpeg-to-ppm: %s has no picture\n", argv[1]);
        return 1;
    }
    decoder.Decode(nullptr);

    FILE* out = fopen(argv[2], "wb");
    if (out == nullptr) {
        fprintf(stderr, "jpeg-to-ppm: cannot create %s\n", argv[2]);
        return 1;
    }
    fprintf(out, "P6\n%d %d\n255\n", decoder.width, decoder.height);
    std::vector<unsigned char> row(static_cast<size_t>(decoder.width) * 3, 0);
    bool ok = true;
    for (int y = 0; y < decoder.height && ok; ++y) {
        // A file without a scan leaves no pixels: write black.
        const unsigned char* bgr = decoder.pixels != nullptr
                                       ? decoder.pixels + static_cast<size_t>(y) * decoder.width * 3
                                       : nullptr;
        for (int x = 0; x < decoder.width && bgr != nullptr; ++x) {
            row[3 * x] = bgr[3 * x + 2];
            row[3 * x + 1] = bgr[3 * x + 1];
            row[3 * x + 2] = bgr[3 * x];
        }
        ok = fwrite(row.data(), 1, row.size(), out) == row.size();
    }
    ok = fclose(out) == 0 && ok;
    decoder.Release();
    if (!ok) {
        fprintf(stderr, "jpeg-to-ppm: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
