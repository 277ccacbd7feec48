#include "script/line_reader.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "tests/support/test_files.h"

namespace {

const bool kNoMessages = false;

std::vector<std::string> ReadAllLines(const std::string& path, size_t capacity) {
    FileHandle file(path.c_str(), GENERIC_READ, OPEN_EXISTING, kNoMessages, true);
    EXPECT_TRUE(file.IsOpen());
    std::vector<std::string> lines;
    std::vector<char> buffer(capacity + 16, '#');
    while (ReadLine(file, buffer.data(), capacity)) {
        lines.push_back(buffer.data());
        EXPECT_EQ(buffer[capacity], '#') << "wrote past the capacity";
    }
    EXPECT_EQ(buffer[0], '\0') << "end of file leaves the buffer empty";
    return lines;
}

// The reading rule byte by byte on the raw handle, for comparison with the buffered reader.
std::vector<std::string> ReferenceLines(const std::string& bytes, size_t capacity) {
    std::vector<std::string> lines;
    size_t i = 0;
    while (i < bytes.size()) {
        std::string line;
        while (i < bytes.size() && bytes[i] != '\r') {
            if (line.size() + 1 < capacity) {
                line += bytes[i];
            }
            ++i;
        }
        if (i < bytes.size()) {
            i += 2;  // CR and the byte after it
        }
        lines.push_back(line);
    }
    return lines;
}

TEST(ReadLine, LinesOfAFile) {
    const std::string x259(259, 'x');
    const std::string x300 = std::string(259, 'y') + std::string(41, 'z');
    struct Case {
        const char* name;
        std::string bytes;
        size_t capacity;
        std::vector<std::string> lines;
    } cases[] = {
        {"last line without CR LF", "first\r\nlast", 1000, {"first", "last"}},
        {"ends with CR LF, no extra line", "first\r\nlast\r\n", 1000, {"first", "last"}},
        {"empty middle line", "a\r\n\r\nb\r\n", 1000, {"a", "", "b"}},
        {"empty lines only", "\r\n\r\n", 1000, {"", ""}},
        {"empty file", "", 1000, {}},
        {"259 characters at capacity 260", x259 + "\r\nnext\r\n", 260, {x259, "next"}},
        {"overlong line keeps capacity - 1 and skips its tail",
         x300 + "\r\nnext\r\n",
         260,
         {std::string(259, 'y'), "next"}},
        {"line of exactly capacity characters",
         std::string(260, 'c') + "\r\nnext",
         260,
         {std::string(259, 'c'), "next"}},
        {"overlong last line without CR LF", std::string(270, 'e'), 260, {std::string(259, 'e')}},
        {"lone CR swallows the next character", "ab\rcd\r\nef", 1000, {"ab", "d", "ef"}},
        {"lone CR at the end of the file", "ab\r", 1000, {"ab"}},
        {"LF-only line ends make one line",
         "[CopyFile]\na.exe\nb.exe\n",
         1000,
         {"[CopyFile]\na.exe\nb.exe\n"}},
        {"capacity 1 stores nothing but still counts lines", "ab\r\n\r\nc", 1, {"", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolder folder;
        std::string path = folder / "setup.dat";
        WriteBytes(path, c.bytes);
        EXPECT_EQ(ReadAllLines(path, c.capacity), c.lines);
    }
}

TEST(ReadLine, AClosedFileReadsNothing) {
    TestFolder folder;
    std::string missing = folder / "missing.dat";
    FileHandle file(missing.c_str(), GENERIC_READ, OPEN_EXISTING, kNoMessages, true);
    ASSERT_FALSE(file.IsOpen());
    char buffer[16] = "stale";
    EXPECT_FALSE(ReadLine(file, buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, "");
}

// Lines of every length around the read-ahead size, CR LF pairs split across refills and lone
// CRs: the buffered reader must return exactly what the byte-by-byte rule gives.
TEST(ReadLine, MatchesTheByteByByteRuleAcrossRefills) {
    std::string bytes;
    unsigned seed = 7;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    while (bytes.size() < 40000) {
        size_t length = next() % 600;
        for (size_t i = 0; i < length; ++i) {
            bytes += static_cast<char>('a' + next() % 26);
        }
        bytes += (next() % 10 == 0) ? "\r" : "\r\n";
    }
    for (size_t split = 4090; split < 4100; ++split) {  // a CR LF pair astride the first refill
        std::string shifted = std::string(split, 's') + "\r\n" + bytes;
        TestFolder folder;
        std::string path = folder / "long.dat";
        WriteBytes(path, shifted);
        for (size_t capacity : {260u, 1000u}) {
            SCOPED_TRACE(split);
            EXPECT_EQ(ReadAllLines(path, capacity), ReferenceLines(shifted, capacity));
        }
    }
}

TEST(ReadLine, EveryWayOfRewindingReadsTheFirstLineAgain) {
    TestFolder folder;
    std::string path = folder / "setup.dat";
    WriteBytes(path, "[Project Name]\r\nSample\r\n[CopyFile]\r\na.exe\r\n");
    struct Case {
        const char* name;
        void (*rewind)(FileHandle&);
    } cases[] = {
        {"Seek to the start", [](FileHandle& f) { f.Seek(0, FILE_BEGIN); }},
        {"Seek back from the current position", [](FileHandle& f) { f.Seek(-24, FILE_CURRENT); }},
        {"Read at the start",
         [](FileHandle& f) {
             char c;
             f.Read(&c, 0, AtStart);
         }},
        {"raw pointer call on the handle",
         [](FileHandle& f) { SetFilePointer(f.Handle(), 0, nullptr, FILE_BEGIN); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileHandle file(path.c_str(), GENERIC_READ, OPEN_EXISTING, kNoMessages, true);
        char line[1000];
        ASSERT_TRUE(ReadLine(file, line, sizeof(line)));
        ASSERT_TRUE(ReadLine(file, line, sizeof(line)));
        EXPECT_STREQ(line, "Sample");
        c.rewind(file);
        ASSERT_TRUE(ReadLine(file, line, sizeof(line)));
        EXPECT_STREQ(line, "[Project Name]");
        ASSERT_TRUE(ReadLine(file, line, sizeof(line)));
        EXPECT_STREQ(line, "Sample");
    }
}

TEST(ReadLine, RewindingAfterReadingToTheEndStartsOver) {
    TestFolder folder;
    std::string path = folder / "setup.dat";
    WriteBytes(path, "one\r\ntwo");
    FileHandle file(path.c_str(), GENERIC_READ, OPEN_EXISTING, kNoMessages, true);
    char line[260];
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<std::string> lines;
        while (ReadLine(file, line, sizeof(line))) {
            lines.push_back(line);
        }
        EXPECT_EQ(lines, (std::vector<std::string>{"one", "two"}));
        file.Seek(0, FILE_BEGIN);
    }
}

// The position the other operations see is just after the consumed line, not after the bytes
// read ahead.
TEST(ReadLine, OtherOperationsContinueRightAfterTheLine) {
    TestFolder folder;
    std::string path = folder / "record.dat";
    WriteBytes(path, "first\r\nsecond\r\n");
    {
        FileHandle file(path.c_str(), GENERIC_READ, OPEN_EXISTING, kNoMessages, true);
        char line[260];
        ASSERT_TRUE(ReadLine(file, line, sizeof(line)));
        char rest[32] = {};
        EXPECT_EQ(file.Read(rest, sizeof(rest) - 1, AtCurrent), 8u);
        EXPECT_STREQ(rest, "second\r\n");
    }
    {
        FileHandle file(path.c_str(), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, kNoMessages,
                        true);
        char line[260];
        ASSERT_TRUE(ReadLine(file, line, sizeof(line)));
        EXPECT_EQ(SetFilePointer(file.Handle(), 0, nullptr, FILE_CURRENT), 7u);
        ASSERT_TRUE(file.Write("SECOND", 6, AtCurrent));
        ASSERT_TRUE(ReadLine(file, line, sizeof(line)));  // the rest of the second line
        EXPECT_STREQ(line, "");
    }
    EXPECT_EQ(ReadBytes(path), "first\r\nSECOND\r\n");
}

TEST(ReadLine, TwoFilesReadInTurnKeepTheirOwnPlace) {
    TestFolder folder;
    WriteBytes(folder / "a.dat", "a1\r\na2\r\na3\r\n");
    WriteBytes(folder / "b.dat", "b1\r\nb2\r\n");
    FileHandle a((folder / "a.dat").c_str(), GENERIC_READ, OPEN_EXISTING, kNoMessages, true);
    FileHandle b((folder / "b.dat").c_str(), GENERIC_READ, OPEN_EXISTING, kNoMessages, true);
    char line[260];
    std::string seen;
    for (int i = 0; i < 3; ++i) {
        if (ReadLine(a, line, sizeof(line))) {
            seen += std::string(line) + ",";
        }
        if (ReadLine(b, line, sizeof(line))) {
            seen += std::string(line) + ",";
        }
    }
    EXPECT_EQ(seen, "a1,b1,a2,b2,a3,");
}

TEST(ExpandNewlineEscapes, BackslashNBecomesCrLf) {
    struct Case {
        const char* text;
        const char* expanded;
    } cases[] = {
        {"Setup is complete.\\nPlease read the notes.",
         "Setup is complete.\r\nPlease read the notes."},
        {"C:\\new", "C:\r\new"},
        {"\\n\\n", "\r\n\r\n"},
        {"a\\\\nb", "a\\\r\nb"},
        {"upper \\N and a trailing \\", "upper \\N and a trailing \\"},
        {"", ""},
    };
    for (const Case& c : cases) {
        char text[1000];
        strcpy(text, c.text);
        ExpandNewlineEscapes(text);
        EXPECT_STREQ(text, c.expanded) << c.text;
        EXPECT_EQ(strlen(text), strlen(c.text));
    }
}

}  // namespace
