#include "app/install_context.h"

#include <windows.h>

#include <new>

#include "archive/payload_archive.h"
#include "platform/folders.h"
#include "platform/path_text.h"
#include "platform/text.h"

ScratchDirectory::ScratchDirectory(const char* prefix) {
    tempFile = new (std::nothrow) TempFile(prefix);
    path[0] = '\0';
    if (tempFile == nullptr) {
        return;
    }
    DeleteFileA(tempFile->Path());
    CopyText(path, sizeof(path), tempFile->Path());
    AppendBackslash(path);
    CreateFolderChain(path);
}

ScratchDirectory::~ScratchDirectory() {
    if (path[0] != '\0') {
        DeleteFolderContents(path);
        RemoveDirectoryA(path);
    }
    delete tempFile;
}

static void ExtractSetupFile(PayloadArchive& archive, const char* folder, const char* name,
                             bool required, bool* failed) {
    char destination[260];
    CopyText(destination, sizeof(destination), folder);
    bool fits = AppendText(destination, sizeof(destination), name);
    if (required) {
        if (!fits || !archive.Extract(name, destination)) {
            *failed = true;
        }
    } else if (fits && archive.Find(name)) {
        archive.Extract(name, destination);
    }
}

InstallContext::InstallContext(bool* failed) : archive(nullptr), scratch(nullptr) {
    *failed = false;
    scratch = new (std::nothrow) ScratchDirectory("ZVI");
    char self[260];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof(self));
    if (length == 0 || length >= sizeof(self)) {
        self[0] = '\0';
    }
    archive = new (std::nothrow) PayloadArchive(self, false);
    char folder[260];
    ScratchPath(folder);
    if (archive == nullptr || scratch == nullptr || folder[0] == '\0') {
        *failed = true;
    } else {
        ExtractSetupFile(*archive, folder, "setup.dat", true, failed);
        ExtractSetupFile(*archive, folder, "setup.bmp", false, failed);
        ExtractSetupFile(*archive, folder, "setup.lic", false, failed);
    }
    if (*failed) {
        MessageBoxA(nullptr, "This installation is corrupted please obtain a new install.",
                    "Installer", MB_ICONERROR | MB_OK);
    }
}

InstallContext::~InstallContext() {
    delete archive;
    delete scratch;
}

void InstallContext::ScratchPath(char* output) const {
    output[0] = '\0';
    if (scratch != nullptr) {
        CopyText(output, 260, scratch->Path());
        AppendBackslash(output);
    }
}
