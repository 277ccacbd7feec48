// Program entry: one executable that installs, uninstalls or packs, by its command line.

#include <windows.h>

#include "app/command_line.h"
#include "app/install_mode.h"
#include "app/run_state.h"
#include "archive/packing.h"
#include "uninstall/uninstall_mode.h"

static int RunPackCommandLine(const char* commandLine) {
    char source[260];
    char archive[260];
    char entryName[260];
    const char* problem = "";
    if (!ParsePackCommandLine(commandLine, source, archive, &problem)) {
        MessageBoxA(nullptr, problem, "Install", MB_TOPMOST | MB_ICONERROR | MB_OK);
        return 1;
    }
    // Build scripts test the exit code, so an entry that was not added must not read as success.
    return RunPackMode(source, archive, entryName) ? 0 : 1;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    runState.appInstance = instance;
    const char* fullCommandLine = GetCommandLineA();
    switch (SelectRunMode(fullCommandLine)) {
        case RunMode::Uninstall:
            return RunUninstallMode(instance, previous, commandLine, showCommand);
        case RunMode::Pack:
            return RunPackCommandLine(fullCommandLine);
        case RunMode::Install:
            break;
    }
    return RunInstallMode();
}
