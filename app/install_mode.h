#pragma once

// Runs an installation from the payload of the running executable; returns the exit code.
int RunInstallMode();
