// Stream parsing and entropy decoding on crafted files.
#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "jpeg/jpeg_decoder.h"
#include "tests/jpeg/jpeg_test_support.h"

namespace {

const Bytes kSoi = {0xFF, 0xD8};
const Bytes kEoi = {0xFF, 0xD9};

Bytes Entropy(std::initializer_list<int> dcDiffs) {
    BitWriter writer;
    for (int diff : dcDiffs) {
        writer.PutBlock(diff);
    }
    return writer.Finish();
}

void ExpectUniform(const DecodedPicture& picture, int width, int height, int blue, int green,
                   int red) {
    ASSERT_EQ(picture.width, width);
    ASSERT_EQ(picture.height, height);
    ASSERT_EQ(picture.bgr.size(), static_cast<size_t>(width) * height * 3);
    for (size_t p = 0; p < picture.bgr.size(); p += 3) {
        ASSERT_EQ(picture.bgr[p], blue) << "pixel " << p / 3;
        ASSERT_EQ(picture.bgr[p + 1], green) << "pixel " << p / 3;
        ASSERT_EQ(picture.bgr[p + 2], red) << "pixel " << p / 3;
    }
}

// Runs in the death-test child: the decoder's message goes to standard
// output, which is sent where the death test can read it.
void DecodeExpectingExit(const Bytes& jpeg) {
    fflush(stdout);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    DecodeInProcess(jpeg);
}

std::string ExactOutput(const std::string& message) {
    std::string pattern = "^";
    for (char c : message) {
        if (c == '.') {
            pattern += "\\";
        }
        pattern += c;
    }
    return pattern + "$";
}

// A DC table whose last 8-bit code is 0xFF, meaning size category `last`.
HuffmanCodes DcTableWithAllOnesCode(int last) {
    HuffmanCodes codes = {};
    codes.counts[0] = 1;
    codes.values.push_back(0);
    codes.counts[7] = 128;
    for (int i = 0; i < 127; ++i) {
        codes.values.push_back(0);
    }
    codes.values.push_back(static_cast<uint8_t>(last));
    return codes;
}

Bytes WithTables(const HuffmanCodes& dc, int width, int height, const Bytes& entropy,
                 bool withEoi = true) {
    return Concat({kSoi, QuantSegment(0, 1), HuffmanSegment(0, 0, dc),
                   HuffmanSegment(1, 0, SimpleAcTable()),
                   FrameSegment(width, height, GreyComponents()), ScanSegment(GreyComponents()),
                   entropy, withEoi ? kEoi : Bytes{}});
}

TEST(JpegStream, OneComponentPictureIsGreyAndClamped) {
    // Quantiser 10: DC 1100 gives 265 (clamped to 255), -1100 gives -10
    // (clamped to 0), 300 gives 165.
    DecodedPicture picture =
        DecodeInProcess(SimpleJpeg(24, 8, GreyComponents(), Entropy({110, -220, 140}), 10));
    ASSERT_EQ(picture.openResult, 24 * 8 * 3);
    ASSERT_EQ(picture.bgr.size(), 24u * 8 * 3);
    const int expected[3] = {255, 0, 165};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 24; ++x) {
            for (int b = 0; b < 3; ++b) {
                ASSERT_EQ(picture.bgr[static_cast<size_t>(3 * (24 * y + x) + b)], expected[x / 8])
                    << x << "," << y;
            }
        }
    }
}

