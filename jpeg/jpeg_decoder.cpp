// Decoder object, byte reader and the segment loop with its table and header
// segments.
#include "jpeg/jpeg_decoder.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "jpeg/jpeg_messages.h"

namespace {

JpegFailureHook failureHook = nullptr;

enum Marker {
    kSof0 = 0xC0,
    kDht = 0xC4,
    kRst0 = 0xD0,
    kRst7 = 0xD7,
    kSoi = 0xD8,
    kEoi = 0xD9,
    kSos = 0xDA,
    kDqt = 0xDB,
    kDnl = 0xDC,
    kDri = 0xDD,
    kApp0 = 0xE0,
    kApp15 = 0xEF,
    kCom = 0xFE,
};

bool IsOtherFrameType(int32_t code) {
    switch (code) {
        case 0xC1:
        case 0xC2:
        case 0xC3:
        case 0xC5:
        case 0xC6:
        case 0xC7:
        case 0xC9:
        case 0xCA:
        case 0xCB:
        case 0xCD:
        case 0xCE:
        case 0xCF:
            return true;
        default:
            return false;
    }
}

bool IsUnsupportedSegment(int32_t code) {
    switch (code) {
        case 0x01:
        case 0x02:
        case 0xBF:
        case 0xC8:
        case 0xCC:
        case 0xDE:
        case 0xDF:
            return true;
        default:
            return code >= 0xF0 && code <= 0xFD;
    }
}

// The body length of a segment whose length field is L; a length below 2
// would point back into the length field itself.
int32_t BodyLength(int32_t segmentLength) {
    return segmentLength > 2 ? segmentLength - 2 : 0;
}

}  // namespace

void SetJpegFailureHook(JpegFailureHook hook) {
    failureHook = hook;
}

void JpegFail(const char* message) {
    if (failureHook != nullptr) {
        failureHook(message);
    }
    fputs(message, stdout);
    exit(-1);
}

JpegDecoder::JpegDecoder() {
    position = 0;
    bitPosition = 7;
    size = 0;
    for (int i = 0; i < 8; ++i) {
        bitMask[i] = static_cast<uint8_t>(1 << i);
    }
    data = nullptr;
    markerPending = 0;
    for (int i = 0; i < 8; ++i) {
        huffmanTables[i] = nullptr;
        huffmanCounts[i] = 0;
    }
    memset(huffmanLookups, 0, sizeof huffmanLookups);
    width = 0;
    height = 0;
    componentCount = 0;
    pixels = nullptr;
    pixelsOwned = 0;
    restartInterval = 0;
    // An undefined quantisation table reads as zeros.
    memset(quantTables, 0, sizeof quantTables);
    memset(coefficients, 0, sizeof coefficients);
    memset(samples, 0, sizeof samples);
    for (int i = 0; i < 3; ++i) {
        planes[i] = nullptr;
        dcPredictors[i] = 0;
        hFactors[i] = 1;
        vFactors[i] = 1;
        quantTableIds[i] = 0;
    }
    scanComponentCount = 0;
    for (int i = 0; i < 4; ++i) {
        scanComponentIds[i] = 0;
        dcTableIds[i] = 0;
        acTableIds[i] = 0;
    }
    maxH = 1;
    maxV = 1;
    precision = 8;
    frameRead = 0;
    frameHeight = 0;

    // Zig-zag order: walk the anti-diagonals, alternating direction.
    int k = 0;
    for (int sum = 0; sum < 15; ++sum) {
        for (int i = 0; i <= sum; ++i) {
            int row = (sum % 2 == 0) ? sum - i : i;
            int column = sum - row;
            if (row < 8 && column < 8) {
                zigzag[k++] = row * 8 + column;
            }
        }
    }
    BuildCosineTable();
}

JpegDecoder::~JpegDecoder() {
    Release();
}

