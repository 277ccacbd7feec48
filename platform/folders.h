#pragma once
// Enumerating, creating and removing folders. Failures are silent; callers test again.

#include <windows.h>

class FileFinder {
public:
    FileFinder() = default;
    ~FileFinder() { Close(); }
    FileFinder(const FileFinder&) = delete;
    FileFinder& operator=(const FileFinder&) = delete;

    void Start(const char* pattern, const char* folder);
    bool Next();
    const char* FullPath();
    bool IsDirectory() const;
    const char* Name() const { return findData.cFileName; }
    void Close();

private:
    HANDLE searchHandle = nullptr;
    WIN32_FIND_DATAA findData = {};
    char fullPath[260] = {};
    char searchPattern[260] = {};
    char folder[260] = {};
};

bool PathExists(const char* path, bool* isFolder = nullptr);
void CreateFolderChain(const char* path);
void DeleteFolderContents(const char* folder);
// The folder (no trailing backslash) in a writable buffer, which is shortened as parents go.
void RemoveEmptyFoldersUpward(char* folder);
