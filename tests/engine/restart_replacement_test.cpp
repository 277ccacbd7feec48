// Files in use: the replacement waits for the next restart, which Wine performs with
// "wineboot -r" on the test prefix.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/engine/engine_test_support.h"

namespace {

const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";

bool EndsWithIgnoringCase(const std::string& text, const std::string& tail) {
    if (tail.empty() || text.size() < tail.size()) {
        return tail.empty() && text.empty();
    }
    return _stricmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), ::tolower);
    return text;
}

// The pending renames as they stand, and put back as they were when the test ends.
class PendingRenames {
public:
    PendingRenames() : saved(ReadValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames)) {}
    ~PendingRenames() { RestoreValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, saved); }
    std::vector<std::pair<std::string, std::string>> Added() const {
        auto before = RenamePairs(saved.bytes);
        auto now =
            RenamePairs(ReadValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames).bytes);
        return std::vector<std::pair<std::string, std::string>>(
            now.begin() + std::min(before.size(), now.size()), now.end());
    }

private:
    RegistryValue saved;
};

// Wine's restart processing: pending renames and WININIT.INI.
void Restart() {
    ProcessResult result = RunProgram("wineboot.exe -r", 120000);
    ASSERT_TRUE(result.finished);
}

std::string WindowsFolder() {
    char buffer[MAX_PATH] = {};
    GetWindowsDirectoryA(buffer, sizeof(buffer));
    return std::string(buffer) + "\\";
}

// A file as it was, put back when the test ends (removed when it did not exist).
class SavedFile {
public:
    explicit SavedFile(const std::string& path)
        : path(path), existed(FileExists(path)), bytes(ReadBytes(path)) {}
    ~SavedFile() {
        if (existed) {
            WriteBytes(path, bytes);
        } else {
            DeleteFileA(path.c_str());
        }
    }

private:
    std::string path;
    bool existed;
    std::string bytes;
};

std::map<std::string, std::string> Entries() {
    return {{"v150.dll", FixtureBytes("version_1_5_0_0.dll")},
            {"v200.dll", FixtureBytes("version_2_0_0_0.dll")},
            {"none.dll", FixtureBytes("version_none.dll")}};
}

std::string OnlyNewTempFile(const std::vector<std::string>& before) {
    auto added = AddedEntries(before, ProductTempEntries());
    return added.size() == 1 ? TempFolder() + added[0] : std::string();
}

TEST(RestartReplacement, NtFamilyQueuesDeleteThenMoveAndTheRestartPutsTheNewFileInPlace) {
    TestFolder folder;
    std::string destination = folder / "lib.dll";
    std::string old = FixtureBytes("version_1_0_0_0.dll");
    WriteBytes(destination, old);
    std::string host =
        PackHost(folder, "host.exe", ScriptText({"[CopyFile]", "v200.dll", "<Destination>lib.dll"}),
                 Entries());
    PendingRenames pending;
    auto tempBefore = ProductTempEntries();
    FileHolder holder(destination, "none", folder);
    ASSERT_TRUE(holder.Held());

    HostRun run = RunHost(host, folder.Path());

    ASSERT_TRUE(run.process.finished);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.values["rebootRequired"], "1");
    // The extracted file is the one temporary file left, waiting for the restart.
    std::string kept = OnlyNewTempFile(tempBefore);
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(Lowered(kept.substr(TempFolder().size(), 3)), "ins");
    EXPECT_TRUE(ReadBytes(kept) == Entries()["v200.dll"]);
    auto added = pending.Added();
    ASSERT_EQ(added.size(), 2u);
    EXPECT_TRUE(EndsWithIgnoringCase(added[0].first, destination)) << added[0].first;
    EXPECT_EQ(added[0].second, "");
    EXPECT_TRUE(EndsWithIgnoringCase(added[1].first, kept)) << added[1].first;
    EXPECT_TRUE(EndsWithIgnoringCase(added[1].second, destination)) << added[1].second;

    holder.Release();
    EXPECT_TRUE(ReadBytes(destination) == old);
    Restart();
    EXPECT_TRUE(ReadBytes(destination) == Entries()["v200.dll"]);
    EXPECT_FALSE(FileExists(kept));
    EXPECT_TRUE(pending.Added().empty());
}

