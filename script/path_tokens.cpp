#include "script/path_tokens.h"

#include <windows.h>
#include <shlobj.h>

#include <string.h>

#include "app/install_context.h"
#include "app/run_state.h"
#include "engine/registry.h"
#include "platform/path_text.h"
#include "platform/text.h"

namespace {

enum ReplaceResult { kReplaced, kNotFound, kTooLong };

// Replaces the first occurrence at or after text + from; *resume is where the next search
// starts, just past the inserted value, so text the value brought in is never searched again.
ReplaceResult ReplaceTokenFrom(char* text, size_t from, const char* token, char* value,
                               size_t* resume) {
    AppendBackslash(value);
    size_t textLength = strlen(text);
    if (from > textLength) {
        return kNotFound;
    }
    char* found = strstr(text + from, token);
    if (found == nullptr) {
        return kNotFound;
    }
    size_t before = static_cast<size_t>(found - text);
    size_t tokenLength = strlen(token);
    size_t valueLength = strlen(value);
    if (textLength - tokenLength + valueLength >= kPathCapacity) {
        return kTooLong;
    }
    char work[kPathCapacity];
    memcpy(work, text, before);
    memcpy(work + before, value, valueLength);
    CopyText(work + before + valueLength, kPathCapacity - before - valueLength,
             found + tokenLength);
    memcpy(text, work, textLength - tokenLength + valueLength + 1);
    *resume = before + valueLength;
    return kReplaced;
}

// A shell folder's path into value (260 bytes); false when the shell cannot say.
bool ShellFolder(int folder, char* value) {
    value[0] = '\0';
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) {
        return false;
    }
    LPITEMIDLIST items = nullptr;
    bool found = false;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, folder, &items)) && items != nullptr) {
        // The call writes up to MAX_PATH (260) characters, the size of value.
        found = SHGetPathFromIDListA(items, value) != FALSE;
        allocator->Free(items);
    }
    allocator->Release();
    if (!found) {
        value[0] = '\0';
    }
    return found;
}

bool SystemFolder(UINT(WINAPI* query)(LPSTR, UINT), char* value) {
    UINT length = query(value, kPathCapacity);
    if (length == 0 || length >= kPathCapacity) {
        value[0] = '\0';
        return false;
    }
    return true;
}

// The value of one token; false when it stays in the text.
bool TokenValue(int order, char* value) {
    value[0] = '\0';
    switch (order) {
        case 0:
            return SystemFolder(GetSystemDirectoryA, value);
        case 1:
            return SystemFolder(GetWindowsDirectoryA, value);
        case 2:
            CopyText(value, kPathCapacity, runState.installDir);
            return true;
        case 3:
            // Missing, the value is empty and the token vanishes.
            ReadRegistryString(value, kPathCapacity, "ProgramFilesDir", HKEY_LOCAL_MACHINE,
                               "SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
            return true;
        case 4:
            return ShellFolder(CSIDL_STARTUP, value);
        case 5:
            return ShellFolder(CSIDL_PROGRAMS, value);
        case 6:
            if (runState.context == nullptr) {
                return false;
            }
            runState.context->ScratchPath(value);
            return true;
    }
    return false;
}

const char* const kTokens[] = {"<System>",  "<Windows>",        "<Destination>", "<Program Files>",
                               "<Startup>", "<Start Programs>", "<Source>"};

}  // namespace

bool ReplacePathToken(char* text, const char* token, char* value) {
    size_t resume = 0;
    return ReplaceTokenFrom(text, 0, token, value, &resume) == kReplaced;
}

void CollapseDoubledBackslashes(char* text) {
    size_t length = strlen(text);
    if (length <= 2) {
        return;
    }
    for (size_t i = 2; i < length; ++i) {
        if (text[i] == '\\' && text[i + 1] == '\\') {
            memmove(text + i + 1, text + i + 2, length - i - 1);
            --length;
        }
    }
}

void ExpandPathTokens(char* text) {
    char value[kPathCapacity];
    for (int order = 0; order < static_cast<int>(sizeof(kTokens) / sizeof(kTokens[0])); ++order) {
        if (strstr(text, kTokens[order]) == nullptr || !TokenValue(order, value)) {
            continue;
        }
        size_t from = 0;
        while (ReplaceTokenFrom(text, from, kTokens[order], value, &from) == kReplaced) {
        }
    }
    CollapseDoubledBackslashes(text);
}