int32_t JpegDecoder::Open(const uint8_t* bytes, int32_t byteCount) {
    Release();
    data = bytes;
    size = (bytes != nullptr && byteCount > 0) ? byteCount : 0;
    position = 0;
    bitPosition = 7;
    markerPending = 0;
    restartInterval = 0;
    pixels = nullptr;
    pixelsOwned = 0;
    frameRead = 0;
    frameHeight = 0;
    width = 0;
    height = 0;
    componentCount = 0;
    memset(quantTables, 0, sizeof quantTables);
    if (NextMarker() != kSoi || ProcessSegments() != 1) {
        return 0;
    }
    return width * height * 3;
}

int32_t JpegDecoder::Decode(uint8_t* buffer) {
    if (buffer != nullptr) {
        if (pixelsOwned) {
            free(pixels);
        }
        pixels = buffer;
        pixelsOwned = 0;
    }
    while (ProcessSegments() != 0) {
    }
    // Callers read width x height pixels after a frame header even when no
    // scan followed: give them a black picture rather than none.
    if (frameRead) {
        AllocatePixels();
    }
    return 1;
}

void JpegDecoder::Release() {
    for (int i = 0; i < 8; ++i) {
        free(huffmanTables[i]);
        huffmanTables[i] = nullptr;
        huffmanCounts[i] = 0;
    }
    memset(huffmanLookups, 0, sizeof huffmanLookups);
    for (int i = 0; i < 3; ++i) {
        free(planes[i]);
        planes[i] = nullptr;
    }
    if (pixelsOwned) {
        free(pixels);
    }
    pixels = nullptr;
    pixelsOwned = 0;
}

int32_t JpegDecoder::ReadBytes(uint8_t* destination, int32_t n) {
    if (bitPosition != 7) {
        ++position;
        bitPosition = 7;
    }
    if (position > size) {
        position = size;
    }
    if (n < 0) {
        n = 0;
    }
    if (n >= size - position) {
        n = size - position;
    }
    memcpy(destination, data + position, static_cast<size_t>(n));
    position += n;
    markerPending = 0;
    return n;
}

int32_t JpegDecoder::ReadByte() {
    // Past the end of the data a byte reads as 0.
    uint8_t byte = 0;
    ReadBytes(&byte, 1);
    return byte;
}

int32_t JpegDecoder::Read16() {
    int32_t high = ReadByte();
    return high * 256 + ReadByte();
}

void JpegDecoder::Skip(int32_t n) {
    if (bitPosition != 7) {
        ++position;
        bitPosition = 7;
    }
    if (n < 0) {
        n = 0;
    }
    position = (n < size - position) ? position + n : size;
    markerPending = 0;
}

int32_t JpegDecoder::Remaining() const {
    return size - position - (bitPosition != 7 ? 1 : 0);
}

int32_t JpegDecoder::NextMarker() {
    while (Remaining() >= 2) {
        if (ReadByte() != 0xFF) {
            continue;
        }
        int32_t code = ReadByte();
        if (code != 0) {
            return code;
        }
    }
    return 0;
}

int32_t JpegDecoder::ProcessSegments() {
    int32_t code = NextMarker();
    while (code != kEoi) {
        if (code == 0) {
            return 0;
        }
        if (code == kSof0) {
            Read16();
            ReadFrameHeader();
            return 1;
        }
        if (IsOtherFrameType(code)) {
            JpegFail(JPEG_UNSUPPORTED_FORMAT);
        }
        if (IsUnsupportedSegment(code)) {
            JpegFail(JPEG_UNSUPPORTED_SEGMENT);
        }
        if (code >= kRst0 && code <= kRst7) {
            JpegFail(JPEG_UNEXPECTED_RESTART);
        }
        switch (code) {
            case kSoi:
                JpegFail(JPEG_UNEXPECTED_BEGINNING);
            case kDht:
                ReadHuffmanTables(BodyLength(Read16()));
                break;
            case kDqt:
                ReadQuantTables(BodyLength(Read16()));
                break;
            case kSos:
                Read16();
                ReadScanHeader();
                DecodeScan();
                break;
            case kDri:
                Read16();
                restartInterval = Read16();
                break;
            case kDnl: {
                Read16();
                int32_t lines = Read16();
                // The pixel buffer holds the frame header's lines; a DNL height
                // beyond them would make the next scan write past its end.
                height = (frameRead && lines > frameHeight) ? frameHeight : lines;
                break;
            }
            case kApp0:
                SkipApp0(BodyLength(Read16()));
                break;
            case kCom:
                Skip(BodyLength(Read16()));
                break;
            default:
                if (code > kApp0 && code <= kApp15) {
                    Skip(BodyLength(Read16()));
                }
                // Reserved codes are passed over.
                break;
        }
        code = NextMarker();
    }
    return 0;
}

