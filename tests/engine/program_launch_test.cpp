#include "engine/program_launch.h"

#include <gtest/gtest.h>

#include "app/run_state.h"
#include "platform/text.h"
#include "tests/engine/engine_test_support.h"

namespace {

// A document type of the tests' own whose "open" starts wait_marker.exe, which writes the
// document's path followed by ".opened". Registered for the user, and for the machine too,
// because Wine's classes root does not take in the user's classes. Removed when the object goes.
class DocumentType {
public:
    DocumentType() {
        std::string command = "\"" + FixturePath("wait_marker.exe") + "\" 0 \"%1.opened\"";
        for (HKEY root : Roots()) {
            Set(root, "Software\\Classes\\.enginetestdoc", "EngineTestDocument");
            Set(root, "Software\\Classes\\EngineTestDocument\\shell\\open\\command", command);
        }
    }
    ~DocumentType() {
        for (HKEY root : Roots()) {
            for (const char* key :
                 {"Software\\Classes\\EngineTestDocument\\shell\\open\\command",
                  "Software\\Classes\\EngineTestDocument\\shell\\open",
                  "Software\\Classes\\EngineTestDocument\\shell",
                  "Software\\Classes\\EngineTestDocument", "Software\\Classes\\.enginetestdoc"}) {
                RegDeleteKeyA(root, key);
            }
        }
    }

private:
    static std::vector<HKEY> Roots() { return {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}; }
    static void Set(HKEY root, const char* key, const std::string& value) {
        RestoreValue(root, key, "", {true, REG_SZ, std::string(value.c_str(), value.size() + 1)});
    }
};

struct Launch {
    std::string path;
    std::string arguments;
    bool wait;
};

void Start(const Launch& launch) {
    char path[260];
    CopyText(path, sizeof(path), launch.path.c_str());
    LaunchProgram(path, launch.arguments.c_str(), launch.wait);
}

class ProgramLaunch : public ::testing::Test {
protected:
    void SetUp() override {
        CopyText(runState.installDir, sizeof(runState.installDir), folder.Path().c_str());
        CopyFileA(FixturePath("wait_marker.exe").c_str(), (folder / "wait_marker.exe").c_str(),
                  FALSE);
        CreateDirectoryA((folder / "with space").c_str(), nullptr);
        CopyFileA(FixturePath("wait_marker.exe").c_str(),
                  (folder / "with space\\MARKER.EXE").c_str(), FALSE);
        CopyFileA(FixturePath("wait_marker.exe").c_str(), (folder / "Marker.Exe").c_str(), FALSE);
    }
    void TearDown() override { runState.installDir[0] = '\0'; }
    TestFolder folder;
};

TEST_F(ProgramLaunch, WaitedProgramsHaveEndedOnReturnUnwaitedOnesHaveNot) {
    std::string marker = folder / "done.txt";
    for (bool wait : {true, false}) {
        SCOPED_TRACE(wait ? "waited" : "not waited");
        DeleteFileA(marker.c_str());
        MessageBoxWatcher watcher;
        Start({"<Destination>wait_marker.exe", "1500 \"" + marker + "\"", wait});
        EXPECT_EQ(FileExists(marker), wait);
        EXPECT_TRUE(WaitForFile(marker, 10000));
        EXPECT_TRUE(watcher.Boxes().empty());
    }
}

TEST_F(ProgramLaunch, CommandLinesQuoteThePathOnlyWhenThereAreArguments) {
    std::string program = folder / "with space\\MARKER.EXE";
    std::string marker = folder / "marker.txt";
    // Started without arguments the fixture records its command line beside itself. Tokens in
    // the arguments reach the program as written.
    struct Case {
        Launch launch;
        std::string written;
        std::string commandLine;
    } cases[] = {
        {{"<Destination>with space\\MARKER.EXE", "0 \"" + marker + "\" <Destination>x", true},
         marker,
         "\"" + program + "\" 0 \"" + marker + "\" <Destination>x"},
        {{"<Destination>Marker.Exe", "", true},
         folder / "Marker.Exe.cmdline",
         folder / "Marker.Exe"},
    };
    for (const Case& c : cases) {
        DeleteFileA(c.written.c_str());
        MessageBoxWatcher watcher;
        Start(c.launch);
        EXPECT_EQ(ReadBytes(c.written), c.commandLine);
        Sleep(300);
        EXPECT_TRUE(watcher.Boxes().empty());
    }
    // A path with a blank and no arguments is handed over unquoted too. Wine then finds the
    // program but passes it a command line with the path quoted, where Windows passes the text
    // unchanged, so only the start is checked here.
    std::string recorded = program + ".cmdline";
    DeleteFileA(recorded.c_str());
    Start({"<Destination>with space\\MARKER.EXE", "", true});
    std::string seen = ReadBytes(recorded);
    EXPECT_TRUE(seen == program || seen == "\"" + program + "\"") << seen;
}

TEST_F(ProgramLaunch, DocumentsGoToTheShellUnlessTheyHaveArguments) {
    DocumentType type;
    std::string document = folder / "notes.enginetestdoc";
    WriteBytes(document, "notes");
    {
        MessageBoxWatcher watcher;
        Start({"<Destination>notes.enginetestdoc", "", true});
        EXPECT_TRUE(WaitForFile(document + ".opened", 20000));
        Sleep(300);
        EXPECT_TRUE(watcher.Boxes().empty());
    }
    DeleteFileA((document + ".opened").c_str());
    {
        MessageBoxWatcher watcher;
        Start({"<Destination>notes.enginetestdoc", "--print", false});
        ASSERT_TRUE(watcher.WaitForBoxes(1, 10000));
        auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Installer");
        EXPECT_EQ(boxes[0].text, "Error whilst running '" + document + "'.");
        EXPECT_EQ(boxes[0].icon, UINT(MB_ICONERROR));
        EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
        Sleep(500);
        EXPECT_FALSE(FileExists(document + ".opened"));
    }
}

TEST(RunProcess, FalseWhenNothingCanBeStartedTrueOtherwise) {
    TestFolder folder;
    std::string marker = folder / "m.txt";
    std::string good = "\"" + FixturePath("wait_marker.exe") + "\" 0 \"" + marker + "\"";
    std::string bad = "\"" + folder / "absent.exe" + "\"";
    std::vector<char> goodText(good.begin(), good.end()), badText(bad.begin(), bad.end());
    goodText.push_back('\0');
    badText.push_back('\0');
    EXPECT_TRUE(RunProcess(goodText.data(), true));
    EXPECT_TRUE(FileExists(marker));
    EXPECT_FALSE(RunProcess(badText.data(), true));
}

}  // namespace
