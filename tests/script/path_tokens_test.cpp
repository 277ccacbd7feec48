#include "script/path_tokens.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include <string>

#include "app/install_context.h"
#include "app/run_state.h"
#include "tests/support/import_patch.h"
#include "tests/support/message_box_watcher.h"

namespace {

// The folders as the system reports them through calls the expansion does not use.
std::string WithBackslash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\') {
        folder += '\\';
    }
    return folder;
}

std::string SystemFolder() {
    char path[MAX_PATH];
    GetSystemDirectoryA(path, MAX_PATH);
    return WithBackslash(path);
}

std::string WindowsFolder() {
    char path[MAX_PATH];
    GetWindowsDirectoryA(path, MAX_PATH);
    return WithBackslash(path);
}

std::string ProgramFilesFolder() {
    HKEY key;
    char path[MAX_PATH] = {};
    DWORD size = sizeof(path);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        RegQueryValueExA(key, "ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(path),
                         &size);
        RegCloseKey(key);
    }
    return WithBackslash(path);
}

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
    return WithBackslash(path);
}

class PathTokens : public ::testing::Test {
protected:
    void SetUp() override {
        saved = runState.installDir;
        savedContext = runState.context;
        runState.context = nullptr;
        SetDestination("C:\\Apps\\Sample");
    }
    void TearDown() override {
        strcpy(runState.installDir, saved.c_str());
        runState.context = savedContext;
    }
    static void SetDestination(const std::string& folder) {
        ASSERT_LT(folder.size(), sizeof(runState.installDir));
        strcpy(runState.installDir, folder.c_str());
    }
    // Expands in a 260-byte buffer followed by guard bytes that must stay untouched.
    static std::string Expand(const std::string& text) {
        struct {
            char text[260];
            char guard[64];
        } buffer;
        memset(&buffer, '#', sizeof(buffer));
        EXPECT_LT(text.size(), sizeof(buffer.text));
        strcpy(buffer.text, text.c_str());
        ExpandPathTokens(buffer.text);
        EXPECT_EQ(std::string(buffer.guard, sizeof(buffer.guard)), std::string(64, '#'));
        return buffer.text;
    }

    std::string saved;
    InstallContext* savedContext = nullptr;
};

TEST_F(PathTokens, EachTokenBecomesItsFolder) {
    struct Case {
        std::string text;
        std::string expanded;
    } cases[] = {
        {"<System>ZarvoUninstall.exe", SystemFolder() + "ZarvoUninstall.exe"},
        {"<Windows>\\WININIT.INI", WindowsFolder() + "WININIT.INI"},
        {"<Destination>\\bin\\tool.exe", "C:\\Apps\\Sample\\bin\\tool.exe"},
        {"<Destination>", "C:\\Apps\\Sample\\"},
        {"<Program Files>\\Sample Suite", ProgramFilesFolder() + "Sample Suite"},
        {"<Startup>\\Sample.lnk", ShellFolder(CSIDL_STARTUP) + "Sample.lnk"},
        {"<Start Programs>\\Sample Suite\\Sample Suite.lnk",
         ShellFolder(CSIDL_PROGRAMS) + "Sample Suite\\Sample Suite.lnk"},
        {"<Destination>\\a.dll;<Destination>\\b.dll",
         "C:\\Apps\\Sample\\a.dll;C:\\Apps\\Sample\\b.dll"},
        {"<System>x <Windows>y <System>z",
         SystemFolder() + "x " + WindowsFolder() + "y " + SystemFolder() + "z"},
        {"<Source>\\setup.dat", "<Source>\\setup.dat"},  // no install context
        {"<destination>\\x <SYSTEM> <TempInstall>app.exe",
         "<destination>\\x <SYSTEM> <TempInstall>app.exe"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Expand(c.text), c.expanded) << c.text;
    }
    ASSERT_NE(ProgramFilesFolder(), "");
    ASSERT_NE(ShellFolder(CSIDL_PROGRAMS), "");
}

LONG WINAPI MissingValue(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
    return ERROR_FILE_NOT_FOUND;
}

// Without a "ProgramFilesDir" value the token is replaced by nothing.
TEST_F(PathTokens, AMissingProgramFilesValueRemovesTheToken) {
    ImportPatch patch("advapi32.dll", "RegQueryValueExA", reinterpret_cast<void*>(&MissingValue));
    ASSERT_TRUE(patch.Active());
    char text[260] = "<Program Files>\\Sample";
    ExpandPathTokens(text);
    EXPECT_STREQ(text, "\\Sample");
}

TEST_F(PathTokens, ADestinationWithItsBackslashGivesTheSameResult) {
    for (const char* destination : {"C:\\Apps\\Sample", "C:\\Apps\\Sample\\"}) {
        SetDestination(destination);
        EXPECT_EQ(Expand("<Destination>\\bin\\tool.exe"), "C:\\Apps\\Sample\\bin\\tool.exe");
        EXPECT_EQ(Expand("<Destination>"), "C:\\Apps\\Sample\\");
        EXPECT_EQ(Expand("<Destination>tool.exe"), "C:\\Apps\\Sample\\tool.exe");
    }
}

