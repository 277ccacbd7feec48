#include "platform/folders.h"

#include <string.h>

#include "platform/path_text.h"
#include "platform/text.h"

void FileFinder::Start(const char* pattern, const char* startFolder) {
    searchHandle = nullptr;
    CopyText(folder, sizeof(folder), startFolder);
    AppendBackslash(folder);
    CopyText(searchPattern, sizeof(searchPattern), folder);
    AppendText(searchPattern, sizeof(searchPattern), pattern);
}

bool FileFinder::Next() {
    for (;;) {
        memset(&findData, 0, sizeof(findData));
        if (searchHandle == nullptr) {
            HANDLE h = FindFirstFileA(searchPattern, &findData);
            if (h == INVALID_HANDLE_VALUE) {
                return false;
            }
            searchHandle = h;
        } else if (!FindNextFileA(searchHandle, &findData)) {
            return false;
        }
        const char* name = findData.cFileName;
        if (name[0] == '\0') {
            return false;
        }
        if (strcmp(name, ".") != 0 && strcmp(name, "..") != 0) {
            return true;
        }
    }
}

const char* FileFinder::FullPath() {
    CopyText(fullPath, sizeof(fullPath), folder);
    AppendText(fullPath, sizeof(fullPath), findData.cFileName);
    return fullPath;
}

bool FileFinder::IsDirectory() const {
    return searchHandle != nullptr && (findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

void FileFinder::Close() {
    if (searchHandle != nullptr) {
        FindClose(searchHandle);
    }
    searchHandle = nullptr;
}

bool PathExists(const char* path, bool* isFolder) {
    if (isFolder) {
        *isFolder = false;
    }
    char name[260];
    char folder[260];
    FileNamePart(path, name);
    FolderPart(path, folder);
    // FolderPart returns a path without a backslash whole; the search then runs in the
    // current folder, as the system would resolve a bare name.
    if (strchr(path, '\\') == nullptr) {
        folder[0] = '\0';
    }
    FileFinder finder;
    finder.Start(name, folder);
    bool found = finder.Next();
    if (found && isFolder && finder.IsDirectory()) {
        *isFolder = true;
    }
    finder.Close();
    return found;
}

void CreateFolderChain(const char* path) {
    char work[260];
    if (!CopyText(work, sizeof(work), path)) {
        return;
    }
    size_t length = strlen(work);
    if (length > 0 && work[length - 1] == '\\') {
        work[--length] = '\0';
    }
    if (length == 0) {
        return;
    }
    char* rootEnd;
    if (length >= 2 && work[0] == '\\' && work[1] == '\\') {
        char* serverEnd = strchr(work + 2, '\\');
        if (serverEnd == nullptr) {
            return;
        }
        rootEnd = strchr(serverEnd + 1, '\\');
    } else {
        rootEnd = strchr(work + 1, '\\');
    }
    if (rootEnd == nullptr) {
        return;
    }
    char* cursor = rootEnd + 1;
    for (;;) {
        if (*cursor == '\0') {
            return;
        }
        char* next = strchr(cursor + 1, '\\');
        if (next == nullptr) {
            CreateDirectoryA(work, nullptr);
            return;
        }
        *next = '\0';
        CreateDirectoryA(work, nullptr);
        *next = '\\';
        cursor = next;
    }
}

void DeleteFolderContents(const char* folder) {
    if (strlen(folder) <= 3) {
        return;
    }
    FileFinder finder;
    finder.Start("*.*", folder);
    while (finder.Next()) {
        const char* full = finder.FullPath();
        if (finder.IsDirectory()) {
            DeleteFolderContents(full);
            RemoveDirectoryA(full);
        } else {
            DeleteFileA(full);
        }
    }
    finder.Close();
}

void RemoveEmptyFoldersUpward(char* folder) {
    for (;;) {
        RemoveDirectoryA(folder);
        char* slash = strrchr(folder, '\\');
        if (slash == nullptr) {
            return;
        }
        *slash = '\0';
        if (strlen(folder) < 4) {
            return;
        }
    }
}
