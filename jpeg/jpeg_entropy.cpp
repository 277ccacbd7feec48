// Bit reader, Huffman decoding and the loop over the MCUs of a scan.
#include <stdlib.h>
#include <string.h>

#include "jpeg/jpeg_decoder.h"
#include "jpeg/jpeg_float_precision.h"
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

// Away from the end of the data and from markers, the next 24 or more bits
// can be looked at without the checks ReadBits makes bit by bit; the caller
// then takes exactly the bits it used with AdvanceBits. Near the end, or at
// a 0xFF not followed by its stuffed 0x00, this declines and the caller
// takes the bit-by-bit way, which raises whatever error is due.
bool JpegDecoder::PeekBits(uint32_t* window, int32_t* count) const {
    if (size - position < 8) {
        return false;
    }
    int32_t at = position;
    uint32_t bits = data[at] & ((1u << (bitPosition + 1)) - 1);
    int32_t have = bitPosition + 1;
    for (;;) {
        if (data[at] == 0xFF) {
            if (data[at + 1] != 0) {
                return false;
            }
            ++at;
        }
        ++at;
        if (have >= 24) {
            break;
        }
        bits = (bits << 8) | data[at];
        have += 8;
    }
    *window = bits << (32 - have);
    *count = have;
    return true;
}

// Takes n bits that PeekBits has just shown, leaving the reader
// exactly where ReadBits (n) would.
void JpegDecoder::AdvanceBits(int32_t n) {
    int32_t left = bitPosition + 1;
    while (n >= left) {
        n -= left;
        if (data[position] == 0xFF) {
            ++position;  // its stuffed 0x00
        }
        ++position;
        left = 8;
    }
    bitPosition = left - 1 - n;
    markerPending = bitPosition != 7 && data[position] == 0xFF;
}

// ReadBits (s) for s from 1 to 15.
int32_t JpegDecoder::ReadMagnitude(int32_t s) {
    uint32_t window;
    int32_t count;
    if (PeekBits(&window, &count)) {
        AdvanceBits(s);
        return static_cast<int32_t>(window >> (32 - s));
    }
    return ReadBits(s);
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

int32_t JpegDecoder::MatchSymbol(int32_t index, uint32_t window, int32_t* length) const {
    const HuffmanLookup& lookup = huffmanLookups[index];
    uint16_t fast = lookup.fast[window >> (32 - kFastBits)];
    if (fast != 0) {
        *length = fast >> 8;
        return fast & 0xFF;
    }
    for (int32_t bits = kFastBits + 1; bits <= lookup.longestLength; ++bits) {
        int32_t offset = static_cast<int32_t>(window >> (32 - bits)) - lookup.firstCode[bits];
        if (offset >= 0 && offset < lookup.countOfLength[bits]) {
            *length = bits;
            return huffmanTables[index][lookup.firstEntry[bits] + offset].value;
        }
    }
    return -1;
}

int32_t JpegDecoder::DecodeSymbol(int32_t tableClass, int32_t component) {
    int32_t index =
        tableClass * 4 + (tableClass == 0 ? dcTableIds[component] : acTableIds[component]);
    uint32_t window;
    int32_t count;
    int32_t length;
    if (PeekBits(&window, &count)) {
        int32_t symbol = MatchSymbol(index, window, &length);
        if (symbol >= 0) {
            AdvanceBits(length);
            return symbol;
        }
        // No code matches: the bit-by-bit walk below reports it.
    }
    const HuffmanLookup& lookup = huffmanLookups[index];
    int32_t code = 0;
    // Reads one bit per length until a code of that length matches or no
    // longer code exists, as a walk through the entries would.
    for (length = 1; length <= lookup.longestLength; ++length) {
        code = code * 2 + ReadBits(1);
        int32_t offset = code - lookup.firstCode[length];
        if (offset >= 0 && offset < lookup.countOfLength[length]) {
            return huffmanTables[index][lookup.firstEntry[length] + offset].value;
        }
    }
    JpegFail(JPEG_INVALID_CODE);
}

int32_t JpegDecoder::DecodeSymbolAndBits(int32_t tableClass, int32_t component, int32_t* bits) {
    *bits = 0;
    uint32_t window;
    int32_t count;
    if (PeekBits(&window, &count)) {
        int32_t index =
            tableClass * 4 + (tableClass == 0 ? dcTableIds[component] : acTableIds[component]);
        int32_t length;
        int32_t symbol = MatchSymbol(index, window, &length);
        int32_t s = tableClass == 0 ? symbol : (symbol & 15);
        // The symbol and its magnitude bits taken in one step when both are
        // in view; a DC size above 15 is left for the caller to refuse.
        if (symbol >= 0 && s <= 15 && length + s <= count) {
            if (s > 0) {
                *bits = static_cast<int32_t>((window << length) >> (32 - s));
            }
            AdvanceBits(length + s);
            return symbol;
        }
    }
    int32_t symbol = DecodeSymbol(tableClass, component);
    int32_t s = tableClass == 0 ? symbol : (symbol & 15);
    if (s > 0 && s <= 15) {
        *bits = ReadMagnitude(s);
    }
    return symbol;
}

void JpegDecoder::DecodeBlock(int32_t component) {
    memset(coefficients, 0, sizeof coefficients);
    int32_t bits;
    int32_t s = DecodeSymbolAndBits(0, component, &bits);
    // ReadBits and Extend are defined for at most 15 bits.
    if (s > 15) {
        JpegFail(JPEG_INVALID_CODE);
    }
    int32_t diff = Extend(bits, s);
    // Corrupt data may keep adding to the predictor; let it wrap rather than
    // overflow.
    dcPredictors[component] = static_cast<int32_t>(static_cast<uint32_t>(dcPredictors[component]) +
                                                   static_cast<uint32_t>(diff));
    coefficients[0] = dcPredictors[component];

    int32_t k = 1;
    while (k < 64) {
        int32_t rs = DecodeSymbolAndBits(1, component, &bits);
        if (rs == 0) {
            break;
        }
        int32_t r = rs >> 4;
        s = rs & 15;
        int32_t v = 0;
        if (s > 0) {
            v = Extend(bits, s);
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

void JpegDecoder::AllocatePixels() {
    if (pixels != nullptr) {
        return;
    }
    // Zeroed, so that lines a cut-off scan never reached read as black; sized
    // by the frame header, which bounds every later height.
    size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(frameHeight) * 3;
    pixels = static_cast<uint8_t*>(calloc(bytes > 0 ? bytes : 1, 1));
    if (pixels == nullptr) {
        JpegFail(JPEG_UNSUPPORTED_PLANE_SIZE);
    }
    pixelsOwned = 1;
}

void JpegDecoder::DecodeScan() {
    JpegFloatPrecision floatPrecision;
    int32_t blocksAcross = (width + 7) / 8;
    int32_t blocksDown = (height + 7) / 8;
    int32_t mcuColumns = (blocksAcross + maxH - 1) / maxH;
    int32_t mcuRows = (blocksDown + maxV - 1) / maxV;

    AllocatePixels();
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
