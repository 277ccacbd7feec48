// Bit reader, Huffman decoding and the loop over the MCUs of a scan.
#include <stdlib.h>
#include <string.h>

#include "jpeg/jpeg_decoder.h"
#include "jpeg/jpeg_messages.h"

int32_t JpegDecoder::ReadBits(int32_t n) {
    int64_t consumed = 8 * static_cast<int64_t>(position) + 7 - bitPosition;
    if (consumed + n >= 8 * static_cast<int64_t>(size)) {
        JpegFail(JPEG_INVALID_CODE);
    }
    int32_t result = 0;
    for (int32_t i = 0; i < n; ++i) {
        // Skipped stuffing bytes can carry the reader to the end within one
        // call.
        if (position >= size) {
            JpegFail(JPEG_INVALID_CODE);
        }
        uint8_t byte = data[position];
        markerPending = byte == 0xFF;
        result = result * 2 + ((byte & bitMask[bitPosition]) != 0 ? 1 : 0);
        if (--bitPosition < 0) {
            bitPosition = 7;
            ++position;
            if (byte == 0xFF && position < size) {
                if (data[position] != 0) {
                    JpegFail(JPEG_UNEXPECTED_MARKER);
                }
                ++position;
            }
            markerPending = 0;
        }
    }
    return result;
}

int32_t JpegDecoder::Extend(int32_t v, int32_t s) {
    if (s == 0) {
        return 0;
    }
    if ((v & (1 << (s - 1))) == 0) {
        return v + 1 - (1 << s);
    }
    return v;
}

int32_t JpegDecoder::DecodeSymbol(int32_t tableClass, int32_t component) {
    int32_t index = tableClass * 4 + (tableClass == 0 ? dcTableIds[component] : acTableIds[component]);
    const HuffmanLookup& lookup = huffmanLookups[index];
    const HuffmanEntry* entries = huffmanTables[index];
    int32_t code = 0;
    // Reads one bit per length until a code of that length matches or no
    // longer code exists, as a walk through the entries would.
    for (int32_t length = 1; length <= lookup.longestLength; ++length) {
        code = code * 2 + ReadBits(1);
        int32_t offset = code - lookup.firstCode[length];
        if (offset >= 0 && offset < lookup.countOfLength[length]) {
            return entries[lookup.firstEntry[length] + offset].value;
        }
    }
    JpegFail(JPEG_INVALID_CODE);
}

void JpegDecoder::DecodeBlock(int32_t component) {
    memset(coefficients, 0, sizeof coefficients);
    int32_t s = DecodeSymbol(0, component);
    // ReadBits and Extend are defined for at most 15 bits.
    if (s > 15) {
        JpegFail(JPEG_INVALID_CODE);
    }
    int32_t diff = s > 0 ? Extend(ReadBits(s), s) : 0;
    // Corrupt data may keep adding to the predictor; let it wrap rather than
    // overflow.
    dcPredictors[component] = static_cast<int32_t>(static_cast<uint32_t>(dcPredictors[component]) +
                                                   static_cast<uint32_t>(diff));
    coefficients[0] = dcPredictors[component];

    int32_t k = 1;
    while (k < 64) {
        int32_t rs = DecodeSymbol(1, component);
        if (rs == 0) {
            break;
        }
        int32_t r = rs >> 4;
        s = rs & 15;
        int32_t v = 0;
        if (s > 0) {
            v = Extend(ReadBits(s), s);
        } else if (r != 15) {
            JpegFail(JPEG_INVALID_CODE);
        }
        if (k + r > 63) {
            JpegFail(JPEG_INVALID_CODE);
        }
        k += r;
        coefficients[zigzag[k]] = v;
        ++k;
    }
}

void JpegDecoder::DecodeMcu() {
    for (int32_t i = 0; i < componentCount; ++i) {
        for (int32_t by = 0; by < vFactors[i]; ++by) {
            for (int32_t bx = 0; bx < hFactors[i]; ++bx) {
                DecodeBlock(i);
                Dequantise(i);
                InverseDct();
                StoreBlock(i, bx, by);
            }
        }
    }
}

void JpegDecoder::DecodeScan() {
    int32_t blocksAcross = (width + 7) / 8;
    int32_t blocksDown = (height + 7) / 8;
    int32_t mcuColumns = (blocksAcross + maxH - 1) / maxH;
    int32_t mcuRows = (blocksDown + maxV - 1) / maxV;

    if (pixels == nullptr) {
        // Zeroed, so that lines a cut-off scan never reached read as black;
        // sized by the frame header, which bounds every later height.
        size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(frameHeight) * 3;
        pixels = static_cast<uint8_t*>(calloc(bytes > 0 ? bytes : 1, 1));
        if (pixels == nullptr) {
            JpegFail(JPEG_UNSUPPORTED_PLANE_SIZE);
        }
        pixelsOwned = 1;
    }
    size_t planeSamples = static_cast<size_t>(maxH) * maxV * 64;
    for (int c = 0; c < 3; ++c) {
        free(planes[c]);
        planes[c] = static_cast<int32_t*>(calloc(planeSamples, sizeof(int32_t)));
        if (planes[c] == nullptr) {
            JpegFail(JPEG_UNSUPPORTED_PLANE_SIZE);
        }
    }
    for (size_t i = 0; i < planeSamples; ++i) {
        planes[1][i] = 128;
        planes[2][i] = 128;
    }

    for (int c = 0; c < 3; ++c) {
        dcPredictors[c] = 0;
    }
    int32_t restartCounter = 0;
    for (int32_t my = 0; my < mcuRows; ++my) {
        for (int32_t mx = 0; mx < mcuColumns; ++mx) {
            DecodeMcu();
            ConvertMcu(mx, my);
            if (restartInterval != 0) {
                ++restartCounter;
                if (restartCounter == restartInterval) {
                    restartCounter = 0;
                    int32_t code = NextMarker();
                    if (code >= 0xD0 && code <= 0xD7) {
                        for (int c = 0; c < 3; ++c) {
                            dcPredictors[c] = 0;
                        }
                    }
                }
            }
        }
    }

    for (int c = 0; c < 3; ++c) {
        free(planes[c]);
        planes[c] = nullptr;
    }
}
