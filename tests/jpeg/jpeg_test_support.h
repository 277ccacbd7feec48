// Helpers for the decoder tests: a small baseline stream writer for crafted
// pictures, PPM files, and running the reference tools.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct HuffmanCodes {
    uint8_t counts[16];
    Bytes values;
};

// 4-bit DC codes: the code of size category s is s itself.
HuffmanCodes SimpleDcTable();
// 8-bit AC codes: the code of symbol rs is rs itself (0x00 to 0xFE).
HuffmanCodes SimpleAcTable();

struct ComponentLayout {
    int id;
    int h;
    int v;
    int tq;
    int td;
    int ta;
};

Bytes Segment(int code, const Bytes& body);
Bytes QuantSegment(int id, int value, bool wide = false);
Bytes HuffmanSegment(int tableClass, int id, const HuffmanCodes& codes);
Bytes FrameSegment(int width, int height, const std::vector<ComponentLayout>& components,
                   int code = 0xC0);
Bytes ScanSegment(const std::vector<ComponentLayout>& components);
Bytes RestartIntervalSegment(int interval);

// Writes entropy-coded data with 0xFF stuffing, padding the last byte with 1s.
class BitWriter {
public:
    void Put(uint32_t bits, int count);
    void PutSymbol(const HuffmanCodes& codes, int symbol);
    // Encodes one block: a DC difference and AC values by zig-zag position.
    void PutBlock(int dcDiff, const std::vector<std::pair<int, int>>& ac, const HuffmanCodes& dc,
                  const HuffmanCodes& acTable);
    void PutBlock(int dcDiff) { PutBlock(dcDiff, {}, SimpleDcTable(), SimpleAcTable()); }
    Bytes Finish();

private:
    Bytes bytes_;
    uint32_t current_ = 0;
    int filled_ = 0;
};

Bytes Concat(std::initializer_list<Bytes> parts);

// SOI, DQT (table 0, every entry `quant`), the simple DHT tables 0, SOF0,
// SOS and the given entropy-coded data, then EOI.
Bytes SimpleJpeg(int width, int height, const std::vector<ComponentLayout>& components,
                 const Bytes& entropy, int quant = 1);

std::vector<ComponentLayout> GreyComponents();
std::vector<ComponentLayout> ColourComponents(int h, int v);

struct DecodedPicture {
    int32_t openResult = 0;
    int width = 0;
    int height = 0;
    Bytes bgr;
};

DecodedPicture DecodeInProcess(const Bytes& jpeg);

struct Image {
    int width = 0;
    int height = 0;
    int channels = 3;
    Bytes samples;  // RGB or grey, row by row
};

Image SyntheticImage(int width, int height);
bool WritePnm(const std::string& path, const Image& image);
bool ReadPnm(const std::string& path, Image* image);
bool ReadFile(const std::string& path, Bytes* bytes);
bool WriteFile(const std::string& path, const Bytes& bytes);

// Runs a shell command; returns its exit status (or -1) and its standard
// output.
int RunCommand(const std::string& command, std::string* output);

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct JpegSegment {
    int code;
    Bytes bytes;  // the whole segment from its 0xFF, for SOS including the scan data
};

// Splits a file into SOI, its segments (a scan with its entropy-coded data)
// and EOI.
std::vector<JpegSegment> SplitSegments(const Bytes& jpeg);
Bytes JoinSegments(const std::vector<JpegSegment>& segments);
