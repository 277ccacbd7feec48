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
    // Sequential reading for line readers, through a read-ahead buffer: false at the end of the
    // file or on a read error. Every other operation (and Handle()) first moves the system
    // position back to just after the last byte handed out, so the buffer never shows.
    bool ReadByte(char* byte);

    HANDLE Handle() const {
        DropReadAhead();
        return handle;
    }
    const char* Path() const { return path; }

private:
    void Position(FilePosition position);
    void Report(const char* prefix, const char* caption) const;
    void DropReadAhead() const;

    HANDLE handle;
    char path[260];
    bool reportErrors;
    // Bytes [aheadNext, aheadEnd) of ahead are the file's next ones; the system position lies
    // aheadEnd - aheadNext bytes further on. Allocated on the first ReadByte.
    char* ahead = nullptr;
    mutable DWORD aheadNext = 0;
    mutable DWORD aheadEnd = 0;
};

unsigned long long FileSizeOfHandle(HANDLE handle, bool* failed = nullptr);
unsigned long long FileSizeOfPath(const char* path, bool* failed = nullptr);
