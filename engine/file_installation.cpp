#include "engine/file_installation.h"

#include <new>

#include "app/install_context.h"
#include "app/run_state.h"
#include "app/temp_file.h"
#include "archive/payload_archive.h"
#include "engine/self_registration.h"
#include "platform/folders.h"
#include "platform/path_text.h"
#include "platform/text.h"
#include "script/path_tokens.h"

void GetFileVersion(const char* path, DWORD* high, DWORD* low) {
    *high = 0;
    *low = 0;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size <= 1) {
        return;
    }
    unsigned char* info = new (std::nothrow) unsigned char[size];
    if (info == nullptr) {
        return;
    }
    void* block = nullptr;
    UINT length = 0;
    if (GetFileVersionInfoA(path, 0, size, info) && VerQueryValueA(info, "\\", &block, &length) &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
        *high = fixed->dwFileVersionMS;
        *low = fixed->dwFileVersionLS;
    }
    delete[] info;
}

bool ScheduleReplaceAtRestart(const char* source, const char* destination) {
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        // The old file goes first, so the move that follows never needs to replace.
        MoveFileExA(destination, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(source, destination, MOVEFILE_DELAY_UNTIL_REBOOT);
    } else {
        char wininit[kPathCapacity];
        CopyText(wininit, sizeof(wininit), "<Windows>\\WININIT.INI");
        ExpandPathTokens(wininit);
        WritePrivateProfileStringA("rename", destination, source, wininit);
    }
    runState.rebootRequired = true;
    return true;
}

static void ShowInstallError(const char* format, const char* name, UINT style, int* answer) {
    char text[kLineCapacity];
    FormatText(text, sizeof(text), format, name);
    int result = MessageBoxA(nullptr, text, "Installer", style);
    if (answer != nullptr) {
        *answer = result;
    }
}

// The existing file wins only when its version is strictly greater, halves compared unsigned.
static bool ExistingIsNewer(DWORD existingHigh, DWORD existingLow, DWORD newHigh, DWORD newLow) {
    return existingHigh > newHigh || (existingHigh == newHigh && existingLow > newLow);
}

void InstallFile(char* entryName, char* destination, bool* abort) {
    *abort = false;
    ExpandPathTokens(destination);
    ExpandPathTokens(entryName);

    char folder[kPathCapacity];
    FolderPart(destination, folder);
    CreateFolderChain(folder);

    TempFile* temp = new (std::nothrow) TempFile("Ins");
    InstallContext* context = runState.context;
    PayloadArchive* archive = context != nullptr ? context->Archive() : nullptr;
    if (temp == nullptr || archive == nullptr || !archive->Extract(entryName, temp->Path())) {
        delete temp;
        ShowInstallError("This installation appears to be corrupted. Error whilst installing '%s'.",
                         entryName, MB_ICONERROR, nullptr);
        *abort = true;
        return;
    }

    bool keepTemp = false;
    DWORD existingHigh, existingLow, newHigh, newLow;
    GetFileVersion(destination, &existingHigh, &existingLow);
    GetFileVersion(temp->Path(), &newHigh, &newLow);
    if (!ExistingIsNewer(existingHigh, existingLow, newHigh, newLow)) {
        for (;;) {
            SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
            if (CopyFileA(temp->Path(), destination, FALSE)) {
                break;
            }
            DWORD error = GetLastError();
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
                bool sameVersion = existingHigh == newHigh && existingLow == newLow &&
                                   (newHigh != 0 || newLow != 0);
                if (!sameVersion) {
                    ScheduleReplaceAtRestart(temp->Path(), destination);
                    keepTemp = true;
                }
                break;
            }
            int answer = IDCANCEL;
            ShowInstallError("Cannot install '%s', disk might be full.", destination,
                             MB_RETRYCANCEL | MB_ICONERROR | MB_DEFBUTTON2, &answer);
            if (answer != IDRETRY) {
                *abort = true;
                break;
            }
        }
    }

    if (!*abort) {
        ProbeSelfRegistration(destination);
    }
    // A file scheduled to replace the destination must outlive the run.
    if (keepTemp) {
        temp->Release();
    }
    delete temp;
}