TEST_F(PathTokens, AnEarlierTokensValueIsSearchedForLaterTokens) {
    SetDestination("<Program Files>\\Sample");
    EXPECT_EQ(Expand("<Destination>\\x.exe"), ProgramFilesFolder() + "Sample\\x.exe");
    // "<System>" comes before "<Destination>" in the order, so it is not looked for again.
    SetDestination("<System>");
    EXPECT_EQ(Expand("<Destination>x"), "<System>\\x");
}

TEST_F(PathTokens, ADestinationNamingItsOwnTokenReplacesEachOccurrenceOnce) {
    SetDestination("<Destination>");
    EXPECT_EQ(Expand("<Destination>\\x.exe"), "<Destination>\\x.exe");
    EXPECT_EQ(Expand("<Destination>a <Destination>b"), "<Destination>\\a <Destination>\\b");
    SetDestination("C:\\<Destination>\\<Destination>");
    EXPECT_EQ(Expand("<Destination>"), "C:\\<Destination>\\<Destination>\\");
}

TEST_F(PathTokens, DoubledBackslashesCollapseFromTheThirdCharacter) {
    struct Case {
        const char* text;
        const char* collapsed;
    } cases[] = {
        {"C:\\\\x", "C:\\x"},                        // two become one
        {"C:\\\\\\x", "C:\\\\x"},                    // three become two
        {"C:\\\\\\\\x", "C:\\\\x"},                  // four become two
        {"ab\\\\c\\\\d", "ab\\c\\d"},                // every run
        {"\\\\server\\share", "\\\\server\\share"},  // a network path keeps its two
        {"x\\\\y", "x\\\\y"},                        // a pair from the second character stays
        {"\\\\", "\\\\"},                            // two characters: unchanged
        {"\\", "\\"},
        {"", ""},
        {"ab\\\\", "ab\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Expand(c.text), c.collapsed) << c.text;
    }
}

TEST_F(PathTokens, AResultOver259CharactersLeavesTheTextAsItWas) {
    // "<Destination>" (13) makes way for the folder and its backslash.
    std::string folder = "C:\\" + std::string(200, 'd');  // 203, value 204
    SetDestination(folder);
    std::string fits = "<Destination>" + std::string(55, 'f');     // 204 + 55 = 259
    std::string tooLong = "<Destination>" + std::string(56, 'f');  // 260
    EXPECT_EQ(Expand(fits), folder + "\\" + std::string(55, 'f'));
    EXPECT_EQ(Expand(tooLong), tooLong);
    // The first occurrence fits, the second would not: it stays.
    SetDestination("C:\\" + std::string(150, 'd'));
    std::string two = "<Destination>a<Destination>b";
    EXPECT_EQ(Expand(two), "C:\\" + std::string(150, 'd') + "\\a<Destination>b");
}

TEST_F(PathTokens, ALongTextInALargerBufferIsNeverGrownPast260) {
    char data[1000];
    std::string text = std::string(400, 'v') + "<System>";
    strcpy(data, text.c_str());
    memset(data + text.size() + 1, '#', sizeof(data) - text.size() - 1);
    ExpandPathTokens(data);
    EXPECT_EQ(std::string(data), text);
    EXPECT_EQ(data[text.size() + 1], '#');
}

TEST_F(PathTokens, SourceIsTheScratchFolderWhileAnInstallContextExists) {
    MessageBoxWatcher watcher;  // this test program carries no payload: "corrupted" is shown
    bool failed = false;
    InstallContext context(&failed);
    char scratch[260];
    context.ScratchPath(scratch);
    ASSERT_NE(scratch[0], '\0');
    runState.context = &context;
    EXPECT_EQ(Expand("<Source>setup.dat"), std::string(scratch) + "setup.dat");
    EXPECT_EQ(Expand("<Source>\\setup.bmp"), std::string(scratch) + "setup.bmp");
    runState.context = nullptr;
    EXPECT_EQ(Expand("<Source>setup.dat"), "<Source>setup.dat");
}

TEST(ReplacePathToken, ReplacesTheLeftmostOccurrenceOnly) {
    char text[260] = "<Windows>a <Windows>b";
    char value[260] = "C:\\W";
    EXPECT_TRUE(ReplacePathToken(text, "<Windows>", value));
    EXPECT_STREQ(value, "C:\\W\\");  // the value got its backslash
    EXPECT_STREQ(text, "C:\\W\\a <Windows>b");
    EXPECT_TRUE(ReplacePathToken(text, "<Windows>", value));
    EXPECT_STREQ(text, "C:\\W\\a C:\\W\\b");
    EXPECT_FALSE(ReplacePathToken(text, "<Windows>", value));
    EXPECT_STREQ(text, "C:\\W\\a C:\\W\\b");
}

TEST(ReplacePathToken, AnEmptyValueRemovesTheToken) {
    char text[260] = "<Program Files>\\Sample";
    char value[260] = "";
    EXPECT_TRUE(ReplacePathToken(text, "<Program Files>", value));
    EXPECT_STREQ(value, "");
    EXPECT_STREQ(text, "\\Sample");
}

}  // namespace
