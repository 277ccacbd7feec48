#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SelectRunMode, TokensDecideInOrderAndCaseSensitively) {
    struct Case {
        const char* commandLine;
        RunMode mode;
    } cases[] = {
        {"installer.exe", RunMode::Install},
        {"\"C:\\x\\installer.exe\" <uninstall>C:\\WINDOWS\\SYSTEM\\ZarvoUninstall-Demo.dat",
         RunMode::Uninstall},
        {"installer.exe <packthis>\"a\"<packto>\"b\"", RunMode::Pack},
        {"installer.exe <packthis>\"a\"<packto>\"b\" <uninstall>", RunMode::Uninstall},
        {"installer.exe <uninstall> <packthis>", RunMode::Uninstall},
        {"installer.exe <UNINSTALL>x", RunMode::Install},
        {"installer.exe <PACKTHIS>\"a\"<packto>\"b\"", RunMode::Install},
        {"installer.exe <Uninstall>", RunMode::Install},
        {"installer.exe <Silent>", RunMode::Install},
        {"installer.exe packthis", RunMode::Install},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SelectRunMode(c.commandLine), c.mode) << c.commandLine;
    }
}

TEST(ParsePackCommandLine, SplitsTheTwoQuotedPaths) {
    struct Case {
        const char* commandLine;
        const char* source;
        const char* archive;
    } cases[] = {
        {"i.exe <packthis>\"C:\\build\\Readme.TXT\"<packto>\"C:\\out\\setup.exe\"",
         "C:\\build\\Readme.TXT", "C:\\out\\setup.exe"},
        {"i.exe <packthis>\"a b\" anything here <packto>\"c d\" and after", "a b", "c d"},
        // The one skipped character need not be a quote.
        {"i.exe <packthis>Xsrc\"<packto>Ydst\"", "src", "dst"},
        // A blank before the quote is the skipped character: the source path is empty.
        {"i.exe <packthis> \"src\"<packto>\"dst\"", "", "dst"},
        {"i.exe <packthis>\"\"<packto>\"\"", "", ""},
    };
    for (const Case& c : cases) {
        char source[260] = "?", archive[260] = "?";
        const char* problem = nullptr;
        EXPECT_TRUE(ParsePackCommandLine(c.commandLine, source, archive, &problem))
            << c.commandLine << ": " << (problem ? problem : "");
        EXPECT_STREQ(source, c.source) << c.commandLine;
        EXPECT_STREQ(archive, c.archive) << c.commandLine;
    }
}

TEST(ParsePackCommandLine, RefusesWhatItCannotHandle) {
    std::string longPath(260, 'p');
    std::string path259(259, 'p');
    std::string longLine = "i.exe <packthis>\"a\"<packto>\"b\"" + std::string(1000, ' ');
    struct Case {
        std::string commandLine;
        bool accepted;
    } cases[] = {
        {"i.exe <packthis>\"a\"", false},                              // no <packto>
        {"i.exe <packthis>\"a", false},                                // no closing quote
        {"i.exe <packthis>\"a\"<packto>\"b", false},                   // archive unclosed
        {"i.exe <packthis>", false},                                   // nothing after
        {"i.exe <packto>\"b\" <packthis>\"a\"", false},                // wrong order
        {"i.exe <packthis>\"" + longPath + "\"<packto>\"b\"", false},  // 260 characters
        {"i.exe <packthis>\"a\"<packto>\"" + longPath + "\"", false},
        {"i.exe <packthis>\"" + path259 + "\"<packto>\"b\"", true},  // 259 fits
        {longLine, false},                                           // over 999
        {longLine.substr(0, 999), true},
    };
    for (const Case& c : cases) {
        char source[260], archive[260];
        const char* problem = nullptr;
        bool accepted = ParsePackCommandLine(c.commandLine.c_str(), source, archive, &problem);
        EXPECT_EQ(accepted, c.accepted) << c.commandLine.substr(0, 60);
        if (!accepted) {
            ASSERT_NE(problem, nullptr);
            EXPECT_GT(strlen(problem), 10u);
        }
    }
}

}  // namespace