void JpegDecoder::SkipApp0(int32_t n) {
    int32_t consumed = 0;
    if (n >= 5) {
        uint8_t identifier[5] = {0, 0, 0, 0, 0};
        ReadBytes(identifier, 5);
        consumed = 5;
        uint8_t header[9];
        if (memcmp(identifier, "JFIF", 4) == 0) {
            ReadBytes(header, 9);
            consumed += 9;
        } else if (memcmp(identifier, "JFXX", 4) == 0) {
            ReadBytes(header, 1);
            consumed += 1;
        }
    }
    Skip(n - consumed);
}

void JpegDecoder::ReadQuantTables(int32_t n) {
    // Counted in bytes asked for, so a segment cut by the end of the data
    // still ends.
    int32_t consumed = 0;
    while (consumed < n) {
        int32_t selector = ReadByte();
        int32_t number = selector & 3;
        bool wide = (selector >> 4) != 0;
        consumed += 1;
        for (int k = 0; k < 64; ++k) {
            int32_t value = wide ? Read16() : ReadByte();
            quantTables[number][zigzag[k]] = value;
        }
        consumed += wide ? 128 : 64;
    }
}

void JpegDecoder::ReadHuffmanTables(int32_t n) {
    int32_t consumed = 0;
    while (consumed < n) {
        int32_t selector = ReadByte();
        int32_t tableClass = selector >> 4;
        int32_t id = selector & 15;
        if (tableClass > 1 || id > 3) {
            JpegFail(JPEG_INVALID_TABLE);
        }
        int32_t index = tableClass * 4 + id;
        uint8_t counts[16];
        memset(counts, 0, sizeof counts);
        ReadBytes(counts, 16);
        consumed += 17;

        int32_t count = 0;
        for (int i = 0; i < 16; ++i) {
            count += counts[i];
        }
        free(huffmanTables[index]);
        huffmanTables[index] = nullptr;
        huffmanCounts[index] = 0;
        HuffmanEntry* entries = nullptr;
        if (count > 0) {
            entries = static_cast<HuffmanEntry*>(
                calloc(static_cast<size_t>(count), sizeof(HuffmanEntry)));
            if (entries == nullptr) {
                JpegFail(JPEG_INVALID_TABLE);
            }
        }
        huffmanTables[index] = entries;
        huffmanCounts[index] = count;

        HuffmanLookup& lookup = huffmanLookups[index];
        memset(&lookup, 0, sizeof lookup);
        int32_t entry = 0;
        int32_t code = 0;
        int32_t currentLength = 0;
        for (int length = 1; length <= 16; ++length) {
            lookup.firstEntry[length] = entry;
            lookup.countOfLength[length] = counts[length - 1];
            for (int i = 0; i < counts[length - 1]; ++i) {
                if (length > currentLength) {
                    code <<= length - currentLength;
                    currentLength = length;
                }
                if (i == 0) {
                    lookup.firstCode[length] = code;
                }
                entries[entry].length = length;
                entries[entry].code = code;
                ++code;
                ++entry;
            }
            if (counts[length - 1] > 0) {
                lookup.longestLength = length;
            }
        }
        for (int i = 0; i < count; ++i) {
            entries[i].value = ReadByte();
        }
        consumed += count;
        // Shorter codes first and never overwritten, as the search by length
        // would find them; codes that outgrew their length never match.
        for (int i = 0; i < count; ++i) {
            int32_t length = entries[i].length;
            if (length > kFastBits || entries[i].code >= (1 << length)) {
                continue;
            }
            int32_t first = entries[i].code << (kFastBits - length);
            int32_t last = (entries[i].code + 1) << (kFastBits - length);
            for (int32_t bits = first; bits < last; ++bits) {
                if (lookup.fast[bits] == 0) {
                    lookup.fast[bits] = static_cast<uint16_t>(length << 8 | entries[i].value);
                }
            }
        }
    }
}

