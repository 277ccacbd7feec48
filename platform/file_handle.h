#pragma once
// The one way the system opens, reads, writes and sizes files.

#include <windows.h>

enum FilePosition { AtStart = 0, AtEnd = 1, AtCurrent = 2 };

class FileHandle {
public:
    // Opens at once; a failed open leaves the object closed (and says so when reportErrors).
    FileHandle(const char* path, DWORD access, DWORD creation, bool reportErrors,
               bool shareReadWrite);
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsOpen() const { return handle != nullptr; }
    DWORD Read(void* buffer, DWORD count, FilePosition position);
    bool Write(const void* buffer, DWORD count, FilePosition position);
    void Seek(LONG distance, DWORD moveMethod);
    unsigned long long Size(bool* failed = nullptr) const;
    bool Close();

    HANDLE Handle() const { return handle; }
    const char* Path() const { return path; }

private:
    void Position(FilePosition position);
    void Report(const char* prefix, const char* caption) const;

    HANDLE handle;
    char path[260];
    bool reportErrors;
};

unsigned long long FileSizeOfHandle(HANDLE handle, bool* failed = nullptr);
unsigned long long FileSizeOfPath(const char* path, bool* failed = nullptr);
