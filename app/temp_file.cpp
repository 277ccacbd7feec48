#include "app/temp_file.h"

#include <windows.h>

#include <stdlib.h>

#include "app/run_state.h"
#include "platform/folders.h"
#include "platform/path_text.h"
#include "platform/text.h"

unsigned RandomBelow(unsigned n) {
    if (!runState.randomSeeded) {
        runState.randomSeeded = true;
        srand(GetTickCount());
    }
    return n ? static_cast<unsigned>(rand()) % n : 0;
}

static bool CreateEmpty(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(h);
    return true;
}

TempFile::TempFile(const char* prefix) {
    path[0] = '\0';
    char folder[260];
    DWORD length = GetTempPathA(sizeof(folder), folder);
    if (length == 0 || length >= sizeof(folder)) {
        CopyText(folder, sizeof(folder), "C:\\Temp\\");
    }
    AppendBackslash(folder);
    // The system writes at most MAX_PATH characters; a folder that leaves no room for a name
    // makes it fail, and the fallback below then formats a bounded name.
    if (GetTempFileNameA(folder, prefix, 0, path) == 0 || path[0] == '\0') {
        FormatText(path, sizeof(path), "%s%s%u.tmp", folder, prefix, RandomBelow(9999));
    }
    if (!CreateEmpty(path)) {
        CreateFolderChain(folder);
        CreateEmpty(path);
    }
}

TempFile::~TempFile() {
    if (path[0] != '\0') {
        DeleteFileA(path);
    }
}
