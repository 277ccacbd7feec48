#pragma once

#include <windows.h>

// Reverses an installation recorded by the uninstall record named on the command line.
int RunUninstallMode(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