void JpegDecoder::ReadFrameHeader() {
    // A second frame would change the dimensions the pixel buffer was sized by.
    if (frameRead) {
        JpegFail(JPEG_UNSUPPORTED_FORMAT);
    }
    precision = static_cast<int16_t>(ReadByte());
    height = Read16();
    width = Read16();
    componentCount = ReadByte();
    if (componentCount != 1 && componentCount != 3) {
        JpegFail(JPEG_UNSUPPORTED_PLANE_SIZE);
    }
    maxH = 0;
    maxV = 0;
    for (int i = 0; i < componentCount; ++i) {
        ReadByte();
        int32_t factors = ReadByte();
        hFactors[i] = static_cast<int16_t>(factors >> 4);
        vFactors[i] = static_cast<int16_t>(factors & 15);
        if (hFactors[i] > maxH) {
            maxH = hFactors[i];
        }
        if (vFactors[i] > maxV) {
            maxV = vFactors[i];
        }
        int32_t selector = ReadByte();
        if (selector > 3) {
            JpegFail(JPEG_UNSUPPORTED_FORMAT);
        }
        quantTableIds[i] = static_cast<uint8_t>(selector);
    }
    // Factors of 1 to 4, each 1 or the largest: the blocks of every component
    // then fill its plane exactly.
    for (int i = 0; i < componentCount; ++i) {
        if (hFactors[i] < 1 || hFactors[i] > 4 || vFactors[i] < 1 || vFactors[i] > 4 ||
            (hFactors[i] != 1 && hFactors[i] != maxH) ||
            (vFactors[i] != 1 && vFactors[i] != maxV)) {
            JpegFail(JPEG_UNSUPPORTED_FORMAT);
        }
    }
    for (int i = componentCount; i < 3; ++i) {
        hFactors[i] = 1;
        vFactors[i] = 1;
        quantTableIds[i] = 0;
    }
    // The buffer size must fit the int32 that Open returns.
    if (static_cast<int64_t>(width) * height * 3 > INT32_MAX) {
        JpegFail(JPEG_UNSUPPORTED_PLANE_SIZE);
    }
    frameRead = 1;
    frameHeight = height;
}

void JpegDecoder::ReadScanHeader() {
    if (!frameRead) {
        JpegFail(JPEG_UNSUPPORTED_FORMAT);
    }
    scanComponentCount = ReadByte();
    // Only scans carrying every frame component are decoded.
    if (scanComponentCount != componentCount) {
        JpegFail(JPEG_UNSUPPORTED_FORMAT);
    }
    for (int i = 0; i < scanComponentCount; ++i) {
        scanComponentIds[i] = ReadByte();
        int32_t tables = ReadByte();
        dcTableIds[i] = tables >> 4;
        acTableIds[i] = tables & 15;
        if (dcTableIds[i] > 3 || acTableIds[i] > 3) {
            JpegFail(JPEG_INVALID_TABLE);
        }
    }
    uint8_t ignored[3];
    ReadBytes(ignored, 3);
}
