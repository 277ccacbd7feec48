#pragma once
// A reserved, unique temporary file that is deleted with the object.

unsigned RandomBelow(unsigned n);

class TempFile {
public:
    explicit TempFile(const char* prefix);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const char* Path() const { return path; }
    // Keeps the file: the destructor then deletes nothing (a file left to be moved at restart).
    void Release() { path[0] = '\0'; }

private:
    char path[260];
};
