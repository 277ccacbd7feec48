#pragma once
// What an install run needs for its whole length: the payload inside the running executable
// and a private scratch folder holding the setup files.

#include "app/temp_file.h"

class PayloadArchive;

class ScratchDirectory {
public:
    explicit ScratchDirectory(const char* prefix);
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const char* Path() const { return path; }

private:
    TempFile* tempFile;
    char path[260];
};

class InstallContext {
public:
    explicit InstallContext(bool* failed);
    ~InstallContext();
    InstallContext(const InstallContext&) = delete;
    InstallContext& operator=(const InstallContext&) = delete;

    // The scratch folder with a trailing backslash, into a 260-byte buffer.
    void ScratchPath(char* output) const;
    PayloadArchive* Archive() const { return archive; }

private:
    PayloadArchive* archive;
    ScratchDirectory* scratch;
};
