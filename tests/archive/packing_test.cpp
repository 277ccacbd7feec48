#include "archive/packing.h"

#include <gtest/gtest.h>

#include "archive/payload_archive.h"
#include "tests/archive/archive_builder.h"
#include "tests/support/import_patch.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/test_files.h"

namespace {

// Makes the Nth WriteFile call of the program (from 1) fail as a full disk would.
int writeCalls = 0;
int failingWrite = 0;
ImportPatch* writePatch = nullptr;
BOOL WINAPI WriteFileFailingOnce(HANDLE file, LPCVOID data, DWORD count, LPDWORD written,
                                 LPOVERLAPPED overlapped) {
    if (++writeCalls == failingWrite) {
        if (written) {
            *written = 0;
        }
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return writePatch->Original<decltype(&WriteFile)>()(file, data, count, written, overlapped);
}

struct FailWrite {
    explicit FailWrite(int n)
        : patch("kernel32.dll", "WriteFile", reinterpret_cast<void*>(&WriteFileFailingOnce)) {
        writeCalls = 0;
        failingWrite = n;
        writePatch = &patch;
    }
    ~FailWrite() { failingWrite = 0; }
    ImportPatch patch;
};

class Packing : public ::testing::Test {
protected:
    void SetUp() override { tempBefore = ProductTempEntries(); }
    void TearDown() override {
        EXPECT_EQ(AddedEntries(tempBefore, ProductTempEntries()), std::vector<std::string>{});
    }
    bool Pack(const std::string& source, const std::string& archive) {
        char name[260] = {};
        return RunPackMode(source.c_str(), archive.c_str(), name);
    }
    std::string Extracted(const std::string& archive, const std::string& name) {
        std::string out = folder / "extracted.out";
        DeleteFileA(out.c_str());
        PayloadArchive catalogue(archive.c_str(), false);
        EXPECT_TRUE(catalogue.Extract(name.c_str(), out.c_str())) << name;
        return ReadBytes(out);
    }
    TestFolder folder;
    std::vector<std::string> tempBefore;
};

TEST_F(Packing, IntoANewPathMakesAStandAloneArchive) {
    std::string archive = folder / "new.bin";
    WriteBytes(folder / "a.txt", TextBytes(5000));
    MessageBoxWatcher watcher;
    ASSERT_TRUE(Pack(folder / "a.txt", archive));
    std::string bytes = ReadBytes(archive);
    uint32_t directory = 0;
    std::vector<RawRecord> records;
    ASSERT_TRUE(ParseArchive(bytes, &directory, &records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].dataOffset, 0u);
    EXPECT_EQ(directory, records[0].storedSize);
    EXPECT_EQ(records[0].uncompressedSize, 5000u);
    EXPECT_EQ(records[0].checksum, UnsignedSum(bytes.substr(0, records[0].storedSize)));
    EXPECT_EQ(bytes.size(), directory + 17 + 6 + 20);
    EXPECT_TRUE(Extracted(archive, "a.txt") == TextBytes(5000));
    Sleep(200);
    EXPECT_TRUE(watcher.Boxes().empty());
}

TEST_F(Packing, IntoABareStubAndTwiceIntoOneInstaller) {
    std::string stub = ReadBytes(BuildPath("installer.exe"));
    std::string archive = folder / "setup.exe";
    WriteBytes(archive, stub);
    WriteBytes(folder / "one.txt", TextBytes(3000, 1));
    WriteBytes(folder / "two.bin", RandomBytes(2000, 2));
    ASSERT_TRUE(Pack(folder / "one.txt", archive));
    std::string first = ReadBytes(archive);
    uint32_t directory1 = 0;
    std::vector<RawRecord> records;
    ASSERT_TRUE(ParseArchive(first, &directory1, &records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(first.substr(0, stub.size()), stub);
    EXPECT_EQ(records[0].dataOffset, stub.size());
    EXPECT_EQ(directory1, stub.size() + records[0].storedSize);

    ASSERT_TRUE(Pack(folder / "two.bin", archive));
    std::string second = ReadBytes(archive);
    uint32_t directory2 = 0;
    ASSERT_TRUE(ParseArchive(second, &directory2, &records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, "one.txt");
    EXPECT_EQ(records[1].name, "two.bin");
    EXPECT_EQ(records[1].dataOffset, directory1)
        << "the second entry's data goes where the directory stood";
    EXPECT_EQ(directory2, directory1 + records[1].storedSize);
    EXPECT_EQ(second.size(), directory2 + (17 + 8) + (17 + 8) + 20);
    EXPECT_EQ(second.substr(0, directory1), first.substr(0, directory1));
    for (const RawRecord& r : records) {
        EXPECT_EQ(second.substr(r.dataOffset, 4), "BZh9") << r.name;
    }
    EXPECT_TRUE(Extracted(archive, "two.bin") == RandomBytes(2000, 2));
    EXPECT_TRUE(Extracted(archive, "ONE.TXT") == TextBytes(3000, 1));

    PayloadArchive catalogue(archive.c_str(), false);
    catalogue.CopyStub((folder / "stub.exe").c_str());
    EXPECT_TRUE(ReadBytes(folder / "stub.exe") == stub);
}

TEST_F(Packing, TheSameNameTwiceKeepsBothAndTheLaterWins) {
    std::string archive = folder / "twice.bin";
    CreateDirectoryA((folder / "v1").c_str(), nullptr);
    CreateDirectoryA((folder / "v2").c_str(), nullptr);
    WriteBytes(folder / "v1\\same.txt", "first version");
    WriteBytes(folder / "v2\\same.txt", "second version, longer");
    ASSERT_TRUE(Pack(folder / "v1\\same.txt", archive));
    ASSERT_TRUE(Pack(folder / "v2\\same.txt", archive));
    PayloadArchive catalogue(archive.c_str(), false);
    ASSERT_EQ(catalogue.EntryCount(), 2);
    EXPECT_STREQ(catalogue.Entry(0).name, "same.txt");
    EXPECT_STREQ(catalogue.Entry(1).name, "same.txt");
    std::string out = folder / "same.out";
    EXPECT_TRUE(catalogue.Extract("same.txt", out.c_str()));
    EXPECT_EQ(ReadBytes(out), "second version, longer");
}

TEST_F(Packing, EntryNamesKeepTheirCaseAndForwardSlashesAreNotSeparators) {
    std::string archive = folder / "names.bin";
    WriteBytes(folder / "Readme.TXT", "x");
    char name[260] = {};
    ASSERT_TRUE(RunPackMode((folder / "Readme.TXT").c_str(), archive.c_str(), name));
    EXPECT_STREQ(name, "Readme.TXT");
    std::string forward = folder / "Readme.TXT";
    for (char& c : forward) {
        if (c == '\\')
            c = '/';
    }
    ASSERT_TRUE(RunPackMode(forward.c_str(), archive.c_str(), name));
    EXPECT_EQ(std::string(name), forward);
    PayloadArchive catalogue(archive.c_str(), false);
    ASSERT_EQ(catalogue.EntryCount(), 2);
    EXPECT_EQ(std::string(catalogue.Entry(1).name), forward);
}

TEST_F(Packing, RoundTripsFilesByteForByte) {
    std::string archive = folder / "roundtrip.bin";
    struct Case {
        const char* name;
        std::string content;
    } cases[] = {{"empty.bin", ""},
                 {"one.bin", "\x7f"},
                 {"random.bin", RandomBytes(1 << 20, 11)},
                 {"text.bin", TextBytes(20 << 20, 12)}};
    for (const Case& c : cases) {
        WriteBytes(folder / c.name, c.content);
        ASSERT_TRUE(Pack(folder / c.name, archive)) << c.name;
    }
    PayloadArchive catalogue(archive.c_str(), false);
    ASSERT_EQ(catalogue.EntryCount(), 4);
    EXPECT_EQ(catalogue.Entry(0).uncompressedSize, 0u);
    for (const Case& c : cases) {
        std::string out = folder / (std::string(c.name) + ".out");
        ASSERT_TRUE(catalogue.Extract(c.name, out.c_str())) << c.name;
        std::string back = ReadBytes(out);
        EXPECT_EQ(back.size(), c.content.size()) << c.name;
        EXPECT_TRUE(back == c.content) << c.name;
    }
}

TEST_F(Packing, MissingSourceLeavesTheArchiveByteForByte) {
    std::string archive = folder / "setup.exe";
    WriteBytes(folder / "kept.txt", "kept");
    ASSERT_TRUE(Pack(folder / "kept.txt", archive));
    std::string before = ReadBytes(archive);
    std::string missing = folder / "missing.txt";
    MessageBoxWatcher watcher;
    EXPECT_FALSE(Pack(missing, archive));
    ASSERT_TRUE(watcher.WaitForBoxes(1, 5000));
    auto box = watcher.Boxes()[0];
    EXPECT_EQ(box.caption, "Install");
    EXPECT_EQ(box.icon, UINT(MB_ICONERROR));
    // The temporary file is named first, the source second.
    EXPECT_EQ(box.text.rfind("Error whilst compressing '" + TempFolder() + "Ext", 0), 0u)
        << box.text;
    EXPECT_NE(box.text.find("', unable to read from '" + missing + "'"), std::string::npos)
        << box.text;
    EXPECT_TRUE(ReadBytes(archive) == before);
}

TEST_F(Packing, MissingArchivePathIsCreatedEmptyWhenTheSourceIsMissing) {
    std::string archive = folder / "created.bin";
    MessageBoxWatcher watcher;
    EXPECT_FALSE(Pack(folder / "missing.txt", archive));
    EXPECT_TRUE(watcher.WaitForBoxes(1, 5000));
    EXPECT_TRUE(FileExists(archive));
    EXPECT_EQ(ReadBytes(archive), "");
}

TEST_F(Packing, NamesOf255CharactersOrMoreAreRefused) {
    std::string archive = folder / "names.bin";
    WriteBytes(archive, "prefix");
    std::string source = "C:\\" + std::string(255, 'n');
    MessageBoxWatcher watcher;
    EXPECT_FALSE(Pack(source, archive));
    ASSERT_TRUE(watcher.WaitForBoxes(1, 5000));
    EXPECT_EQ(watcher.Boxes()[0].caption, "Install");
    EXPECT_NE(watcher.Boxes()[0].text.find("shorter than 255 characters"), std::string::npos);
    EXPECT_EQ(ReadBytes(archive), "prefix");
}

TEST_F(Packing, UnopenableArchiveShowsTheWriteOpenMessage) {
    WriteBytes(folder / "a.txt", "a");
    std::string archive = folder / "no-folder\\setup.exe";
    MessageBoxWatcher watcher;
    EXPECT_FALSE(Pack(folder / "a.txt", archive));
    ASSERT_TRUE(watcher.WaitForBoxes(1, 5000));
    EXPECT_EQ(watcher.Boxes()[0].caption, "Disk Write Error");
    EXPECT_EQ(watcher.Boxes()[0].text, "Unable to open '" + archive + "'");
}

TEST_F(Packing, CompressorWriteFailureSaysSoAndAppendsWhatTheTemporaryFileHolds) {
    std::string archive = folder / "setup.exe";
    WriteBytes(archive, "stub bytes");
    WriteBytes(folder / "a.txt", TextBytes(4000));
    MessageBoxWatcher watcher;
    {
        FailWrite fail(1);  // the compressed stream into the temporary file
        ASSERT_TRUE(fail.patch.Active());
        EXPECT_TRUE(Pack(folder / "a.txt", archive));
    }
    ASSERT_TRUE(watcher.WaitForBoxes(1, 5000));
    Sleep(200);
    auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Install");
    std::string prefix = "Error whilst compressing '" + TempFolder() + "Ext";
    EXPECT_EQ(boxes[0].text.rfind(prefix, 0), 0u) << boxes[0].text;
    // The temporary file is named in both places.
    std::string temp = boxes[0].text.substr(26, boxes[0].text.find('\'', 26) - 26);
    EXPECT_EQ(boxes[0].text,
              "Error whilst compressing '" + temp + "', unable to write to '" + temp + "'");
    uint32_t directory = 0;
    std::vector<RawRecord> records;
    ASSERT_TRUE(ParseArchive(ReadBytes(archive), &directory, &records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].storedSize, 0u);
    EXPECT_EQ(records[0].uncompressedSize, 4000u);
}

TEST_F(Packing, ArchiveWriteFailureIsReportedAndTheEntryStillRecorded) {
    std::string archive = folder / "setup.exe";
    WriteBytes(archive, "stub bytes");
    WriteBytes(folder / "a.txt", TextBytes(4000));
    MessageBoxWatcher watcher;
    {
        FailWrite fail(2);  // the entry's data into the archive
        EXPECT_TRUE(Pack(folder / "a.txt", archive));
    }
    ASSERT_TRUE(watcher.WaitForBoxes(1, 5000));
    Sleep(200);
    auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Disk Write Error");
    EXPECT_EQ(boxes[0].text, "Unable to write to '" + archive + "'");
    uint32_t directory = 0;
    std::vector<RawRecord> records;
    ASSERT_TRUE(ParseArchive(ReadBytes(archive), &directory, &records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].dataOffset, 10u);
    EXPECT_EQ(directory, 10u + records[0].storedSize);
}

}  // namespace
