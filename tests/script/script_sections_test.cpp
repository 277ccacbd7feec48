#include "script/script_sections.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "tests/support/test_files.h"

namespace {

// What a reader gets from the scanning rule: "keyword|value|value..." per section.
std::vector<std::string> Scan(const std::string& script, unsigned mask) {
    TestFolder folder;
    std::string path = folder / "setup.dat";
    WriteBytes(path, script);
    FileHandle file(path.c_str(), GENERIC_READ, OPEN_EXISTING, false, true);
    ScriptScanner scanner(file, mask);
    std::vector<std::string> sections;
    while (const ScriptSection* section = scanner.Next()) {
        std::string text = section->keyword;
        for (int i = 0; i < section->valueCount; ++i) {
            text += "|" + std::string(scanner.Values()[i]);
        }
        sections.push_back(text);
    }
    return sections;
}

TEST(ScriptScanner, SectionsAsEachReaderSeesThem) {
    const std::string longEntry(300, 'e');
    const std::string longText(999, 't');
    struct Case {
        const char* name;
        std::string script;
        unsigned mask;
        std::vector<std::string> sections;
    } cases[] = {
        {"the sample script, install worker",
         "[Project Name]\r\nSample Suite\r\n\r\n[Install To]\r\n<Program Files>\\Sample Suite\r\n"
         "[Action]\r\nInstalling Sample Suite\r\n[CopyFile]\r\nsuite.exe\r\n"
         "<Destination>\\suite.exe\r\n[Registry]\r\nHKCU\r\nSoftware\\Sample Suite\r\nSTRING\r\n"
         "Folder\r\n<Destination>\r\n[Message]\r\nDone.\\nRead me.\r\nInformation\r\n"
         "[UninstallAction]\r\n<Destination>\\suite.exe\r\n/cleanup\r\n",
         kInstallWorkerKeywords,
         {"[Action]|Installing Sample Suite", "[CopyFile]|suite.exe|<Destination>\\suite.exe",
          "[Registry]|HKCU|Software\\Sample Suite|STRING|Folder|<Destination>",
          "[Message]|Done.\\nRead me.|Information"}},
        {"the same script, ready dialog",
         "[Project Name]\r\nSample Suite\r\n\r\n[Install To]\r\n<Program Files>\\Sample Suite\r\n"
         "[Action]\r\nInstalling Sample Suite\r\n",
         kReadyDialogKeywords,
         {"[Project Name]|Sample Suite", "[Install To]|<Program Files>\\Sample Suite"}},
        {"keywords in other case or with a trailing blank are ignored with their values",
         "[copyfile]\r\na.exe\r\n<Destination>\\a.exe\r\n[CopyFile] \r\nb.exe\r\n"
         "<Destination>\\b.exe\r\n [Action]\r\nx\r\n[CopyFile]\r\nc.exe\r\nc\r\n",
         kInstallWorkerKeywords,
         {"[CopyFile]|c.exe|c"}},
        {"a section cut short by the end of the file reads empty values",
         "[Registry]\r\nHKCU\r\nSoftware\\Sample",
         kInstallWorkerKeywords,
         {"[Registry]|HKCU|Software\\Sample|||"}},
        {"a keyword as the last line",
         "[CreateIcon]\r\n",
         kUninstallWorkerKeywords,
         {"[CreateIcon]|||"}},
        {"a value line that reads like a keyword is a value",
         "[Action]\r\n[CopyFile]\r\na.exe\r\nb\r\n",
         kInstallWorkerKeywords,
         {"[Action]|[CopyFile]"}},
        {"another reader's value line is a keyword at top level",
         "[Install To]\r\n[Action]\r\nhello\r\n",
         kInstallWorkerKeywords,
         {"[Action]|hello"}},
        {"value lines keep the capacity of their position",
         "[CopyFile]\r\n" + longEntry + "\r\ndest\r\n[Message]\r\n" + longText + "\r\nError\r\n",
         kInstallWorkerKeywords,
         {"[CopyFile]|" + std::string(259, 'e') + "|dest", "[Message]|" + longText + "|Error"}},
        {"the tail of an overlong line is never a keyword",
         std::string(995, 'x') + "[CopyFile]\r\na\r\nb\r\n",
         kInstallWorkerKeywords,
         {}},
        {"LF-only script is one line and runs nothing",
         "[CopyFile]\na.exe\nb\n",
         kInstallWorkerKeywords,
         {}},
        {"the uninstall worker's sections",
         "[CopyFile]\r\na\r\n<Destination>\\a\r\n[RunFile]\r\n[UninstallAction]\r\nx.exe\r\n"
         "-u\r\n",
         kUninstallWorkerKeywords,
         {"[CopyFile]|a|<Destination>\\a", "[UninstallAction]|x.exe|-u"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Scan(c.script, c.mask), c.sections);
    }
}

TEST(ScriptScanner, ValueLinesNotReadAreMetAtTopLevel) {
    TestFolder folder;
    std::string path = folder / "setup.dat";
    WriteBytes(path, "[Message]\r\n[Action]\r\nhello\r\n");
    FileHandle file(path.c_str(), GENERIC_READ, OPEN_EXISTING, false, true);
    ScriptScanner scanner(file, kInstallWorkerKeywords);
    const ScriptSection* message = scanner.NextKeyword();
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->id, kMessage);
    const ScriptSection* action = scanner.NextKeyword();
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->id, kAction);
    scanner.ReadValues(*action);
    EXPECT_STREQ(scanner.Values()[0], "hello");
    EXPECT_EQ(scanner.NextKeyword(), nullptr);
}

