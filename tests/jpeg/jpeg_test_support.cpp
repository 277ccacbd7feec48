#include "tests/jpeg/jpeg_test_support.h"

#include <ctype.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "jpeg/jpeg_decoder.h"

HuffmanCodes SimpleDcTable() {
    HuffmanCodes codes = {};
    codes.counts[3] = 16;
    for (int s = 0; s < 16; ++s) {
        codes.values.push_back(static_cast<uint8_t>(s));
    }
    return codes;
}

HuffmanCodes SimpleAcTable() {
    HuffmanCodes codes = {};
    codes.counts[7] = 255;
    for (int rs = 0; rs < 255; ++rs) {
        codes.values.push_back(static_cast<uint8_t>(rs));
    }
    return codes;
}

Bytes Segment(int code, const Bytes& body) {
    Bytes out = {0xFF, static_cast<uint8_t>(code)};
    size_t length = body.size() + 2;
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes QuantSegment(int id, int value, bool wide) {
    Bytes body = {static_cast<uint8_t>((wide ? 0x10 : 0) | id)};
    for (int k = 0; k < 64; ++k) {
        if (wide) {
            body.push_back(static_cast<uint8_t>(value >> 8));
        }
        body.push_back(static_cast<uint8_t>(value));
    }
    return Segment(0xDB, body);
}

Bytes HuffmanSegment(int tableClass, int id, const HuffmanCodes& codes) {
    Bytes body = {static_cast<uint8_t>(tableClass << 4 | id)};
    body.insert(body.end(), codes.counts, codes.counts + 16);
    body.insert(body.end(), codes.values.begin(), codes.values.end());
    return Segment(0xC4, body);
}

Bytes FrameSegment(int width, int height, const std::vector<ComponentLayout>& components,
                   int code) {
    Bytes body = {8,
                  static_cast<uint8_t>(height >> 8),
                  static_cast<uint8_t>(height),
                  static_cast<uint8_t>(width >> 8),
                  static_cast<uint8_t>(width),
                  static_cast<uint8_t>(components.size())};
    for (const ComponentLayout& c : components) {
        body.push_back(static_cast<uint8_t>(c.id));
        body.push_back(static_cast<uint8_t>(c.h << 4 | c.v));
        body.push_back(static_cast<uint8_t>(c.tq));
    }
    return Segment(code, body);
}

Bytes ScanSegment(const std::vector<ComponentLayout>& components) {
    Bytes body = {static_cast<uint8_t>(components.size())};
    for (const ComponentLayout& c : components) {
        body.push_back(static_cast<uint8_t>(c.id));
        body.push_back(static_cast<uint8_t>(c.td << 4 | c.ta));
    }
    body.push_back(0);
    body.push_back(63);
    body.push_back(0);
    return Segment(0xDA, body);
}

Bytes RestartIntervalSegment(int interval) {
    return Segment(0xDD, {static_cast<uint8_t>(interval >> 8), static_cast<uint8_t>(interval)});
}

void BitWriter::Put(uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
        current_ = current_ << 1 | ((bits >> i) & 1);
        if (++filled_ == 8) {
            bytes_.push_back(static_cast<uint8_t>(current_));
            if (current_ == 0xFF) {
                bytes_.push_back(0);
            }
            current_ = 0;
            filled_ = 0;
        }
    }
}

void BitWriter::PutSymbol(const HuffmanCodes& codes, int symbol) {
    int code = 0;
    size_t entry = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < codes.counts[length - 1]; ++i, ++entry, ++code) {
            if (codes.values[entry] == symbol) {
                Put(static_cast<uint32_t>(code), length);
                return;
            }
        }
        code <<= 1;
    }
    abort();  // the test asked for a symbol its table lacks
}

namespace {

int SizeCategory(int value) {
    int magnitude = value < 0 ? -value : value;
    int s = 0;
    while (magnitude > 0) {
        ++s;
        magnitude >>= 1;
    }
    return s;
}

uint32_t MagnitudeBits(int value, int s) {
    return static_cast<uint32_t>(value < 0 ? value + (1 << s) - 1 : value);
}

}  // namespace

void BitWriter::PutBlock(int dcDiff, const std::vector<std::pair<int, int>>& ac,
                         const HuffmanCodes& dc, const HuffmanCodes& acTable) {
    int s = SizeCategory(dcDiff);
    PutSymbol(dc, s);
    Put(MagnitudeBits(dcDiff, s), s);
    int last = 0;
    for (const auto& [zigzagPosition, value] : ac) {
        int run = zigzagPosition - last - 1;
        while (run >= 16) {
            PutSymbol(acTable, 0xF0);
            run -= 16;
        }
        s = SizeCategory(value);
        PutSymbol(acTable, run << 4 | s);
        Put(MagnitudeBits(value, s), s);
        last = zigzagPosition;
    }
    if (last < 63) {
        PutSymbol(acTable, 0x00);
    }
}

