#include "engine/file_installation.h"

#include <gtest/gtest.h>

#include "tests/engine/engine_test_support.h"

namespace {

const std::string kOldTail = "-- the copy that was there before";

// The payload every file installation run carries, by entry name.
std::map<std::string, std::string> VersionEntries() {
    return {{"v100.dll", FixtureBytes("version_1_0_0_0.dll")},
            {"v150.dll", FixtureBytes("version_1_5_0_0.dll")},
            {"v1502.dll", FixtureBytes("version_1_5_0_2.dll")},
            {"v200.dll", FixtureBytes("version_2_0_0_0.dll")},
            {"v40000.dll", FixtureBytes("version_40000_0_0_0.dll")},
            {"none.dll", FixtureBytes("version_none.dll")},
            {"plain.txt", TextBytes(300, 1)}};
}

TEST(InstallFile, VersionRuleKeepsOnlyAStrictlyNewerExistingFile) {
    struct Row {
        const char* existing;  // entry whose bytes (plus a tail) are already there; null: absent
        const char* entry;
        bool replaced;
        bool readOnly;
    } rows[] = {
        {nullptr, "v150.dll", true, false},       // absent: copied, its folders created
        {"v200.dll", "v150.dll", false, false},   // newer existing wins
        {"v100.dll", "none.dll", false, false},   // a versioned file beats an unversioned one
        {"plain.txt", "plain.txt", true, false},  // both 0.0: copied
        {"v150.dll", "v150.dll", true, false},    // equal: copied
        {"v100.dll", "v200.dll", true, false},    // older existing: copied
        {"v1502.dll", "v150.dll", false, false},  // equal high halves, greater low half wins
        {"v150.dll", "v1502.dll", true, false},
        {"v40000.dll", "v200.dll", false, false},  // halves compare unsigned
        {"none.dll", "v100.dll", true, false},
        {"v100.dll", "v200.dll", true, true},  // read-only destination overwritten
    };
    TestFolder folder;
    auto entries = VersionEntries();
    std::vector<std::string> lines;
    for (size_t i = 0; i < std::size(rows); ++i) {
        std::string sub = "row" + std::to_string(i) + (rows[i].existing ? "" : "\\new\\deeper");
        std::string destination = folder / (sub + "\\lib.dll");
        if (rows[i].existing) {
            CreateDirectoryA((folder / sub).c_str(), nullptr);
            WriteBytes(destination, entries[rows[i].existing] + kOldTail);
            if (rows[i].readOnly) {
                SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_READONLY);
            }
        }
        lines.insert(lines.end(),
                     {"[CopyFile]", rows[i].entry, "<Destination>" + sub + "\\lib.dll"});
    }
    std::string host = PackHost(folder, "host.exe", ScriptText(lines), entries);
    auto tempBefore = ProductTempEntries();

    HostRun run = RunHost(host, folder.Path());

    ASSERT_TRUE(run.process.finished);
    EXPECT_EQ(run.values["workerDone"], "1");
    EXPECT_EQ(run.values["rebootRequired"], "0");
    EXPECT_TRUE(run.boxes.empty());
    for (size_t i = 0; i < std::size(rows); ++i) {
        std::string sub = "row" + std::to_string(i) + (rows[i].existing ? "" : "\\new\\deeper");
        std::string expected =
            rows[i].replaced ? entries[rows[i].entry] : entries[rows[i].existing] + kOldTail;
        EXPECT_TRUE(ReadBytes(folder / (sub + "\\lib.dll")) == expected)
            << "row " << i << ": " << (rows[i].existing ? rows[i].existing : "absent") << " <- "
            << rows[i].entry;
    }
    EXPECT_EQ(AddedEntries(tempBefore, ProductTempEntries()), std::vector<std::string>{});
}

TEST(InstallFile, FailedCopyAsksAgainOnRetryAndCancelAbortsTheInstall) {
    TestFolder folder;
    // A folder where the file should go makes every copy fail with an error other than
    // "in use", as a full disk does.
    CreateDirectoryA((folder / "blocked.dll").c_str(), nullptr);
    std::string script = ScriptText({"[CopyFile]", "v100.dll", "<Destination>blocked.dll",
                                     "[CopyFile]", "v200.dll", "<Destination>later.dll"});
    std::string host = PackHost(folder, "host.exe", script, VersionEntries());
    auto tempBefore = ProductTempEntries();

    HostRun run = RunHost(host, folder.Path(), "", {IDRETRY, IDRETRY, IDCANCEL});

    ASSERT_TRUE(run.process.finished);
    ASSERT_EQ(run.boxes.size(), 3u);
    for (const MessageBoxRecord& box : run.boxes) {
        EXPECT_EQ(box.caption, "Installer");
        EXPECT_EQ(box.text,
                  "Cannot install '" + folder.Path() + "blocked.dll', disk might be full.");
        EXPECT_EQ(box.icon, UINT(MB_ICONERROR));
        EXPECT_EQ(box.buttons, (std::vector<int>{IDRETRY, IDCANCEL}));
        EXPECT_EQ(box.defaultButton, IDCANCEL);
    }
    EXPECT_FALSE(FileExists(folder / "later.dll"));
    EXPECT_EQ(run.values["workerDone"], "1");
    ASSERT_FALSE(run.progress.empty());
    EXPECT_EQ(run.progress.back(), "1/2 Registering Dlls");
    EXPECT_EQ(AddedEntries(tempBefore, ProductTempEntries()), std::vector<std::string>{});
}

TEST(InstallFile, MissingEntryShowsTheCorruptionMessageOnceAndStopsTheScript) {
    TestFolder folder;
    std::string script = ScriptText({"[CopyFile]", "absent.dll", "<Destination>absent.dll",
                                     "[CopyFile]", "v200.dll", "<Destination>later.dll"});
    std::string host = PackHost(folder, "host.exe", script, VersionEntries());
    auto tempBefore = ProductTempEntries();

    HostRun run = RunHost(host, folder.Path());

    ASSERT_TRUE(run.process.finished);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, "Installer");
    EXPECT_EQ(run.boxes[0].text,
              "This installation appears to be corrupted. Error whilst installing 'absent.dll'.");
    EXPECT_EQ(run.boxes[0].icon, UINT(MB_ICONERROR));
    EXPECT_FALSE(FileExists(folder / "absent.dll"));
    EXPECT_FALSE(FileExists(folder / "later.dll"));
    EXPECT_EQ(run.values["workerDone"], "1");
    EXPECT_EQ(AddedEntries(tempBefore, ProductTempEntries()), std::vector<std::string>{});
}

}  // namespace
