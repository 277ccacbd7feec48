#include "app/command_line.h"

#include <string.h>

#include "platform/text.h"

RunMode SelectRunMode(const char* commandLine) {
    if (strstr(commandLine, "<uninstall>") != nullptr) {
        return RunMode::Uninstall;
    }
    if (strstr(commandLine, "<packthis>") != nullptr) {
        return RunMode::Pack;
    }
    return RunMode::Install;
}

// The path starts one character (the opening quote) after the token and ends at the next
// double quote, which is replaced by a NUL. Returns the character after that quote.
static char* TakeQuotedPath(char* token, size_t tokenLength, char* output, const char** problem) {
    char* start = token + tokenLength;
    if (*start == '\0') {
        *problem = "The pack command line ends before the path.";
        return nullptr;
    }
    ++start;
    char* quote = strchr(start, '"');
    if (quote == nullptr) {
        *problem = "The pack command line lacks the closing quote of a path.";
        return nullptr;
    }
    *quote = '\0';
    if (!CopyText(output, kPathCapacity, start)) {
        *problem = "A path on the pack command line is 260 characters or longer.";
        return nullptr;
    }
    return quote + 1;
}

bool ParsePackCommandLine(const char* commandLine, char* source, char* archive,
                          const char** problem) {
    source[0] = '\0';
    archive[0] = '\0';
    char copy[kLineCapacity];
    if (!CopyText(copy, sizeof(copy), commandLine)) {
        *problem = "The pack command line is longer than 999 characters.";
        return false;
    }
    char* packThis = strstr(copy, "<packthis>");
    if (packThis == nullptr) {
        *problem = "The pack command line lacks <packthis>.";
        return false;
    }
    char* rest = TakeQuotedPath(packThis, 10, source, problem);
    if (rest == nullptr) {
        return false;
    }
    char* packTo = strstr(rest, "<packto>");
    if (packTo == nullptr) {
        *problem = "The pack command line lacks <packto> after the source path.";
        return false;
    }
    return TakeQuotedPath(packTo, 8, archive, problem) != nullptr;
}
