// Baseline JPEG decoder for banner pictures: Huffman-coded sequential DCT,
// one or three components, output as blue-green-red bytes.
//
// Corrupt or unsupported data ends the process (message on standard output,
// exit status -1); no operation returns an error.
#pragma once

#include <stdint.h>

// Called with the message before the process ends. The fuzz harness installs
// one that longjmps out; the product never sets it. Must not return normally
// to the decoder (if it does, the process ends as usual).
typedef void (*JpegFailureHook)(const char* message);
void SetJpegFailureHook(JpegFailureHook hook);

[[noreturn]] void JpegFail(const char* message);

struct HuffmanEntry {
    int32_t length;
    int32_t code;
    int32_t value;
};

// Codes of one length are consecutive, so a match is found by subtraction
// instead of walking the entries; codes of up to kFastBits bits are also
// looked up directly by the next kFastBits bits. The bits read stay the same.
const int kFastBits = 9;
struct HuffmanLookup {
    uint16_t fast[1 << kFastBits];  // length << 8 | value, or 0: a longer code
    int32_t firstCode[17];
    int32_t firstEntry[17];
    int32_t countOfLength[17];
    int32_t longestLength;
};

class JpegDecoder {
public:
    JpegDecoder();
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    int32_t Open(const uint8_t* bytes, int32_t byteCount);
    int32_t Decode(uint8_t* buffer);
    void Release();

    // Byte reader (headers and segments).
    int32_t ReadBytes(uint8_t* destination, int32_t n);
    int32_t ReadByte();
    int32_t Read16();
    void Skip(int32_t n);
    int32_t Remaining() const;
    int32_t NextMarker();

    int32_t ProcessSegments();
    void ReadQuantTables(int32_t n);
    void ReadHuffmanTables(int32_t n);
    void ReadFrameHeader();
    void ReadScanHeader();
    void SkipApp0(int32_t n);

    // Entropy-coded data.
    int32_t ReadBits(int32_t n);
    bool PeekBits(uint32_t* window, int32_t* count) const;
    void AdvanceBits(int32_t n);
    int32_t ReadMagnitude(int32_t s);
    static int32_t Extend(int32_t v, int32_t s);
    int32_t MatchSymbol(int32_t index, uint32_t window, int32_t* length) const;
    int32_t DecodeSymbol(int32_t tableClass, int32_t component);
    // DecodeSymbol followed by ReadBits of the symbol's size (s, or the low
    // four bits of rs), if any; the bits come back in *bits.
    int32_t DecodeSymbolAndBits(int32_t tableClass, int32_t component, int32_t* bits);
    void DecodeBlock(int32_t component);
    void DecodeMcu();
    void AllocatePixels();
    void DecodeScan();

    // Block reconstruction and colour output.
    void BuildCosineTable();
    void Dequantise(int32_t component);
    void InverseDct();
    void StoreBlock(int32_t component, int32_t bx, int32_t by);
    void ConvertMcu(int32_t mx, int32_t my);

    int32_t position;
    int32_t bitPosition;
    int32_t size;
    uint8_t bitMask[8];
    const uint8_t* data;
    int32_t markerPending;
    HuffmanEntry* huffmanTables[8];
    int32_t huffmanCounts[8];
    int32_t width;
    int32_t height;
    int32_t componentCount;
    uint8_t* pixels;
    int32_t pixelsOwned;
    int32_t restartInterval;
    int32_t quantTables[4][64];
    int32_t coefficients[64];
    int32_t samples[64];
    int32_t zigzag[64];
    double cosineTable[8][64];
    int32_t* planes[3];
    int32_t dcPredictors[3];
    int32_t scanComponentCount;
    int32_t scanComponentIds[4];
    int32_t dcTableIds[4];
    int32_t acTableIds[4];
    int16_t maxH;
    int16_t maxV;
    int16_t hFactors[3];
    int16_t vFactors[3];
    int16_t precision;
    uint8_t quantTableIds[3];

    // Set once a frame header has been read; the pixel buffer is sized by
    // the header's height, which a later DNL may lower but never raise.
    int32_t frameRead;
    int32_t frameHeight;
    HuffmanLookup huffmanLookups[8];
    // cosineByFrequency[u][r] = C(r, u), the same values as cosineTable laid
    // out so the transform walks them contiguously.
    double cosineByFrequency[8][8];
};
