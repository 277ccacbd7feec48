#include "script/script_sections.h"

#include <string.h>

#include "platform/text.h"
#include "script/line_reader.h"

constexpr ScriptSection kScriptSections[kScriptKeywordCount] = {
    {kProjectName, "[Project Name]", 1, {260}},
    {kInstallTo, "[Install To]", 1, {260}},
    {kLocateInstall, "[LocateInstall]", 1, {260}},
    {kAction, "[Action]", 1, {260}},
    {kCopyFile, "[CopyFile]", 2, {260, 260}},
    {kCreateIcon, "[CreateIcon]", 3, {260, 260, 260}},
    {kRunFile, "[RunFile]", 2, {260, 260}},
    {kRunAndWaitFile, "[RunAndWaitFile]", 2, {260, 260}},
    {kMessage, "[Message]", 2, {1000, 260}},
    {kRegistry, "[Registry]", 5, {1000, 260, 1000, 260, 1000}},
    {kUninstallAction, "[UninstallAction]", 2, {260, 260}},
};

static constexpr size_t kValueBufferSizes[kMaxSectionValues] = {1000, 260, 1000, 260, 1000};

// Every value line must fit the buffer of its position.
static constexpr bool CapacitiesFitBuffers() {
    for (const ScriptSection& section : kScriptSections) {
        for (int i = 0; i < kMaxSectionValues; ++i) {
            if (section.capacity[i] > kValueBufferSizes[i] ||
                (i < section.valueCount) != (section.capacity[i] != 0)) {
                return false;
            }
        }
    }
    return true;
}
static_assert(CapacitiesFitBuffers(), "a value line is larger than its buffer");

const ScriptSection* FindScriptSection(const char* line, unsigned keywordMask) {
    for (const ScriptSection& section : kScriptSections) {
        if ((keywordMask & KeywordBit(section.id)) != 0 && strcmp(line, section.keyword) == 0) {
            return &section;
        }
    }
    return nullptr;
}

int CountKeywordLines(FileHandle& file, ScriptKeyword keyword) {
    char line[kLineCapacity];
    int count = 0;
    while (ReadLine(file, line, sizeof(line))) {
        if (strcmp(line, kScriptSections[keyword].keyword) == 0) {
            ++count;
        }
    }
    return count;
}

size_t SectionValues::BufferSize(int index) {
    return kValueBufferSizes[index];
}

void SectionValues::Clear() {
    for (char* line : lines) {
        line[0] = '\0';
    }
}

void SectionValues::Read(FileHandle& file, const ScriptSection& section) {
    Clear();
    for (int i = 0; i < section.valueCount; ++i) {
        // At the end of the file ReadLine leaves the line empty, as a cut-short section needs.
        ReadLine(file, lines[i], section.capacity[i]);
    }
}

const ScriptSection* ScriptScanner::NextKeyword() {
    while (ReadLine(file, line, sizeof(line))) {
        if (const ScriptSection* section = FindScriptSection(line, mask)) {
            return section;
        }
    }
    return nullptr;
}

const ScriptSection* ScriptScanner::Next() {
    const ScriptSection* section = NextKeyword();
    if (section != nullptr) {
        ReadValues(*section);
    }
    return section;
}
