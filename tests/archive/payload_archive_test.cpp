#include "archive/payload_archive.h"

#include <gtest/gtest.h>

#include "tests/archive/archive_builder.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/test_files.h"

namespace {

TEST(TrailerChecksum, WorkedExampleAddsSignedBytes) {
    const unsigned char trailer[20] = {0xe5, 0xff, 0xff, 0xff, 0xf0, 0xa1, 0x02, 0x00, 0x03, 0x00,
                                       0x00, 0x00, 0x83, 0x52, 0x34, 0x03, 0x43, 0xf3, 0xff, 0x0e};
    EXPECT_EQ(TrailerChecksum(trailer + 4), -27);
    ArchiveTrailer t = {0, 0x0002A1F0u, 3, kTrailerMagic1, kTrailerMagic2};
    unsigned char encoded[20];
    EncodeTrailer(t, encoded);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(encoded), 20),
              std::string(reinterpret_cast<const char*>(trailer), 20));
}

// The worked example as a whole file: three records at 0x2A1F0 behind a prefix.
std::string WorkedExampleFile(bool unsignedChecksum) {
    std::string file(0x2A1F0, 'P');
    for (int i = 0; i < 3; ++i) {
        file += RecordBytes({100u * i, 10, 20, 30, "entry" + std::to_string(i)});
    }
    return file + TrailerBytes(0x2A1F0, 3, unsignedChecksum);
}

TEST(PayloadArchive, AcceptsTheSignedChecksumAndRejectsTheUnsignedSum) {
    TestFolder folder;
    std::string path = folder / "example.bin";
    WriteBytes(path, WorkedExampleFile(false));
    {
        PayloadArchive archive(path.c_str(), false);
        ASSERT_EQ(archive.EntryCount(), 3);
        EXPECT_EQ(archive.DirectoryOffset(), 0x2A1F0u);
        EXPECT_STREQ(archive.Entry(2).name, "entry2");
        EXPECT_EQ(archive.Entry(2).dataOffset, 200u);
        EXPECT_EQ(archive.Entry(1).storedSize, 10u);
        EXPECT_EQ(archive.Entry(1).uncompressedSize, 20u);
        EXPECT_EQ(archive.Entry(1).checksum, 30u);
        EXPECT_EQ(archive.Entry(1).nameLength, 7u);
    }
    std::string rejected = WorkedExampleFile(true);
    WriteBytes(path, rejected);
    PayloadArchive archive(path.c_str(), false);
    EXPECT_EQ(archive.EntryCount(), 0);
    EXPECT_EQ(archive.DirectoryOffset(), rejected.size());
}

TEST(PayloadArchive, FilesWithoutAValidTrailerOpenEmpty) {
    TestFolder folder;
    std::string good = WorkedExampleFile(false);
    std::string badMagic1 = good, badMagic2 = good, badSum = good;
    badMagic1[badMagic1.size() - 8] ^= 1;
    badMagic2[badMagic2.size() - 1] ^= 1;
    badSum[badSum.size() - 20] ^= 1;
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {{"empty", ""},
                 {"19 bytes", std::string(19, '\x43')},
                 {"first magic word differs", badMagic1},
                 {"second magic word differs", badMagic2},
                 {"checksum differs", badSum}};
    for (const Case& c : cases) {
        std::string path = folder / "archive.bin";
        WriteBytes(path, c.bytes);
        {
            PayloadArchive archive(path.c_str(), true);
            EXPECT_EQ(archive.EntryCount(), 0) << c.what;
            EXPECT_EQ(archive.DirectoryOffset(), c.bytes.size()) << c.what;
            EXPECT_FALSE(archive.Find("entry0")) << c.what;
        }
        EXPECT_EQ(ReadBytes(path), c.bytes) << c.what << ": Close must not write";
    }
}

TEST(PayloadArchive, ReadOnlyOpenAndCloseLeaveEveryByte) {
    TestFolder folder;
    std::string path = folder / "example.bin";
    std::string bytes = WorkedExampleFile(false);
    WriteBytes(path, bytes);
    {
        PayloadArchive archive(path.c_str(), false);
        EXPECT_TRUE(archive.Find("ENTRY1"));
    }
    EXPECT_EQ(ReadBytes(path), bytes);
}

TEST(PayloadArchive, MissingFileIsCreatedEmptyEvenReadOnly) {
    TestFolder folder;
    std::string path = folder / "new.bin";
    {
        PayloadArchive archive(path.c_str(), false);
        EXPECT_TRUE(archive.IsOpen());
        EXPECT_EQ(archive.EntryCount(), 0);
    }
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(ReadBytes(path), "");
}

