#include "platform/file_handle.h"

#include <gtest/gtest.h>

#include "tests/support/message_box_watcher.h"
#include "tests/support/test_files.h"

namespace {

TEST(FileHandle, OpenFailureMessagesNameThePathWithCaptionByAccess) {
    TestFolder folder;
    std::string missing = folder / "missing.bin";
    struct Case {
        DWORD access;
        const char* caption;
    } cases[] = {{GENERIC_READ, "Disk Read Error"},
                 {GENERIC_READ | GENERIC_WRITE, "Disk Write Error"},
                 {GENERIC_WRITE, "Disk Write Error"}};
    for (const Case& c : cases) {
        MessageBoxWatcher watcher;
        // OPEN_EXISTING on a missing file fails for every access.
        FileHandle file(missing.c_str(), c.access, OPEN_EXISTING, true, true);
        EXPECT_FALSE(file.IsOpen());
        ASSERT_TRUE(watcher.WaitForBoxes(1, 5000));
        auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, c.caption);
        EXPECT_EQ(boxes[0].text, "Unable to open '" + missing + "'");
        EXPECT_EQ(boxes[0].icon, UINT(MB_ICONINFORMATION));
        EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
    }
}

TEST(FileHandle, ReadAndWriteFailuresShowTheirMessages) {
    TestFolder folder;
    std::string path = folder / "data.bin";
    WriteBytes(path, "twelve bytes");
    {
        MessageBoxWatcher watcher;
        FileHandle readOnly(path.c_str(), GENERIC_READ, OPEN_EXISTING, true, true);
        ASSERT_TRUE(readOnly.IsOpen());
        EXPECT_FALSE(readOnly.Write("x", 1, AtEnd));
        ASSERT_TRUE(watcher.WaitForBoxes(1, 5000));
        EXPECT_EQ(watcher.Boxes()[0].caption, "Disk Write Error");
        EXPECT_EQ(watcher.Boxes()[0].text, "Unable to write to '" + path + "'");
    }
    {
        MessageBoxWatcher watcher;
        FileHandle writeOnly(path.c_str(), GENERIC_WRITE, OPEN_EXISTING, true, true);
        ASSERT_TRUE(writeOnly.IsOpen());
        char buffer[4];
        EXPECT_EQ(writeOnly.Read(buffer, sizeof(buffer), AtStart), 0u);
        ASSERT_TRUE(watcher.WaitForBoxes(1, 5000));
        EXPECT_EQ(watcher.Boxes()[0].caption, "Disk Read Error");
        EXPECT_EQ(watcher.Boxes()[0].text, "Unable to read from '" + path + "'");
    }
}

TEST(FileHandle, ShortReadAtTheEndIsSilentWhateverTheStaleLastError) {
    TestFolder folder;
    std::string path = folder / "data.bin";
    WriteBytes(path, "0123456789abcdefghij");  // 20 bytes
    MessageBoxWatcher watcher;
    FileHandle file(path.c_str(), GENERIC_READ, OPEN_EXISTING, true, true);
    ASSERT_TRUE(file.IsOpen());
    file.Seek(8, FILE_BEGIN);
    char buffer[20];
    SetLastError(ERROR_ACCESS_DENIED);  // left over from some earlier call
    EXPECT_EQ(file.Read(buffer, 20, AtCurrent), 12u);
    EXPECT_EQ(std::string(buffer, 12), "89abcdefghij");
    EXPECT_EQ(file.Read(buffer, 20, AtCurrent), 0u);
    Sleep(300);
    EXPECT_TRUE(watcher.Boxes().empty());
}

TEST(FileHandle, EverythingOnAFailedOpenIsQuiet) {
    TestFolder folder;
    std::string missing = folder / "missing.bin";
    MessageBoxWatcher watcher;
    FileHandle file(missing.c_str(), GENERIC_READ, OPEN_EXISTING, false, true);
    char buffer[4];
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Read(buffer, 4, AtStart), 0u);
    EXPECT_FALSE(file.Write("abc", 3, AtEnd));
    bool failed = false;
    EXPECT_EQ(file.Size(&failed), 0u);
    EXPECT_FALSE(failed);
    file.Seek(10, FILE_BEGIN);
    EXPECT_FALSE(file.Close());
    Sleep(300);
    EXPECT_TRUE(watcher.Boxes().empty());
}

TEST(FileHandle, PositionsAndWritesAtStartEndAndCurrent) {
    TestFolder folder;
    std::string path = folder / "data.bin";
    FileHandle file(path.c_str(), GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, false, true);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_TRUE(file.Write("hello", 5, AtStart));
    EXPECT_TRUE(file.Write(" world", 6, AtEnd));
    file.Seek(0, FILE_BEGIN);
    EXPECT_TRUE(file.Write("J", 1, AtCurrent));
    EXPECT_EQ(file.Size(), 11u);
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, 11, AtStart), 11u);
    EXPECT_STREQ(buffer, "Jello world");
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());
}

TEST(FileHandle, PathOfTwoHundredSixtyCharactersIsRefusedWithAMessage) {
    std::string longPath = "C:\\" + std::string(257, 'a');  // 260 characters
    MessageBoxWatcher watcher;
    FileHandle file(longPath.c_str(), GENERIC_WRITE, CREATE_ALWAYS, true, true);
    EXPECT_FALSE(file.IsOpen());
    ASSERT_TRUE(watcher.WaitForBoxes(1, 5000));
    EXPECT_EQ(watcher.Boxes()[0].caption, "Disk Write Error");
    EXPECT_EQ(watcher.Boxes()[0].text.rfind("Unable to open 'C:\\aaa", 0), 0u);
}

TEST(FileSize, ByPathAndByHandle) {
    TestFolder folder;
    std::string path = folder / "data.bin";
    WriteBytes(path, std::string(1234, 'x'));
    bool failed = true;
    EXPECT_EQ(FileSizeOfPath(path.c_str(), &failed), 1234u);
    EXPECT_FALSE(failed);
    EXPECT_EQ(FileSizeOfPath((folder / "none").c_str(), &failed), 0u);
    EXPECT_TRUE(failed);
    WriteBytes(folder / "empty", "");
    EXPECT_EQ(FileSizeOfPath((folder / "empty").c_str(), &failed), 0u);
    EXPECT_FALSE(failed);
    EXPECT_EQ(FileSizeOfHandle(INVALID_HANDLE_VALUE, &failed), 0u);
    EXPECT_TRUE(failed);
}

TEST(FileSize, OfAFileHeldOpenForWritingWithoutSharing) {
    TestFolder folder;
    std::string path = folder / "held.bin";
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(holder, "abcdefg", 7, &written, nullptr);
    EXPECT_EQ(FileSizeOfPath(path.c_str()), 7u);
    CloseHandle(holder);
}

TEST(FileSize, BeyondFourGigabytesIsReportedWhole) {
    TestFolder folder;
    std::string path = folder / "sparse.bin";
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LONG high = 1;
    SetFilePointer(h, 16, &high, FILE_BEGIN);  // 4 GiB + 16
    ASSERT_TRUE(SetEndOfFile(h));
    CloseHandle(h);
    FileHandle file(path.c_str(), GENERIC_READ, OPEN_EXISTING, false, true);
    EXPECT_EQ(file.Size(), 0x100000010ull);
    EXPECT_EQ(FileSizeOfPath(path.c_str()), 0x100000010ull);
}

}  // namespace
