// The install worker, run by engine_host.exe over a payload of the test's making.

#include <gtest/gtest.h>

#include "app/run_state.h"
#include "engine/install_worker.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/import_patch.h"

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// A "[RunAndWaitFile]" of wait_marker.exe that writes marker after ms milliseconds.
std::vector<std::string> WaitSection(int ms, const std::string& marker,
                                     const std::string& started = "") {
    return {
        "[RunAndWaitFile]", FixturePath("wait_marker.exe"),
        std::to_string(ms) + " " + Quoted(marker) + (started.empty() ? "" : " " + Quoted(started))};
}

void Append(std::vector<std::string>& lines, const std::vector<std::string>& more) {
    lines.insert(lines.end(), more.begin(), more.end());
}

std::map<std::string, std::string> ComponentEntries() {
    return {{"component.dll", FixtureBytes("component_marker.dll")},
            {"second.dll", FixtureBytes("component_second_translation.dll")},
            {"noexports.dll", FixtureBytes("component_no_exports.dll")},
            {"none.dll", FixtureBytes("version_none.dll")},
            {"plain.txt", TextBytes(100)}};
}

TEST(InstallWorker, CountsTheFilesFirstAndPublishesEachBeforeInstallingItUnderTheLock) {
    TestFolder folder;
    std::vector<std::string> lines = {"[Action]", "Installing Sample"};
    Append(lines, WaitSection(150, folder / "after0.txt"));
    for (int k = 1; k <= 5; ++k) {
        Append(lines,
               {"[CopyFile]", "plain.txt", "<Destination>file" + std::to_string(k) + ".txt"});
        Append(lines, WaitSection(150, folder / ("after" + std::to_string(k) + ".txt")));
    }
    std::string host = PackHost(folder, "host.exe", ScriptText(lines), {{"plain.txt", "data"}});

    // hold=2: while the host keeps the lock after file 2 is published, the worker finishes that
    // section and then waits to publish file 3.
    HostRun run = RunHost(host, folder.Path(), "hold=2");

    ASSERT_TRUE(run.process.finished);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.progress,
              (std::vector<std::string>{"0/0 Installing Sample", "1/5 Installing Sample",
                                        "2/5 Installing Sample", "3/5 Installing Sample",
                                        "4/5 Installing Sample", "5/5 Installing Sample",
                                        "5/5 Registering Dlls"}));
    EXPECT_EQ(run.values["held"], "10");
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(ReadBytes(folder / ("file" + std::to_string(k) + ".txt")), "data");
    }
    EXPECT_EQ(run.values["workerDone"], "1");
}

TEST(InstallWorker, FirstPassCountsValueLinesAndLongActionTextsAreCut) {
    TestFolder folder;
    std::string longText(400, 'x');
    std::vector<std::string> lines = {"[Action]", "[CopyFile]"};
    Append(lines, WaitSection(150, folder / "a.txt"));
    Append(lines, {"[CopyFile]", "plain.txt", "<Destination>one.txt"});
    Append(lines, WaitSection(150, folder / "b.txt"));
    // The cut text's rest is not read as a line of its own: the section after it still runs.
    Append(lines, {"[Action]", longText});
    Append(lines, WaitSection(150, folder / "c.txt"));
    std::string host = PackHost(folder, "host.exe", ScriptText(lines), {{"plain.txt", "data"}});

    HostRun run = RunHost(host, folder.Path());

    ASSERT_TRUE(run.process.finished);
    EXPECT_EQ(run.progress,
              (std::vector<std::string>{"0/0 [CopyFile]", "1/2 [CopyFile]",
                                        "1/2 " + longText.substr(0, 259), "1/2 Registering Dlls"}));
    EXPECT_EQ(ReadBytes(folder / "one.txt"), "data");
    EXPECT_TRUE(FileExists(folder / "c.txt"));
}

TEST(InstallWorker, AScriptWithoutSectionsOnlyRegisters) {
    TestFolder folder;
    std::string host = PackHost(folder, "host.exe", "", {});
    HostRun run = RunHost(host, folder.Path());
    ASSERT_TRUE(run.process.finished);
    EXPECT_EQ(run.progress, std::vector<std::string>{"0/0 Registering Dlls"});
    EXPECT_EQ(run.values["workerDone"], "1");
    EXPECT_TRUE(run.boxes.empty());
}

TEST(InstallWorker, ComponentsAreRegisteredAfterTheLastFileInInstallationOrder) {
    TestFolder folder;
    // An existing component that wins by version is registered too.
    WriteBytes(folder / "kept.dll", FixtureBytes("component_marker.dll") + "-- kept");
    std::vector<std::string> lines;
    for (const auto& copy :
         std::vector<std::pair<std::string, std::string>>{{"component.dll", "b.dll"},
                                                          {"second.dll", "second.dll"},
                                                          {"component.dll", "a.dll"},
                                                          {"noexports.dll", "n.dll"},
                                                          {"none.dll", "kept.dll"},
                                                          {"plain.txt", "sentinel.txt"}}) {
        Append(lines, {"[CopyFile]", copy.first, "<Destination>" + copy.second});
    }
    std::string host = PackHost(folder, "host.exe", ScriptText(lines), ComponentEntries());
    auto tempBefore = ProductTempEntries();

    HostRun run = RunHost(host, folder.Path());

    ASSERT_TRUE(run.process.finished);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.values["pending"], "0");
    EXPECT_EQ(
        CallLog(folder.Path()),
        (std::vector<std::string>{
            "load b.dll", "DllRegisterServer b.dll after sentinel", "free b.dll", "load a.dll",
            "DllRegisterServer a.dll after sentinel", "free a.dll", "load n.dll", "free n.dll",
            "load kept.dll", "DllRegisterServer kept.dll after sentinel", "free kept.dll"}));
    EXPECT_EQ(AddedEntries(tempBefore, ProductTempEntries()), std::vector<std::string>{});
}

