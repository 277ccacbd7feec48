#pragma once
// The sections of the install script (and of the uninstall record, which has the same lines):
// one table of keywords with their value lines and capacities, and the scanning rule every
// reader follows. A reader names the keywords it handles with a mask of ScriptKeyword bits;
// every other top-level line, including keywords of other readers, is read and ignored.

#include <stddef.h>

class FileHandle;

enum ScriptKeyword {
    kProjectName,      // "[Project Name]"     1. project name (260)
    kInstallTo,        // "[Install To]"       1. default destination (260)
    kLocateInstall,    // "[LocateInstall]"    1. shortcut of an earlier installation (260)
    kAction,           // "[Action]"           1. progress text (260)
    kCopyFile,         // "[CopyFile]"         1. entry (260) 2. destination (260)
    kCreateIcon,       // "[CreateIcon]"       1. target 2. shortcut 3. arguments (260 each)
    kRunFile,          // "[RunFile]"          1. path 2. arguments (260 each)
    kRunAndWaitFile,   // "[RunAndWaitFile]"   1. path 2. arguments (260 each)
    kMessage,          // "[Message]"          1. text (1000) 2. type (260)
    kRegistry,         // "[Registry]"         1. root (1000) 2. key (260) 3. type (1000)
                       //                      4. value name (260) 5. data (1000)
    kUninstallAction,  // "[UninstallAction]"  1. path 2. arguments (260 each)
    kScriptKeywordCount
};

enum { kMaxSectionValues = 5 };

struct ScriptSection {
    ScriptKeyword id;
    const char* keyword;
    int valueCount;
    size_t capacity[kMaxSectionValues];  // the capacity each value line is read with
};

// The table, indexed by ScriptKeyword.
extern const ScriptSection kScriptSections[kScriptKeywordCount];

constexpr unsigned KeywordBit(ScriptKeyword keyword) {
    return 1u << keyword;
}

// The keywords each reader handles.
constexpr unsigned kReadyDialogKeywords =
    KeywordBit(kProjectName) | KeywordBit(kInstallTo) | KeywordBit(kLocateInstall);
constexpr unsigned kInstallWorkerKeywords = KeywordBit(kAction) | KeywordBit(kCopyFile) |
                                            KeywordBit(kCreateIcon) | KeywordBit(kRunAndWaitFile) |
                                            KeywordBit(kRunFile) | KeywordBit(kMessage) |
                                            KeywordBit(kRegistry);
constexpr unsigned kUninstallWorkerKeywords =
    KeywordBit(kCopyFile) | KeywordBit(kCreateIcon) | KeywordBit(kUninstallAction);

// The section whose keyword is the whole line, exactly (case and blanks count) and is in the
// mask; null otherwise.
const ScriptSection* FindScriptSection(const char* line, unsigned keywordMask);

// Reads every line from the current position to the end (capacity 1000) and counts those equal
// to the keyword, value lines included. The caller rewinds afterwards.
int CountKeywordLines(FileHandle& file, ScriptKeyword keyword);

// Buffers for the value lines of one section; each position is as large as the largest
// capacity any section reads there (1000, 260, 1000, 260, 1000).
class SectionValues {
public:
    SectionValues() { Clear(); }
    SectionValues(const SectionValues&) = delete;
    SectionValues& operator=(const SectionValues&) = delete;
    char* operator[](int index) { return lines[index]; }
    const char* operator[](int index) const { return lines[index]; }
    void Clear();

    // Reads the section's value lines in order with the table's capacities. Lines missing at
    // the end of the file are left empty; the values of other positions are emptied too.
    void Read(FileHandle& file, const ScriptSection& section);

    static size_t BufferSize(int index);

private:
    char value0[1000];
    char value1[260];
    char value2[1000];
    char value3[260];
    char value4[1000];
    char* lines[kMaxSectionValues] = {value0, value1, value2, value3, value4};
};

// The scanning rule: reads top-level lines (capacity 1000) from the file's current position and
// stops at the next line that is one of the reader's keywords.
//
//     ScriptScanner scanner(script, kUninstallWorkerKeywords);
//     while (const ScriptSection* section = scanner.Next()) {
//         ... scanner.Values()[1] ...
//     }
//
// A reader that must act between the keyword and its value lines (the install worker reads
// "[Action]" under its lock and skips the values of "[Message]" in silent mode) calls
// NextKeyword() and then either ReadValues() or ReadLine itself with section->capacity[i]; a
// value line it does not read is met again as a top-level line.
class ScriptScanner {
public:
    ScriptScanner(FileHandle& file, unsigned keywordMask) : file(file), mask(keywordMask) {}
    ScriptScanner(const ScriptScanner&) = delete;
    ScriptScanner& operator=(const ScriptScanner&) = delete;

    // The next section of the reader with its value lines read; null when the scan is over.
    const ScriptSection* Next();
    // The next section of the reader, its value lines not yet read; null when the scan is over.
    const ScriptSection* NextKeyword();
    // Reads the value lines of the section NextKeyword() returned.
    void ReadValues(const ScriptSection& section) { values.Read(file, section); }

    SectionValues& Values() { return values; }
    FileHandle& File() { return file; }

private:
    FileHandle& file;
    unsigned mask;
    char line[1000];
    SectionValues values;
};
