#include "engine/program_launch.h"

#include <windows.h>
#include <shellapi.h>

#include <new>
#include <string.h>

#include "app/install_context.h"
#include "app/run_state.h"
#include "app/temp_file.h"
#include "archive/payload_archive.h"
#include "platform/path_text.h"
#include "platform/text.h"
#include "script/path_tokens.h"

namespace {

const char kTempInstallToken[] = "<TempInstall>";
enum { kCommandLineCapacity = 520 };

void ShowLaunchError(const char* format, const char* name) {
    char text[kLineCapacity];
    FormatText(text, sizeof(text), format, name);
    MessageBoxA(nullptr, text, "Installer", MB_ICONERROR | MB_OK);
}

// Extracts the payload entry the path names into a temporary copy whose path replaces the
// caller's. False, after the message, when the entry cannot be had.
bool ExtractPayloadReference(char* path) {
    const char* name = path + sizeof(kTempInstallToken) - 1;
    if (*name == '\\') {
        ++name;
    }
    char entryName[kPathCapacity];
    CopyText(entryName, sizeof(entryName), name);

    TempFile* reserved = new (std::nothrow) TempFile("Ins");
    char extension[kPathCapacity];
    ExtensionPart(entryName, extension);
    char copyPath[kPathCapacity];
    bool fits = reserved != nullptr && CopyText(copyPath, sizeof(copyPath), reserved->Path()) &&
                AppendText(copyPath, sizeof(copyPath), extension);
    InstallContext* context = runState.context;
    PayloadArchive* archive = context != nullptr ? context->Archive() : nullptr;
    bool extracted = fits && archive != nullptr && archive->Extract(entryName, copyPath);
    // The reserved empty file only kept the name unique; the copy lives beside it.
    delete reserved;
    if (!extracted) {
        if (fits) {
            DeleteFileA(copyPath);  // whatever a failed extraction left behind
        }
        ShowLaunchError("This installation appears to be corrupted. Error whilst installing '%s'.",
                        entryName);
        return false;
    }
    CopyText(path, kPathCapacity, copyPath);
    return true;
}

}  // namespace

bool RunProcess(char* commandLine, bool wait) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    if (CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                       nullptr, nullptr, &startup, &process) != TRUE) {
        return false;
    }
    if (wait) {
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

void LaunchProgram(char* path, const char* arguments, bool wait) {
    bool extractedCopy = false;
    if (strstr(path, kTempInstallToken) != nullptr) {
        if (!ExtractPayloadReference(path)) {
            return;
        }
        extractedCopy = true;
    }
    ExpandPathTokens(path);

    char extension[kPathCapacity];
    ExtensionPart(path, extension);
    if (EqualIgnoringAsciiCase(extension, ".exe") || arguments[0] != '\0') {
        char commandLine[kCommandLineCapacity];
        bool fits = arguments[0] == '\0' ? CopyText(commandLine, sizeof(commandLine), path)
                                         : FormatText(commandLine, sizeof(commandLine), "\"%s\" %s",
                                                      path, arguments);
        // A command line cut short would start something else than the script names.
        if (!fits || !RunProcess(commandLine, wait)) {
            ShowLaunchError("Error whilst running '%s'.", path);
            return;
        }
    } else {
        ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
    }
    if (extractedCopy) {
        DeleteFileA(path);
    }
}