TEST(InstallWorker, CancellationWaitsForTheSectionInProgressThenStillRegisters) {
    TestFolder folder;
    std::string started = folder / "started.txt";
    std::vector<std::string> lines = {"[CopyFile]", "component.dll", "<Destination>a.dll"};
    Append(lines, WaitSection(1500, folder / "done.txt", started));
    Append(lines, {"[CopyFile]", "component.dll", "<Destination>b.dll"});
    std::string host = PackHost(folder, "host.exe", ScriptText(lines), ComponentEntries());

    HostRun run = RunHost(host, folder.Path(), "cancel=" + Quoted(started));

    ASSERT_TRUE(run.process.finished);
    EXPECT_TRUE(FileExists(folder / "done.txt"));
    EXPECT_FALSE(FileExists(folder / "b.dll"));
    EXPECT_EQ(CallLog(folder.Path()),
              (std::vector<std::string>{"load a.dll", "DllRegisterServer a.dll", "free a.dll"}));
    ASSERT_FALSE(run.progress.empty());
    EXPECT_EQ(run.progress.back(), "1/2 Registering Dlls");
    EXPECT_EQ(run.values["workerDone"], "1");
}

TEST(InstallWorker, MessagesShowTheirTypesIconAndSilentRunsSkipThem) {
    TestFolder folder;
    struct Type {
        std::string word;
        UINT icon;
    } types[] = {{"Error", MB_ICONERROR},     {"Question", MB_ICONQUESTION},
                 {"Warning", MB_ICONWARNING}, {"Information", MB_ICONINFORMATION},
                 {"information", 0},          {"Note", 0}};
    std::vector<std::string> lines;
    for (const Type& type : types) {
        Append(lines, {"[Message]", "First line\\nabout " + type.word, type.word});
    }
    // Silent: the text line is met as a keyword and runs; otherwise it is only shown.
    std::string marker = folder / "silent.txt";
    Append(lines, {"[Message]", "[RunAndWaitFile]", FixturePath("wait_marker.exe"),
                   "0 " + Quoted(marker)});
    std::string host = PackHost(folder, "host.exe", ScriptText(lines), {});

    HostRun shown = RunHost(host, folder.Path());
    ASSERT_TRUE(shown.process.finished);
    ASSERT_EQ(shown.boxes.size(), std::size(types) + 1);
    for (size_t i = 0; i < std::size(types); ++i) {
        EXPECT_EQ(shown.boxes[i].caption, "Installer");
        EXPECT_EQ(shown.boxes[i].text, "First line\r\nabout " + types[i].word);
        EXPECT_EQ(shown.boxes[i].icon, types[i].icon) << types[i].word;
        EXPECT_EQ(shown.boxes[i].buttons, std::vector<int>{IDOK});
    }
    EXPECT_EQ(shown.boxes.back().text, "[RunAndWaitFile]");
    EXPECT_EQ(shown.boxes.back().icon, 0u);
    EXPECT_FALSE(FileExists(marker));

    HostRun silent = RunHost(host, folder.Path(), "<Silent>");
    ASSERT_TRUE(silent.process.finished);
    EXPECT_TRUE(silent.boxes.empty());
    EXPECT_TRUE(FileExists(marker));
}

TEST(InstallWorker, PayloadProgramsRunFromATemporaryCopyThatIsRemovedAfterAWaitedRun) {
    TestFolder folder;
    std::string marker = folder / "tool.txt";
    std::vector<std::string> lines = {"[RunAndWaitFile]",
                                      "<TempInstall>\\tool.exe",
                                      "0 " + Quoted(marker) + " <Destination>",
                                      "[RunAndWaitFile]",
                                      "<TempInstall>missing.exe",
                                      "",
                                      "[CopyFile]",
                                      "plain.txt",
                                      "<Destination>after.txt"};
    std::string host =
        PackHost(folder, "host.exe", ScriptText(lines),
                 {{"tool.exe", FixtureBytes("wait_marker.exe")}, {"plain.txt", "p"}});
    auto tempBefore = ProductTempEntries();

    HostRun run = RunHost(host, folder.Path());

    ASSERT_TRUE(run.process.finished);
    std::string commandLine = ReadBytes(marker);
    std::string prefix = "\"" + TempFolder() + "Ins";
    EXPECT_EQ(commandLine.substr(0, prefix.size()), prefix) << commandLine;
    EXPECT_NE(commandLine.find(".tmp.exe\" 0 "), std::string::npos) << commandLine;
    EXPECT_NE(commandLine.find(" <Destination>"), std::string::npos) << commandLine;
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text,
              "This installation appears to be corrupted. Error whilst installing 'missing.exe'.");
    EXPECT_EQ(run.boxes[0].icon, UINT(MB_ICONERROR));
    // A failed launch does not stop the install.
    EXPECT_EQ(ReadBytes(folder / "after.txt"), "p");
    EXPECT_EQ(AddedEntries(tempBefore, ProductTempEntries()), std::vector<std::string>{});
}

// Whoever waits for workerDone must not wait forever when no thread could be started.
TEST(InstallWorker, AWorkerThatCannotStartStillEndsTheRun) {
    runState.workerDone = false;
    {
        ImportPatch patch("msvcrt.dll", "_beginthreadex",
                          reinterpret_cast<void*>(&failing::BeginThread));
        ASSERT_TRUE(patch.Active());
        StartInstallWorker();
    }
    EXPECT_TRUE(runState.workerDone);
    MutexLock lock(RunState::stateMutex);
    EXPECT_STREQ(runState.actionText, "Registering Dlls");
    runState.workerDone = false;
}

}  // namespace