TEST(CountKeywordLines, CountsValueLinesTooAndRewindingReadsAgain) {
    TestFolder folder;
    std::string path = folder / "setup.dat";
    WriteBytes(path,
               "[Action]\r\n[CopyFile]\r\n[CopyFile]\r\na\r\nb\r\n[copyfile]\r\nx\r\ny\r\n"
               "[CopyFile]\r\nc\r\nd");
    FileHandle file(path.c_str(), GENERIC_READ, OPEN_EXISTING, false, true);
    EXPECT_EQ(CountKeywordLines(file, kCopyFile), 3);
    file.Seek(0, FILE_BEGIN);
    ScriptScanner scanner(file, kInstallWorkerKeywords);
    std::vector<std::string> seen;
    while (const ScriptSection* section = scanner.Next()) {
        seen.push_back(section->keyword);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"[Action]", "[CopyFile]", "[CopyFile]"}));
}

TEST(ScriptSections, ATableRowForEveryKeywordInItsPlace) {
    for (int i = 0; i < kScriptKeywordCount; ++i) {
        EXPECT_EQ(kScriptSections[i].id, i);
        EXPECT_EQ(FindScriptSection(kScriptSections[i].keyword, ~0u), &kScriptSections[i]);
        EXPECT_EQ(FindScriptSection(kScriptSections[i].keyword, ~KeywordBit(ScriptKeyword(i))),
                  nullptr);
    }
}

// Every value line of every section read at its capacity: a line far too long comes back cut to
// capacity - 1 characters, and the section after it is still found.
TEST(ScriptSections, EachValueLineIsReadAtItsCapacity) {
    struct Case {
        const char* keyword;
        std::vector<size_t> lengths;
    } cases[] = {
        {"[Project Name]", {259}},         {"[Install To]", {259}},
        {"[LocateInstall]", {259}},        {"[Action]", {259}},
        {"[CopyFile]", {259, 259}},        {"[CreateIcon]", {259, 259, 259}},
        {"[RunFile]", {259, 259}},         {"[RunAndWaitFile]", {259, 259}},
        {"[Message]", {999, 259}},         {"[Registry]", {999, 259, 999, 259, 999}},
        {"[UninstallAction]", {259, 259}},
    };
    const std::string longLine(1200, 'v');
    for (const Case& c : cases) {
        std::string script = std::string(c.keyword) + "\r\n";
        for (size_t i = 0; i < c.lengths.size(); ++i) {
            script += longLine + "\r\n";
        }
        script += "[Action]\r\nafter\r\n";
        std::vector<std::string> sections = Scan(script, ~0u);
        ASSERT_EQ(sections.size(), 2u) << c.keyword;
        std::vector<size_t> lengths;
        size_t start = sections[0].find('|');
        while (start != std::string::npos) {
            size_t end = sections[0].find('|', start + 1);
            lengths.push_back((end == std::string::npos ? sections[0].size() : end) - start - 1);
            start = end;
        }
        EXPECT_EQ(lengths, c.lengths) << c.keyword;
        EXPECT_EQ(sections[1], "[Action]|after") << c.keyword;
    }
}

}  // namespace
