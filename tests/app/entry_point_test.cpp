// The built installer.exe started in its three modes, each with an exact command line.

#include <gtest/gtest.h>

#include "tests/archive/archive_builder.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/test_files.h"

namespace {

struct InstallerRun {
    ProcessResult process;
    std::vector<MessageBoxRecord> boxes;
};

InstallerRun RunInstaller(const std::string& exe, const std::string& arguments,
                          DWORD timeoutMs = 60000) {
    MessageBoxWatcher watcher(IDOK, 0);
    InstallerRun run;
    run.process = RunProgram("\"" + exe + "\"" + arguments, timeoutMs,
                             [&](DWORD pid) { watcher.WatchProcess(pid); });
    Sleep(100);
    run.boxes = watcher.Boxes();
    return run;
}

class EntryPoint : public ::testing::Test {
protected:
    void SetUp() override {
        stub = folder / "installer.exe";
        WriteBytes(stub, ReadBytes(BuildPath("installer.exe")));
        tempBefore = ProductTempEntries();
    }
    TestFolder folder;
    std::string stub;
    std::vector<std::string> tempBefore;
};

TEST_F(EntryPoint, BareStubShowsTheCorruptionMessageOnceAndCleansUp) {
    for (const char* arguments : {"", " <UNINSTALL>x", " <PackThis>\"a\"<packto>\"b\""}) {
        InstallerRun run = RunInstaller(stub, arguments);
        ASSERT_TRUE(run.process.finished) << arguments;
        EXPECT_EQ(run.process.exitCode, 0u) << arguments;
        ASSERT_EQ(run.boxes.size(), 1u) << arguments;
        EXPECT_EQ(run.boxes[0].caption, "Installer");
        EXPECT_EQ(run.boxes[0].text, "This installation is corrupted please obtain a new install.");
        EXPECT_EQ(run.boxes[0].buttons, std::vector<int>{IDOK});
        EXPECT_EQ(run.boxes[0].defaultButton, IDOK);
    }
    EXPECT_EQ(AddedEntries(tempBefore, ProductTempEntries()), std::vector<std::string>{});
}

TEST_F(EntryPoint, InstallerWithAScriptRunsWithoutAMessageAndCleansUp) {
    WriteBytes(folder / "setup.dat", "[Project Name]\r\nDemo\r\n");
    WriteBytes(folder / "setup.exe", ReadBytes(stub));
    InstallerRun pack = RunInstaller(stub, " <packthis>\"" + (folder / "setup.dat") +
                                               "\"<packto>\"" + (folder / "setup.exe") + "\"");
    ASSERT_EQ(pack.process.exitCode, 0u);
    InstallerRun run = RunInstaller(folder / "setup.exe", "");
    ASSERT_TRUE(run.process.finished);
    EXPECT_EQ(run.process.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(AddedEntries(tempBefore, ProductTempEntries()), std::vector<std::string>{});
}

TEST_F(EntryPoint, UninstallTokenWinsOverPackThis) {
    std::string archive = folder / "archive.bin";
    WriteBytes(folder / "a.txt", "content");
    InstallerRun run = RunInstaller(
        stub, " <uninstall>x <packthis>\"" + (folder / "a.txt") + "\"<packto>\"" + archive + "\"");
    ASSERT_TRUE(run.process.finished);
    EXPECT_EQ(run.process.exitCode, 0u);
    EXPECT_FALSE(FileExists(archive)) << "pack mode must not have run";
}

TEST_F(EntryPoint, PackModeAddsAnEntryAndSaysNothing) {
    std::string archive = folder / "archive.bin";
    WriteBytes(folder / "Readme.TXT", "read me\r\n");
    InstallerRun run = RunInstaller(
        stub, " <packthis>\"" + (folder / "Readme.TXT") + "\"<packto>\"" + archive + "\"");
    ASSERT_TRUE(run.process.finished);
    EXPECT_EQ(run.process.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    uint32_t directory = 0;
    std::vector<RawRecord> records;
    ASSERT_TRUE(ParseArchive(ReadBytes(archive), &directory, &records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, "Readme.TXT");
    EXPECT_EQ(records[0].uncompressedSize, 9u);
    EXPECT_EQ(AddedEntries(tempBefore, ProductTempEntries()), std::vector<std::string>{});
}

TEST_F(EntryPoint, RefusedPackRequestsSayWhyAddNothingAndExitWithOne) {
    std::string archive = folder / "archive.bin";
    WriteBytes(archive, "existing bytes");
    WriteBytes(folder / "a.txt", "content");
    std::string source = folder / "a.txt";
    struct Case {
        std::string arguments;
        const char* caption;
    } cases[] = {
        {" <packthis>\"" + source + "\"", "Install"},                    // no <packto>
        {" <packthis>\"" + source + "<packto>\"" + archive, "Install"},  // unclosed
        {" <packthis>\"" + source + "\"<packto>\"" + archive + "\"" + std::string(1000, ' '),
         "Install"},  // too long
        {" <packthis>\"" + folder.Path() + std::string(240, 'x') + "\"<packto>\"" + archive + "\"",
         "Install"},  // long path
        {" <packthis>\"" + (folder / "missing.txt") + "\"<packto>\"" + archive + "\"",
         "Install"},                                                               // no source
        {" <packthis> \"" + source + "\"<packto>\"" + archive + "\"", "Install"},  // blank
    };
    for (const Case& c : cases) {
        InstallerRun run = RunInstaller(stub, c.arguments);
        ASSERT_TRUE(run.process.finished) << c.arguments;
        EXPECT_EQ(run.process.exitCode, 1u) << c.arguments;
        ASSERT_EQ(run.boxes.size(), 1u) << c.arguments;
        EXPECT_EQ(run.boxes[0].caption, c.caption) << c.arguments;
        EXPECT_EQ(run.boxes[0].buttons, std::vector<int>{IDOK}) << c.arguments;
        EXPECT_EQ(ReadBytes(archive), "existing bytes") << c.arguments;
    }
}

}  // namespace
