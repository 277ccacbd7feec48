#pragma once
// Putting one payload entry in place: newer files already present are kept, files in use are
// replaced at the next restart, and the installed file is offered for self-registration.

#include <windows.h>

// entryName and destination are writable 260-byte texts whose path tokens are expanded in
// place. *abort is set when the rest of the script must not run (entry missing or damaged,
// or the user gave up on a failed copy) and cleared otherwise.
void InstallFile(char* entryName, char* destination, bool* abort);

// The fixed file version as its high half (major, minor) and low half (build, revision); both
// 0 when the file has no usable version resource or does not exist.
void GetFileVersion(const char* path, DWORD* high, DWORD* low);

// Arranges for source to replace destination at the next restart (delayed moves on the NT
// family, WININIT.INI elsewhere) and sets rebootRequired. Always true.
bool ScheduleReplaceAtRestart(const char* source, const char* destination);