TEST(PayloadArchive, OpenFailureShowsTheMessageWithTheCaptionOfTheAccess) {
    TestFolder folder;
    std::string path = folder / "no-such-folder\\archive.bin";
    for (bool writable : {false, true}) {
        MessageBoxWatcher watcher;
        PayloadArchive archive(path.c_str(), writable);
        EXPECT_FALSE(archive.IsOpen());
        ASSERT_TRUE(watcher.WaitForBoxes(1, 5000));
        EXPECT_EQ(watcher.Boxes()[0].text, "Unable to open '" + path + "'");
        EXPECT_EQ(watcher.Boxes()[0].caption, writable ? "Disk Write Error" : "Disk Read Error");
        EXPECT_FALSE(archive.Find("x"));
    }
}

TEST(PayloadArchive, FindIgnoresCaseOfAsciiLettersOnly) {
    TestFolder folder;
    std::string path = folder / "names.bin";
    std::string file = "stub";
    file += RecordBytes({0, 0, 0, 0, "SETUP.DAT"});
    file += RecordBytes({0, 0, 0, 0, "caf\xc9.txt"});  // É in Windows-1252
    file += RecordBytes({0, 0, 0, 0, "a[b]"});
    WriteBytes(path, file + TrailerBytes(4, 3));
    PayloadArchive archive(path.c_str(), false);
    ASSERT_EQ(archive.EntryCount(), 3);
    struct Case {
        const char* name;
        bool found;
    } cases[] = {{"setup.dat", true},    {"Setup.Dat", true},   {"SETUP.DAT", true},
                 {"setup.da", false},    {"setup.datx", false}, {"caf\xc9.TXT", true},
                 {"caf\xe9.txt", false},  // é is not folded to É
                 {"A[B]", true},         {"a{b}", false},       {"", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(archive.Find(c.name), c.found) << c.name;
    }
}

TEST(PayloadArchive, KeepsEntriesOfOneNameInOrder) {
    TestFolder folder;
    std::string path = folder / "twice.bin";
    std::string file;
    file += RecordBytes({0, 1, 1, 1, "same.txt"});
    file += RecordBytes({0, 2, 2, 2, "same.txt"});
    WriteBytes(path, file + TrailerBytes(0, 2));
    PayloadArchive archive(path.c_str(), false);
    ASSERT_EQ(archive.EntryCount(), 2);
    EXPECT_EQ(archive.Entry(0).storedSize, 1u);
    EXPECT_EQ(archive.Entry(1).storedSize, 2u);
    EXPECT_TRUE(archive.Find("same.txt"));
}

TEST(PayloadArchive, DropsARecordThatFallsShort) {
    TestFolder folder;
    std::string path = folder / "short.bin";
    // Two records claimed, one present: the second read runs into the trailer and falls short.
    std::string file = "prefix" + RecordBytes({0, 5, 5, 5, "only.txt"});
    WriteBytes(path, file + TrailerBytes(6, 2));
    PayloadArchive archive(path.c_str(), false);
    ASSERT_EQ(archive.EntryCount(), 1);
    EXPECT_STREQ(archive.Entry(0).name, "only.txt");
}

TEST(PayloadArchive, HugeEntryCountStopsAtTheEndOfTheFile) {
    TestFolder folder;
    std::string path = folder / "huge.bin";
    std::string file = RecordBytes({0, 0, 0, 0, "a"}) + RecordBytes({0, 0, 0, 0, "b"});
    WriteBytes(path, file + TrailerBytes(0, 0xFFFFFFFFu));
    DWORD start = GetTickCount();
    PayloadArchive archive(path.c_str(), false);
    EXPECT_LT(GetTickCount() - start, 2000u);
    // The two real records, then the trailer read as a record whose name falls short.
    EXPECT_EQ(archive.EntryCount(), 2);
}

TEST(PayloadArchive, DirectoryOffsetPastTheEndMeansNoArchive) {
    TestFolder folder;
    std::string path = folder / "past.bin";
    std::string file = "0123456789" + TrailerBytes(0x7FFFFFF0u, 5);
    WriteBytes(path, file);
    {
        PayloadArchive archive(path.c_str(), true);
        EXPECT_EQ(archive.EntryCount(), 0);
        EXPECT_EQ(archive.DirectoryOffset(), file.size());
    }
    EXPECT_EQ(ReadBytes(path), file);
}

TEST(PayloadArchive, CopyStubWritesExactlyThePrefix) {
    TestFolder folder;
    std::string path = folder / "installer.bin";
    std::string prefix = RandomBytes(143360, 7);
    std::string data = "DATA1DATA2";
    std::string file = prefix + data;
    file += RecordBytes({143365, 5, 5, UnsignedSum("DATA2"), "second"});
    file += RecordBytes({143360, 5, 5, UnsignedSum("DATA1"), "first"});
    WriteBytes(path, file + TrailerBytes(143370, 2));
    {
        PayloadArchive archive(path.c_str(), false);
        ASSERT_EQ(archive.EntryCount(), 2);
        archive.CopyStub((folder / "stub.exe").c_str());
    }
    std::string stub = ReadBytes(folder / "stub.exe");
    EXPECT_EQ(stub.size(), 143360u);
    EXPECT_TRUE(stub == prefix);

    std::string plain = RandomBytes(70000, 3);
    WriteBytes(folder / "plain.bin", plain);
    {
        PayloadArchive archive((folder / "plain.bin").c_str(), false);
        archive.CopyStub((folder / "copy.bin").c_str());
    }
    EXPECT_TRUE(ReadBytes(folder / "copy.bin") == plain);
}

TEST(PayloadArchive, BareExecutableGrownByHandWrittenRecords) {
    TestFolder folder;
    std::string path = folder / "grown.exe";
    std::string exe = ReadBytes(BuildPath("installer.exe"));
    ASSERT_GT(exe.size(), 1000u);
    WriteBytes(path, exe);
    {
        PayloadArchive archive(path.c_str(), true);
        EXPECT_EQ(archive.EntryCount(), 0);
        EXPECT_EQ(archive.DirectoryOffset(), exe.size());
    }
    EXPECT_TRUE(ReadBytes(path) == exe);
    // Append entry data, a directory and a trailer by hand, then read them back.
    uint32_t base = static_cast<uint32_t>(exe.size());
    std::string grown = exe + "abc" + "defgh";
    grown += RecordBytes({base, 3, 3, UnsignedSum("abc"), "one.txt"});
    grown += RecordBytes({base + 3, 5, 5, UnsignedSum("defgh"), "two.txt"});
    grown += TrailerBytes(base + 8, 2);
    WriteBytes(path, grown);
    PayloadArchive archive(path.c_str(), true);
    ASSERT_EQ(archive.EntryCount(), 2);
    EXPECT_EQ(archive.DirectoryOffset(), base + 8);
    EXPECT_EQ(archive.Entry(1).dataOffset, base + 3);
    EXPECT_TRUE(archive.Find("TWO.TXT"));
    archive.CopyStub((folder / "stub.exe").c_str());
    EXPECT_TRUE(ReadBytes(folder / "stub.exe") == exe);
}

TEST(PayloadArchive, ArchivesOfTwoGigabytesOrMoreAreRefused) {
    TestFolder folder;
    std::string path = folder / "big.bin";
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetFilePointer(h, static_cast<LONG>(0x80000000u - 20), nullptr, FILE_BEGIN);
    std::string trailer = TrailerBytes(0, 0);
    DWORD written = 0;
    WriteFile(h, trailer.data(), 20, &written, nullptr);
    CloseHandle(h);
    WriteBytes(folder / "source.txt", "payload");
    MessageBoxWatcher watcher;
    {
        PayloadArchive archive(path.c_str(), true);
        EXPECT_EQ(archive.EntryCount(), 0);
        char name[260];
        EXPECT_FALSE(archive.Add((folder / "source.txt").c_str(), name));
    }
    ASSERT_TRUE(watcher.WaitForBoxes(1, 5000));
    EXPECT_EQ(watcher.Boxes()[0].caption, "Install");
    EXPECT_NE(watcher.Boxes()[0].text.find("below 2 GiB"), std::string::npos);
    EXPECT_EQ(FileSizeOfPath(path.c_str()), 0x80000000ull);
}

TEST(PayloadArchive, AForeignNameOf255BytesWithoutItsNulIsCutWhenRewritten) {
    TestFolder folder;
    std::string path = folder / "foreign.bin";
    std::string name(255, 'f');
    std::string record;
    PutU32(record, 0);
    PutU32(record, 0);
    PutU32(record, 0);
    PutU32(record, 0);
    record += static_cast<char>(255);
    record += name;  // no NUL
    WriteBytes(path, record + TrailerBytes(0, 1));
    WriteBytes(folder / "b.txt", "b");
    {
        PayloadArchive archive(path.c_str(), true);
        ASSERT_EQ(archive.EntryCount(), 1);
        char entry[260];
        ASSERT_TRUE(archive.Add((folder / "b.txt").c_str(), entry));
    }
    uint32_t directory = 0;
    std::vector<RawRecord> records;
    ASSERT_TRUE(ParseArchive(ReadBytes(path), &directory, &records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, name.substr(0, 254));
    EXPECT_EQ(records[1].name, "b.txt");
}

}  // namespace