TEST(RestartReplacement, NinetyFiveFamilyWritesTheRenameIntoWininit) {
    TestFolder folder;
    std::string destination = folder / "lib.dll";
    std::string old = FixtureBytes("version_1_0_0_0.dll");
    WriteBytes(destination, old);
    // Wine reports the 95 family to a program by its file name.
    std::string appDefaults = "Software\\Wine\\AppDefaults\\host98.exe";
    RegistryValue version = ReadValue(HKEY_CURRENT_USER, appDefaults, "Version");
    RestoreValue(HKEY_CURRENT_USER, appDefaults, "Version",
                 {true, REG_SZ, std::string("win98", 6)});
    std::string wininit = WindowsFolder() + "WININIT.INI";
    SavedFile savedIni(wininit);
    SavedFile savedBackup(WindowsFolder() + "wininit.bak");
    DeleteFileA(wininit.c_str());
    std::string host =
        PackHost(folder, "host98.exe",
                 ScriptText({"[CopyFile]", "v200.dll", "<Destination>lib.dll"}), Entries());
    PendingRenames pending;
    auto tempBefore = ProductTempEntries();
    FileHolder holder(destination, "none", folder);
    ASSERT_TRUE(holder.Held());

    HostRun run = RunHost(host, folder.Path());

    RestoreValue(HKEY_CURRENT_USER, appDefaults, "Version", version);
    if (!version.exists) {
        RegDeleteKeyA(HKEY_CURRENT_USER, appDefaults.c_str());
    }
    ASSERT_TRUE(run.process.finished);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.values["rebootRequired"], "1");
    std::string kept = OnlyNewTempFile(tempBefore);
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(ReadBytes(wininit), "[rename]\r\n" + destination + "=" + kept + "\r\n");
    EXPECT_TRUE(pending.Added().empty());

    holder.Release();
    EXPECT_TRUE(ReadBytes(destination) == old);
    Restart();
    EXPECT_TRUE(ReadBytes(destination) == Entries()["v200.dll"]);
    EXPECT_FALSE(FileExists(kept));
}

TEST(RestartReplacement, InUseRuleSchedulesUnlessBothVersionsAreTheSameAndNotZero) {
    struct Row {
        const char* existing;
        const char* entry;
        bool scheduled;
    } rows[] = {{"v150.dll", "v150.dll", false},
                {"v150.dll", "v200.dll", true},
                {"none.dll", "none.dll", true}};
    auto entries = Entries();
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.existing) + " <- " + row.entry);
        TestFolder folder;
        std::string destination = folder / "lib.dll";
        std::string old = entries[row.existing] + "-- in use";
        WriteBytes(destination, old);
        std::string host =
            PackHost(folder, "host.exe",
                     ScriptText({"[CopyFile]", row.entry, "<Destination>lib.dll"}), entries);
        PendingRenames pending;
        auto tempBefore = ProductTempEntries();
        // Readable by others, so the version of the file in use can still be read.
        FileHolder holder(destination, "read", folder);
        ASSERT_TRUE(holder.Held());

        HostRun run = RunHost(host, folder.Path());

        ASSERT_TRUE(run.process.finished);
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_TRUE(ReadBytes(destination) == old);
        EXPECT_EQ(run.values["rebootRequired"], row.scheduled ? "1" : "0");
        auto added = AddedEntries(tempBefore, ProductTempEntries());
        EXPECT_EQ(added.size(), row.scheduled ? 1u : 0u);
        EXPECT_EQ(pending.Added().size(), row.scheduled ? 2u : 0u);
        for (const std::string& name : added) {
            DeleteFileA((TempFolder() + name).c_str());
        }
    }
}

}  // namespace