TEST(JpegStream, FourTwoZeroMcuCoversSixteenBySixteen) {
    // 32 x 16: two MCUs, each four luma blocks and one block per chroma.
    // Luma DC 80 then -80 (a difference of -160); Cb 80 in both MCUs.
    BitWriter corrected;
    for (int m = 0; m < 2; ++m) {
        corrected.PutBlock(m == 0 ? 80 : -160);
        for (int b = 1; b < 4; ++b) {
            corrected.PutBlock(0);
        }
        corrected.PutBlock(m == 0 ? 80 : 0);
        corrected.PutBlock(0);
    }
    DecodedPicture picture =
        DecodeInProcess(SimpleJpeg(32, 16, ColourComponents(2, 2), corrected.Finish()));
    ASSERT_EQ(picture.bgr.size(), 32u * 16 * 3);
    // Y 137 / 118 with Cb 137 and Cr 128 over each 16 x 16 MCU.
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            int luma = x < 16 ? 137 : 118;
            const uint8_t* p = &picture.bgr[static_cast<size_t>(3 * (32 * y + x))];
            ASSERT_EQ(p[0], static_cast<int>(9 * 1.7718 + luma)) << x << "," << y;
            ASSERT_EQ(p[1], static_cast<int>(luma - 9 * 0.3441)) << x << "," << y;
            ASSERT_EQ(p[2], luma) << x << "," << y;
        }
    }
}

TEST(JpegStream, FirstEntropyByteFfWithItsStuffedZero) {
    // DC code 0xFF (size 7), magnitude 80, then end of block.
    BitWriter writer;
    writer.Put(0xFF, 8);
    writer.Put(80, 7);
    writer.PutSymbol(SimpleAcTable(), 0x00);
    Bytes entropy = writer.Finish();
    ASSERT_GE(entropy.size(), 2u);
    ASSERT_EQ(entropy[0], 0xFF);
    ASSERT_EQ(entropy[1], 0x00);
    ExpectUniform(DecodeInProcess(WithTables(DcTableWithAllOnesCode(7), 8, 8, entropy)), 8, 8, 137,
                  137, 137);
}

TEST(JpegStream, RestartMarkersResetThePrediction) {
    // Six 8 x 8 MCUs, interval 4: after RST0 the DC difference counts from 0.
    Bytes plain = SimpleJpeg(48, 8, GreyComponents(), Entropy({80, 0, -160, 160, -80, -80}));
    Bytes firstPart = Entropy({80, 0, -160, 160});
    Bytes secondPart = Entropy({0, -80});
    Bytes restarted = Concat({kSoi,
                              QuantSegment(0, 1),
                              HuffmanSegment(0, 0, SimpleDcTable()),
                              HuffmanSegment(1, 0, SimpleAcTable()),
                              RestartIntervalSegment(4),
                              FrameSegment(48, 8, GreyComponents()),
                              ScanSegment(GreyComponents()),
                              firstPart,
                              {0xFF, 0xD0},
                              secondPart,
                              kEoi});
    DecodedPicture a = DecodeInProcess(plain);
    DecodedPicture b = DecodeInProcess(restarted);
    ASSERT_EQ(a.bgr.size(), 48u * 8 * 3);
    EXPECT_EQ(a.bgr, b.bgr);
    const int levels[6] = {137, 137, 118, 137, 128, 118};
    for (int x = 0; x < 48; ++x) {
        ASSERT_EQ(b.bgr[static_cast<size_t>(3 * x)], levels[x / 8]) << x;
    }
}

TEST(JpegStream, SixteenBitQuantisationTable) {
    // 300 = 0x012C: read as one big-endian value, DC 1 becomes 300 -> 165.
    ExpectUniform(DecodeInProcess(SimpleJpeg(8, 8, GreyComponents(), Entropy({1}), 300)), 8, 8, 165,
                  165, 165);
}

