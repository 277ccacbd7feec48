// Pictures from an independent encoder (cjpeg), compared with what djpeg
// decodes from the same files, and the jpeg-to-ppm tool run as a process.
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/jpeg/jpeg_test_support.h"

namespace {

// djpeg differs from this decoder in ways that are by design:
// - its inverse DCT rounds to nearest, while here the sum is truncated and
//   then floored by the shift, so a sample may come out 1 lower (and the
//   integer transform itself is within 1 of exact);
// - its colour conversion rounds, here it truncates (1 more), and its
//   constants are 1.772 / 0.34414 / 0.71414 against 1.7718 / 0.3441 /
//   0.7139, which moves a channel by at most 128 * 0.0003 < 0.04;
// - it clamps samples before colour conversion; the test pictures stay
//   clear of 0 and 255 so that this seldom matters.
// A chroma sample 1 off moves blue by 1.77 and red by 1.4, on top of the
// luma and truncation errors: 5 bounds the worst channel. Both
// truncations lean the same way, half a unit each on average, so the mean is
// about 1 (1.0 to 1.34 measured, the top on a one-pixel picture); 1.5 leaves
// room for that and fails on any real fault, which moves whole blocks.
const int kMaxDifference = 5;
const double kMeanDifference = 1.5;

std::string Quote(const std::string& path) {
    return "'" + path + "'";
}

bool Encode(const TempFolder& folder, const Image& image, const std::string& options,
            const std::string& name, Bytes* jpeg) {
    std::string source = folder.Path("source.ppm");
    std::string target = folder.Path(name);
    if (!WritePnm(source, image)) {
        return false;
    }
    std::string command = std::string(CJPEG_PATH) + " " + options + " -outfile " + Quote(target) +
                          " " + Quote(source);
    return RunCommand(command, nullptr) == 0 && ReadFile(target, jpeg);
}

bool ReferenceDecode(const TempFolder& folder, const Bytes& jpeg, Image* image) {
    std::string in = folder.Path("reference.jpg");
    std::string out = folder.Path("reference.pnm");
    if (!WriteFile(in, jpeg)) {
        return false;
    }
    std::string command =
        std::string(DJPEG_PATH) + " -nosmooth -pnm -outfile " + Quote(out) + " " + Quote(in);
    return RunCommand(command, nullptr) == 0 && ReadPnm(out, image);
}

struct EncoderCase {
    const char* name;
    const char* options;
    int width;
    int height;
};

const EncoderCase kEncoderCases[] = {
    {"4:4:4", "-sample 1x1", 37, 29},
    {"4:2:2", "-sample 2x1", 45, 31},
    {"4:2:0", "-sample 2x2", 61, 43},
    {"4:4:0", "-sample 1x2", 29, 53},
    {"4:1:1", "-sample 4x1", 67, 19},
    {"greyscale", "-grayscale", 41, 27},
    {"4:2:0 one pixel", "-sample 2x2", 1, 1},
    {"4:2:0 wide", "-sample 2x2", 203, 9},
    {"4:4:4 tall", "-sample 1x1", 7, 130},
    {"4:2:0 low quality", "-sample 2x2 -quality 30", 99, 77},
};

const char* const kRestartOptions[] = {"", "-restart 1B", "-restart 4B", "-restart 1"};

TEST(JpegReference, MatchesAnIndependentDecoder) {
    TempFolder folder;
    for (const EncoderCase& c : kEncoderCases) {
        Image source = SyntheticImage(c.width, c.height);
        Bytes plainDecode;
        for (const char* restart : kRestartOptions) {
            std::string options = std::string("-quality 90 ") + c.options + " " + restart;
            SCOPED_TRACE(std::string(c.name) + " " + options);
            Bytes jpeg;
            ASSERT_TRUE(Encode(folder, source, options, "picture.jpg", &jpeg)) << "cjpeg failed";
            Image reference;
            ASSERT_TRUE(ReferenceDecode(folder, jpeg, &reference)) << "djpeg failed";
            ASSERT_EQ(reference.width, c.width);
            ASSERT_EQ(reference.height, c.height);

            DecodedPicture picture = DecodeInProcess(jpeg);
            ASSERT_EQ(picture.openResult, c.width * c.height * 3);
            ASSERT_EQ(picture.width, c.width);
            ASSERT_EQ(picture.height, c.height);
            ASSERT_EQ(picture.bgr.size(), static_cast<size_t>(c.width) * c.height * 3);

            int worst = 0;
            long total = 0;
            for (int p = 0; p < c.width * c.height; ++p) {
                for (int channel = 0; channel < 3; ++channel) {
                    int ours =
                        picture.bgr[static_cast<size_t>(3 * p + 2 - channel)];  // stored blue first
                    int theirs = reference.channels == 3
                                     ? reference.samples[static_cast<size_t>(3 * p + channel)]
                                     : reference.samples[static_cast<size_t>(p)];
                    int difference = abs(ours - theirs);
                    worst = difference > worst ? difference : worst;
                    total += difference;
                }
            }
            double mean = static_cast<double>(total) / (3.0 * c.width * c.height);
            EXPECT_LE(worst, kMaxDifference);
            EXPECT_LE(mean, kMeanDifference);
            printf("  %-18s %-14s largest difference %d, mean %.3f\n", c.name, restart, worst,
                   mean);

            // Restart intervals change the coding, never the coefficients.
            if (restart[0] == '\0') {
                plainDecode = picture.bgr;
            } else {
                EXPECT_EQ(picture.bgr, plainDecode)
                    << "differs from the file without restart intervals";
            }
        }
    }
}

TEST(JpegReference, RewrittenAndReorderedTablesDecodeTheSame) {
    TempFolder folder;
    Bytes jpeg;
    ASSERT_TRUE(
        Encode(folder, SyntheticImage(50, 34), "-quality 85 -sample 2x2", "picture.jpg", &jpeg));
    std::vector<JpegSegment> segments = SplitSegments(jpeg);
    ASSERT_GE(segments.size(), 8u);
    DecodedPicture original = DecodeInProcess(jpeg);
    ASSERT_EQ(original.bgr.size(), 50u * 34 * 3);

    // The same tables with 16-bit entries.
    std::vector<JpegSegment> wide;
    int rewritten = 0;
    for (const JpegSegment& segment : segments) {
        if (segment.code != 0xDB) {
            wide.push_back(segment);
            continue;
        }
        Bytes body;
        for (size_t at = 4; at + 65 <= segment.bytes.size(); at += 65) {
            ASSERT_EQ(segment.bytes[at] >> 4, 0) << "expected 8-bit tables from the encoder";
            body.push_back(static_cast<uint8_t>(0x10 | segment.bytes[at]));
            for (int k = 1; k <= 64; ++k) {
                body.push_back(0);
                body.push_back(segment.bytes[at + static_cast<size_t>(k)]);
            }
            ++rewritten;
        }
        wide.push_back({0xDB, Segment(0xDB, body)});
    }
    ASSERT_GE(rewritten, 2);
    EXPECT_EQ(DecodeInProcess(JoinSegments(wide)).bgr, original.bgr);

    // Huffman tables first, quantisation tables after the frame header, with
    // comments and application segments in between.
    std::vector<JpegSegment> moved = {segments.front()};
    for (int pass = 0; pass < 4; ++pass) {
        for (const JpegSegment& segment : segments) {
            bool take = (pass == 0 && segment.code == 0xC4) ||
                        (pass == 1 && segment.code == 0xC0) ||
                        (pass == 2 && (segment.code == 0xDB || segment.code == 0xE0)) ||
                        (pass == 3 && (segment.code == 0xDA || segment.code == 0xD9));
            if (take) {
                moved.push_back(segment);
                if (pass < 3) {
                    moved.push_back({0xFE, Segment(0xFE, {'m', 'o', 'v', 'e', 'd'})});
                    moved.push_back({0xE5, Segment(0xE5, {0xFF, 0x00, 0xFF})});
                }
            }
        }
    }
    EXPECT_EQ(DecodeInProcess(JoinSegments(moved)).bgr, original.bgr);
}

// Runs jpeg-to-ppm; returns its exit status and standard output.
int RunTool(const std::string& in, const std::string& out, std::string* output) {
    return RunCommand(
        std::string(JPEG_TO_PPM_PATH) + " " + Quote(in) + " " + Quote(out) + " 2>/dev/null",
        output);
}

TEST(JpegToPpm, WritesThePixelsAsRgb) {
    TempFolder folder;
    Bytes jpeg;
    ASSERT_TRUE(Encode(folder, SyntheticImage(33, 21), "-sample 2x1", "picture.jpg", &jpeg));
    std::string output;
    ASSERT_EQ(RunTool(folder.Path("picture.jpg"), folder.Path("out.ppm"), &output), 0);
    EXPECT_EQ(output, "");
    Image written;
    ASSERT_TRUE(ReadPnm(folder.Path("out.ppm"), &written));
    ASSERT_EQ(written.channels, 3);
    DecodedPicture picture = DecodeInProcess(jpeg);
    ASSERT_EQ(written.samples.size(), picture.bgr.size());
    for (size_t p = 0; p < picture.bgr.size(); p += 3) {
        ASSERT_EQ(written.samples[p], picture.bgr[p + 2]);
        ASSERT_EQ(written.samples[p + 1], picture.bgr[p + 1]);
        ASSERT_EQ(written.samples[p + 2], picture.bgr[p]);
    }
}

TEST(JpegToPpm, UnsupportedFilesEndWithTheMessageAndStatusMinusOne) {
    TempFolder folder;
    struct Case {
        const char* name;
        const char* options;  // null: the crafted four-component file
        const char* message;
    };
    const Case cases[] = {
        {"progressive", "-progressive", "Unsupported JPEG format.\n"},
        {"arithmetic", "-arithmetic", "Unsupported JPEG format.\n"},
        {"four components", nullptr, "Unsupported plane size.\n"},
    };
    std::vector<ComponentLayout> four = ColourComponents(1, 1);
    four.push_back({4, 1, 1, 0, 0, 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes jpeg;
        if (c.options != nullptr) {
            ASSERT_TRUE(Encode(folder, SyntheticImage(24, 16), c.options, "picture.jpg", &jpeg));
        } else {
            BitWriter writer;
            for (int i = 0; i < 4; ++i) {
                writer.PutBlock(0);
            }
            jpeg = SimpleJpeg(8, 8, four, writer.Finish());
            ASSERT_TRUE(WriteFile(folder.Path("picture.jpg"), jpeg));
        }
        std::string output;
        EXPECT_EQ(RunTool(folder.Path("picture.jpg"), folder.Path("out.ppm"), &output), 255);
        EXPECT_EQ(output, c.message);
    }
}

}  // namespace
