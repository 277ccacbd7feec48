#include "platform/file_handle.h"

#include "platform/text.h"

#include <new>

#include <string.h>

enum : DWORD { kReadAheadSize = 4096 };

FileHandle::FileHandle(const char* sourcePath, DWORD access, DWORD creation, bool report,
                       bool shareReadWrite)
    : handle(nullptr), reportErrors(report) {
    // A path that does not fit the buffer is refused rather than opened under a cut name.
    bool fits = CopyText(path, sizeof(path), sourcePath);
    const char* caption = (access & GENERIC_WRITE) ? "Disk Write Error" : "Disk Read Error";
    if (!fits) {
        Report("Unable to open '", caption);
        return;
    }
    DWORD share = shareReadWrite ? (FILE_SHARE_READ | FILE_SHARE_WRITE) : 0;
    HANDLE h = CreateFileA(path, access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Report("Unable to open '", caption);
        return;
    }
    handle = h;
}

FileHandle::~FileHandle() {
    Close();
    delete[] ahead;
}

void FileHandle::DropReadAhead() const {
    DWORD unread = aheadEnd - aheadNext;
    aheadNext = aheadEnd = 0;
    if (unread != 0 && handle != nullptr) {
        SetFilePointer(handle, -static_cast<LONG>(unread), nullptr, FILE_CURRENT);
    }
}

bool FileHandle::ReadByte(char* byte) {
    if (!IsOpen()) {
        return false;
    }
    if (aheadNext == aheadEnd) {
        if (ahead == nullptr) {
            ahead = new (std::nothrow) char[kReadAheadSize];
        }
        if (ahead == nullptr) {
            return Read(byte, 1, AtCurrent) == 1;
        }
        DWORD got = Read(ahead, kReadAheadSize, AtCurrent);
        if (got == 0) {
            return false;
        }
        aheadNext = 0;
        aheadEnd = got;
    }
    *byte = ahead[aheadNext++];
    return true;
}

void FileHandle::Report(const char* prefix, const char* caption) const {
    if (!reportErrors) {
        return;
    }
    char text[kLineCapacity];
    char title[kCaptionCapacity];
    FormatText(text, sizeof(text), "%s%s'", prefix, path);
    CopyText(title, sizeof(title), caption);
    MessageBoxA(nullptr, text, title, MB_ICONINFORMATION | MB_OK);
}

void FileHandle::Position(FilePosition position) {
    if (position == AtStart) {
        SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
    } else if (position == AtEnd) {
        SetFilePointer(handle, 0, nullptr, FILE_END);
    }
}

DWORD FileHandle::Read(void* buffer, DWORD count, FilePosition position) {
    if (!IsOpen()) {
        return 0;
    }
    DropReadAhead();
    Position(position);
    DWORD got = 0;
    // A successful short read leaves the last error alone; clear it so that a stale code
    // from an earlier call is not taken for a failure at the end of the file.
    SetLastError(NO_ERROR);
    BOOL ok = ReadFile(handle, buffer, count, &got, nullptr);
    if (ok && got == count) {
        return got;
    }
    DWORD error = GetLastError();
    if (error != NO_ERROR && error != ERROR_HANDLE_EOF) {
        Report("Unable to read from '", "Disk Read Error");
    }
    return got;
}

bool FileHandle::Write(const void* buffer, DWORD count, FilePosition position) {
    if (!IsOpen()) {
        return false;
    }
    DropReadAhead();
    Position(position);
    DWORD written = 0;
    if (WriteFile(handle, buffer, count, &written, nullptr) && written == count) {
        return true;
    }
    Report("Unable to write to '", "Disk Write Error");
    return false;
}

void FileHandle::Seek(LONG distance, DWORD moveMethod) {
    if (IsOpen()) {
        DropReadAhead();
        SetFilePointer(handle, distance, nullptr, moveMethod);
    }
}

unsigned long long FileHandle::Size(bool* failed) const {
    if (!IsOpen()) {
        return 0;
    }
    return FileSizeOfHandle(handle, failed);
}

bool FileHandle::Close() {
    if (!IsOpen()) {
        return false;
    }
    aheadNext = aheadEnd = 0;
    BOOL ok = CloseHandle(handle);
    handle = nullptr;
    return ok != FALSE;
}

unsigned long long FileSizeOfHandle(HANDLE handle, bool* failed) {
    if (failed) {
        *failed = false;
    }
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(handle, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        if (failed) {
            *failed = true;
        }
        return 0;
    }
    return (static_cast<unsigned long long>(high) << 32) | low;
}

unsigned long long FileSizeOfPath(const char* path, bool* failed) {
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (failed) {
            *failed = true;
        }
        return 0;
    }
    unsigned long long size = FileSizeOfHandle(h, failed);
    CloseHandle(h);
    return size;
}