TEST(JpegStream, SegmentsInAnyOrderAndBetweenScans) {
    Bytes entropy = Entropy({80, -160});
    Bytes base = SimpleJpeg(16, 8, GreyComponents(), entropy);
    Bytes jfif = Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 1, 0, 1, 0, 0});
    Bytes jfxx = Segment(0xE0, {'J', 'F', 'X', 'X', 0, 0x10, 9, 9});
    Bytes reordered =
        Concat({kSoi, Segment(0xFE, {'h', 'i'}), HuffmanSegment(1, 0, SimpleAcTable()), jfxx,
                Segment(0xE1, {1, 2, 3}), FrameSegment(16, 8, GreyComponents()), QuantSegment(0, 1),
                jfif, Segment(0xEF, {}), HuffmanSegment(0, 0, SimpleDcTable()),
                ScanSegment(GreyComponents()), entropy, kEoi});
    DecodedPicture a = DecodeInProcess(base);
    ASSERT_EQ(a.bgr.size(), 16u * 8 * 3);
    EXPECT_EQ(a.bgr, DecodeInProcess(reordered).bgr);

    // A second scan after new tables overwrites the first: quantiser 2 turns
    // DC 40 into 80 (137) where the first scan gave 132.
    Bytes twoScans =
        Concat({kSoi, QuantSegment(0, 1), HuffmanSegment(0, 0, SimpleDcTable()),
                HuffmanSegment(1, 0, SimpleAcTable()), FrameSegment(8, 8, GreyComponents()),
                ScanSegment(GreyComponents()), Entropy({40}), Segment(0xFE, {'x'}),
                QuantSegment(0, 2), HuffmanSegment(0, 0, SimpleDcTable()),
                ScanSegment(GreyComponents()), Entropy({40}), kEoi});
    ExpectUniform(DecodeInProcess(twoScans), 8, 8, 137, 137, 137);
    ExpectUniform(DecodeInProcess(SimpleJpeg(8, 8, GreyComponents(), Entropy({40}))), 8, 8, 132,
                  132, 132);
}

TEST(JpegStream, SegmentLengthsBelowTwoReadNothing) {
    Bytes entropy = Entropy({80});
    Bytes expected = DecodeInProcess(SimpleJpeg(8, 8, GreyComponents(), entropy)).bgr;
    ASSERT_EQ(expected.size(), 8u * 8 * 3);
    const Bytes shortSegments[] = {
        {0xFF, 0xFE, 0x00, 0x00}, {0xFF, 0xFE, 0x00, 0x01}, {0xFF, 0xE1, 0x00, 0x00},
        {0xFF, 0xE0, 0x00, 0x01}, {0xFF, 0xC4, 0x00, 0x01}, {0xFF, 0xDB, 0x00, 0x00},
    };
    for (const Bytes& segment : shortSegments) {
        Bytes jpeg = SimpleJpeg(8, 8, GreyComponents(), entropy);
        jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
        EXPECT_EQ(DecodeInProcess(jpeg).bgr, expected)
            << "segment code " << static_cast<int>(segment[1]);
    }
}

TEST(JpegStream, OpenFindsTheFrameOnlyAfterSoi) {
    Bytes jpeg = SimpleJpeg(8, 8, GreyComponents(), Entropy({80}));
    Bytes prefixed = Concat({{'a', 'b', 0xFF, 0x00, 'c', 0x12}, jpeg});
    ExpectUniform(DecodeInProcess(prefixed), 8, 8, 137, 137, 137);

    Bytes noSoi(jpeg.begin() + 2, jpeg.end());
    EXPECT_EQ(DecodeInProcess(noSoi).openResult, 0);
    Bytes noFrame = Concat({kSoi, QuantSegment(0, 1), kEoi});
    EXPECT_EQ(DecodeInProcess(noFrame).openResult, 0);
    EXPECT_EQ(DecodeInProcess(kSoi).openResult, 0);
    JpegDecoder decoder;
    EXPECT_EQ(decoder.Open(nullptr, 0), 0);
}

TEST(JpegStream, FrameWithoutScanGivesABlackPicture) {
    Bytes headersOnly = Concat({kSoi, QuantSegment(0, 1), FrameSegment(8, 8, GreyComponents())});
    DecodedPicture picture = DecodeInProcess(headersOnly);
    EXPECT_EQ(picture.openResult, 8 * 8 * 3);
    ExpectUniform(picture, 8, 8, 0, 0, 0);
}

TEST(JpegStream, UndefinedQuantisationTableReadsAsZeros) {
    std::vector<ComponentLayout> components = {{1, 1, 1, 3, 0, 0}};
    ExpectUniform(DecodeInProcess(SimpleJpeg(8, 8, components, Entropy({80}))), 8, 8, 128, 128,
                  128);
}

