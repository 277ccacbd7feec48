#include "archive/compression.h"
#include "archive/payload_archive.h"

#include <bzlib.h>
#include <gtest/gtest.h>

#include "tests/archive/archive_builder.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/test_files.h"

namespace {

std::string Bzip2(const std::string& content) {
    std::vector<char> out(content.size() * 101 / 100 + 600);
    unsigned int length = static_cast<unsigned int>(out.size());
    int result = BZ2_bzBuffToBuffCompress(out.data(), &length, const_cast<char*>(content.data()),
                                          static_cast<unsigned int>(content.size()), 9, 0, 30);
    EXPECT_EQ(result, BZ_OK);
    return std::string(out.data(), length);
}

struct Entry {
    std::string name;
    std::string stored;
    uint32_t uncompressedSize;
    uint32_t checksumDelta = 0;  // added to the true sum, to make it wrong
    uint32_t storedSizeOverride = 0;
};

// An archive of the given entries behind a short prefix.
std::string BuildArchive(const std::vector<Entry>& entries) {
    std::string file = "PREFIX";
    std::string directory;
    for (const Entry& e : entries) {
        uint32_t offset = static_cast<uint32_t>(file.size());
        file += e.stored;
        uint32_t size = e.storedSizeOverride ? e.storedSizeOverride : uint32_t(e.stored.size());
        directory += RecordBytes(
            {offset, size, e.uncompressedSize, UnsignedSum(e.stored) + e.checksumDelta, e.name});
    }
    uint32_t directoryOffset = static_cast<uint32_t>(file.size());
    return file + directory + TrailerBytes(directoryOffset, uint32_t(entries.size()));
}

class Extraction : public ::testing::Test {
protected:
    void SetUp() override { tempBefore = ProductTempEntries(); }
    void TearDown() override {
        EXPECT_EQ(AddedEntries(tempBefore, ProductTempEntries()), std::vector<std::string>{});
    }
    std::string Write(const std::vector<Entry>& entries) {
        std::string path = folder / "archive.bin";
        WriteBytes(path, BuildArchive(entries));
        return path;
    }
    TestFolder folder;
    std::vector<std::string> tempBefore;
};

TEST_F(Extraction, OutcomesWithoutAMessage) {
    std::string hello = "hello, world\r\n";
    struct Case {
        const char* what;
        Entry entry;
        const char* asked;
        bool result;
        std::string content;
    } cases[] = {
        {"plain", {"a.txt", Bzip2(hello), uint32_t(hello.size())}, "a.txt", true, hello},
        {"letter case",
         {"SETUP.DAT", Bzip2(hello), uint32_t(hello.size())},
         "setup.dat",
         true,
         hello},
        {"size 0 whatever is stored", {"z.txt", Bzip2(hello), 0}, "z.txt", true, ""},
        {"stored 0 bytes, sum 0", {"e.txt", "", 0}, "e.txt", true, ""},
        {"content shorter than recorded", {"s.txt", Bzip2(hello), 4000}, "s.txt", true, hello},
        {"content 5000 bytes over recorded",
         {"o.txt", Bzip2(std::string(5010, 'x')), 10},
         "o.txt",
         true,
         std::string(5010, 'x')},
        {"no such entry", {"a.txt", Bzip2(hello), uint32_t(hello.size())}, "b.txt", false, "KEEP"},
        {"stored bytes past the end of the file",
         {"p.txt", Bzip2(hello), uint32_t(hello.size()), 0, 0x7FFFFFF0u},
         "p.txt",
         false,
         "KEEP"},
    };
    for (const Case& c : cases) {
        std::string archive = Write({c.entry});
        std::string out = folder / "out.txt";
        WriteBytes(out, "KEEP");
        MessageBoxWatcher watcher;
        PayloadArchive catalogue(archive.c_str(), false);
        EXPECT_EQ(catalogue.Extract(c.asked, out.c_str()), c.result) << c.what;
        EXPECT_TRUE(ReadBytes(out) == c.content) << c.what;
        Sleep(100);
        EXPECT_TRUE(watcher.Boxes().empty()) << c.what;
    }
}

TEST_F(Extraction, AFlippedStoredByteFailsSilentlyAndLeavesTheDestination) {
    std::string intact = Bzip2(TextBytes(10000));
    std::string stored = intact;
    stored[stored.size() / 2] ^= 0x20;
    // The record keeps the sum of the intact bytes.
    std::string archive =
        Write({{"f.txt", stored, 10000, UnsignedSum(intact) - UnsignedSum(stored)}});
    std::string out = folder / "out.txt";
    WriteBytes(out, "existing");
    MessageBoxWatcher watcher;
    PayloadArchive catalogue(archive.c_str(), false);
    EXPECT_FALSE(catalogue.Extract("f.txt", out.c_str()));
    Sleep(200);
    EXPECT_TRUE(watcher.Boxes().empty());
    EXPECT_EQ(ReadBytes(out), "existing");
}

TEST_F(Extraction, OfTwoEntriesOfOneNameTheLaterDecides) {
    std::string archive = Write({{"same.txt", Bzip2("older"), 5},
                                 {"other", Bzip2("x"), 1},
                                 {"SAME.txt", Bzip2("newer!"), 6}});
    std::string out = folder / "out.txt";
    PayloadArchive catalogue(archive.c_str(), false);
    EXPECT_TRUE(catalogue.Extract("same.txt", out.c_str()));
    EXPECT_EQ(ReadBytes(out), "newer!");
    // A later entry that fails its checksum leaves the earlier one's content, and true.
    std::string broken =
        Write({{"same.txt", Bzip2("older"), 5}, {"same.txt", Bzip2("newer"), 5, 1}});
    PayloadArchive second(broken.c_str(), false);
    EXPECT_TRUE(second.Extract("same.txt", out.c_str()));
    EXPECT_EQ(ReadBytes(out), "older");
}

TEST_F(Extraction, MessagesOfTheDecompressor) {
    std::string hello = "hello, world";
    struct Case {
        const char* what;
        Entry entry;
        std::string destination;
        bool result;
        bool writeMessage;
        bool destinationEmpty;
    } cases[] = {
        {"destination folder missing",
         {"a", Bzip2(hello), 12},
         folder / "none\\out.txt",
         false,
         false,
         false},
        {"content more than 5000 bytes over recorded",
         {"a", Bzip2(std::string(6000, 'y')), 10},
         folder / "out.txt",
         true,
         true,
         true},
        {"not a bzip2 stream",
         {"a", "this is not bzip2 data", 12},
         folder / "out.txt",
         true,
         true,
         true},
        {"recorded size beyond any memory",
         {"a", Bzip2(hello), 0xFFFFFFF0u},
         folder / "out.txt",
         false,
         false,
         true},
    };
    for (const Case& c : cases) {
        std::string archive = Write({c.entry});
        DeleteFileA((folder / "out.txt").c_str());
        MessageBoxWatcher watcher;
        PayloadArchive catalogue(archive.c_str(), false);
        EXPECT_EQ(catalogue.Extract("a", c.destination.c_str()), c.result) << c.what;
        ASSERT_TRUE(watcher.WaitForBoxes(1, 5000)) << c.what;
        Sleep(100);
        auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u) << c.what;
        EXPECT_EQ(boxes[0].caption, "Install") << c.what;
        EXPECT_EQ(boxes[0].icon, UINT(MB_ICONERROR)) << c.what;
        EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK}) << c.what;
        if (c.writeMessage) {
            EXPECT_EQ(boxes[0].text, "Error whilst uncompressing '" + c.destination +
                                         "', unable to write to '" + c.destination + "'")
                << c.what;
        } else {
            std::string prefix = "Error whilst uncompressing '" + c.destination +
                                 "', unable to read from '" + TempFolder() + "Ext";
            EXPECT_EQ(boxes[0].text.rfind(prefix, 0), 0u) << c.what << ": " << boxes[0].text;
        }
        if (c.destinationEmpty) {
            EXPECT_TRUE(FileExists(c.destination)) << c.what;
            EXPECT_EQ(ReadBytes(c.destination), "") << c.what;
        }
    }
}

TEST_F(Extraction, DecompressFileOfAnEmptyOrMissingSourceCreatesAnEmptyDestination) {
    for (bool exists : {false, true}) {
        std::string source = folder / "source.bz2";
        DeleteFileA(source.c_str());
        if (exists) {
            WriteBytes(source, "");
        }
        std::string out = folder / "out.txt";
        WriteBytes(out, "old");
        EXPECT_TRUE(DecompressFile(source.c_str(), out.c_str(), true, 100));
        EXPECT_TRUE(FileExists(out));
        EXPECT_EQ(ReadBytes(out), "");
    }
}

TEST_F(Extraction, CompressFileThatCannotCreateItsDestinationNamesItThenTheSource) {
    WriteBytes(folder / "in.txt", "data");
    std::string out = folder / "no-folder\\out.bz2";
    MessageBoxWatcher watcher;
    uint32_t size = 99;
    EXPECT_FALSE(CompressFile((folder / "in.txt").c_str(), out.c_str(), true, &size));
    ASSERT_TRUE(watcher.WaitForBoxes(1, 5000));
    EXPECT_EQ(watcher.Boxes()[0].text, "Error whilst compressing '" + out +
                                           "', unable to read from '" + (folder / "in.txt") + "'");
}

}  // namespace