Bytes BitWriter::Finish() {
    if (filled_ > 0) {
        Put(0xFF, 8 - filled_);
    }
    return bytes_;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes SimpleJpeg(int width, int height, const std::vector<ComponentLayout>& components,
                 const Bytes& entropy, int quant) {
    return Concat({{0xFF, 0xD8},
                   QuantSegment(0, quant, quant > 255),
                   HuffmanSegment(0, 0, SimpleDcTable()),
                   HuffmanSegment(1, 0, SimpleAcTable()),
                   FrameSegment(width, height, components),
                   ScanSegment(components),
                   entropy,
                   {0xFF, 0xD9}});
}

std::vector<ComponentLayout> GreyComponents() {
    return {{1, 1, 1, 0, 0, 0}};
}

std::vector<ComponentLayout> ColourComponents(int h, int v) {
    return {{1, h, v, 0, 0, 0}, {2, 1, 1, 0, 0, 0}, {3, 1, 1, 0, 0, 0}};
}

DecodedPicture DecodeInProcess(const Bytes& jpeg) {
    DecodedPicture picture;
    JpegDecoder decoder;
    picture.openResult = decoder.Open(jpeg.data(), static_cast<int32_t>(jpeg.size()));
    if (picture.openResult > 0) {
        decoder.Decode(nullptr);
        picture.width = decoder.width;
        picture.height = decoder.height;
        if (decoder.pixels != nullptr) {
            picture.bgr.assign(decoder.pixels, decoder.pixels + static_cast<size_t>(decoder.width) *
                                                                    decoder.height * 3);
        }
    }
    decoder.Release();
    return picture;
}

Image SyntheticImage(int width, int height) {
    // Smooth colour fields with a little fixed noise: enough detail for AC
    // coefficients, while staying clear of 0 and 255 so that neither decoder
    // clips.
    Image image;
    image.width = width;
    image.height = height;
    image.channels = 3;
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            int noise = static_cast<int>((seed >> 16) % 17) - 8;
            double r = 128 + 70 * sin(x / 9.0 + y / 13.0) + noise;
            double g = 128 + 70 * cos(x / 17.0 - y / 7.0) - noise;
            double b = 128 + 60 * sin((x + 2 * y) / 11.0) + noise / 2;
            image.samples.push_back(static_cast<uint8_t>(r));
            image.samples.push_back(static_cast<uint8_t>(g));
            image.samples.push_back(static_cast<uint8_t>(b));
        }
    }
    return image;
}

bool WritePnm(const std::string& path, const Image& image) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    fprintf(file, "P%d\n%d %d\n255\n", image.channels == 3 ? 6 : 5, image.width, image.height);
    size_t written = fwrite(image.samples.data(), 1, image.samples.size(), file);
    return fclose(file) == 0 && written == image.samples.size();
}

bool ReadPnm(const std::string& path, Image* image) {
    Bytes bytes;
    if (!ReadFile(path, &bytes) || bytes.size() < 2 || bytes[0] != 'P' ||
        (bytes[1] != '5' && bytes[1] != '6')) {
        return false;
    }
    image->channels = bytes[1] == '6' ? 3 : 1;
    size_t at = 2;
    int fields[3] = {0, 0, 0};
    for (int& field : fields) {
        while (at < bytes.size() && isspace(bytes[at])) {
            ++at;
        }
        while (at < bytes.size() && isdigit(bytes[at])) {
            field = field * 10 + (bytes[at++] - '0');
        }
    }
    ++at;  // the single whitespace byte before the samples
    image->width = fields[0];
    image->height = fields[1];
    size_t expected = static_cast<size_t>(image->width) * image->height * image->channels;
    if (fields[2] != 255 || at + expected != bytes.size()) {
        return false;
    }
    image->samples.assign(bytes.begin() + static_cast<long>(at), bytes.end());
    return true;
}

bool ReadFile(const std::string& path, Bytes* bytes) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    bytes->clear();
    uint8_t buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes->insert(bytes->end(), buffer, buffer + got);
    }
    fclose(file);
    return true;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    size_t written = fwrite(bytes.data(), 1, bytes.size(), file);
    return fclose(file) == 0 && written == bytes.size();
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        text.append(buffer, got);
    }
    int status = pclose(pipe);
    if (output != nullptr) {
        *output = text;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TempFolder::TempFolder() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/jpeg-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) != nullptr) {
        path_ = name.data();
    }
}

TempFolder::~TempFolder() {
    if (!path_.empty()) {
        std::string command = "rm -rf '" + path_ + "'";
        if (system(command.c_str()) != 0) {
            fprintf(stderr, "could not remove %s\n", path_.c_str());
        }
    }
}

std::vector<JpegSegment> SplitSegments(const Bytes& jpeg) {
    std::vector<JpegSegment> segments;
    size_t at = 0;
    while (at + 1 < jpeg.size()) {
        if (jpeg[at] != 0xFF) {
            return {};
        }
        int code = jpeg[at + 1];
        size_t end = at + 2;
        if (code != 0xD8 && code != 0xD9) {
            if (end + 1 >= jpeg.size()) {
                return {};
            }
            end += static_cast<size_t>(jpeg[end] << 8 | jpeg[end + 1]);
            if (code == 0xDA) {
                // The scan data runs to the next marker that is neither a
                // stuffed byte nor a restart marker.
                while (end + 1 < jpeg.size() && !(jpeg[end] == 0xFF && jpeg[end + 1] != 0 &&
                                                  (jpeg[end + 1] < 0xD0 || jpeg[end + 1] > 0xD7))) {
                    ++end;
                }
            }
        }
        end = std::min(end, jpeg.size());
        segments.push_back({code, Bytes(jpeg.begin() + static_cast<long>(at),
                                        jpeg.begin() + static_cast<long>(end))});
        at = end;
    }
    return segments;
}

Bytes JoinSegments(const std::vector<JpegSegment>& segments) {
    Bytes out;
    for (const JpegSegment& segment : segments) {
        out.insert(out.end(), segment.bytes.begin(), segment.bytes.end());
    }
    return out;
}