TEST(JpegStream, DnlNeverRaisesTheHeightPastTheBuffer) {
    // Frame of 8 lines; a DNL of 64 before the second scan must not make it
    // decode (and write) 64 lines.
    BitWriter second;
    for (int i = 0; i < 8; ++i) {
        second.PutBlock(i == 0 ? 80 : 0);
    }
    Bytes jpeg =
        Concat({kSoi, QuantSegment(0, 1), HuffmanSegment(0, 0, SimpleDcTable()),
                HuffmanSegment(1, 0, SimpleAcTable()), FrameSegment(8, 8, GreyComponents()),
                ScanSegment(GreyComponents()), Entropy({40}), Segment(0xDC, {0, 64}),
                ScanSegment(GreyComponents()), second.Finish(), kEoi});
    ExpectUniform(DecodeInProcess(jpeg), 8, 8, 137, 137, 137);

    // A smaller DNL height is taken.
    Bytes lowered =
        Concat({kSoi, QuantSegment(0, 1), HuffmanSegment(0, 0, SimpleDcTable()),
                HuffmanSegment(1, 0, SimpleAcTable()), FrameSegment(8, 16, GreyComponents()),
                ScanSegment(GreyComponents()), Entropy({80, 0}), Segment(0xDC, {0, 8}), kEoi});
    DecodedPicture picture = DecodeInProcess(lowered);
    EXPECT_EQ(picture.height, 8);
}

TEST(JpegStream, ZeroHeightFrameDecodesNothing) {
    Bytes jpeg = SimpleJpeg(8, 0, GreyComponents(), Entropy({80}));
    JpegDecoder decoder;
    EXPECT_EQ(decoder.Open(jpeg.data(), static_cast<int32_t>(jpeg.size())), 0);
    EXPECT_EQ(decoder.Decode(nullptr), 1);
    EXPECT_EQ(decoder.height, 0);
    decoder.Release();
}

TEST(JpegStream, CallerBufferReceivesThePixels) {
    Bytes jpeg = SimpleJpeg(8, 8, GreyComponents(), Entropy({-80}));
    JpegDecoder decoder;
    ASSERT_EQ(decoder.Open(jpeg.data(), static_cast<int32_t>(jpeg.size())), 192);
    std::vector<uint8_t> buffer(192 + 8, 0xEE);
    decoder.Decode(buffer.data());
    EXPECT_EQ(decoder.pixels, buffer.data());
    decoder.Release();  // must not free the caller's buffer
    for (size_t i = 0; i < buffer.size(); ++i) {
        ASSERT_EQ(buffer[i], i < 192 ? 118 : 0xEE) << i;
    }
}

struct ErrorCase {
    const char* name;
    Bytes jpeg;
    const char* message;
};

Bytes ReplaceFrameCode(int code) {
    Bytes jpeg = SimpleJpeg(8, 8, GreyComponents(), Entropy({80}));
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 1] = static_cast<uint8_t>(code);
            break;
        }
    }
    return jpeg;
}

Bytes InsertAfterSoi(const Bytes& inserted) {
    Bytes jpeg = SimpleJpeg(8, 8, GreyComponents(), Entropy({80}));
    jpeg.insert(jpeg.begin() + 2, inserted.begin(), inserted.end());
    return jpeg;
}

Bytes WithComponents(const std::vector<ComponentLayout>& frame,
                     const std::vector<ComponentLayout>& scan, const Bytes& entropy) {
    return Concat({kSoi, QuantSegment(0, 1), HuffmanSegment(0, 0, SimpleDcTable()),
                   HuffmanSegment(1, 0, SimpleAcTable()), FrameSegment(16, 16, frame),
                   ScanSegment(scan), entropy, kEoi});
}

