// Decoding speed: `jpeg-bench make OUT.ppm W H` writes a test picture;
// `jpeg-bench decode IN.jpg RUNS` decodes the file RUNS times and prints
// megapixels per second of the fastest run.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <vector>

#include "jpeg/jpeg_decoder.h"

namespace {

double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

int MakePicture(const char* path, int width, int height) {
    FILE* out = fopen(path, "wb");
    if (out == nullptr) {
        return 1;
    }
    fprintf(out, "P6\n%d %d\n255\n", width, height);
    uint32_t seed = 99;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Smooth shapes with edges and grain, roughly like a photograph.
            seed = seed * 1103515245u + 12345u;
            double grain = static_cast<double>((seed >> 16) % 21) - 10;
            double ring = sin(hypot(x - width / 3.0, y - height / 2.0) / 12.0);
            double band = (x / 64 + y / 48) % 2 == 0 ? 30 : -30;
            int r = static_cast<int>(128 + 80 * ring + band + grain);
            int g = static_cast<int>(128 + 70 * cos(x / 40.0) * sin(y / 30.0) + grain);
            int b = static_cast<int>(128 - 60 * ring + band / 2 + grain);
            unsigned char pixel[3] = {static_cast<unsigned char>(r < 0     ? 0
                                                                 : r > 255 ? 255
                                                                           : r),
                                      static_cast<unsigned char>(g < 0     ? 0
                                                                 : g > 255 ? 255
                                                                           : g),
                                      static_cast<unsigned char>(b < 0     ? 0
                                                                 : b > 255 ? 255
                                                                           : b)};
            fwrite(pixel, 1, 3, out);
        }
    }
    return fclose(out) == 0 ? 0 : 1;
}

int DecodeRepeatedly(const char* path, int runs) {
    FILE* in = fopen(path, "rb");
    if (in == nullptr) {
        return 1;
    }
    std::vector<unsigned char> data;
    unsigned char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, in)) > 0) {
        data.insert(data.end(), buffer, buffer + got);
    }
    fclose(in);
    // The fastest of the runs: the machine is shared, and interruptions only
    // ever add time.
    double best = 1e30;
    double megapixels = 0;
    unsigned checksum = 0;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        JpegDecoder decoder;
        if (decoder.Open(data.data(), static_cast<int32_t>(data.size())) == 0) {
            return 1;
        }
        decoder.Decode(nullptr);
        double seconds = Now() - start;
        best = seconds < best ? seconds : best;
        megapixels = decoder.width * static_cast<double>(decoder.height) / 1e6;
        checksum += decoder.pixels[static_cast<size_t>(decoder.width) * decoder.height * 3 / 2];
        decoder.Release();
    }
    printf("%.3f %u\n", megapixels / best, checksum);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && strcmp(argv[1], "make") == 0) {
        return MakePicture(argv[2], atoi(argv[3]), atoi(argv[4]));
    }
    if (argc == 4 && strcmp(argv[1], "decode") == 0) {
        return DecodeRepeatedly(argv[2], atoi(argv[3]));
    }
    fprintf(stderr, "usage: jpeg-bench make OUT.ppm W H | decode IN.jpg RUNS\n");
    return 2;
}
