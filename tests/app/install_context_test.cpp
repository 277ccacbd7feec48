#include "app/install_context.h"

#include <gtest/gtest.h>

#include "app/run_state.h"
#include "app/temp_file.h"
#include "archive/packing.h"
#include "tests/support/import_patch.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/test_files.h"

namespace {

std::string fakeModulePath;

DWORD WINAPI FakeModuleFileName(HMODULE module, LPSTR buffer, DWORD size) {
    if (module != nullptr) {
        return 0;  // the product asks only for its own executable
    }
    lstrcpynA(buffer, fakeModulePath.c_str(), static_cast<int>(size));
    return static_cast<DWORD>(fakeModulePath.size());
}

UINT WINAPI FailingTempFileName(LPCSTR, LPCSTR, UINT, LPSTR name) {
    name[0] = '\0';
    return 0;
}

DWORD WINAPI FailingTempPath(DWORD, LPSTR) {
    return 0;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(TempFile, ReservesAnEmptyFileAndDeletesItAtTheEnd) {
    std::string path;
    {
        TempFile temp("Ext");
        path = temp.Path();
        EXPECT_EQ(path.rfind(TempFolder() + "Ext", 0), 0u) << path;
        EXPECT_TRUE(EndsWith(path, ".tmp")) << path;
        EXPECT_TRUE(FileExists(path));
        EXPECT_EQ(ReadBytes(path), "");
    }
    EXPECT_FALSE(FileExists(path));
}

TEST(TempFile, WithoutASystemNameFormatsFolderPrefixAndANumber) {
    ImportPatch patch("kernel32.dll", "GetTempFileNameA",
                      reinterpret_cast<void*>(&FailingTempFileName));
    ASSERT_TRUE(patch.Active());
    TempFile temp("Install");
    std::string path = temp.Path();
    std::string prefix = TempFolder() + "Install";
    ASSERT_EQ(path.rfind(prefix, 0), 0u) << path;
    ASSERT_TRUE(EndsWith(path, ".tmp")) << path;
    std::string digits = path.substr(prefix.size(), path.size() - prefix.size() - 4);
    ASSERT_FALSE(digits.empty());
    EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << digits;
    EXPECT_LT(std::stoi(digits), 9999);
    EXPECT_TRUE(FileExists(path));
}

TEST(TempFile, WithoutATemporaryFolderUsesCTempAndCreatesIt) {
    bool existed = FileExists("C:\\Temp");
    std::string path;
    {
        ImportPatch patch("kernel32.dll", "GetTempPathA",
                          reinterpret_cast<void*>(&FailingTempPath));
        ASSERT_TRUE(patch.Active());
        if (!existed) {
            ASSERT_FALSE(FileExists("C:\\Temp"));
        }
        TempFile temp("Ext");
        path = temp.Path();
        EXPECT_EQ(path.rfind("C:\\Temp\\Ext", 0), 0u) << path;
        EXPECT_TRUE(FileExists(path));
    }
    EXPECT_FALSE(FileExists(path));
    if (!existed) {
        RemoveDirectoryA("C:\\Temp");
    }
}

TEST(ScratchDirectory, TakesTheReservedNameAndIsRemovedWithItsContents) {
    std::string path;
    {
        ScratchDirectory scratch("ZVI");
        path = scratch.Path();
        EXPECT_EQ(path.rfind(TempFolder() + "ZVI", 0), 0u) << path;
        EXPECT_TRUE(EndsWith(path, ".tmp\\")) << path;
        DWORD attributes = GetFileAttributesA(path.c_str());
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
        CreateDirectoryA((path + "sub").c_str(), nullptr);
        WriteBytes(path + "sub\\file.txt", "x");
        WriteBytes(path + "top.txt", "y");
    }
    EXPECT_FALSE(FileExists(path));
}

TEST(RandomBelow, SetsItsSeedFlagAndStaysBelowTheBound) {
    for (int i = 0; i < 1000; ++i) {
        EXPECT_LT(RandomBelow(7), 7u);
    }
    EXPECT_TRUE(runState.randomSeeded);
    EXPECT_EQ(RandomBelow(1), 0u);
}

class InstallContextTest : public ::testing::Test {
protected:
    void SetUp() override { tempBefore = ProductTempEntries(); }
    void TearDown() override {
        EXPECT_EQ(AddedEntries(tempBefore, ProductTempEntries()), std::vector<std::string>{});
    }
    // An installer of the stub with the given files (name, content) packed in.
    std::string MakeInstaller(const std::vector<std::pair<std::string, std::string>>& files) {
        std::string exe = folder / "setup.exe";
        WriteBytes(exe, ReadBytes(BuildPath("installer.exe")));
        for (const auto& file : files) {
            WriteBytes(folder / file.first, file.second);
            char name[260];
            EXPECT_TRUE(RunPackMode((folder / file.first).c_str(), exe.c_str(), name));
        }
        return exe;
    }
    struct Outcome {
        bool failed;
        std::vector<std::string> scratchFiles;
        std::string script;
        std::string scratch;
        std::vector<MessageBoxRecord> boxes;
    };
    Outcome Build(const std::string& exe) {
        fakeModulePath = exe;
        ImportPatch patch("kernel32.dll", "GetModuleFileNameA",
                          reinterpret_cast<void*>(&FakeModuleFileName));
        EXPECT_TRUE(patch.Active());
        MessageBoxWatcher watcher;
        Outcome outcome;
        {
            InstallContext context(&outcome.failed);
            char path[260];
            context.ScratchPath(path);
            outcome.scratch = path;
            outcome.scratchFiles = ListFolder(path);
            outcome.script = ReadBytes(outcome.scratch + "setup.dat");
        }
        Sleep(200);
        outcome.boxes = watcher.Boxes();
        EXPECT_FALSE(FileExists(outcome.scratch)) << "the scratch folder goes with the context";
        return outcome;
    }
    TestFolder folder;
    std::vector<std::string> tempBefore;
};

TEST_F(InstallContextTest, ExtractsTheSetupFilesIntoTheScratchFolder) {
    Outcome outcome = Build(MakeInstaller({{"SETUP.DAT", "[Project Name]\r\nDemo\r\n"},
                                           {"setup.bmp", "BM fake banner"},
                                           {"setup.lic", "licence text"},
                                           {"program.exe", "not a setup file"}}));
    EXPECT_FALSE(outcome.failed);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(outcome.scratchFiles,
              (std::vector<std::string>{"setup.bmp", "setup.dat", "setup.lic"}));
    EXPECT_EQ(outcome.script, "[Project Name]\r\nDemo\r\n");
    EXPECT_EQ(outcome.scratch.rfind(TempFolder() + "ZVI", 0), 0u);
}

TEST_F(InstallContextTest, OptionalFilesMayBeMissingOrBroken) {
    std::string exe = MakeInstaller({{"setup.dat", "script"}, {"setup.bmp", TextBytes(3000)}});
    // Break the banner's stored bytes: its checksum no longer matches.
    std::string bytes = ReadBytes(exe);
    size_t at = bytes.rfind("BZh9");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 20] ^= 0x55;
    WriteBytes(exe, bytes);
    Outcome outcome = Build(exe);
    EXPECT_FALSE(outcome.failed);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(outcome.scratchFiles, std::vector<std::string>{"setup.dat"});
}

TEST_F(InstallContextTest, WithoutTheScriptTheRunIsCorruptedAndSaysSoOnce) {
    for (auto files : {std::vector<std::pair<std::string, std::string>>{},
                       std::vector<std::pair<std::string, std::string>>{{"setup.lic", "only"}}}) {
        Outcome outcome = Build(MakeInstaller(files));
        EXPECT_TRUE(outcome.failed);
        ASSERT_EQ(outcome.boxes.size(), 1u);
        EXPECT_EQ(outcome.boxes[0].text,
                  "This installation is corrupted please obtain a new install.");
        EXPECT_EQ(outcome.boxes[0].caption, "Installer");
        EXPECT_EQ(outcome.boxes[0].icon, UINT(MB_ICONERROR));
        EXPECT_EQ(outcome.boxes[0].buttons, std::vector<int>{IDOK});
    }
}

TEST_F(InstallContextTest, AnExecutableThatCannotBeOpenedIsReportedFirst) {
    std::string exe = folder / "gone\\setup.exe";
    Outcome outcome = Build(exe);
    EXPECT_TRUE(outcome.failed);
    ASSERT_EQ(outcome.boxes.size(), 2u);
    EXPECT_EQ(outcome.boxes[0].caption, "Disk Read Error");
    EXPECT_EQ(outcome.boxes[0].text, "Unable to open '" + exe + "'");
    EXPECT_EQ(outcome.boxes[1].text, "This installation is corrupted please obtain a new install.");
}

}  // namespace