std::vector<ErrorCase> ErrorCases() {
    std::vector<ErrorCase> cases;
    for (int code : {0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF}) {
        cases.push_back({"other frame type", ReplaceFrameCode(code), "Unsupported JPEG format.\n"});
    }
    std::vector<ComponentLayout> four = ColourComponents(1, 1);
    four.push_back({4, 1, 1, 0, 0, 0});
    cases.push_back(
        {"four components", WithComponents(four, four, Entropy({0})), "Unsupported plane size.\n"});
    std::vector<ComponentLayout> two = {{1, 1, 1, 0, 0, 0}, {2, 1, 1, 0, 0, 0}};
    cases.push_back(
        {"two components", WithComponents(two, two, Entropy({0})), "Unsupported plane size.\n"});
    cases.push_back({"65535 x 65535", Concat({kSoi, FrameSegment(65535, 65535, GreyComponents())}),
                     "Unsupported plane size.\n"});
    for (int code : {0x01, 0x02, 0xBF, 0xC8, 0xCC, 0xDE, 0xDF, 0xF0, 0xF7, 0xFD}) {
        cases.push_back(
            {"unsupported segment", InsertAfterSoi(Segment(code, {})), "Unsupported segment.\n"});
    }
    cases.push_back({"RST0 outside a scan", InsertAfterSoi({0xFF, 0xD0}),
                     "Unexpected termination of restart interval.\n"});
    cases.push_back({"RST7 outside a scan", InsertAfterSoi({0xFF, 0xD7}),
                     "Unexpected termination of restart interval.\n"});
    cases.push_back({"second SOI", InsertAfterSoi(kSoi), "Unexpected image beginning signal.\n"});

    HuffmanCodes oneCode = {};
    oneCode.counts[0] = 1;
    oneCode.values.push_back(0);
    cases.push_back(
        {"DHT class 2", InsertAfterSoi(HuffmanSegment(2, 0, oneCode)), "Invalid huffman table.\n"});
    cases.push_back(
        {"DHT id 4", InsertAfterSoi(HuffmanSegment(0, 4, oneCode)), "Invalid huffman table.\n"});
    cases.push_back({"scan DC table id 4", SimpleJpeg(8, 8, {{1, 1, 1, 0, 4, 0}}, Entropy({80})),
                     "Invalid huffman table.\n"});
    cases.push_back({"scan AC table id 15", SimpleJpeg(8, 8, {{1, 1, 1, 0, 0, 15}}, Entropy({80})),
                     "Invalid huffman table.\n"});

    cases.push_back({"undefined AC table", SimpleJpeg(8, 8, {{1, 1, 1, 0, 0, 1}}, Entropy({80})),
                     "Invalid huffman code.\n"});
    cases.push_back({"undefined DC table", SimpleJpeg(8, 8, {{1, 1, 1, 0, 2, 0}}, Entropy({80})),
                     "Invalid huffman code.\n"});
    {
        BitWriter writer;
        for (int i = 0; i < 64; ++i) {
            writer.PutBlock(i % 2 == 0 ? 100 : -100, {{1, 5}, {7, -3}}, SimpleDcTable(),
                            SimpleAcTable());
        }
        Bytes entropy = writer.Finish();
        entropy.resize(entropy.size() / 2);
        Bytes cut =
            Concat({kSoi, QuantSegment(0, 1), HuffmanSegment(0, 0, SimpleDcTable()),
                    HuffmanSegment(1, 0, SimpleAcTable()), FrameSegment(64, 64, GreyComponents()),
                    ScanSegment(GreyComponents()), entropy});
        cases.push_back({"data cut in mid-scan", cut, "Invalid huffman code.\n"});
    }
    {
        // Ends right after a stuffed byte while a magnitude is being read:
        // code 1111 (size 9) then 4 of its 9 bits.
        HuffmanCodes dc = SimpleDcTable();
        dc.values[15] = 9;
        cases.push_back({"data cut after a stuffed byte", WithTables(dc, 8, 8, {0xFF, 0x00}, false),
                         "Invalid huffman code.\n"});
    }
    {
        BitWriter writer;
        writer.PutSymbol(SimpleDcTable(), 0);
        writer.PutSymbol(SimpleAcTable(), 0x10);  // size 0 with a run of 1
        cases.push_back({"AC size 0 with run 1",
                         SimpleJpeg(8, 8, GreyComponents(), writer.Finish()),
                         "Invalid huffman code.\n"});
    }
    {
        BitWriter writer;
        writer.PutSymbol(SimpleDcTable(), 0);
        for (int i = 0; i < 4; ++i) {
            writer.PutSymbol(SimpleAcTable(), 0xF1);  // fourth run passes position 63
            writer.Put(1, 1);
        }
        cases.push_back({"run beyond position 63",
                         SimpleJpeg(8, 8, GreyComponents(), writer.Finish()),
                         "Invalid huffman code.\n"});
    }
    {
        HuffmanCodes dc = SimpleDcTable();
        dc.values[15] = 16;
        BitWriter writer;
        writer.Put(15, 4);
        writer.Put(0xFFFF, 16);
        writer.Put(0xFFFF, 16);
        cases.push_back(
            {"DC size 16", WithTables(dc, 8, 8, writer.Finish()), "Invalid huffman code.\n"});
    }
    cases.push_back({"marker inside scan data",
                     SimpleJpeg(8, 8, GreyComponents(), {0xFF, 0xD0, 0x00, 0x00}),
                     "Unexpected marker.\n"});

    std::vector<ComponentLayout> colour = ColourComponents(1, 1);
    std::vector<ComponentLayout> five = colour;
    five.push_back({4, 0, 0, 0, 0, 0});
    five.push_back({5, 0, 0, 0, 0, 0});
    cases.push_back({"five scan components", WithComponents(colour, five, Entropy({0})),
                     "Unsupported JPEG format.\n"});
    cases.push_back({"scan without every component",
                     WithComponents(colour, GreyComponents(), Entropy({0})),
                     "Unsupported JPEG format.\n"});
    const int badFactors[][2] = {{0, 1}, {1, 0}, {5, 1}, {1, 5}};
    for (const auto& f : badFactors) {
        std::vector<ComponentLayout> frame = {{1, f[0], f[1], 0, 0, 0}};
        cases.push_back({"sampling factor", WithComponents(frame, frame, Entropy({0})),
                         "Unsupported JPEG format.\n"});
    }
    {
        std::vector<ComponentLayout> frame = {
            {1, 4, 1, 0, 0, 0}, {2, 2, 1, 0, 0, 0}, {3, 1, 1, 0, 0, 0}};
        cases.push_back({"factor 2 beside maximum 4", WithComponents(frame, frame, Entropy({0})),
                         "Unsupported JPEG format.\n"});
    }
    cases.push_back({"quantisation selector 4",
                     SimpleJpeg(8, 8, {{1, 1, 1, 4, 0, 0}}, Entropy({80})),
                     "Unsupported JPEG format.\n"});
    cases.push_back({"scan before the frame header",
                     Concat({kSoi, QuantSegment(0, 1), HuffmanSegment(0, 0, SimpleDcTable()),
                             HuffmanSegment(1, 0, SimpleAcTable()), ScanSegment(GreyComponents()),
                             Entropy({80}), FrameSegment(8, 8, GreyComponents()), kEoi}),
                     "Unsupported JPEG format.\n"});
    {
        Bytes jpeg = SimpleJpeg(8, 8, GreyComponents(), Entropy({80}));
        Bytes second = FrameSegment(800, 800, GreyComponents());
        jpeg.insert(jpeg.end() - 2, second.begin(), second.end());
        cases.push_back({"second frame header", jpeg, "Unsupported JPEG format.\n"});
    }
    return cases;
}

TEST(JpegStreamDeathTest, ErrorsEndTheProcessWithTheirMessage) {
    for (const ErrorCase& c : ErrorCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(DecodeExpectingExit(c.jpeg), ::testing::ExitedWithCode(255),
                    ExactOutput(c.message));
    }
}

}  // namespace
